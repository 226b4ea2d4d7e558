// The command line as a user meets it: the program run as its own process
// with no display (its output, exit status and what it did to a simulated
// meter), a traced window run, and the man pages against --help.
#include "../link/e2e/E2eRig.h"
#include "NoDisplayRun.h"
#include "about/frmAbout.h"
#include "shell/CommandLine.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <pty.h>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral(QZ_PROGRAM_PATH);
const QString Version = "qz-ruvude-zivo (qz Ruvude Zivo) " + frmAbout::VersionText();

QString UsageError(const QString& what)
{
    return "qz-ruvude-zivo: " + what + "\nUsage: qz-ruvude-zivo [options]\n"
                                       "Try 'qz-ruvude-zivo --help' for more information.\n";
}

// The options a text names, each once ("\-" in roff is "-").
QStringList Options(QString text)
{
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
    QStringList out;
    for (const auto& match : option.globalMatch(text.replace(QLatin1String("\\-"), QLatin1String("-"))))
        out << match.captured();
    out.sort();
    out.removeDuplicates();
    return out;
}

}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MeterSim> m_meter, m_heldMeter;
    QtCommControl m_holder;  // another program, as far as the program run can tell

private slots:
    void initTestCase()
    {
        m_meter = std::make_unique<MeterSim>(QStringList{});
        m_heldMeter = std::make_unique<MeterSim>(QStringList{});
        E2eRig::SetPorts({m_heldMeter->device});
        QVERIFY(m_holder.setCommPort(1) && m_holder.setPortOpen(true));
        QFile file(m_dir.filePath("notes.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void runsWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("variable");  // QZ_SERIAL_PORTS; null: unset
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString help = CommandLine::Parse({Program, "--help"}).message, unset, none = "";
        const auto row = [](const char* name, const QStringList& args, const QString& variable, int status,
                            const QString& out, const QString& err) {
            QTest::newRow(name) << args << variable << status << out << err;
        };
        row("--help", {"--help"}, unset, 0, help, none);
        row("-h", {"-h"}, unset, 0, help, none);
        row("--version", {"--version"}, unset, 0, Version + '\n', none);
        row("-v after a Qt option", {"-platform", "offscreen", "-v"}, unset, 0, Version + '\n', none);
        row("unknown", {"--bogus"}, unset, 2, none, UsageError("Unknown option 'bogus'."));
        row("no value", {"--ports"}, unset, 2, none, UsageError("Missing value after '--ports'."));
        row("value to a flag", {"--list-ports=yes"}, unset, 2, none,
            UsageError("Unexpected value after '--list-ports'."));
        row("stray", {"--trace", "-", "COM3"}, unset, 2, none, UsageError("Unexpected argument 'COM3'."));
        row("empty trace name", {"--trace="}, unset, 2, none,
            UsageError("--trace needs a file name, or - for standard error."));
        row("unwritable trace", {"--trace", "/nonexistent-qz/t"}, unset, 2, none,
            "qz-ruvude-zivo: cannot write the trace to '/nonexistent-qz/t': No such file or directory\n");
        row("unreadable script", {"--run", "/nonexistent-qz/s"}, unset, 2, none,
            "qz-ruvude-zivo: cannot read the script '/nonexistent-qz/s': No such file or directory\n");
        row("empty script name", {"--run="}, unset, 2, none,
            UsageError("--run needs a script file, or - for standard input."));
        row("--show alone", {"--show"}, unset, 2, none, UsageError("--show goes with --run."));
        row("every kind of port", {"--list-ports", "--ports", "$METER,$FILE,$MISSING,,$DIR,/dev/null"}, unset, 0,
            "Comm1: $METER: ok\nComm2: $FILE: not a serial device\nComm3: $MISSING: missing\n"
            "Comm5: $DIR: not a serial device\nComm6: /dev/null: not a serial device\n",
            none);
        row("no usable port", {"--list-ports", "--ports", "$HELD,$FILE"}, unset, 1,
            "Comm1: $HELD: busy (held by another program)\nComm2: $FILE: not a serial device\n", none);
        row("the variable", {"--list-ports"}, "$MISSING,$METER", 0, "Comm1: $MISSING: missing\nComm2: $METER: ok\n",
            none);
        row("the option wins", {"--list-ports", "--ports", ",$MISSING"}, "$METER", 1, "Comm2: $MISSING: missing\n",
            none);
        row("no ports", {"--list-ports", "--ports", ""}, unset, 1,
            "No serial ports: none of Comm1 to Comm16 has a device.\n", none);
    }
    void runsWithoutADisplay()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, variable);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const auto fill = [this](QString text) {
            return text.replace("$METER", m_meter->device)
                .replace("$HELD", m_heldMeter->device)
                .replace("$FILE", m_dir.filePath("notes.txt"))
                .replace("$MISSING", m_dir.filePath("unplugged"))
                .replace("$DIR", m_dir.path());
        };
        for (QString& arg : args)
            arg = fill(arg);
        const qsizetype opens = m_meter->Entries("OPEN").size() + (out.contains("$METER: ok") ? 1 : 0);
        QMap<QString, QString> env;
        if (!variable.isNull())
            env.insert("QZ_SERIAL_PORTS", fill(variable));
        const Ran ran = RunWithoutDisplay(Program, args, env);
        QCOMPARE(ran.out, fill(out));
        QCOMPARE(ran.err, err);
        QCOMPARE(ran.status, status);
        // A usable device is opened once, closed, and sent nothing.
        QVERIFY(m_meter->WaitFor([&] { return m_meter->Entries("CLOSE").size() == opens; }));
        QCOMPARE(m_meter->Entries("OPEN").size(), opens);
        QCOMPARE(m_meter->Frames(), QStringList());
    }

    void helpAndManPageNameTheSameOptions_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("manPage");
        QTest::newRow("qz-ruvude-zivo") << Program << QZ_SOURCE_DIR "/data/man/qz-ruvude-zivo.1";
        QTest::newRow("meter-sim") << METER_SIM_PATH << QZ_SOURCE_DIR "/data/man/meter-sim.1";
    }
    void helpAndManPageNameTheSameOptions()
    {
        QFETCH(QString, program);
        QFETCH(QString, manPage);
        QFile man(manPage);
        QVERIFY(man.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(man.readAll());
        const QString options = text.section("\n.SH OPTIONS\n", 1).section("\n.SH ", 0, 0);
        const Ran help = RunWithoutDisplay(program, {"--help"});
        QCOMPARE(help.status, 0);
        QVERIFY(Options(help.out).size() >= 5);
        QCOMPARE(Options(options), Options(help.out));
    }

    // A window run traced to standard error. The process is killed, not
    // ended: every line traced so far is there all the same.
    void windowRunTracesToStandardError()
    {
        int master = -1, slave = -1;
        char name[256] = {};
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        ::close(slave);
        const QString device = QString::fromLatin1(name);
        QProcess process;
        process.setProcessEnvironment(NoDisplayEnvironment({{"QT_QPA_PLATFORM", "offscreen"}}));
        process.setReadChannel(QProcess::StandardError);
        process.start(Program, {"--ports", device, "--trace", "-"});
        QString err;
        for (QDeadlineTimer limit(20000); !err.contains("CLOSE") && !limit.hasExpired();) {
            process.waitForReadyRead(100);
            err += QString::fromLocal8Bit(process.readAllStandardError());
        }
        process.kill();
        process.waitForFinished();
        ::close(master);
        static const QRegularExpression line(QStringLiteral("^\\d+\\.\\d{6} (.*)$"),
                                             QRegularExpression::MultilineOption);
        QStringList events;
        for (const auto& match : line.globalMatch(err))
            events << match.captured(1);
        QCOMPARE(events, (QStringList{"START " + Version, "OPEN Comm1 " + device, "CLOSE Comm1 " + device}));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
