#pragma once
// From the command line to the window: answers --help, --version,
// --list-ports and usage mistakes without a display, applies --ports, opens
// the --trace file, and only then makes the GUI application and runs the
// program (qzStartup::Main). Returns the process exit status.
namespace Entry {
int Run(int& argc, char** argv);
}
