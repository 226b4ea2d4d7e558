// Output queued for a writer thread: a reader that stalls never holds up the
// writing thread; what does not fit is dropped whole, with one line in the
// gap as soon as there is room; the end waits at most its limit; a failed
// write is said once. The standard descriptors, and each output's own line
// for lost ones.
#include "HeardConsole.h"
#include "StalledPipe.h"
#include "Timing.h"
#include "link/LineTrace.h"
#include "script/EventReport.h"
#include "script/TextOutput.h"
#include "shell/Clock.h"
#include "shell/OutputQueue.h"
#include "shell/StandardStreams.h"

#include <QtTest>

#include <atomic>
#include <thread>

#include <sys/stat.h>

using namespace std::chrono_literals;

class TestOutputQueue : public QObject {
    Q_OBJECT

private slots:
    // 100-byte lines: 10485 fit in the megabyte, the rest of the first 12000 are lost, and said
    // as the run's report says it; a last line of another channel goes in all the same. A text
    // of three lines lost counts as three.
    void dropsWholeLinesAndMarksTheGap()
    {
        StalledPipe pipe;
        OutputQueue queue(pipe.write);
        auto& lines = queue.AddChannel(EventReport::DroppedMarker(EventReport::Format::Text));
        auto& other = queue.AddChannel({});
        auto& said = queue.AddChannel([](qint64 count, const OutputQueue::Stamp&) {
            return StandardError::DroppedLine(count);
        });
        MonotonicClock took;
        QByteArray kept;
        for (int i = 0; i < 12000; ++i) {
            const QByteArray line = QByteArray::number(i).rightJustified(99, '.') + '\n';
            lines.Write(line, {double(i), -i});
            kept += i < 10485 ? line : QByteArray();
        }
        const QByteArray last = "last" + QByteArray(200, '.') + '\n';  // more than the room left
        other.WriteLast(last);
        said.Write("No meter detected\nRetry\nCancel\n");
        QVERIFY2(took.Timer() < 0.5, "the writing thread waited for the reader");
        QCOMPARE(lines.Dropped(), 12000 - 10485);
        // The reader takes it all: the gap is marked with no line written since.
        QByteArray got = pipe.Drain(300);
        QCOMPARE(got, kept + last + "10485.000 -10485 dropped count=1515\n" + StandardError::DroppedLine(3));
        lines.Write("after\n");
        QVERIFY(queue.Finish(std::chrono::steady_clock::now() + 5000ms));
        QCOMPARE(pipe.Drain(), QByteArray("after\n"));
    }

    // On a pipe every write is a run of whole lines of at most PIPE_BUF bytes, a longer line
    // alone: a pipe in packet mode hands the reader each write as it was made.
    void writesWholeLinesToAPipe()
    {
        int ends[2] = {-1, -1};
        QCOMPARE(::pipe2(ends, O_DIRECT | O_CLOEXEC), 0);
        QList<QByteArray> writes;
        std::thread reader([&] {
            char buf[65536];
            for (ssize_t n; (n = ::read(ends[0], buf, sizeof buf)) > 0;)
                writes << QByteArray(buf, n);
        });
        QByteArray all;
        {
            OutputQueue queue(ends[1]);
            ::close(ends[1]);
            auto& channel = queue.AddChannel({});
            for (int i = 0; i < 400; ++i) {
                const QByteArray line = i == 200 ? QByteArray(PIPE_BUF + 900, 'L') : QByteArray::number(i).repeated(30);
                channel.Write(line + '\n');
                all += line + '\n';
            }
        }
        reader.join();
        ::close(ends[0]);
        QCOMPARE(writes.join(), all);
        for (const QByteArray& write : writes)  // the system cuts the long line's write in packets of PIPE_BUF
            QVERIFY2(write.endsWith('\n') || write == QByteArray(PIPE_BUF, 'L'), write.right(40).constData());
    }

    // The end: a stalled reader gets one second, and everything if it is back within it; a
    // write that fails is said once, however many lines follow.
    void howAnOutputEnds_data()
    {
        QTest::addColumn<QString>("to");    // "stalled" (its reader back after resumeMs, -1: never), "/dev/full",
        QTest::addColumn<int>("resumeMs");  // "pipe" (its reader gone), "" (a descriptor closed at start);
        QTest::addColumn<int>("error");     // "stalled~": non-blocking, as another program may leave it
        QTest::newRow("reader back within the second") << "stalled" << 300 << 0;
        QTest::newRow("non-blocking, reader back within the second") << "stalled~" << 300 << 0;
        QTest::newRow("reader never back") << "stalled" << -1 << 0;
        QTest::newRow("full disk") << "/dev/full" << 0 << ENOSPC;
        QTest::newRow("reader gone") << "pipe" << 0 << EPIPE;
        QTest::newRow("descriptor closed at start") << "" << 0 << EBADF;
    }
    void howAnOutputEnds()
    {
        QFETCH(QString, to);
        QFETCH(int, resumeMs);
        QFETCH(int, error);
        StalledPipe pipe;
        int ends[2] = {-1, -1};
        const int fd = to.startsWith("stalled") ? ::dup(pipe.write)
                       : to == "pipe"  ? (::pipe(ends), ::close(ends[0]), ends[1])
                                       : ::open(qPrintable(to), O_WRONLY);
        QByteArray got;
        std::thread reader([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(resumeMs));
            got = resumeMs >= 0 ? pipe.Drain() : "";
        });
        if (to.endsWith('~'))
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
        OutputQueue queue(fd);
        std::atomic<int> said = 0, failed = 0;
        auto& channel = queue.AddChannel({}, [&](int e) { failed = e, ++said; });
        channel.Write("end\n");
        if (error) {
            QTRY_VERIFY(said > 0);
            channel.Write("more\n");
        }
        MonotonicClock took;
        const bool all = queue.Finish(std::chrono::steady_clock::now() + OutputQueue::DefaultLimit);
        const double seconds = took.Timer();
        reader.join();
        const int flags = ::fcntl(fd, F_GETFL);  // left as they were given
        QVERIFY(fd < 0 || (flags & O_NONBLOCK) == (to.endsWith('~') ? O_NONBLOCK : 0));
        ::close(fd);
        QCOMPARE(all, resumeMs >= 0 && !error);
        QCOMPARE(said.load(), error ? 1 : 0);
        QCOMPARE(failed.load(), error);
        QCOMPARE(got, QByteArray(all ? "end\n" : ""));
        if (to.startsWith("stalled"))
            VERIFY_TIME(seconds, resumeMs > 0 ? 0.25 : 1.0, 1.0 + (resumeMs > 0 ? 0 : Timing::Slack()));
    }

    // Standard output and error on one pipe are one queue, so that their lines keep their order;
    // another name of either (/dev/fd/1, /dev/stderr) is found to be the same file. A standard
    // descriptor closed at start (<&-, 2>&-) gets /dev/null, so that no file opened later takes
    // its number, and is known as closed.
    void theStandardDescriptors()
    {
        std::fflush(stdout);
        const int out = ::dup(1), err = ::dup(2);
        StalledPipe pipe;
        ::dup2(pipe.write, 1), ::dup2(pipe.write, 2);
        OutputQueue* const queue = &StandardStreams::Output();
        const bool shared = queue == &StandardStreams::Error() && StandardStreams::SameFileAs("/dev/stderr") == queue;
        ::dup2(out, 1), ::dup2(err, 2), ::close(out);
        QVERIFY(shared);
        QVERIFY(!StandardStreams::SameFileAs("/dev/null"));
        ::close(STDIN_FILENO);
        ::close(STDERR_FILENO);
        StandardStreams::Claim();
        struct stat in {}, error {}, null {};
        const bool nulls = ::fstat(STDIN_FILENO, &in) == 0 && ::fstat(STDERR_FILENO, &error) == 0;
        ::dup2(err, 2);
        ::close(err);
        QVERIFY(nulls && ::stat("/dev/null", &null) == 0);
        QVERIFY(in.st_rdev == null.st_rdev && error.st_rdev == null.st_rdev);
        QVERIFY(StandardStreams::WasClosed(STDIN_FILENO) && StandardStreams::WasClosed(STDERR_FILENO));
        QVERIFY(!StandardStreams::WasClosed(STDOUT_FILENO));
    }

    void eachOutputSaysItsLossItsOwnWay()
    {
        const OutputQueue::Stamp first{3.5, 7};
        QCOMPARE(LineTrace::DroppedLine(12, first), "3.500000 DROPPED 12\n");
        QCOMPARE(EventReport::DroppedMarker(EventReport::Format::Json)(12, first),
                 "{\"t\":3.500,\"line\":7,\"event\":\"dropped\",\"count\":12}\n");
        QCOMPARE(StandardError::DroppedLine(12), "qz-ruvude-zivo: 12 lines not shown (the reader fell behind)\n");
        struct Lost final : TextOutput {  // the output of a run that lost two lines: its end says so
            QByteArray last;
            void Write(const QByteArray& line, const Stamp&) override { last = line; }
            qint64 Dropped() const override { return 2; }
        } out;
        MonotonicClock clock;
        HeardConsole err;
        EventReport(clock, out, err, EventReport::Format::Text).End({});
        QCOMPARE(out.last.mid(6), "0 end dropped=2\n");
        EventReport(clock, out, err, EventReport::Format::Json).End({});
        QCOMPARE(out.last.mid(10), ",\"line\":0,\"event\":\"end\",\"dropped\":2}\n");
    }
};

QTEST_GUILESS_MAIN(TestOutputQueue)
#include "tst_output_queue.moc"
