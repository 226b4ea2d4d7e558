#pragma once
// The program's entry: builds the real platform, loads and shows the main
// window and runs its main loop. Returns the process exit code. With a line
// trace, the serial port is watched through it.
class LineTrace;

namespace qzStartup {
int Main(LineTrace* trace = nullptr);
}
