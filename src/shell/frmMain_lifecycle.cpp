// Start-up, the main loop and the ways out of the program.
#include "shell/frmMain.h"

#include "link/CommControl.h"
#include "shell/qzGlobals.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QRadioButton>

using namespace qzGlobals;

void frmMain::Form_Load()
{
    FormLoading = true;
    AppFolder = QCoreApplication::applicationDirPath();
    Connected = false;
    QCoreApplication::processEvents();
    Init_Ports();
    ScaleType = 0;
    // Their handlers run and, seeing FormLoading, neither send nor draw.
    optLIN->setChecked(true);
    optTrad->setChecked(true);
    Draw_Panel();
    ScalePoints = {{{0, 0},
                    {198, 198},
                    {568, 661},
                    {938, 1123},
                    {1308, 1586},
                    {1678, 2048},
                    {2048, 2511},
                    {2418, 2973},
                    {2788, 3436},
                    {3158, 3898},
                    {3528, 4095},
                    {3898, 0},
                    {4095, 0}}};
    FormLoading = false;
}

void frmMain::Form_Activate()
{
    // The main loop: handle window events until Exit has been asked for and
    // control is back here (a sweep or a search that is running when Exit is
    // chosen finishes first). Between events the thread sleeps on the queue.
    QCoreApplication::processEvents();
    while (!QuitRequested)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    Com_Close();
    // The caller (Main) ends the program at once.
}

void frmMain::Form_QueryUnload(int16_t& Cancel, int16_t UnloadMode)
{
    Q_UNUSED(UnloadMode);
    Cancel = 0;
    // The program keeps no file open between operations, so there is none to close.
    cmdExit_Click();
}

void frmMain::Session_End()
{
    // Logging off, shutting down, `kill` or Ctrl+C: a request to close the
    // main window like any other, so that an open port gets "R" and "U"
    // before the main loop closes it. Once the program is on its way out
    // there is nothing more to ask of it.
    m_sessionEnded = true;
    if (!QuitRequested) {
        int16_t cancel = 0;
        Form_QueryUnload(cancel, UnloadSessionEnding);
        hide();
    }
    // A modal window or box still open (About, a message) would hold control
    // away from the main loop until someone answered it, and nobody will:
    // close them, innermost first, as their close boxes would.
    for (int i = 0; i < MaxNestedModals; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == this)
            break;
        modal->close();
    }
}

void frmMain::closeEvent(QCloseEvent* event)
{
    int16_t cancel = 0;
    Form_QueryUnload(cancel, 0);
    event->accept();
}

void frmMain::cmdExit_Click()
{
    Release_Meter();
    QuitRequested = true;
}

void frmMain::mnuExit_Click()
{
    QuitRequested = true;
    Release_Meter();
}

void frmMain::Release_Meter()
{
    // The port is asked, not Connected: a port a probe left open gets them too.
    if (Comm1().PortOpen()) {
        Com_Send("R");
        Com_Send("U");
    }
}
