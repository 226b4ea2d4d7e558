#pragma once
// The main window. It lays out the controls, wires each one to its handler and
// holds the window's state. The handlers are spread over the subsystem folders
// (one file per concern), each file named after what it handles:
//   shell/frmMain_layout.cpp      controls and menus
//   shell/frmMain_lifecycle.cpp   Form_Load, Form_Activate, Form_QueryUnload, Exit
//   shell/frmMain_config.cpp      Load_Config, Save_Config
//   shell/frmMain_messages.cpp    Show_Message
//   link/frmMain_ports.cpp        Init_Ports, Com_Open, Com_Close
//   link/frmMain_protocol.cpp     Com_Send, Quiet_Line_Check, Com_Input_Vers
//   link/frmMain_connect.cpp      cmdConnect_Click, Check_Version
//   link/frmMain_held.cpp         ports another program holds: Open_Unless_Held, Reach_Meter
//   link/frmMain_lost.cpp         Comm1_DeviceLost
//   needle/frmMain_needle.cpp     Update_Needle, cmdLeft_Click, cmdRight_Click
//   needle/frmMain_sweep.cpp      cmdSweep_Click, cmdCycle_Click, Format_Position
//   needle/frmMain_calibration.cpp optLIN_Click, optLUT_Click
//   face/frmMain_face.cpp         Draw_Panel, optTrad_Click, optSimple_Click
//   about/frmMain_about.cpp       mnuhelpAbout_Click
//   devinfo/frmMain_devinfo.cpp   mnuDeviceInfo_Click
#include "link/DeviceAccess.h"
#include "shell/Delays.h"
#include "shell/MessageBoxes.h"
#include "shell/Platform.h"

#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>

class QAction;
class QColor;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QToolButton;
class PictureBox;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // Layout units: 15 twips make one device-independent pixel.
    static constexpr int TwipsPerPixel = 15;
    static constexpr int ClientWidthTwips = 11655;
    static constexpr int ClientHeightTwips = 6510;

    explicit frmMain(const Platform& platform, QWidget* parent = nullptr);
    ~frmMain() override;

    // --- start-up, main loop, exit (shell) ---
    void Form_Load();
    void Form_Activate();  // the main loop; returns when the program is to end
    void Form_QueryUnload(int16_t& Cancel, int16_t UnloadMode);
    void cmdExit_Click();
    void mnuExit_Click();
    // The session ends (logoff, shutdown, a terminating signal): as the close box.
    void Session_End();
    static constexpr int16_t UnloadSessionEnding = 2;  // Form_QueryUnload's reason
    // A message box; once the session has ended nobody is left to answer
    // one, so its text goes to standard error and the trace instead and it
    // gets the answer that lets the program end (OK, Cancel).
    MessageBoxes::Answer Show_Message(const QString& text, const QString& title, MessageBoxes::Icon icon,
                                      MessageBoxes::Buttons buttons);

    // --- waits (shell) ---
    void TDelay(double ticks) { m_delays.TDelay(ticks); }
    void SDelay(const int16_t& Secs) { m_delays.SDelay(Secs); }

    // --- session file (shell) ---
    bool Load_Config();
    bool Save_Config();

    // --- serial port (link) ---
    void Init_Ports();
    void Com_Open();
    void Com_Close();

    // --- meter protocol, discovery, identity (link) ---
    void Com_Send(const QString& command);
    bool Quiet_Line_Check();
    bool Com_Input_Vers();
    bool Check_Version();
    void cmdConnect_Click();
    void Comm1_DeviceLost();  // the connected meter's port stopped working
    // Com_Open for the search and the connection: a port another program
    // holds gets one grace of 100 ms to be let go (looked at, and opened
    // while no lock shows, every 10 ms); false when it is still held then
    // (skipped, noted as busy, nothing sent).
    bool Open_Unless_Held();
    // The meter's port closed and opened afresh for the connection: false
    // when it is held or no longer the device that answered (then the
    // search goes on as if that port had not answered).
    bool Reach_Meter();

    // --- needle (needle) ---
    void Update_Needle(const int16_t& Position);
    void cmdLeft_Click();
    void cmdRight_Click();
    void cmdSweep_Click();
    void cmdCycle_Click();
    QString Format_Position(const int16_t& position) const;
    void optLIN_Click();
    void optLUT_Click();

    // --- face (face) ---
    void Draw_Panel();
    void picMeterPanel_Rescaled();  // the panel's scale changed: draw it again
    void optTrad_Click();
    void optSimple_Click();

    // --- side windows ---
    void mnuhelpAbout_Click();
    void mnuDeviceInfo_Click();

    // --- window state ---
    bool Connected = false;
    bool StopSweep = false;
    int16_t CycleIndex = 0;
    // Scale-point positions: column 0 TRAD (13 rows), column 1 SIMPLE (11 rows used).
    std::array<std::array<int16_t, 2>, 13> ScalePoints{};
    // Inner (X1, Y1) and outer (X2, Y2) end of the needle drawn last, face units.
    struct NeedleEndPoints {
        float X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
    } NeedleEnds;

    // --- controls (public so the tests can look at them as a user would) ---
    QPushButton* cmdLeft = nullptr;
    QPushButton* cmdSweep = nullptr;
    QPushButton* cmdRight = nullptr;
    QSlider* SldSpeed = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* optTrad = nullptr;
    QRadioButton* optSimple = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* optLIN = nullptr;
    QRadioButton* optLUT = nullptr;
    PictureBox* picMeterPanel = nullptr;
    QLabel* lblInfo = nullptr;
    QLabel* lblSerialNum = nullptr;
    QLabel* lblHard = nullptr;
    QLabel* lblFw = nullptr;
    QLabel* lblFirm = nullptr;
    QLabel* lblTitle = nullptr;
    QPushButton* cmdConnect = nullptr;
    QPushButton* cmdCycle = nullptr;
    QToolButton* cmdExit = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuSourcePort = nullptr;
    std::array<QAction*, 17> mnuSourcePortComm{};
    QMenu* mnuTools = nullptr;
    QAction* mnuDeviceInfo = nullptr;
    QMenu* mnuhelp = nullptr;
    QAction* mnuhelpAbout = nullptr;
    QAction* mnuHelpHelp = nullptr;

    CommControl& Comm1() const { return *m_platform.comm; }
    const Platform& platform() const { return m_platform; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    void Forget_Meter();  // Connected off, port closed, identity blanked
    void Blank_Identity();  // the identity labels emptied and hidden
    void Show_Port_Entry(int port);  // the Port menu lists Comm port
    void Note_Busy(const DeviceAccess::Holder& holder);  // PortNumber skipped: held
    void Note_Skipped(const QString& reason);  // PortNumber skipped: another device
    void Note_Unavailable(int port);  // a search passes Comm port by: refused at the probe
    void Release_Meter();  // "R", "U" to an open port, as Exit sends them
    void Draw_Needle(const QColor& colour);  // the needle at NeedleEnds

    Platform m_platform;
    // A port whose device the last probe found refused though nobody held
    // it (a stale lock file, the system's refusal): its device and why.
    struct Refused {
        QString device;
        QString reason;
    };
    std::array<Refused, 17> m_refused{};
    Delays m_delays;
    bool m_sweepActive = false;  // a sweep is starting or running
    bool m_needleOnFace = false;  // a needle stands on the face drawn last
    bool m_sessionEnded = false;  // a signal or the desktop session ended the program
    static constexpr int MaxNestedModals = 16;  // more than the program ever opens
};
