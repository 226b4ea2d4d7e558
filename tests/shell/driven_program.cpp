// The program as main() starts it, on the real serial control, with a script
// of clicks for tests that end it from outside (signals). Arguments name the
// clicks, made once the window is up: "connect" presses Connect, "sweep" then
// presses SWEEP once a meter is connected. What happens is printed on stdout,
// one line each: "window", "connected", "sweeping", "modal <title>" (a modal
// window or box came up), and the exit status is the program's own.
#include "shell/frmMain.h"
#include "shell/qzStartup.h"

#include <QApplication>
#include <QPushButton>
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

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("qz Ruvude Zivo");
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList script = app.arguments().mid(1);

    // Watches for modal windows; fires inside the program's own waits too.
    QTimer watch;
    QWidget* lastModal = nullptr;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != lastModal)
            Say("modal", modal->windowTitle());
        lastModal = modal;
    });
    watch.start(20);

    // Clicks, one at a time; each runs to its end (a sweep runs on in here).
    QTimer clicks;
    int next = 0;
    QObject::connect(&clicks, &QTimer::timeout, [&] {
        frmMain* form = ShownWindow();
        if (!form)
            return;
        if (next == 0)
            Say("window");
        if (next >= script.size()) {
            clicks.stop();
            return;
        }
        const QString click = script.at(next++);
        if (click == "connect") {
            form->cmdConnect->click();
            if (form->Connected)
                Say("connected");
        } else if (click == "sweep") {
            Say("sweeping");
            form->cmdSweep->click();
        }
    });
    clicks.start(20);

    return qzStartup::Main();
}
