#pragma once
// Message boxes that a test reads and answers: every box shown is recorded,
// and the answers are taken from a queue (Ok / Cancel when it is empty).
#include "shell/MessageBoxes.h"

#include <QList>
#include <functional>

class FakeMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
    };
    QList<Shown> shown;
    QList<Answer> answers;
    // Runs while the box is "up", before it is answered.
    std::function<void(const Shown&)> onShow;

    Answer Show(QWidget*, const QString& text, const QString& title, Icon icon, Buttons buttons) override
    {
        shown << Shown{text, title, icon, buttons};
        if (onShow)
            onShow(shown.back());
        if (!answers.isEmpty())
            return answers.takeFirst();
        return buttons == Buttons::RetryCancel ? Answer::Cancel : Answer::Ok;
    }
};
