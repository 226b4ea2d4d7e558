#pragma once
// Everything the program touches outside itself, in one place. main() fills it
// with the real things; the tests fill it with fakes. Nothing here is owned.
class Clock;
class CommControl;
class MessageBoxes;
class Clipboard;
class ChipIdLibrary;
class Registry;
class ProcessLauncher;
class LineTrace;
class Console;
class SearchLog;

struct Platform {
    CommControl* comm = nullptr;        // the one serial port, Comm1
    Clock* clock = nullptr;             // monotonic seconds
    MessageBoxes* messages = nullptr;   // modal message boxes
    Clipboard* clipboard = nullptr;     // device-information window
    ChipIdLibrary* chipId = nullptr;    // USB adapter vendor library
    Registry* registry = nullptr;       // About window's system-information action
    ProcessLauncher* launcher = nullptr;
    LineTrace* trace = nullptr;         // --trace: the line trace; null when not tracing
    Console* console = nullptr;         // standard error: what nobody is left to see in a box
    SearchLog* searchLog = nullptr;     // hears of ports a search passed by (a scripted run's report)
};
