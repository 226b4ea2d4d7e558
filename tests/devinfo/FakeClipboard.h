#pragma once
// A clipboard that remembers what was done to it, in order: "clear" and
// "set:<text>", and what it holds now.
#include "devinfo/Clipboard.h"

#include <QStringList>

class FakeClipboard final : public Clipboard {
public:
    QStringList log;
    QString text;
    bool holdsText = false;

    void Clear() override
    {
        log << QStringLiteral("clear");
        text.clear();
        holdsText = false;
    }
    void SetText(const QString& t) override
    {
        log << QStringLiteral("set:") + t;
        text = t;
        holdsText = true;
    }
};
