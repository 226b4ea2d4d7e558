#pragma once
// A process starter that starts nothing: it knows a set of files and records
// what it was asked to start.
#include "about/ProcessLauncher.h"

#include <QSet>
#include <QStringList>

class FakeLauncher final : public ProcessLauncher {
public:
    QSet<QString> files;
    bool startSucceeds = true;
    QStringList asked;    // FileExists questions
    QStringList started;  // Start requests

    bool FileExists(const QString& path) override
    {
        asked << path;
        return files.contains(path);
    }
    bool Start(const QString& path) override
    {
        started << path;
        return startSucceeds;
    }
};
