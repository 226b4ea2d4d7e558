// The command line as a user meets it: the program run as its own process
// with no display, its output, its exit status, and its man page.
#include "NoDisplayRun.h"
#include "about/frmAbout.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <pty.h>
#include <time.h>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral(QZ_PROGRAM_PATH);

// The clock meter-sim stamps its log with.
double Monotonic()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

QString UsageError(const QString& what)
{
    return "qz-ruvude-zivo: " + what +
           "\nUsage: qz-ruvude-zivo [options]\nTry 'qz-ruvude-zivo --help' for more information.\n";
}

// The options a text lists: on --help's option lines, or on the lines that
// follow .TP in a man page's OPTIONS section.
QStringList OptionsIn(const QStringList& lines)
{
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
    QStringList out;
    for (const QString& line : lines)
        for (const auto& match : option.globalMatch(line))
            out << match.captured();
    out.sort();
    return out;
}

// An option line of --help: the options, then two or more blanks, then what they do.
QStringList HelpOptionLines(const QString& help)
{
    static const QRegularExpression gap(QStringLiteral("\\s{2,}"));
    QStringList out;
    for (const QString& line : help.split('\n'))
        if (line.startsWith(QLatin1String("  -")))
            out << line.trimmed().section(gap, 0, 0);
    return out;
}

QStringList ManOptionLines(const QString& man)
{
    const QString options = man.section(QStringLiteral("\n.SH OPTIONS\n"), 1).section(QStringLiteral("\n.SH "), 0, 0);
    QStringList out;
    const QStringList lines = options.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (lines[i - 1] == QLatin1String(".TP") && lines[i].startsWith('.'))
            out << QString(lines[i]).replace(QLatin1String("\\-"), QLatin1String("-"));
    return out;
}

}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void answersWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("firstLineOut");
        QTest::addColumn<QString>("err");
        const QString version = "qz-ruvude-zivo (qz Ruvude Zivo) " + frmAbout::VersionText();
        const QString usage = QStringLiteral("Usage: qz-ruvude-zivo [options]");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QString();
        QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << QString();
        QTest::newRow("--version") << QStringList{"--version"} << 0 << version << QString();
        QTest::newRow("-v after a Qt option") << QStringList{"-platform", "offscreen", "-v"} << 0 << version
                                              << QString();
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QString()
                                        << UsageError("Unknown option 'bogus'.");
        QTest::newRow("missing value") << QStringList{"--ports"} << 2 << QString()
                                       << UsageError("Missing value after '--ports'.");
        QTest::newRow("value to a flag") << QStringList{"--list-ports=yes"} << 2 << QString()
                                         << UsageError("Unexpected value after '--list-ports'.");
        QTest::newRow("stray argument") << QStringList{"--trace", "-", "COM3"} << 2 << QString()
                                        << UsageError("Unexpected argument 'COM3'.");
        QTest::newRow("empty trace name") << QStringList{"--trace="} << 2 << QString()
                                          << UsageError("--trace needs a file name, or - for standard error.");
        QTest::newRow("unwritable trace") << QStringList{"--trace", "/nonexistent-qz/t"} << 2 << QString()
                                          << "qz-ruvude-zivo: cannot write the trace to '/nonexistent-qz/t': "
                                             "No such file or directory\n";
    }
    void answersWithoutADisplay()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, firstLineOut);
        QFETCH(QString, err);
        const Ran ran = RunWithoutDisplay(Program, args);
        QCOMPARE(ran.status, status);
        QCOMPARE(ran.out.section('\n', 0, 0), firstLineOut);
        QCOMPARE(ran.out.isEmpty() || ran.out.endsWith('\n'), true);
        QCOMPARE(ran.err, err);
    }

    void helpAndManPageListTheSameOptions_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("manPage");
        QTest::newRow("qz-ruvude-zivo") << Program << QZ_SOURCE_DIR "/data/man/qz-ruvude-zivo.1";
        QTest::newRow("meter-sim") << METER_SIM_PATH << QZ_SOURCE_DIR "/data/man/meter-sim.1";
    }
    void helpAndManPageListTheSameOptions()
    {
        QFETCH(QString, program);
        QFETCH(QString, manPage);
        QFile man(manPage);
        QVERIFY(man.open(QIODevice::ReadOnly));
        const Ran help = RunWithoutDisplay(program, {"--help"});
        QCOMPARE(help.status, 0);
        const QStringList options = OptionsIn(HelpOptionLines(help.out));
        QVERIFY2(options.size() >= 5, qPrintable(options.join(' ')));
        QCOMPARE(OptionsIn(ManOptionLines(QString::fromUtf8(man.readAll()))), options);
    }

    // The window's run, traced to standard error: the trace starts before the
    // window and stamps its lines on the system's monotonic clock, the
    // simulator's. The
    // process is killed, not ended: what was traced is there all the same.
    void windowRunTracesToStandardError()
    {
        int master = -1, slave = -1;
        char name[256] = {};
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        ::close(slave);
        const QString device = QString::fromLatin1(name);
        QProcess process;
        process.setProcessEnvironment(NoDisplayEnvironment({{"QT_QPA_PLATFORM", "offscreen"}}));
        const double before = Monotonic();
        process.start(Program, {"--ports", device, "--trace", "-"});
        QVERIFY(process.waitForStarted());
        QString err;
        const QString closed = "CLOSE Comm1 " + device + '\n';
        QElapsedTimer waited;
        waited.start();
        while (!err.contains(closed) && waited.elapsed() < 20000 && process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
            err += QString::fromLocal8Bit(process.readAllStandardError());
        }
        process.kill();
        process.waitForFinished();
        ::close(master);
        const double after = Monotonic();

        static const QRegularExpression traceLine(QStringLiteral("^(\\d+\\.\\d{6}) (.*)$"));
        QStringList events;
        for (const QString& line : err.split('\n')) {
            const auto match = traceLine.match(line);
            if (!match.hasMatch())
                continue;
            const double at = match.captured(1).toDouble();
            QVERIFY2(at >= before && at <= after, qPrintable(line));
            events << match.captured(2);
        }
        QCOMPARE(events, (QStringList{"START qz-ruvude-zivo (qz Ruvude Zivo) " + frmAbout::VersionText(),
                                      "OPEN Comm1 " + device, "CLOSE Comm1 " + device}));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
