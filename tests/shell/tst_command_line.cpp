// The command line as a user meets it: the program run as its own process
// with no display (its output, exit status and what it did to a simulated
// meter), and the man pages against --help. And meter-sim as the meter on a
// terminal that already exists (--device), the way the VM stage puts it on
// the host end of QEMU's adapter.
#include "../link/e2e/E2eRig.h"
#include "NoDisplayRun.h"
#include "Pty.h"
#include "about/frmAbout.h"
#include "shell/CommandLine.h"

#include <QtTest>

#include <sys/stat.h>

#include <csignal>

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
    MeterSim m_meter{QStringList{}}, m_heldMeter{QStringList{}};
    QtCommControl m_holder;  // another program, as far as the program run can tell

private slots:
    void initTestCase()
    {
        E2eRig::SetPorts({m_heldMeter.device});
        QVERIFY(m_holder.setCommPort(1) && m_holder.setPortOpen(true));
        QVERIFY(QFile::link(m_meter.device, m_dir.filePath("by-id-link")));
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath("fifo")).constData(), 0600), 0);
        QFile script(m_dir.filePath("bad.qz"));  // a script, and no serial device
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write("connect\n# fine so far\nwait soon\nleft") > 0);
        QFile asks(m_dir.filePath("ask.qz"));
        QVERIFY(asks.open(QIODevice::WriteOnly) && asks.write("connect\nask Needle on the left stop?\n") > 0);
    }

    // Also on a standard output that fails: one whose reader has gone ends quietly, as coreutils end (by
    // SIGPIPE, or without a word where SIGPIPE was ignored at start); any other write error is said, with a
    // status of its own, also on a standard output closed at start. A port it had open is let go all the same.
    void runsWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("args");  // first "PORTS=...": QZ_SERIAL_PORTS; last ">...": the output
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString help = CommandLine::Parse({Program, "--help"}).message, none = "";
        const auto row = [](const char* name, const QStringList& args, int status, const QString& out,
                            const QString& err) { QTest::newRow(name) << args << status << out << err; };
        row("--help", {"--help"}, 0, help, none);
        row("-h", {"-h"}, 0, help, none);
        row("--version", {"--version"}, 0, Version + '\n', none);
        row("-v after a Qt option", {"-platform", "offscreen", "-v"}, 0, Version + '\n', none);
        row("unknown", {"--bogus"}, 2, none, UsageError("Unknown option 'bogus'."));
        row("no value", {"--ports"}, 2, none, UsageError("Missing value after '--ports'."));
        row("value to a flag", {"--list-ports=yes"}, 2, none, UsageError("Unexpected value after '--list-ports'."));
        row("stray", {"--trace", "-", "COM3"}, 2, none, UsageError("Unexpected argument 'COM3'."));
        row("no trace name", {"--trace="}, 2, none, UsageError("--trace needs a file name, or - for standard error."));
        row("unwritable trace", {"--trace", "/nonexistent-qz/t"}, 2, none,
            "qz-ruvude-zivo: cannot write the trace to '/nonexistent-qz/t': No such file or directory\n");
        row("trace to a FIFO nobody reads", {"--trace", "$FIFO"}, 2, none,
            "qz-ruvude-zivo: cannot write the trace to '$FIFO': no program is reading that FIFO\n");
        row("one device under two names", {"--list-ports", "--ports", "$LINK,$METER"}, 0,
            "Comm1: $LINK: ok\nComm2: $METER: same device as Comm1\n", none);
        row("unreadable script", {"--run", "/nonexistent-qz/s"}, 2, none,
            "qz-ruvude-zivo: cannot read the script '/nonexistent-qz/s': No such file or directory\n");
        row("script with a bad line", {"--run", "$FILE", "--ports", "$METER"}, 2, none,
            "$FILE:3: wait needs a number of seconds from 0 to 86400, not 'soon'\n");
        row("a question, no terminal and no --show", {"--run", "$ASK", "--ports", "$METER"}, 2, none,
            "$ASK:2: ask needs --show or a terminal to ask on\n");
        row("no script name", {"--run="}, 2, none, UsageError("--run needs a script file, or - for standard input."));
        row("--show alone", {"--show"}, 2, none, UsageError("--show goes with --run."));
        row("every kind of port", {"--list-ports", "--ports", "$METER,$FILE,$MISSING,,$DIR,/dev/null"}, 0,
            "Comm1: $METER: ok\nComm2: $FILE: not a serial device\nComm3: $MISSING: missing\n"
            "Comm5: $DIR: not a serial device\nComm6: /dev/null: not a serial device\n",
            none);
        row("no usable port", {"--list-ports", "--ports", "$HELD,$FILE"}, 1,
            "Comm1: $HELD: busy (held by tst_command_lin, pid $PID)\nComm2: $FILE: not a serial device\n", none);
        row("the variable", {"PORTS=$MISSING,$METER", "--list-ports"}, 0,
            "Comm1: $MISSING: missing\nComm2: $METER: ok\n", none);
        row("the option wins", {"PORTS=$METER", "--list-ports", "--ports", ",$MISSING"}, 1,
            "Comm2: $MISSING: missing\n", none);
        row("no ports", {"--list-ports", "--ports", ""}, 1, "No serial ports: none of Comm1 to Comm16 has a device.\n",
            none);
        row("meter-sim on no terminal", {"meter-sim", "--device", "/dev/null"}, 1, none,
            "meter-sim: '/dev/null' is not a terminal device: Inappropriate ioctl for device\n");
        row("meter-sim on no device", {"meter-sim", "--device", "$MISSING"}, 1, none,
            "meter-sim: cannot open '$MISSING': No such file or directory\n");
        const QString cannot = "qz-ruvude-zivo: cannot write to standard output: ";
        for (const char* option : {"--help", "--version", "--list-ports"}) {
            const auto failing = [option](const char* output, int status, const QString& err) {
                QTest::addRow("%s %s", option, output) << QStringList{"PORTS=$METER", option, output} << status << ""
                                                      << err;
            };
            failing(">|", 128 + SIGPIPE, "");
            failing(">|~", 3, "");
            failing(">/dev/full", 3, cannot + "No space left on device\n");
            failing(">closed", 3, cannot + "Bad file descriptor\n");
        }
    }
    void runsWithoutADisplay()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const auto fill = [this](QString text) {
            return text.replace("$METER", m_meter.device)
                .replace("$HELD", m_heldMeter.device)
                .replace("$FILE", m_dir.filePath("bad.qz"))
                .replace("$ASK", m_dir.filePath("ask.qz"))
                .replace("$MISSING", m_dir.filePath("unplugged"))
                .replace("$DIR", m_dir.path())
                .replace("$LINK", m_dir.filePath("by-id-link"))
                .replace("$PID", QString::number(QCoreApplication::applicationPid()))
                .replace("$FIFO", m_dir.filePath("fifo"));
        };
        for (QString& arg : args)
            arg = fill(arg);
        QMap<QString, QString> env;
        if (args.first().startsWith("PORTS="))
            env.insert("QZ_SERIAL_PORTS", args.takeFirst().mid(6));
        const QString output = args.last().startsWith('>') ? args.takeLast() : "";
        const qsizetype opens = m_meter.Entries("OPEN").size() +
                                (out.contains(": ok") || (!output.isEmpty() && args.contains("--list-ports")) ? 1 : 0);
        const bool sim = args.value(0) == "meter-sim";
        const Ran ran = RunWithoutDisplay(sim ? METER_SIM_PATH : Program, args.mid(sim ? 1 : 0), env, output);
        QCOMPARE(ran.out, fill(out));
        QCOMPARE(ran.err, fill(err));
        QCOMPARE(ran.status, status);
        // A usable device is opened once, closed, and sent nothing.
        QVERIFY(m_meter.WaitFor([&] { return m_meter.Entries("CLOSE").size() == opens; }));
        QCOMPARE(m_meter.Entries("OPEN").size(), opens);
        QCOMPARE(m_meter.Frames(), QStringList());
    }

    void helpAndManPageNameTheSameOptions()
    {
        for (const auto& [program, page] : {std::pair{Program, "qz-ruvude-zivo"}, {METER_SIM_PATH, "meter-sim"}}) {
            QFile man(QZ_SOURCE_DIR "/data/man/" + QString(page) + ".1");
            QVERIFY(man.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(man.readAll());
            const Ran help = RunWithoutDisplay(program, {"--help"});
            QVERIFY(help.status == 0 && Options(help.out).size() >= 5);
            QCOMPARE(Options(text.section("\n.SH OPTIONS\n", 1).section("\n.SH ", 0, 0)), Options(help.out));
        }
    }

    // meter-sim --device answers on the far end of a pseudo-terminal made
    // here, through a link; hung up while the link leads to a device (as a
    // USB gadget's port stays), it opens that afresh, else waits without spinning.
    void meterSimOnAnExistingTerminal()
    {
        Pty first, second;
        const QString line = m_dir.filePath("line");
        QVERIFY(QFile::link(first.name, line));
        QProcess sim;
        sim.start(METER_SIM_PATH, {"--device", line});
        const auto answers = [](const Pty& pty) {
            return ::write(pty.master, "V\r", 2) == 2 && pty.Read(16) == "V,QZ1234,A,1.05\r";
        };
        QVERIFY(sim.waitForReadyRead(5000) && answers(first));
        QVERIFY(QFile::remove(line) && QFile::link(second.name, line));
        first.HangUp();
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += sim.readAllStandardOutput()).contains("REOPEN"), 5000);
        QVERIFY(answers(second));
        QVERIFY(QFile::remove(line));
        second.HangUp();
        const auto cpuTicks = [&sim] {  // user and system time so far
            QFile stat(QString("/proc/%1/stat").arg(sim.processId()));
            const auto fields = stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ') : QList<QByteArray>{};
            return fields.value(13).toLong() + fields.value(14).toLong();
        };
        const long before = cpuTicks();
        QTest::qWait(500);
        QVERIFY2(cpuTicks() - before < 10, "meter-sim spins after a hang-up");
        log += sim.readAllStandardOutput();
        QCOMPARE(log.count("HANGUP"), 2);
        QCOMPARE(log.count("REOPEN"), 1);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
