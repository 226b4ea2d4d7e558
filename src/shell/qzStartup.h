#pragma once
// The program's entry: builds the real platform, loads and shows the main
// window and runs its main loop. Returns the process exit code. With a line
// trace, the serial port is watched through it. What nobody is left to see in
// a message box goes to `console` (standard error when none is given).
class LineTrace;
class Console;

namespace qzStartup {
int Main(LineTrace* trace = nullptr, Console* console = nullptr);
}
