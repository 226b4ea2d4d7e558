#pragma once
// Starting another program, and the file test that goes before it.
#include <QString>

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // True when a file (not a folder) of that name exists.
    virtual bool FileExists(const QString& path) = 0;
    // Starts the program at path in a normal window that gets the focus and
    // does not wait for it. False when it could not be started.
    virtual bool Start(const QString& path) = 0;
};
