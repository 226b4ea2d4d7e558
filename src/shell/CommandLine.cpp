#include "shell/CommandLine.h"

#include "about/frmAbout.h"
#include "shell/AppTitle.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace {

// Options that QGuiApplication and QApplication take for themselves. They are
// accepted here, kept out of the help, and left in argv for the application
// object, which reads them.
const QStringList QtOptionsWithValue = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                        "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                        "display", "geometry", "style", "stylesheet"};
const QStringList QtFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QCommandLineOption Hidden(const QString& name, const QString& valueName = {})
{
    QCommandLineOption option(name, QString(), valueName);
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

CommandLine Print(int status, const QString& message)
{
    CommandLine command;
    command.action = CommandLine::Action::Print;
    command.exitStatus = status;
    command.message = message;
    return command;
}

}  // namespace

QStringList CommandLine::Arguments(int argc, const char* const* argv)
{
    QStringList out;
    for (int i = 0; i < argc; ++i)
        out << QString::fromLocal8Bit(argv[i]);
    return out;
}

QString CommandLine::VersionLine()
{
    return QStringLiteral("%1 (%2) %3").arg(QLatin1String(ProgramName), QLatin1String(AppTitle), frmAbout::VersionText());
}

CommandLine CommandLine::Parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Qt's own options are single-dash words ("-platform offscreen").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Bench test utility for driftmark analogue panel meters on a serial line\n"
                       "(9600 baud, 8N1). Without options it opens its window; Connect finds the\n"
                       "meter on Comm1 to Comm16."));
    const QCommandLineOption help({"h", "help"}, QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({"v", "version"}, QStringLiteral("Show the name and version and exit."));
    const QCommandLineOption listPorts(
        "list-ports",
        QStringLiteral("List Comm1 to Comm16 as Connect would see them now: each device, what the "
                       "system knows of it and whether this utility can use it; then exit. Sends "
                       "nothing. Exit status 0 when a port is usable, 1 when none is."));
    const QCommandLineOption ports(
        "ports",
        QStringLiteral("Comma-separated device paths, entry n being Comm n (an empty entry leaves "
                       "that number without a device). The same as QZ_SERIAL_PORTS, which it "
                       "overrides."),
        QStringLiteral("LIST"));
    const QCommandLineOption trace(
        "trace",
        QStringLiteral("Write a timestamped trace of the serial line to FILE (- for standard error): "
                       "ports opened and closed, every frame sent, every byte received, the meter's "
                       "identity."),
        QStringLiteral("FILE"));
    const QCommandLineOption run(
        "run",
        QStringLiteral("Play the script FILE (- for standard input) on the window without a display: "
                       "one button press, option, slider move, wait, identity check or question to the "
                       "operator per line. Events go to standard output as they happen; the exit status "
                       "is 0 when every line ran, 1 when the meter failed the run or the operator said no, "
                       "2 for a script error or a line "
                       "whose control was disabled, 128+n after signal n."),
        QStringLiteral("FILE"));
    const QCommandLineOption json("json", QStringLiteral("With --run: write the events as JSON, one object per line."));
    const QCommandLineOption show("show", QStringLiteral("With --run: show the window while the script plays, and "
                                                         "ask the script's questions there, not on the terminal."));
    parser.addOptions({help, version, listPorts, ports, trace, run, json, show});
    for (const QString& name : QtOptionsWithValue)
        parser.addOption(Hidden(name, QStringLiteral("value")));
    for (const QString& name : QtFlags)
        parser.addOption(Hidden(name));

    // Qt names the program after argv[0], or not at all before an application
    // object exists: the usage line is the program's own.
    const QString usage = QStringLiteral("Usage: %1 [options]").arg(QLatin1String(ProgramName));
    const QString helpText = usage + '\n' + parser.helpText().section('\n', 1);
    auto usageError = [&](const QString& what) {
        return Print(UsageErrorStatus, QStringLiteral("%1: %2\n%3\nTry '%1 --help' for more information.\n")
                                           .arg(QLatin1String(ProgramName), what, usage));
    };

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return Print(0, helpText);
    if (parser.isSet(version))
        return Print(0, VersionLine() + '\n');
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(trace) && parser.value(trace).isEmpty())
        return usageError(QStringLiteral("--trace needs a file name, or - for standard error."));

    if (parser.isSet(run) && parser.value(run).isEmpty())
        return usageError(QStringLiteral("--run needs a script file, or - for standard input."));
    for (const QCommandLineOption* withRun : {&json, &show}) {
        if (parser.isSet(*withRun) && !parser.isSet(run))
            return usageError(QStringLiteral("--%1 goes with --run.").arg(withRun->names().constFirst()));
    }
    if (parser.isSet(run) && parser.isSet(listPorts))
        return usageError(QStringLiteral("--run and --list-ports do not go together."));

    CommandLine command;
    command.action = parser.isSet(listPorts) ? Action::ListPorts : Action::RunWindow;
    if (parser.isSet(run)) {
        command.action = Action::RunScript;
        command.run = parser.value(run);
        command.json = parser.isSet(json);
        command.show = parser.isSet(show);
    }
    if (parser.isSet(ports))
        command.ports = parser.value(ports);
    if (parser.isSet(trace))
        command.trace = parser.value(trace);
    return command;
}
