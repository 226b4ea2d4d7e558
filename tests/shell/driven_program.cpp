// The program as main() starts it (its command line, serial control and
// start-up), for tests that end it from outside; the arguments are the
// program's own. DRIVEN_CLICKS: the clicks made once the window is up,
// "connect", "sweep", "disconnect" and "exit" on those buttons, "pause" for
// half a second. A line on stdout for each happening: "window", "connected"
// (a meter answered), "sweeping", "modal <title>" (a modal window or box came
// up), "answered <title>"; the exit status is the program's own.
// DRIVEN_ANSWER=PATH: a box that is up is answered (its OK or default button)
// once PATH exists, so that whoever drives the run decides when the click
// under the box ends; without it a box waits for an answer nobody gives.
#include "shell/Entry.h"
#include "shell/frmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

namespace {

void Say(const char* what, const QString& more = {})
{
    std::printf("%s%s%s\n", what, more.isEmpty() ? "" : " ", qPrintable(more));
    std::fflush(stdout);
}

// Says "modal <title>" as soon as a modal window or box is shown (inside the
// program's own waits too) and answers it once the answer file exists. Both
// come from events, not from polling, so while a box waits the driver adds no
// work of its own to what is measured of the program.
class Boxes : public QObject {
public:
    explicit Boxes(const QString& answerWhen) : QObject(qApp), m_answerWhen(answerWhen)
    {
        qApp->installEventFilter(this);
        if (!answerWhen.isEmpty() && m_folder.addPath(QFileInfo(answerWhen).absolutePath()))
            connect(&m_folder, &QFileSystemWatcher::directoryChanged, this, &Boxes::AnswerIfDue);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = watched->isWidgetType() ? static_cast<QWidget*>(watched) : nullptr;
        if (event->type() == QEvent::Show && window && window->isWindow() && window->isModal()) {
            Say("modal", window->windowTitle());
            m_box = window;
            QTimer::singleShot(0, this, [this] { AnswerIfDue(); });
        }
        return false;
    }

private:
    void AnswerIfDue()
    {
        if (m_answerWhen.isEmpty() || !m_box || !m_box->isVisible() || !QFileInfo::exists(m_answerWhen))
            return;
        QWidget* box = m_box;
        m_box = nullptr;
        Say("answered", box->windowTitle());
        auto* message = qobject_cast<QMessageBox*>(box);
        QAbstractButton* button = !message                  ? nullptr
                                  : message->defaultButton() ? message->defaultButton()
                                                             : message->button(QMessageBox::Ok);
        if (button)
            button->click();
        else
            box->close();
    }

    QString m_answerWhen;
    QFileSystemWatcher m_folder;
    QPointer<QWidget> m_box;
};

// Runs as the program's application object is made.
void StartDriving()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;  // --list-ports: no window to drive
    const QStringList script = qEnvironmentVariable("DRIVEN_CLICKS").split(' ', Qt::SkipEmptyParts);
    new Boxes(qEnvironmentVariable("DRIVEN_ANSWER"));
    // Clicks, one at a time; each runs to its end (a sweep runs on in here).
    auto* clicks = new QTimer(qApp);
    QObject::connect(clicks, &QTimer::timeout, [clicks, script, next = 0]() mutable {
        frmMain* form = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* shown = qobject_cast<frmMain*>(w); shown && shown->isVisible())
                form = shown;
        if (!form)
            return;
        if (next == 0)
            Say("window");
        if (next >= script.size())
            return clicks->stop();
        const QString click = script.at(next++);
        if (click == "pause") {
            clicks->stop();
            QTimer::singleShot(500, clicks, qOverload<>(&QTimer::start));
        } else if (click == "exit") {
            form->cmdExit->click();
        } else if (click == "connect" || click == "disconnect") {
            form->cmdConnect->click();
            if (click == "connect" && form->Connected)
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
