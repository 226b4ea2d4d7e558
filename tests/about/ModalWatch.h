#pragma once
// Hands the program's modal window to a look-and-act function as soon as a
// handler's exec() is running, and closes the window if that left it open, so
// that a failing test never hangs. Create it just before calling the handler.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

class ModalWatch {
public:
    explicit ModalWatch(std::function<void(QDialog*)> look)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, look = std::move(look)] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            m_timer.stop();
            look(dialog);
            closedByWatch = dialog->isVisible();
            if (closedByWatch)
                dialog->reject();
        });
        m_timer.start(0);  // fires once the handler's window loop runs
    }

    bool closedByWatch = false;  // look left the window open

private:
    QTimer m_timer;
};
