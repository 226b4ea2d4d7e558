// The main window's controls and menus as they stand when it is created.
#include "shell/frmMain.h"

#include "face/PictureBox.h"
#include "link/CommControl.h"
#include "shell/Icons.h"
#include "shell/LayoutUnits.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

using namespace LayoutUnits;

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, bool centred, const QFont& font,
                  bool visible)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setFont(font);
    l->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    l->setVisible(visible);
    return l;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QFont& font)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFont(font);
    b->setAutoDefault(false);
    return b;
}

QRadioButton* MakeOption(QWidget* parent, const char* name, const QString& text)
{
    auto* o = new QRadioButton(text, parent);
    o->setObjectName(name);
    o->setFont(SansFont(9.75, true));
    return o;
}

}  // namespace

frmMain::frmMain(const Platform& platform, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_delays(*platform.clock)
{
    BuildLayout();
    Comm1().setDeviceLostHandler([this] { Comm1_DeviceLost(); });
}

frmMain::~frmMain()
{
    Comm1().setDeviceLostHandler({});
}

void frmMain::BuildLayout()
{
    InstallFontSubstitutes();
    setObjectName("frmMain");
    setWindowTitle("driftmark Ruvude Zivo");
    setWindowIcon(Icons::AppIcon());
    // Fixed single border: a title with a close box only, and no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    const QFont windowFont = SansFont(12, false);

    // The window font is the controls' font; it is set on the client area
    // only, so that the menu bar keeps the desktop's menu font, as the menus
    // that drop down from it do.
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setFont(windowFont);
    client->setFixedSize(Px(ClientWidthTwips), Px(ClientHeightTwips));
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    cmdLeft = MakeButton(client, "cmdLeft", "LEFT", windowFont);
    Place(cmdLeft, 720, 240, 1095, 375);
    cmdSweep = MakeButton(client, "cmdSweep", "SWEEP", windowFont);
    Place(cmdSweep, 2040, 240, 1095, 375);
    cmdRight = MakeButton(client, "cmdRight", "RIGHT", windowFont);
    Place(cmdRight, 3360, 240, 1095, 375);
    for (QPushButton* b : {cmdLeft, cmdSweep, cmdRight})
        b->setEnabled(false);

    SldSpeed = new QSlider(Qt::Horizontal, client);
    SldSpeed->setObjectName("SldSpeed");
    SldSpeed->setRange(8, 100);
    SldSpeed->setValue(54);
    SldSpeed->setSingleStep(1);
    SldSpeed->setPageStep(5);
    SldSpeed->setTickPosition(QSlider::TicksBelow);
    SldSpeed->setTickInterval(1);
    Place(SldSpeed, 240, 780, 4575, 315);

    Label1 = MakeLabel(client, "Label1", "Sweep Speed", true, windowFont, true);
    Place(Label1, 1440, 1080, 2415, 255);

    Frame1 = new QGroupBox("Scale Type", client);
    Frame1->setObjectName("Frame1");
    Place(Frame1, 6840, 120, 1455, 1215);
    optTrad = MakeOption(Frame1, "optTrad", "TRAD");
    Place(optTrad, 120, 360, 1095, 300);
    optSimple = MakeOption(Frame1, "optSimple", "SIMPLE");
    Place(optSimple, 120, 720, 1215, 300);

    Frame2 = new QGroupBox("Calibration", client);
    Frame2->setObjectName("Frame2");
    Place(Frame2, 8760, 120, 1455, 1215);
    optLIN = MakeOption(Frame2, "optLIN", "OFF");
    Place(optLIN, 240, 360, 855, 300);
    optLUT = MakeOption(Frame2, "optLUT", "ON");
    Place(optLUT, 240, 720, 855, 300);

    picMeterPanel = new PictureBox(client);
    picMeterPanel->setObjectName("picMeterPanel");
    picMeterPanel->setFocusPolicy(Qt::StrongFocus);
    Place(picMeterPanel, 480, 1440, 10002, 3315);

    lblInfo = MakeLabel(client, "lblInfo", "Info", true, ArialFont(9.75, true), false);
    Place(lblInfo, 1680, 4920, 3375, 495);
    lblSerialNum = MakeLabel(client, "lblSerialNum", "Meter Serial Number:", false, SansFont(9.75, false), false);
    Place(lblSerialNum, 480, 5040, 1965, 345);
    lblHard = MakeLabel(client, "lblHard", "QZ", false, SansFont(12, true), false);
    Place(lblHard, 2880, 5040, 1815, 375);
    lblFw = MakeLabel(client, "lblFw", "Firmware Version:", false, SansFont(9.75, false), false);
    Place(lblFw, 480, 5400, 1965, 345);
    lblFirm = MakeLabel(client, "lblFirm", "x.xx", false, SansFont(12, true), false);
    Place(lblFirm, 2880, 5400, 1815, 255);
    lblTitle = MakeLabel(client, "lblTitle", "Searching for meter", true, ArialFont(9.75, true), false);
    Place(lblTitle, 1320, 5400, 4215, 495);

    cmdConnect = MakeButton(client, "cmdConnect", "Connect", windowFont);
    Place(cmdConnect, 2040, 6000, 2655, 375);
    cmdCycle = MakeButton(client, "cmdCycle", "CYCLE", SansFont(12, true));
    Place(cmdCycle, 6720, 5160, 1455, 1215);

    cmdExit = new QToolButton(client);
    cmdExit->setObjectName("cmdExit");
    cmdExit->setText("Exit");
    cmdExit->setToolTip("Quit VA3");
    cmdExit->setFont(SansFont(8.25, false));
    cmdExit->setIcon(QIcon(Icons::ExitPicture()));
    cmdExit->setIconSize(QSize(32, 32));
    cmdExit->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    cmdExit->setFocusPolicy(Qt::StrongFocus);
    Place(cmdExit, 9000, 5400, 855, 855);

    // Keyboard order follows the tab indexes of the layout; labels and frames
    // hold indexes too but never take the focus.
    const QList<QWidget*> tabOrder{cmdExit, cmdConnect, SldSpeed, cmdSweep, cmdLeft, cmdRight,
                                   picMeterPanel, cmdCycle, optLIN, optLUT, optTrad, optSimple};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // Menus.
    mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuExit = mnuFile->addAction("E&xit");
    mnuExit->setObjectName("mnuExit");

    mnuSourcePort = menuBar()->addMenu("&Port");
    mnuSourcePort->setObjectName("mnuSourcePort");
    for (int i = 0; i <= 16; ++i) {
        QAction* a = mnuSourcePort->addAction(i == 0 ? QString("None") : QString("Comm%1:").arg(i));
        a->setObjectName(QString("mnuSourcePortComm%1").arg(i));
        a->setCheckable(true);
        a->setChecked(false);
        a->setEnabled(false);
        a->setVisible(i == 0);
        mnuSourcePortComm[i] = a;
    }

    mnuTools = menuBar()->addMenu("Tools");
    mnuTools->setObjectName("mnuTools");
    mnuDeviceInfo = mnuTools->addAction("Device Info");
    mnuDeviceInfo->setObjectName("mnuDeviceInfo");
    mnuTools->menuAction()->setVisible(false);
    mnuTools->menuAction()->setEnabled(false);

    mnuhelp = menuBar()->addMenu("&Help");
    mnuhelp->setObjectName("mnuhelp");
    mnuhelpAbout = mnuhelp->addAction("&About");
    mnuhelpAbout->setObjectName("mnuhelpAbout");
    mnuHelpHelp = mnuhelp->addAction("Help");
    mnuHelpHelp->setObjectName("mnuHelpHelp");
    mnuHelpHelp->setVisible(false);
    mnuHelpHelp->setEnabled(false);

    // Wiring: every handler the window has, and nothing else.
    connect(cmdExit, &QToolButton::clicked, this, [this] { cmdExit_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(mnuDeviceInfo, &QAction::triggered, this, [this] { mnuDeviceInfo_Click(); });
    connect(mnuhelpAbout, &QAction::triggered, this, [this] { mnuhelpAbout_Click(); });
    connect(cmdConnect, &QPushButton::clicked, this, [this] { cmdConnect_Click(); });
    connect(cmdLeft, &QPushButton::clicked, this, [this] { cmdLeft_Click(); });
    connect(cmdRight, &QPushButton::clicked, this, [this] { cmdRight_Click(); });
    connect(cmdSweep, &QPushButton::clicked, this, [this] { cmdSweep_Click(); });
    connect(cmdCycle, &QPushButton::clicked, this, [this] { cmdCycle_Click(); });
    // Option handlers run whenever their button becomes selected, also when
    // the program selects it.
    connect(optLIN, &QRadioButton::toggled, this, [this](bool on) { if (on) optLIN_Click(); });
    connect(optLUT, &QRadioButton::toggled, this, [this](bool on) { if (on) optLUT_Click(); });
    connect(optTrad, &QRadioButton::toggled, this, [this](bool on) { if (on) optTrad_Click(); });
    connect(optSimple, &QRadioButton::toggled, this, [this](bool on) { if (on) optSimple_Click(); });
    connect(picMeterPanel, &PictureBox::Rescaled, this, [this] { picMeterPanel_Rescaled(); });
}
