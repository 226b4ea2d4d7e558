#pragma once
// Modal message boxes, behind a seam so that tests can read and answer them.
#include <QString>

class QWidget;

class MessageBoxes {
public:
    enum class Icon { None, Critical };
    enum class Buttons { Ok, RetryCancel };
    enum class Answer { Ok, Retry, Cancel };

    virtual ~MessageBoxes() = default;
    virtual Answer Show(QWidget* parent, const QString& text, const QString& title, Icon icon,
                        Buttons buttons) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
public:
    Answer Show(QWidget* parent, const QString& text, const QString& title, Icon icon,
                Buttons buttons) override;
};
