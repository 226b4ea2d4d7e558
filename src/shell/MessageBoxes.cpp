#include "shell/MessageBoxes.h"

#include <QMessageBox>

MessageBoxes::Answer QtMessageBoxes::Show(QWidget* parent, const QString& text, const QString& title,
                                          Icon icon, Buttons buttons)
{
    QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, title, text,
                    buttons == Buttons::RetryCancel ? (QMessageBox::Retry | QMessageBox::Cancel)
                                                    : QMessageBox::Ok,
                    parent);
    if (buttons == Buttons::RetryCancel)
        box.setDefaultButton(QMessageBox::Retry);
    const int result = box.exec();
    if (result == QMessageBox::Retry)
        return Answer::Retry;
    if (result == QMessageBox::Cancel)
        return Answer::Cancel;
    return Answer::Ok;
}
