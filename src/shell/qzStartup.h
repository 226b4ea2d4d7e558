#pragma once
// The program's entry: builds the real platform, loads and shows the main
// window and runs its main loop. Returns the process exit code. With a line
// trace, the serial port is watched through it. What nobody is left to see in
// a message box goes to `console` (standard error when none is given).
#include "shell/Platform.h"

#include <memory>

class LineTrace;
class Console;

namespace qzStartup {

// Everything real the window works with: the serial port (through the line
// trace when there is one), the monotonic clock, message boxes, the
// clipboard, the adapter vendor's library, the registry, program start,
// standard error. Made once the application object exists.
class SystemPlatform {
public:
    SystemPlatform(LineTrace* trace, Console* console);
    ~SystemPlatform();
    SystemPlatform(const SystemPlatform&) = delete;
    SystemPlatform& operator=(const SystemPlatform&) = delete;

    Platform platform;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

int Main(LineTrace* trace = nullptr, Console* console = nullptr);

}  // namespace qzStartup
