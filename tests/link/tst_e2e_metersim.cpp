// The meter simulator on its own: driven over its pseudo-terminal by plain
// POSIX calls, the way a serial program would, with its log read back. The
// end-to-end tests of the program trust what this test shows about the
// simulator: that it logs exactly the frames it gets, when it gets them, and
// answers as its options say.
#include "e2e/MeterSim.h"

#include "Timing.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The program's side of the line, opened the way a serial layer opens it.
class Line {
public:
    explicit Line(const QString& device)
    {
        m_fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios t{};
            tcgetattr(m_fd, &t);
            cfmakeraw(&t);
            tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    ~Line() { Close(); }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    bool Write(const QByteArray& bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    int Waiting() const
    {
        int n = -1;
        ::ioctl(m_fd, FIONREAD, &n);
        return n;
    }
    // Reads what arrives until `enough` says stop or the time is up.
    QByteArray ReadUntil(const std::function<bool(const QByteArray&)>& enough, int timeoutMs)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (!enough(got)) {
            const qint64 left = timeoutMs - timer.elapsed();
            if (left <= 0)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, int(left)) <= 0)
                continue;
            if (!(p.revents & POLLIN))
                break;
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }
    QByteArray ReadFor(int ms)
    {
        return ReadUntil([](const QByteArray&) { return false; }, ms);
    }
    QByteArray ReadLine(int timeoutMs)
    {
        return ReadUntil([](const QByteArray& b) { return b.contains('\r'); }, timeoutMs);
    }

private:
    int m_fd = -1;
};

const double Slack = Timing::Slack();

// CPU time (user + system) the process has used, in clock ticks.
long CpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLong() + fields.value(12).toLong();
}

}  // namespace

class TestMeterSim : public QObject {
    Q_OBJECT

private slots:
    void printsDeviceAndLogsStart()
    {
        MeterSim sim({"--serial", "QZ5555"});
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        QVERIFY2(sim.device().startsWith("/dev/"), qPrintable(sim.device()));
        QVERIFY(sim.WaitForKind("START", 1, 5000));
        const MeterSim::Entry start = sim.Entries("START").first();
        QVERIFY(start.rest.contains("device=" + sim.device()));
        QVERIFY(start.rest.contains("serial=\"QZ5555\""));
        Line line(sim.device());
        QVERIFY2(line.isOpen(), strerror(errno));
    }

    void logsEveryFrameExactlyAndInOrder()
    {
        MeterSim sim;
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        Line line(sim.device());
        QVERIFY(line.isOpen());
        // Several frames in one write, a frame split over two writes, an
        // empty frame and bytes that must be logged escaped.
        QVERIFY(line.Write("\r"));
        QVERIFY(line.Write("H\rH\rN0C6\r"));
        QVERIFY(line.Write("NF"));
        QVERIFY(sim.WaitForFrames(4, 5000));
        QVERIFY(line.Write("3A\r"));
        QVERIFY(line.Write(QByteArray("X\"\\\n\x01", 5) + '\r'));
        QVERIFY(sim.WaitForFrames(6, 5000));
        const QList<QByteArray> expected{"", "H", "H", "N0C6", "NF3A", QByteArray("X\"\\\n\x01", 5)};
        QCOMPARE(sim.Frames(), expected);
        QVERIFY2(sim.LogText().contains("RX \"X\\\"\\\\\\n\\x01\""), qPrintable(sim.LogText()));
        // None of these asks for an answer.
        QCOMPARE(line.ReadFor(300), QByteArray());
        // Timestamps never go backwards.
        const auto rx = sim.Entries("RX");
        for (int i = 1; i < rx.size(); ++i)
            QVERIFY(rx[i].time >= rx[i - 1].time);
    }

    void timestampsShowTheSpacingOfFrames()
    {
        MeterSim sim;
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        Line line(sim.device());
        QVERIFY(line.isOpen());
        QElapsedTimer gap;
        QVERIFY(line.Write("H\r"));
        gap.start();
        QTest::qSleep(108);
        QVERIFY(line.Write("H\r"));
        const double sent = gap.nsecsElapsed() / 1e9;
        QVERIFY(sim.WaitForFrames(2, 5000));
        const auto rx = sim.Entries("RX");
        const double logged = rx[1].time - rx[0].time;
        QVERIFY2(logged > 0.108 - 0.010 && logged < sent + Slack,
                 qPrintable(QString("logged %1 s, sent %2 s apart").arg(logged).arg(sent)));
    }

    void answersIdentityPromptly()
    {
        MeterSim sim({"--serial", "QZ9876", "--third", "B", "--firmware", "2.10,X"});
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        Line line(sim.device());
        QVERIFY(line.isOpen());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(line.Write("V\r"));
        const QByteArray answer = line.ReadLine(2000);
        const double took = timer.nsecsElapsed() / 1e9;
        QCOMPARE(answer, QByteArray("V,QZ9876,B,2.10,X\r"));
        // Well inside the half second a reader waits before it reads.
        QVERIFY2(took < 0.5, qPrintable(QString::number(took)));
        QVERIFY(sim.WaitForKind("TX", 1, 2000));
        QCOMPARE(sim.Entries("TX").first().text, answer);
        QVERIFY(sim.Entries("TX").first().time >= sim.Entries("RX").first().time);
    }

    void answerShapes_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("good") << QStringList{} << QByteArray("V,QZ1234,A,1.05\r");
        QTest::newRow("lowercase") << QStringList{"--lowercase"} << QByteArray("v,qz1234,a,1.05\r");
        QTest::newRow("lf-inside") << QStringList{"--lf-inside"} << QByteArray("V,QZ1\n234,A,1.05\r");
        QTest::newRow("blanks") << QStringList{"--blanks"} << QByteArray("V,QZ1 234,A, 1.05\r");
        QTest::newRow("empty-line-first") << QStringList{"--empty-line-first"} << QByteArray("\rV,QZ1234,A,1.05\r");
        QTest::newRow("trailing") << QStringList{"--trailing"} << QByteArray("V,QZ1234,A,1.05\r\nJUNK");
        QTest::newRow("truncated") << QStringList{"--truncated"} << QByteArray("V,QZ1234,A,1.05");
        QTest::newRow("other identity") << QStringList{"--serial", "QZ77", "--firmware", "3.1"}
                                        << QByteArray("V,QZ77,A,3.1\r");
    }
    void answerShapes()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, expected);
        MeterSim sim(options);
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        Line line(sim.device());
        QVERIFY(line.isOpen());
        QVERIFY(line.Write("V\r"));
        // Read until the whole expected length is in, then a little longer to
        // see that nothing more follows.
        QByteArray answer = line.ReadUntil([&](const QByteArray& b) { return b.size() >= expected.size(); }, 2000);
        answer += line.ReadFor(150);
        QCOMPARE(answer, expected);
    }

    void silentAnswersNothing()
    {
        MeterSim sim({"--silent"});
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        Line line(sim.device());
        QVERIFY(line.isOpen());
        QVERIFY(line.Write("\rH\rH\rV\r"));
        QCOMPARE(line.ReadFor(1000), QByteArray());
        QVERIFY(sim.WaitForFrames(4, 2000));
        QCOMPARE(sim.Frames(), (QList<QByteArray>{"", "H", "H", "V"}));
        QVERIFY(sim.Entries("TX").isEmpty());
    }

    void answerDelays_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<double>("delay");
        QTest::newRow("late") << QStringList{"--late"} << 0.9;
        QTest::newRow("delay 0.3") << QStringList{"--delay", "0.3"} << 0.3;
        QTest::newRow("delay 0.6") << QStringList{"--delay", "0.6"} << 0.6;
    }
    void answerDelays()
    {
        QFETCH(QStringList, options);
        QFETCH(double, delay);
        MeterSim sim(options);
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        Line line(sim.device());
        QVERIFY(line.isOpen());
        QElapsedTimer timer;
        QVERIFY(line.Write("V\r"));
        timer.start();
        const QByteArray answer = line.ReadLine(3000);
        const double took = timer.nsecsElapsed() / 1e9;
        QCOMPARE(answer, QByteArray("V,QZ1234,A,1.05\r"));
        QVERIFY2(took >= delay - 0.005 && took < delay + 2 * Slack, qPrintable(QString::number(took)));
        QVERIFY(sim.WaitForKind("TX", 1, 2000));
        const double logged = sim.Entries("TX").first().time - sim.Entries("RX").first().time;
        QVERIFY2(logged >= delay && logged < delay + Slack, qPrintable(QString::number(logged)));
    }

    void chattyNeverFallsQuiet()
    {
        MeterSim sim({"--chatty"});
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        Line line(sim.device());
        QVERIFY(line.isOpen());
        QVERIFY(line.Write("H\rH\r"));
        // Drained again and again, the line keeps filling, "H" or not.
        for (int pass = 0; pass < 5; ++pass) {
            line.ReadFor(20);
            QVERIFY(line.Write("H\r"));
            const QByteArray more = line.ReadUntil([](const QByteArray& b) { return b.contains('\r'); }, 500);
            QVERIFY2(more.contains("M,800\r"), qPrintable(QString("pass %1: %2").arg(pass).arg(QString(more))));
        }
        QVERIFY(sim.WaitForFrames(7, 2000));
    }

    void survivesManyOpensAndCloses()
    {
        MeterSim sim;
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        constexpr int Rounds = 40;
        for (int i = 0; i < Rounds; ++i) {
            Line line(sim.device());
            QVERIFY2(line.isOpen(), qPrintable(QString("round %1: %2").arg(i).arg(strerror(errno))));
            QVERIFY(line.Write("V\r"));
            QCOMPARE(line.ReadLine(2000), QByteArray("V,QZ1234,A,1.05\r"));
        }
        QVERIFY(sim.WaitForKind("CLOSE", Rounds, 5000));
        QCOMPARE(sim.Entries("OPEN").size(), Rounds);
        QCOMPARE(sim.Entries("RX").size(), Rounds);
        QCOMPARE(sim.process().state(), QProcess::Running);
    }

    void unreadBytesAreLostWhenTheDeviceCloses()
    {
        // Like a real port: what nobody read before the close is gone at the
        // next open.
        MeterSim sim({"--trailing"});
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        {
            Line line(sim.device());
            QVERIFY(line.isOpen());
            QVERIFY(line.Write("V\r"));
            QVERIFY(sim.WaitForKind("TX", 1, 2000));
            QCOMPARE(line.ReadUntil([](const QByteArray& b) { return b.endsWith("JUNK"); }, 2000),
                     QByteArray("V,QZ1234,A,1.05\r\nJUNK"));
            // A second answer is left unread.
            QVERIFY(line.Write("V\r"));
            QVERIFY(sim.WaitForKind("TX", 2, 2000));
        }
        QVERIFY(sim.WaitForKind("CLOSE", 1, 2000));
        Line again(sim.device());
        QVERIFY(again.isOpen());
        QCOMPARE(again.Waiting(), 0);
        QCOMPARE(again.ReadFor(200), QByteArray());
    }

    void dropsTheDeviceAfterNFrames()
    {
        MeterSim sim({"--drop-after", "3"});
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        Line line(sim.device());
        QVERIFY(line.isOpen());
        QVERIFY(line.Write("\rH\r"));
        QVERIFY(sim.WaitForFrames(2, 2000));
        QCOMPARE(sim.process().state(), QProcess::Running);
        QVERIFY(line.Write("S\rN800\r"));
        QVERIFY(sim.process().waitForFinished(5000));
        QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process().exitCode(), 0);
        QCOMPARE(sim.Frames(), (QList<QByteArray>{"", "H", "S"}));
        QCOMPARE(sim.Entries("DROP").size(), 1);
        // Our side sees the line hang up, and the device cannot be opened again.
        pollfd p{line.fd(), POLLIN, 0};
        QCOMPARE(::poll(&p, 1, 2000), 1);
        QVERIFY(p.revents & POLLHUP);
        line.Close();
        Line again(sim.device());
        QVERIFY(!again.isOpen());
    }

    void endsCleanlyOnSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void endsCleanlyOnSignals()
    {
        QFETCH(int, signal);
        MeterSim sim;
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        Line line(sim.device());
        QVERIFY(line.Write("N8"));  // a frame still being received
        QVERIFY(sim.WaitForKind("OPEN", 1, 2000));
        QTest::qWait(50);
        QCOMPARE(::kill(pid_t(sim.process().processId()), signal), 0);
        QVERIFY(sim.process().waitForFinished(5000));
        QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process().exitCode(), 0);
        QCOMPARE(sim.Entries("STOP").size(), 1);
        QVERIFY(sim.Entries("STOP").first().rest.contains(QString::number(signal)));
        QCOMPARE(sim.Entries("RX-PART").size(), 1);
        QCOMPARE(sim.Entries("RX-PART").first().text, QByteArray("N8"));
    }

    void idleCostsNoCpu()
    {
        // Waiting for frames, with the device open or closed by the other
        // side, is done asleep, never by spinning.
        MeterSim sim;
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        {
            Line line(sim.device());
            QVERIFY(line.Write("H\r"));
        }
        QVERIFY(sim.WaitForKind("CLOSE", 1, 2000));
        const qint64 pid = sim.process().processId();
        const long before = CpuTicks(pid);
        QVERIFY(before >= 0);
        QTest::qSleep(1000);
        const long used = CpuTicks(pid) - before;
        QVERIFY2(used <= 5, qPrintable(QString("%1 ticks in 1 s").arg(used)));
    }

    void logsToAFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("sim.log");
        MeterSim sim({"--log", path});
        QVERIFY2(sim.Start(), qPrintable(sim.error()));
        {
            Line line(sim.device());
            QVERIFY(line.Write("V\r"));
            QCOMPARE(line.ReadLine(2000), QByteArray("V,QZ1234,A,1.05\r"));
        }
        sim.Stop();
        QFile log(path);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(log.readAll());
        QVERIFY2(text.contains(QRegularExpression("^\\d+\\.\\d{6} RX \"V\"$", QRegularExpression::MultilineOption)),
                 qPrintable(text));
        QVERIFY(text.contains("TX \"V,QZ1234,A,1.05\\r\""));
        // Standard output held the device path only.
        QVERIFY(sim.Log().isEmpty());
    }

    void helpAndBadOptions()
    {
        QProcess help;
        help.start(QStringLiteral(METER_SIM_PATH), {"--help"});
        QVERIFY(help.waitForFinished(5000));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromLatin1(help.readAllStandardOutput());
        for (const char* option : {"--serial", "--firmware", "--chatty", "--silent", "--late", "--lowercase",
                                   "--lf-inside", "--blanks", "--empty-line-first", "--truncated", "--trailing",
                                   "--drop-after", "--log"})
            QVERIFY2(text.contains(QLatin1String(option)), option);

        QProcess bad;
        bad.start(QStringLiteral(METER_SIM_PATH), {"--no-such-option"});
        QVERIFY(bad.waitForFinished(5000));
        QCOMPARE(bad.exitCode(), 2);
        QVERIFY(bad.readAllStandardOutput().isEmpty());
        QVERIFY(bad.readAllStandardError().contains("--no-such-option"));
    }
};

QTEST_GUILESS_MAIN(TestMeterSim)
#include "tst_e2e_metersim.moc"
