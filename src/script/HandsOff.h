#pragma once
// While a script plays the window (--show puts it on the screen), a press by
// hand would reach the meter without the script's say. So mouse and keys on
// the window's controls and menus are swallowed; the ways out stay: the
// close box, Exit, and File > Exit (which end the run, see ScriptPlayer).
// The script's own presses are calls, not input events, and pass as ever. A
// window of the run's own that a person is to answer (an `ask` dialog) is let
// through.
#include <QList>
#include <QObject>
#include <QPointer>

class frmMain;
class QWidget;

class HandsOff final : public QObject {
public:
    // Watches the application's input from now until destroyed.
    explicit HandsOff(frmMain& form);
    ~HandsOff() override;
    HandsOff(const HandsOff&) = delete;
    HandsOff& operator=(const HandsOff&) = delete;

    // Presses on `window` and its widgets reach them.
    void Allow(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool OnTheWayOut(QWidget* target, QEvent* event) const;

    frmMain& m_form;
    QList<QPointer<QWidget>> m_allowed;
};
