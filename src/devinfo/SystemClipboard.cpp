#include "devinfo/SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void SystemClipboard::Clear()
{
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

void SystemClipboard::SetText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}
