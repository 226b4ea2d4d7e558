#pragma once
// The program's command line, read before any window-system object exists so
// that --help, --version, --list-ports and a mistyped option need no display.
//
//   -h, --help        this usage, exit 0
//   -v, --version     name and version (the About window's), exit 0
//   --list-ports      the Comm numbers with their devices and whether they can
//                     be used, then exit
//   --ports LIST      the port map, as QZ_SERIAL_PORTS (and in its place)
//   --trace FILE      a timestamped record of the serial line ("-": stderr)
//   --run FILE        play a script of button presses without a display
//                     ("-": standard input), then exit with its outcome
//   --json            with --run: the events as JSON lines
//   --show            with --run: the window on the screen while it plays
//
// The usual Qt window-system options (-platform, -style, ...) are let
// through for the application object. Anything else, a missing value or a
// stray argument is a usage error: one line saying what is wrong, the usage
// line, exit status 2.
#include <QString>
#include <QStringList>
#include <optional>

struct CommandLine {
    enum class Action {
        RunWindow,  // start the utility's window
        ListPorts,  // print the port report and exit
        RunScript,  // play the script `run` on the window
        Print,      // print `message` and exit with `exitStatus`
    };

    static constexpr const char* ProgramName = "qz-ruvude-zivo";
    static constexpr int UsageErrorStatus = 2;

    Action action = Action::RunWindow;
    // For Print: 0 with the help or version text for standard output,
    // UsageErrorStatus with the complaint for standard error.
    int exitStatus = 0;
    QString message;
    std::optional<QString> ports;  // --ports LIST
    std::optional<QString> trace;  // --trace FILE
    std::optional<QString> run;    // --run FILE
    bool json = false;             // --json
    bool show = false;             // --show

    // `arguments` as the process got them, the program's own name first.
    static CommandLine Parse(const QStringList& arguments);
    static QStringList Arguments(int argc, const char* const* argv);
    // "qz-ruvude-zivo (qz Ruvude Zivo) 2.0.0"
    static QString VersionLine();
};
