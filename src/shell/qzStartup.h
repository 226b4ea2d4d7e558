#pragma once
// The program's entry: builds the real platform, loads and shows the main
// window and runs its main loop. Returns the process exit code. With a line
// trace, the serial port is watched through it.
#include "shell/Platform.h"

#include <memory>

class LineTrace;

namespace qzStartup {

// Everything real the window works with: the serial port (through the line
// trace when there is one), the monotonic clock, message boxes, the
// clipboard, the adapter vendor's library, the registry, program start.
// Made once the application object exists.
class SystemPlatform {
public:
    explicit SystemPlatform(LineTrace* trace);
    ~SystemPlatform();
    SystemPlatform(const SystemPlatform&) = delete;
    SystemPlatform& operator=(const SystemPlatform&) = delete;

    Platform platform;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

int Main(LineTrace* trace = nullptr);

}  // namespace qzStartup
