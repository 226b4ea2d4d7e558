// Where the needle stands for a position; LEFT, SWEEP and CYCLE as the meter
// receives them; the calibration options sending the mode and current point.
#include "TestRig.h"
#include "Timing.h"
#include "needle/NeedleGeometry.h"

#include <QHash>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

using Frames = QList<QByteArray>;

// A window and, after Connect(), a meter on which At[3] acts once the third
// frame has arrived, posted to reach the program as a click: in its next wait.
struct Rig : MemoryDevice, TestRig {  // the window goes first, while the meter stands
    frmMain& f = Make();
    QHash<int, std::function<void()>> At;
    void Received(MemoryCommControl& line, const QByteArray&) override
    {
        if (const auto action = At.value(int(line.Frames().size())))
            QTimer::singleShot(0, action);
    }
    void Connect()  // as a successful connection leaves the window; no frames yet
    {
        comm.SetPort(1, MemoryCommControl::PortState::Available, std::shared_ptr<MemoryDevice>(this, [](auto*) {}));
        comm.setCommPort(1);
        comm.setPortOpen(true);
        qzGlobals::PortNumber = qzGlobals::SavedPort = 1;
        f.Connected = true;
        for (QPushButton* b : {f.cmdSweep, f.cmdLeft, f.cmdRight})
            b->setEnabled(true);
        f.cmdConnect->setText(QStringLiteral("Disconnect"));
        comm.ClearLog();
    }
};

class TestNeedle : public QObject {
    Q_OBJECT
private slots:
    void needle_data()
    {
        QTest::addColumn<QString>("hex");     // the position as sent: three digits at least
        QTest::addColumn<int>("deflection");  // hundredths of a degree
        QTest::addColumn<QPointF>("tip");     // the foot lies halfway to the pivot
        QTest::newRow("2048 centre") << "800" << 0 << QPointF(0.0f, 1000.0f);
        QTest::newRow("198 left stop") << "0C6" << -10012 << QPointF(-819.127136f, 573.612f);
        QTest::newRow("3898 right stop") << "F3A" << 10012 << QPointF(819.127136f, 573.612f);
        QTest::newRow("0 bottom") << "000" << -10500 << QPointF(-845.058228f, 534.674316f);
        QTest::newRow("107 last clamped") << "06B" << -10500 << QPointF(-845.058228f, 534.674316f);
        QTest::newRow("108 first free") << "06C" << -10499 << QPointF(-845.006958f, 534.75531f);
        QTest::newRow("4095 top") << "FFF" << 10500 << QPointF(845.058228f, 534.674316f);
        // Truncated toward zero: -5.4 gives -5, not -6.
        QTest::newRow("2047 below centre") << "7FF" << -5 << QPointF(-0.479368567f, 999.999878f);
        QTest::newRow("2049 above centre") << "801" << 5 << QPointF(0.479368567f, 999.999878f);
    }
    void needle()
    {
        QFETCH(QString, hex);
        const int position = hex.toInt(nullptr, 16);
        QFETCH(int, deflection);
        QFETCH(QPointF, tip);
        QCOMPARE(NeedleGeometry::Deflection(int16_t(position)), deflection);
        Rig rig;
        QCOMPARE(rig.f.Format_Position(int16_t(position)), hex);
        rig.f.Update_Needle(int16_t(position));
        QCOMPARE(QPointF(rig.f.NeedleEnds.X2, rig.f.NeedleEnds.Y2), tip);
        QCOMPARE(QPointF(rig.f.NeedleEnds.X1, rig.f.NeedleEnds.Y1), tip / 2);
    }

    void sweepAndLeft()
    {
        Rig rig;
        frmMain& f = rig.f;
        rig.Connect();
        f.SldSpeed->setValue(20);  // every sweep starts at 54 whatever was set
        QTimer::singleShot(400, &f, [&] { f.cmdSweep->click(); });  // in the pause: no second sweep
        rig.At[78] = [&] { f.SldSpeed->setValue(100); };            // two steps down at 54, two at 100
        double leftClicked = 0;
        rig.At[80] = [&] { leftClicked = rig.comm.Now(), f.cmdLeft->click(); };
        rig.At[84] = [&] { f.cmdConnect->click(); };  // three frames into the next sweep
        QTimer::singleShot(int(20000 * Timing::Scale()), &f, [&] { f.StopSweep = qzGlobals::QuitRequested = true; });
        f.cmdSweep->click();
        // Up 0, 54, ... 4050 (76 frames); down from 4095; LEFT's stop last, 18 ticks of 0.054 s after its click.
        const Frames frames = rig.comm.Frames();
        QCOMPARE(frames.mid(0, 3), (Frames{"N000\r", "N036\r", "N06C\r"}));
        QCOMPARE(frames.mid(76), (Frames{"NFFF\r", "NFC9\r", "NF65\r", "NF01\r", "N0C6\r"}));
        const double after = rig.comm.FrameTimes().last() - leftClicked;
        QVERIFY2(after >= 0.972 && after < 0.972 + Timing::Slack(0.05), qPrintable(QString::number(after)));
        QVERIFY(!f.cmdLeft->isEnabled() && f.cmdRight->isEnabled() && f.cmdSweep->isEnabled() && !f.SldSpeed->isEnabled());

        f.cmdSweep->click();  // at 100 now, but it starts at 54 again; Disconnect sends "I" last
        QCOMPARE(rig.comm.Frames().mid(81), (Frames{"N000\r", "N036\r", "N06C\r", "I\r"}));
        QVERIFY(!f.cmdSweep->isEnabled() && !f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled());
        // Disconnect inside LEFT's wait: the stop is not sent, the buttons stay off.
        rig.Connect();
        QTimer::singleShot(300, &f, [&] { f.cmdConnect->click(); });
        f.cmdLeft->click();
        QCOMPARE(rig.comm.Frames(), Frames{"I\r"});
        QVERIFY(!f.cmdSweep->isEnabled() && !f.cmdLeft->isEnabled() && !f.cmdRight->isEnabled());
    }

    void buttons_data()
    {
        // Clicks: C CYCLE, < LEFT, S SIMPLE face, L calibration ON (LUT), N OFF (LIN);
        // | forgets the frames so far; a leading ! leaves the port closed.
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<Frames>("frames");
        const Frames simple{"N0C6\r", "N295\r", "N463\r", "N632\r", "N800\r", "N9CF\r",
                            "NB9D\r", "ND6C\r", "NF3A\r", "NFFF\r", "N000\r"};
        const Frames trad{"N0C6\r", "N238\r", "N3AA\r", "N51C\r", "N68E\r", "N800\r", "N972\r",
                          "NAE4\r", "NC56\r", "NDC8\r", "NF3A\r", "NFFF\r", "N000\r"};
        const QString walk(11, 'C');  // round SIMPLE's scale points
        QTest::newRow("TRAD walk, twice") << QString(26, 'C') << trad + trad;
        QTest::newRow("SIMPLE walk") << "S" + walk << simple;
        // SIMPLE has no rows 11 and 12: the next row wraps round to 1 or 2.
        QTest::newRow("TRAD row 11, then SIMPLE") << walk + "S|" + walk << simple;
        QTest::newRow("TRAD row 12, then SIMPLE") << walk + "CS|" + walk << simple.mid(1) + simple.mid(0, 1);
        // The calibration mode, then the current scale point, not the needle's position.
        QTest::newRow("ON after connecting") << "N|L" << Frames{"L\r", "N000\r"};
        QTest::newRow("OFF after one CYCLE") << "CL|N" << Frames{"S\r", "N0C6\r"};
        QTest::newRow("ON after LEFT at row 5") << "CCCCC<N|L" << Frames{"L\r", "N68E\r"};
        QTest::newRow("port closed") << "!CCCCCCLNL" << Frames{};
    }
    void buttons()
    {
        QFETCH(QString, clicks);
        QFETCH(Frames, frames);
        Rig rig;
        frmMain& f = rig.f;
        if (!clicks.startsWith('!'))
            rig.Connect();
        const QHash<QChar, QAbstractButton*> button{
            {'C', f.cmdCycle}, {'<', f.cmdLeft}, {'S', f.optSimple}, {'L', f.optLUT}, {'N', f.optLIN}};
        for (QChar c : clicks.remove('!'))
            c == '|' ? rig.comm.ClearLog() : button[c]->click();
        QCOMPARE(rig.comm.Frames(), frames);
        QCOMPARE(rig.comm.DroppedWrites(), 0);
    }
};

QTEST_MAIN(TestNeedle)
#include "tst_needle.moc"
