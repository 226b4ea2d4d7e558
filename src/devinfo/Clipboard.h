#pragma once
// The system clipboard, as far as this program writes to it.
#include <QString>

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void Clear() = 0;
    virtual void SetText(const QString& text) = 0;
};
