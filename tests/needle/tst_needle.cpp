// Where the needle stands for a position; LEFT, SWEEP and CYCLE as the meter
// receives them; the calibration options sending the mode and current point.
#include "TestRig.h"
#include "Timing.h"
#include "needle/NeedleGeometry.h"

#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <map>

using Frames = QList<QByteArray>;

// A meter stand-in: At[3] acts once the third frame has arrived, posted so
// that it reaches the program as a click does, inside its next wait.
struct FrameScript final : MemoryDevice {
    std::map<int, std::function<void()>> At;
    int count = 0;
    void Received(MemoryCommControl&, const QByteArray&) override
    {
        if (const auto it = At.find(++count); it != At.end())
            QTimer::singleShot(0, it->second);
    }
};

// A window; Connect() leaves it as a successful connection on port 1 does.
struct Rig : TestRig {
    frmMain& f = Make();
    std::shared_ptr<FrameScript> meter = std::make_shared<FrameScript>();
    FrameScript& Connect()
    {
        comm.SetPort(1, MemoryCommControl::PortState::Available, meter);
        comm.setCommPort(1);
        comm.setPortOpen(true);
        qzGlobals::PortNumber = qzGlobals::SavedPort = 1;
        f.Connected = true;
        for (QPushButton* b : {f.cmdSweep, f.cmdLeft, f.cmdRight})
            b->setEnabled(true);
        f.cmdConnect->setText(QStringLiteral("Disconnect"));
        comm.ClearLog();
        return *meter;
    }
};

class TestNeedle : public QObject {
    Q_OBJECT
private slots:
    void position_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("hex");     // as sent: three digits at least
        QTest::addColumn<int>("deflection");  // hundredths of a degree
        QTest::addColumn<QPointF>("tip");     // the foot lies halfway to the pivot
        QTest::newRow("centre") << 2048 << "800" << 0 << QPointF(0.0f, 1000.0f);
        QTest::newRow("left stop") << 198 << "0C6" << -10012 << QPointF(-819.127136f, 573.612f);
        QTest::newRow("right stop") << 3898 << "F3A" << 10012 << QPointF(819.127136f, 573.612f);
        QTest::newRow("bottom") << 0 << "000" << -10500 << QPointF(-845.058228f, 534.674316f);
        QTest::newRow("last clamped") << 107 << "06B" << -10500 << QPointF(-845.058228f, 534.674316f);
        QTest::newRow("first free") << 108 << "06C" << -10499 << QPointF(-845.006958f, 534.75531f);
        QTest::newRow("top") << 4095 << "FFF" << 10500 << QPointF(845.058228f, 534.674316f);
        // Truncated toward zero: -5.4 gives -5, not -6.
        QTest::newRow("below centre") << 2047 << "7FF" << -5 << QPointF(-0.479368567f, 999.999878f);
        QTest::newRow("above centre") << 2049 << "801" << 5 << QPointF(0.479368567f, 999.999878f);
    }
    void position()
    {
        QFETCH(int, position);
        QFETCH(QString, hex);
        QFETCH(int, deflection);
        QFETCH(QPointF, tip);
        QCOMPARE(NeedleGeometry::Deflection(int16_t(position)), deflection);
        Rig rig;
        frmMain& f = rig.f;
        QCOMPARE(f.Format_Position(int16_t(position)), hex);
        f.Update_Needle(int16_t(position));
        QCOMPARE(QPointF(f.NeedleEnds.X2, f.NeedleEnds.Y2), tip);
        QCOMPARE(QPointF(f.NeedleEnds.X1, f.NeedleEnds.Y1), tip / 2);
    }

    void left()
    {
        Rig rig;
        frmMain& f = rig.f;
        rig.Connect();
        const double clicked = rig.comm.Now();
        f.cmdLeft->click();
        QCOMPARE(rig.comm.Frames(), Frames{"N0C6\r"});
        const double after = rig.comm.FrameTimes().first() - clicked;  // 18 ticks of 0.054 s
        QVERIFY2(after >= 0.972 && after < 0.972 + Timing::Slack(0.05), qPrintable(QString::number(after)));
        QVERIFY(!f.cmdLeft->isEnabled() && f.cmdRight->isEnabled() && f.cmdSweep->isEnabled() && !f.SldSpeed->isEnabled());
        // Disconnect inside LEFT's wait: the stop is not sent, the buttons stay off.
        f.cmdRight->click();
        QTimer::singleShot(300, &f, [&] { f.cmdConnect->click(); });
        f.cmdLeft->click();
        QCOMPARE(rig.comm.Frames(), (Frames{"N0C6\r", "NF3A\r", "I\r"}));
        QVERIFY(!f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled() && !f.cmdSweep->isEnabled());
    }

    void sweep()
    {
        Rig rig;
        frmMain& f = rig.f;
        FrameScript& meter = rig.Connect();
        f.SldSpeed->setValue(20);  // every sweep starts at 54 whatever was set
        QTimer::singleShot(400, &f, [&] { f.cmdSweep->click(); });  // in the pause: no second sweep
        meter.At[78] = [&] { f.SldSpeed->setValue(100); };          // two steps down at 54, two at 100
        meter.At[80] = [&] { f.cmdLeft->click(); };
        meter.At[84] = [&] { f.cmdConnect->click(); };  // three frames into the next sweep
        QTimer::singleShot(int(20000 * Timing::Scale()), &f, [&] { f.StopSweep = qzGlobals::QuitRequested = true; });
        f.cmdSweep->click();
        // Up 0, 54, ... 4050 (76 frames); down from 4095; LEFT's stop last.
        const Frames frames = rig.comm.Frames();
        QCOMPARE(frames.size(), 81);
        QCOMPARE(frames.mid(0, 3), (Frames{"N000\r", "N036\r", "N06C\r"}));
        QCOMPARE(frames.mid(76), (Frames{"NFFF\r", "NFC9\r", "NF65\r", "NF01\r", "N0C6\r"}));
        f.cmdSweep->click();  // at 100 now, but it starts at 54 again; Disconnect sends "I" last
        QCOMPARE(rig.comm.Frames().mid(81), (Frames{"N000\r", "N036\r", "N06C\r", "I\r"}));
        QVERIFY(!f.cmdSweep->isEnabled() && !f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled());
    }

    void cycle_data()
    {
        QTest::addColumn<int>("tradRow");  // where CYCLE stands on TRAD before the walk
        QTest::addColumn<bool>("simple");
        QTest::addColumn<Frames>("walk");  // the rows after that, round to where it started
        const Frames simple{"N0C6\r", "N295\r", "N463\r", "N632\r", "N800\r", "N9CF\r",
                            "NB9D\r", "ND6C\r", "NF3A\r", "NFFF\r", "N000\r"};
        const Frames trad{"N0C6\r", "N238\r", "N3AA\r", "N51C\r", "N68E\r", "N800\r", "N972\r",
                          "NAE4\r", "NC56\r", "NDC8\r", "NF3A\r", "NFFF\r", "N000\r"};
        QTest::newRow("TRAD") << 0 << false << trad;
        QTest::newRow("SIMPLE") << 0 << true << simple;
        // SIMPLE has no rows 11 and 12: the next row wraps round to 1 or 2.
        QTest::newRow("TRAD row 11, then SIMPLE") << 11 << true << simple;
        QTest::newRow("TRAD row 12, then SIMPLE") << 12 << true << simple.mid(1) + simple.mid(0, 1);
    }
    void cycle()
    {
        QFETCH(int, tradRow);
        QFETCH(bool, simple);
        QFETCH(Frames, walk);
        Rig rig;
        frmMain& f = rig.f;
        rig.Connect();
        for (int i = 0; i < tradRow; ++i)
            f.cmdCycle->click();
        if (simple)
            f.optSimple->click();  // keeps CycleIndex
        rig.comm.ClearLog();
        for (int i = 0; i < walk.size(); ++i)
            f.cmdCycle->click();
        QCOMPARE(rig.comm.Frames(), walk);
        QCOMPARE(f.CycleIndex, tradRow % walk.size());
    }

    void calibration_data()
    {
        QTest::addColumn<int>("cycles");
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QByteArray>("point");  // sent after the mode; none: port closed, nothing sent
        QTest::newRow("ON after connecting") << 0 << false << true << QByteArray("N000\r");
        QTest::newRow("OFF after one CYCLE") << 1 << false << false << QByteArray("N0C6\r");
        QTest::newRow("ON after LEFT at row 5") << 5 << true << true << QByteArray("N68E\r");
        QTest::newRow("ON, port closed") << 6 << false << true << QByteArray();
        QTest::newRow("OFF, port closed") << 6 << false << false << QByteArray();
    }
    void calibration()
    {
        QFETCH(int, cycles);
        QFETCH(bool, left);
        QFETCH(bool, on);
        QFETCH(QByteArray, point);
        Rig rig;
        frmMain& f = rig.f;
        if (!point.isEmpty())
            rig.Connect();
        for (int i = 0; i < cycles; ++i)
            f.cmdCycle->click();
        if (left)
            f.cmdLeft->click();
        (on ? f.optLIN : f.optLUT)->click();
        const qsizetype before = rig.comm.Frames().size();
        (on ? f.optLUT : f.optLIN)->click();
        QCOMPARE(rig.comm.Frames().mid(before), (point.isEmpty() ? Frames{} : Frames{on ? "L\r" : "S\r", point}));
        QCOMPARE(rig.comm.DroppedWrites(), 0);
    }
};

QTEST_MAIN(TestNeedle)
#include "tst_needle.moc"
