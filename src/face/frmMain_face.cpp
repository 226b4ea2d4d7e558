// The meter face on picMeterPanel and the "Scale Type" options.
#include "shell/frmMain.h"

#include "face/FaceColours.h"
#include "face/MeterFace.h"
#include "face/PictureBox.h"
#include "shell/qzGlobals.h"

using namespace qzGlobals;

void frmMain::Draw_Panel()
{
    // Wipes the needle too; the next needle move draws it again.
    MeterFace::Draw(*picMeterPanel, ScaleType);
    m_needleOnFace = false;
}

void frmMain::picMeterPanel_Rescaled()
{
    // The panel came up blank at a new scale: the same face, and the needle
    // where it stood, if it stood anywhere.
    MeterFace::Draw(*picMeterPanel, ScaleType);
    if (m_needleOnFace)
        Draw_Needle(FaceColours::Red);
}

void frmMain::optTrad_Click()
{
    // Start-up selects TRAD itself and draws the face once on its own.
    if (FormLoading)
        return;
    ScaleType = MeterFace::Trad;
    Draw_Panel();
}

void frmMain::optSimple_Click()
{
    if (FormLoading)
        return;
    ScaleType = MeterFace::Simple;
    Draw_Panel();
}
