// The program as main() starts it, on the real serial control, with a script
// of clicks for tests that end it from outside (signals). Arguments name the
// clicks, made once the window is up: "connect" presses Connect, "sweep" then
// presses SWEEP once a meter is connected. What happens is printed on stdout,
// one line each: "window", "connected", "sweeping", "modal <title>" (a modal
// window or box came up), and the exit status is the program's own.
//
// Two arguments are settings, not clicks: "trace=FILE" writes the line trace
// to FILE as --trace does, and "answer=PATH" answers a box that is up (with
// its OK or default button, saying "answered <title>") once PATH exists, so
// that whoever drives the run decides when the click under the box ends and
// the next one comes. Without it a box waits for an answer nobody gives.
#include "link/LineTrace.h"
#include "shell/CommandLine.h"
#include "shell/frmMain.h"
#include "shell/qzStartup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <memory>

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

void Answer(QWidget* modal)
{
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        QAbstractButton* button = box->defaultButton();
        if (!button)
            button = box->button(QMessageBox::Ok);
        if (button) {
            button->click();
            return;
        }
    }
    modal->close();
}

// Says "modal <title>" as soon as a modal window or box is shown (inside the
// program's own waits too) and answers it once the answer file exists. Both
// come from events, not from polling, so while a box waits the driver adds no
// work of its own to what is measured of the program.
class Boxes : public QObject {
public:
    explicit Boxes(const QString& answerWhen) : m_answerWhen(answerWhen)
    {
        qApp->installEventFilter(this);
        if (!answerWhen.isEmpty()) {
            m_folder.addPath(QFileInfo(answerWhen).absolutePath());
            QObject::connect(&m_folder, &QFileSystemWatcher::directoryChanged, this, [this] { AnswerIfDue(); });
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* window = static_cast<QWidget*>(watched);
            if (window->isWindow() && window->isModal()) {
                Say("modal", window->windowTitle());
                m_box = window;
                QTimer::singleShot(0, this, [this] { AnswerIfDue(); });
            }
        }
        return false;
    }

private:
    void AnswerIfDue()
    {
        if (!m_box || !m_box->isVisible() || !QFileInfo::exists(m_answerWhen))
            return;
        QWidget* box = m_box;
        m_box = nullptr;
        Say("answered", box->windowTitle());
        Answer(box);
    }

    QString m_answerWhen;
    QFileSystemWatcher m_folder;
    QPointer<QWidget> m_box;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("qz Ruvude Zivo");
    QApplication::setQuitOnLastWindowClosed(false);
    QStringList script;
    QString tracePath;
    QString answerWhen;
    for (const QString& argument : app.arguments().mid(1)) {
        if (argument.startsWith("trace="))
            tracePath = argument.mid(6);
        else if (argument.startsWith("answer="))
            answerWhen = argument.mid(7);
        else
            script << argument;
    }
    std::unique_ptr<LineTrace> trace;
    if (!tracePath.isEmpty()) {
        trace = std::make_unique<LineTrace>(tracePath);
        trace->Started(CommandLine::VersionLine());
    }

    Boxes boxes(answerWhen);

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

    return qzStartup::Main(trace.get());
}
