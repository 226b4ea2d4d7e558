// The program as main() starts it (its command line, its serial control, its
// start-up), with a script of clicks for tests that end it from outside. The
// arguments are the program's own; DRIVEN_CLICKS names the clicks, made once
// the window is up: "connect" presses Connect, "sweep" then presses SWEEP
// once a meter is connected, "disconnect" and "exit" press those, "pause"
// lets half a second pass. What happens is printed on stdout, one line
// each: "window", "connected", "sweeping", "modal <title>" (a modal window or
// box came up), and the exit status is the program's own.
#include "shell/Entry.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QPushButton>
#include <QToolButton>
#include <QTimer>

#include <cstdio>

namespace {

void Say(const char* what, const QString& more = {})
{
    std::printf("%s%s%s\n", what, more.isEmpty() ? "" : " ", qPrintable(more));
    std::fflush(stdout);
}

frmMain* ShownWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<frmMain*>(w); form && form->isVisible())
            return form;
    return nullptr;
}

// Runs as the program's application object is made.
void StartDriving()
{
    const QStringList script = qEnvironmentVariable("DRIVEN_CLICKS").split(' ', Qt::SkipEmptyParts);
    auto* app = QCoreApplication::instance();

    // Watches for modal windows; fires inside the program's own waits too.
    auto* watch = new QTimer(app);
    QObject::connect(watch, &QTimer::timeout, [lastModal = static_cast<QWidget*>(nullptr)]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != lastModal)
            Say("modal", modal->windowTitle());
        lastModal = modal;
    });
    watch->start(20);

    // Clicks, one at a time; each runs to its end (a sweep runs on in here).
    auto* clicks = new QTimer(app);
    QObject::connect(clicks, &QTimer::timeout, [clicks, script, next = 0]() mutable {
        frmMain* form = ShownWindow();
        if (!form)
            return;
        if (next == 0)
            Say("window");
        if (next >= script.size()) {
            clicks->stop();
            return;
        }
        const QString click = script.at(next++);
        if (click == "pause") {
            clicks->stop();
            QTimer::singleShot(500, clicks, qOverload<>(&QTimer::start));
        } else if (click == "exit") {
            form->cmdExit->click();
        } else if (click == "disconnect") {
            form->cmdConnect->click();
        } else if (click == "connect") {
            form->cmdConnect->click();
            if (form->Connected)
                Say("connected");
        } else if (click == "sweep") {
            Say("sweeping");
            form->cmdSweep->click();
        }
    });
    clicks->start(20);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartDriving)

int main(int argc, char** argv)
{
    return Entry::Run(argc, argv);
}
