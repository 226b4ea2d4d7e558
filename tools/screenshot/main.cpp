// qz-screenshot: renders the main window offscreen to PNG files, once with the
// TRAD face and once with the SIMPLE face, each time with the needle put on
// its left stop by "LEFT" as a technician would.
//
//   qz-screenshot [output-folder]    (default: the current folder)
//
// Writes screenshot-trad.png and screenshot-simple.png.
#include "DiscardingCommControl.h"
#include "shell/Clock.h"
#include "shell/MessageBoxes.h"
#include "shell/Platform.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTextStream>

namespace {

// Shows the window as it looks once a meter has been found on Comm1.
void PretendConnected(frmMain& form)
{
    qzGlobals::PortNumber = 1;
    form.Com_Open();
    form.Connected = true;
    for (QPushButton* b : {form.cmdLeft, form.cmdSweep, form.cmdRight})
        b->setEnabled(true);
}

bool Shoot(const QString& path, bool simple)
{
    qzGlobals::ResetGlobals();
    MonotonicClock clock;
    DiscardingCommControl comm;
    QtMessageBoxes messages;
    Platform platform;
    platform.comm = &comm;
    platform.clock = &clock;
    platform.messages = &messages;

    frmMain form(platform);
    form.Form_Load();
    form.show();
    QApplication::processEvents();
    PretendConnected(form);
    if (simple) {
        form.optSimple->click();
        form.cmdRight->click();
    }
    form.cmdLeft->click();
    QApplication::processEvents();
    const bool saved = form.grab().save(path);
    form.Com_Close();
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    QTextStream err(stderr);
    int failures = 0;
    for (const auto& [name, simple] : {std::pair{"screenshot-trad.png", false}, {"screenshot-simple.png", true}}) {
        const QString path = out.filePath(name);
        if (Shoot(path, simple)) {
            QTextStream(stdout) << path << "\n";
        } else {
            err << "could not write " << path << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
