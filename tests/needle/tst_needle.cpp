// Where the needle stands for a position; LEFT, RIGHT, SWEEP and CYCLE as the meter
// receives them; the calibration options sending the mode and current point.
#include "TestRig.h"
#include "Timing.h"
#include "needle/NeedleGeometry.h"

#include <QHash>

using Frames = QList<QByteArray>;

// The tip of the needle drawn at a position; of the needle drawn last; none drawn: the origin.
static QPointF Tip(int position)
{
    using namespace NeedleGeometry;
    const Ends ends = position < 0 ? Ends{} : EndsAt(Deflection(int16_t(position)));
    return {ends.X2, ends.Y2};
}
static QPointF Tip(const frmMain& f) { return {f.NeedleEnds.X2, f.NeedleEnds.Y2}; }

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
    void Connect()  // as a successful connection leaves the window; no frames yet; a sweep ends within 20 s
    {
        QTimer::singleShot(int(20000 * Timing::Scale()), &f, [this] { f.StopSweep = true; });
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
        QTest::addColumn<int>("deflection");  // in 1/65536 of a turn
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
        QTest::newRow("2046 below centre") << "7FE" << -10 << QPointF(-0.958737016f, 999.999512f);  // -10.8
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
        QCOMPARE(Tip(rig.f), tip);
        QCOMPARE(QPointF(rig.f.NeedleEnds.X1, rig.f.NeedleEnds.Y1), tip / 2);
    }

    // A sweep with CYCLE and "ON" clicked in its first step, the slider moved
    // so that both ramps end exactly on their last position, then Exit.
    void sweepRampsAndExit()
    {
        Rig rig;
        frmMain& f = rig.f;
        rig.Connect();
        f.SldSpeed->setValue(20);  // every sweep starts at 54 whatever was set,
        f.SldSpeed->setEnabled(false);  // and with the slider on, as LEFT or RIGHT leave it off
        QTimer::singleShot(400, &f, [&] { f.cmdSweep->click(); });  // in the pause: no second sweep
        QString sweeping;
        rig.At[1] = [&] { f.cmdCycle->click(); };  // its point, then "ON" with that point
        rig.At[2] = [&] { f.optLUT->click(); };
        rig.At[5] = [&] { sweeping = Shows(f), f.SldSpeed->setValue(100); };
        rig.At[45] = [&] { f.SldSpeed->setValue(41); };  // 4054 + 41 = 4095
        rig.At[47] = [&] { f.SldSpeed->setValue(100); };
        rig.At[87] = [&] { f.SldSpeed->setValue(95); };  // down 4000 + 95 = 4095
        rig.At[89] = [&] { f.cmdExit->click(); };
        const double clicked = rig.comm.Now();
        f.cmdSweep->click();
        const auto N = [](int p) { return "N" + QByteArray::number(p, 16).toUpper().rightJustified(3, '0') + "\r"; };
        Frames want{"N000\r", "N0C6\r", "L\r", "N0C6\r", "N036\r"};
        for (int k = 154; k <= 4095; k += 100)  // up
            want << N(k);
        want << "NFFF\r";
        for (int k = 0; k <= 4000; k += 100)  // down
            want << N(4095 - k);
        want << "N000\r" << "N000\r" << "R\r" << "U\r";  // down ends on 0, up begins at 0, Exit
        QCOMPARE(rig.comm.Frames(), want);
        QCOMPARE(sweeping, QString("Disconnect LEFT RIGHT slider CYCLE |  | None | ON TRAD"));
        // A pause of 18 ticks, then one tick a step.
        const QList<double> t = rig.comm.FrameTimes();
        VERIFY_WAIT(t[0] - clicked, 0.972);
        double shortest = 1;
        for (int i = 10; i < 44; ++i)
            shortest = std::min(shortest, t[i + 1] - t[i]);
        const double mean = (t[44] - t[10]) / 34;
        QVERIFY2(shortest >= 0.054 && mean < 0.054 + Timing::Slack() / 4,
                 qPrintable(QString("%1 %2").arg(shortest).arg(mean)));
        f.Form_Activate();  // the program ends at once
        QVERIFY(!rig.comm.PortOpen());
    }

    void sweepStoppedBy_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("sent");  // last frame
        QTest::addColumn<double>("after");     // seconds from the click to it
        QTest::addColumn<int>("needle");       // the drawn needle's position afterwards
        QTest::addColumn<QString>("buttons");  // enabled afterwards
        QTest::newRow("LEFT") << "LEFT" << QByteArray("N0C6\r") << 0.972 << 198 << "Disconnect SWEEP RIGHT CYCLE";
        QTest::newRow("RIGHT") << "RIGHT" << QByteArray("NF3A\r") << 0.972 << 3898 << "Disconnect SWEEP LEFT CYCLE";
        QTest::newRow("Disconnect") << "Disconnect" << QByteArray("I\r") << 0.0 << 108 << "Connect slider CYCLE";
    }
    void sweepStoppedBy()
    {
        QFETCH(QString, button);
        QFETCH(double, after);
        QFETCH(int, needle);
        Rig rig;
        frmMain& f = rig.f;
        rig.Connect();
        double clicked = 0;
        rig.At[3] = [&] {
            clicked = rig.comm.Now();
            for (QPushButton* b : {f.cmdLeft, f.cmdRight, f.cmdConnect})
                if (b->text() == button)
                    b->click();
        };
        f.cmdSweep->click();  // returns once the sweep has ended
        QFETCH(QByteArray, sent);
        QCOMPARE(rig.comm.Frames(), (Frames{"N000\r", "N036\r", "N06C\r", sent}));
        const double took = rig.comm.FrameTimes().last() - clicked;
        VERIFY_WAIT(took, after);
        QTEST(Shows(f).section(" | ", 0, 0), "buttons");
        QCOMPARE(Tip(f), Tip(needle));
        QVERIFY(f.StopSweep || !f.Connected);
    }

    void buttons_data()
    {
        // Clicks: C CYCLE, < LEFT, S SIMPLE face, L calibration ON (LUT), N OFF (LIN);
        // | forgets the frames so far; a leading ! leaves the port closed.
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<int>("needle");  // where the drawn needle stands afterwards; -1 never drawn
        const Frames simple{"N0C6\r", "N295\r", "N463\r", "N632\r", "N800\r", "N9CF\r",
                            "NB9D\r", "ND6C\r", "NF3A\r", "NFFF\r", "N000\r"};
        const Frames trad{"N0C6\r", "N238\r", "N3AA\r", "N51C\r", "N68E\r", "N800\r", "N972\r",
                          "NAE4\r", "NC56\r", "NDC8\r", "NF3A\r", "NFFF\r", "N000\r"};
        const QString walk(11, 'C');  // round SIMPLE's scale points
        QTest::newRow("TRAD walk, twice") << QString(26, 'C') << trad + trad << 0;
        QTest::newRow("SIMPLE walk") << "S" + walk << simple << 0;
        // SIMPLE has no rows 11 and 12: the next row wraps round to 1 or 2.
        QTest::newRow("TRAD row 11, then SIMPLE") << walk + "S|" + walk << simple << 0;
        QTest::newRow("TRAD row 12, then SIMPLE") << walk + "CS|" + walk << simple.mid(1) + simple.mid(0, 1) << 198;
        // The calibration mode, then the current scale point, not the needle's position.
        QTest::newRow("ON after connecting") << "N|L" << Frames{"L\r", "N000\r"} << -1;
        QTest::newRow("OFF after one CYCLE") << "CL|N" << Frames{"S\r", "N0C6\r"} << 198;
        QTest::newRow("ON after LEFT at row 5") << "CCCCC<N|L" << Frames{"L\r", "N68E\r"} << 198;
        QTest::newRow("ON with SIMPLE at row 11") << walk + "S|L" << Frames{"L\r", "N000\r"} << 3898;
        QTest::newRow("port closed") << "!CCCCCCLNL" << Frames{} << 2048;
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
        QFETCH(int, needle);
        QCOMPARE(Tip(f), Tip(needle));
    }
};

QTEST_MAIN(TestNeedle)
#include "tst_needle.moc"
