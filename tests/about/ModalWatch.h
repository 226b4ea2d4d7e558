#pragma once
// Waits for the program's modal window while a handler sits in its exec(),
// hands it to a look-and-act function, and closes it if that left it open, so
// that a failing test never hangs. Create it before calling the handler.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <functional>

class ModalWatch {
public:
    explicit ModalWatch(std::function<void(QDialog*)> look, int timeoutMs = 5000) : m_look(std::move(look))
    {
        m_clock.start();
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this, timeoutMs] { Poll(timeoutMs); });
        m_timer.start();
    }
    ~ModalWatch() { m_timer.stop(); }

    int seen = 0;              // modal windows handed to look
    bool closedByWatch = false;  // look left the window open

private:
    void Poll(int timeoutMs)
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (m_clock.elapsed() > timeoutMs)
                m_timer.stop();
            return;
        }
        if (dialog == m_last)
            return;  // still closing
        m_timer.stop();
        m_last = dialog;
        ++seen;
        m_look(dialog);
        if (m_last && m_last->isVisible()) {
            closedByWatch = true;
            m_last->reject();
        }
    }

    std::function<void(QDialog*)> m_look;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QPointer<QDialog> m_last;
};
