#pragma once
// `ask` on a --show run: a dialog on the window, titled as the window, with
// the question, where the script asks it (FILE:LINE), and Yes and No. It is
// not modal: the window goes on working under it (a sweep keeps its pace)
// and keeps its ways out. Y, N, Alt+Y, Alt+N, a click, Escape (No) and the
// dialog's close button (No) answer it; Return, Enter and Space never do, so
// that no habit passes a meter. The window itself still takes no presses by
// hand (HandsOff); this dialog takes them.
#include "script/Asker.h"

#include <QPointer>
#include <QWidget>

class HandsOff;
class QPushButton;

class AskDialog final : public QWidget {
    Q_OBJECT
public:
    AskDialog(QWidget& window, const QString& question, const QString& where,
              std::function<void(Asker::Answer)> answered);

    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;

    // Closed by the program, not by the person: no answer is given.
    void Withdraw();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Answer(Asker::Answer answer);

    std::function<void(Asker::Answer)> m_answered;  // until the first answer
};

class DialogAsker final : public Asker {
public:
    // `scriptName` as the script's errors name it: its file, or "-".
    DialogAsker(QWidget& window, HandsOff& hands, const QString& scriptName);
    ~DialogAsker() override;
    DialogAsker(const DialogAsker&) = delete;
    DialogAsker& operator=(const DialogAsker&) = delete;

    void Ask(const QString& question, int line, std::function<void(Answer)> answered) override;
    void Close() override;

private:
    QWidget& m_window;
    HandsOff& m_hands;
    QString m_scriptName;
    QPointer<AskDialog> m_dialog;
};
