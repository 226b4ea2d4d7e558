// The drawn needle and the two stop buttons, "LEFT" and "RIGHT".
#include "shell/frmMain.h"

#include "face/FaceColours.h"
#include "face/PictureBox.h"
#include "needle/NeedleGeometry.h"
#include "shell/qzGlobals.h"

#include <QPushButton>
#include <QSlider>

void frmMain::Update_Needle(const int16_t& Position)
{
    const int32_t deflection = NeedleGeometry::Deflection(Position);

    // The face is white wherever the needle can stand, so painting the last
    // needle over in white takes it away without a trace.
    Draw_Needle(FaceColours::White);

    const NeedleGeometry::Ends ends = NeedleGeometry::EndsAt(deflection);
    NeedleEnds.X1 = ends.X1;
    NeedleEnds.Y1 = ends.Y1;
    NeedleEnds.X2 = ends.X2;
    NeedleEnds.Y2 = ends.Y2;

    Draw_Needle(FaceColours::Red);
    m_needleOnFace = true;
}

void frmMain::Draw_Needle(const QColor& colour)
{
    picMeterPanel->DrawWidth(3);
    picMeterPanel->Line(NeedleEnds.X1, NeedleEnds.Y1, NeedleEnds.X2, NeedleEnds.Y2, colour);
}

namespace {

// What the two stop buttons differ in.
struct StopButton {
    const char* command;
    int16_t position;
};

}  // namespace

// Puts the meter's needle on a stop: ends any running sweep, gives the meter a
// moment, then sends the stop position and shows it on the face.
static void MoveToStop(frmMain& form, const StopButton& stop, QPushButton* pressed, QPushButton* other)
{
    form.SldSpeed->setEnabled(false);
    form.StopSweep = true;
    form.SDelay(1);
    // Other handlers ran during the wait. If the meter was disconnected (or
    // the program is on its way out) meanwhile, there is nobody to send the
    // stop to and the buttons belong to whoever changed them.
    if (!form.Connected || qzGlobals::QuitRequested)
        return;
    form.Com_Send(stop.command);
    form.Update_Needle(stop.position);
    form.cmdSweep->setEnabled(true);
    other->setEnabled(true);
    pressed->setEnabled(false);
}

void frmMain::cmdLeft_Click()
{
    MoveToStop(*this, {"N0C6", NeedleGeometry::LeftStop}, cmdLeft, cmdRight);
}

void frmMain::cmdRight_Click()
{
    MoveToStop(*this, {"NF3A", NeedleGeometry::RightStop}, cmdRight, cmdLeft);
}
