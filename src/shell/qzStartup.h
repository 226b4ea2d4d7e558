#pragma once
// The program's entry: builds the real platform, loads and shows the main
// window and runs its main loop. Returns the process exit code.
namespace qzStartup {
int Main();
}
