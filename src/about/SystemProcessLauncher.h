#pragma once
// Starts programs as separate processes that this program does not watch.
#include "about/ProcessLauncher.h"

class SystemProcessLauncher final : public ProcessLauncher {
public:
    bool FileExists(const QString& path) override;
    bool Start(const QString& path) override;
};
