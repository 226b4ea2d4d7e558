// Output queued for a writer thread: a reader that stalls never holds up the
// writing thread; what does not fit is dropped whole, with one line in the
// gap as soon as there is room; the end waits at most its limit; a failed
// write is said once. And each output's own line for lost ones.
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

namespace {

OutputQueue::Deadline In(std::chrono::milliseconds ms)
{
    return std::chrono::steady_clock::now() + ms;
}

// The end of a run whose output lost two lines, as written.
QByteArray End(EventReport::Format format)
{
    struct Lost final : TextOutput {
        QByteArray last;
        void Write(const QByteArray&, const Stamp&) override {}
        void WriteLast(const QByteArray& line) override { last = line; }
        qint64 Dropped() const override { return 2; }
    } out;
    MonotonicClock clock;
    HeardConsole err;
    EventReport(clock, out, err, format).End({EventReport::Named("status", "0", EventReport::Field::Kind::Number)});
    return out.last;
}

}  // namespace

class TestOutputQueue : public QObject {
    Q_OBJECT

private slots:
    // 100-byte lines: 10485 fit in the megabyte, the rest of the first 12000
    // are lost; a last line of another channel goes in all the same.
    void dropsWholeLinesAndMarksTheGap()
    {
        StalledPipe pipe;
        auto queue = std::make_unique<OutputQueue>(pipe.write);
        auto& lines = queue->AddChannel([](qint64 count, const OutputQueue::Stamp& first) {
            return QString("lost %1 from %2 on %3\n").arg(count).arg(first.seconds).arg(first.line).toUtf8();
        });
        auto& other = queue->AddChannel({});
        QElapsedTimer took;
        took.start();
        QByteArray kept;
        for (int i = 0; i < 12000; ++i) {
            const QByteArray line = QByteArray::number(i).rightJustified(99, '.') + '\n';
            lines.Write(line, {double(i), -i});
            kept += i < 10485 ? line : QByteArray();
        }
        const QByteArray last = "last" + QByteArray(200, '.') + '\n';  // more than the room left
        other.WriteLast(last);
        QVERIFY2(took.elapsed() < 500, "the writing thread waited for the reader");
        QCOMPARE(lines.Dropped(), 12000 - 10485);
        // The reader takes it all: the gap is marked with no line written since.
        QByteArray got = pipe.Drain(300);
        QCOMPARE(got, kept + last + "lost 1515 from 10485 on -10485\n");
        lines.Write("after\n");
        QVERIFY(queue->Finish(In(5000ms)));
        QCOMPARE(pipe.Drain(), QByteArray("after\n"));
    }

    // The end gives a stalled reader one second: one that resumes within it gets everything.
    void finishWaitsForAStalledReaderAtMostItsLimit_data()
    {
        QTest::addColumn<int>("resumeMs");  // -1: never
        QTest::newRow("reader back after 0.3 s") << 300;
        QTest::newRow("reader never back") << -1;
    }
    void finishWaitsForAStalledReaderAtMostItsLimit()
    {
        QFETCH(int, resumeMs);
        StalledPipe pipe;
        OutputQueue queue(pipe.write);
        queue.AddChannel({}).Write("end\n");
        QByteArray got;
        std::thread reader([&] {
            if (resumeMs >= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(resumeMs));
                got = pipe.Drain();
            }
        });
        QElapsedTimer took;
        took.start();
        const bool all = queue.Finish(In(OutputQueue::DefaultLimit));
        const double seconds = took.elapsed() / 1000.0;
        reader.join();
        QCOMPARE(all, resumeMs >= 0);
        QCOMPARE(got, QByteArray(resumeMs >= 0 ? "end\n" : ""));
        if (resumeMs >= 0)
            VERIFY_TIME(seconds, resumeMs / 1000.0, 1.0);
        else
            VERIFY_WAIT(seconds, 1.0);
    }

    // A write that fails is said once, however many lines come after it.
    void aFailedWriteIsSaidOnce_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("error");
        QTest::newRow("full disk") << "/dev/full" << ENOSPC;
        QTest::newRow("reader gone") << "pipe" << EPIPE;
        QTest::newRow("descriptor closed at start") << "" << EBADF;
    }
    void aFailedWriteIsSaidOnce()
    {
        QFETCH(QString, to);
        int fd = -1, ends[2];
        if (to == "pipe" && ::pipe(ends) == 0 && ::close(ends[0]) == 0)
            fd = ends[1];
        else if (!to.isEmpty())
            fd = ::open(qPrintable(to), O_WRONLY);
        std::atomic<int> said = 0, error = 0;
        {
            OutputQueue queue(fd);
            auto& channel = queue.AddChannel({}, [&](int e) { error = e, ++said; });
            channel.Write("first\n");
            QTRY_COMPARE(said.load(), 1);
            channel.Write("second\n");
            channel.WriteLast("end\n");
        }
        ::close(fd);
        QCOMPARE(said.load(), 1);
        QTEST(error.load(), "error");
    }

    // Standard output and error on one pipe are one queue, so their lines keep their order.
    void oneQueueForStandardOutputAndErrorOnOnePipe()
    {
        std::fflush(stdout);
        const int out = ::dup(1), err = ::dup(2);
        int ends[2];
        QVERIFY(::pipe(ends) == 0 && ::dup2(ends[1], 1) == 1 && ::dup2(ends[1], 2) == 2);
        const bool shared = &StandardStreams::Output() == &StandardStreams::Error();
        ::dup2(out, 1), ::dup2(err, 2), ::close(out), ::close(err), ::close(ends[0]), ::close(ends[1]);
        QVERIFY(shared);
    }

    // A standard descriptor closed at start gets /dev/null, so that no file opened later takes
    // its number, and is known as closed.
    void aClosedStandardDescriptorIsClaimed()
    {
        ::close(STDIN_FILENO);
        StandardStreams::Claim();
        struct stat in {}, null {};
        QVERIFY(::fstat(STDIN_FILENO, &in) == 0 && ::stat("/dev/null", &null) == 0 && in.st_rdev == null.st_rdev);
        QVERIFY(StandardStreams::WasClosed(STDIN_FILENO) && !StandardStreams::WasClosed(STDOUT_FILENO));
    }

    void eachOutputSaysItsLossItsOwnWay_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        const OutputQueue::Stamp first{3.5, 7};
        QTest::newRow("trace") << LineTrace::DroppedLine(12, first) << QByteArray("3.500000 DROPPED 12\n");
        QTest::newRow("events") << EventReport::DroppedMarker(EventReport::Format::Text)(12, first)
                                << QByteArray("3.500 7 dropped count=12\n");
        QTest::newRow("events, JSON") << EventReport::DroppedMarker(EventReport::Format::Json)(12, first)
                                      << QByteArray("{\"t\":3.500,\"line\":7,\"event\":\"dropped\",\"count\":12}\n");
        QTest::newRow("standard error") << StandardError::DroppedLine(12)
                                        << QByteArray("qz-ruvude-zivo: 12 lines not shown (the reader fell behind)\n");
        QTest::newRow("end") << End(EventReport::Format::Text).mid(6) << QByteArray("0 end status=0 dropped=2\n");
        QTest::newRow("end, JSON") << End(EventReport::Format::Json).mid(10)
                                   << QByteArray(",\"line\":0,\"event\":\"end\",\"status\":0,\"dropped\":2}\n");
    }
    void eachOutputSaysItsLossItsOwnWay()
    {
        QFETCH(QByteArray, line);
        QTEST(line, "expected");
    }
};

QTEST_GUILESS_MAIN(TestOutputQueue)
#include "tst_output_queue.moc"
