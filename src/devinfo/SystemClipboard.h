#pragma once
// The desktop's clipboard.
#include "devinfo/Clipboard.h"

class SystemClipboard final : public Clipboard {
public:
    void Clear() override;
    void SetText(const QString& text) override;
};
