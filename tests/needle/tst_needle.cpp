// Where the needle stands for a position; LEFT, RIGHT, SWEEP and CYCLE as the meter receives them; the calibration
// options sending the mode and current point. The meter face and the needle on it as the main window draws them: both
// scale styles; needle moves, face changes and moves to a screen of another scale that leave nothing behind.
#include "TestRig.h"
#include "Timing.h"
#include "face/PictureBox.h"
#include "needle/NeedleGeometry.h"

#include <QHash>
#include <QScreen>
#include <QVector3D>
#include <QWindow>
#include <cmath>

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

using Marks = QList<QVector3D>;  // (degrees, radius, 1 black or 0 nothing)
static bool IsBlack(QRgb c) { return qRed(c) < 64 && qGreen(c) < 64 && qBlue(c) < 64; }
static bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }

// Pixels at places in face units (pivot at the origin, y up) or polar.
struct Face {
    const PictureBox& box;
    const QImage image = box.Image();
    QPoint Pixel(double x, double y) const
    {
        const QPointF p = box.ToPixel(float(x), float(y));
        return {int(std::floor(p.x())), int(std::floor(p.y()))};
    }
    QPoint Polar(double a, double r) const { return Pixel(r * std::cos(a * M_PI / 180), r * std::sin(a * M_PI / 180)); }
    bool BlackNear(QPoint p, int reach) const
    {
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (image.valid(p + QPoint(dx, dy)) && IsBlack(image.pixel(p + QPoint(dx, dy))))
                    return true;
        return false;
    }
    bool BlackOnRay(double deg, double from, double to, int reach) const  // within reach of the ray
    {
        for (double r = from; r <= to; r += 0.5)
            if (BlackNear(Polar(deg, r), reach))
                return true;
        return false;
    }
};

// A fresh window's face in the given style (0 TRAD, 1 SIMPLE), the needle moved
// once if at all, drawn on the given screen from the start.
static QImage FaceWithNeedleAt(int style, int position = -1, QScreen* screen = QGuiApplication::primaryScreen())
{
    TestRig rig;
    frmMain& form = rig.Make(false);
    form.setScreen(screen);
    form.Form_Load();
    (style ? form.optSimple : form.optTrad)->click();
    if (position >= 0)
        form.Update_Needle(int16_t(position));
    return form.picMeterPanel->Image();
}

class TestNeedle : public QObject {
    Q_OBJECT
private slots:
    void needle_data()
    {
        QTest::addColumn<QString>("hex");  // the position as sent: three digits at least
        QTest::addColumn<QPointF>("tip");  // the foot lies halfway to the pivot
        // Deflections (in 1/65536 of a turn) in the row names.
        QTest::newRow("2048 centre, 0") << "800" << QPointF(0.0f, 1000.0f);
        QTest::newRow("198 left stop, -10012") << "0C6" << QPointF(-819.127136f, 573.612f);
        QTest::newRow("3898 right stop, 10012") << "F3A" << QPointF(819.127136f, 573.612f);
        QTest::newRow("0 bottom, -10500") << "000" << QPointF(-845.058228f, 534.674316f);
        QTest::newRow("107 last clamped, -10500") << "06B" << QPointF(-845.058228f, 534.674316f);
        QTest::newRow("108 first free, -10499") << "06C" << QPointF(-845.006958f, 534.75531f);
        QTest::newRow("4095 top, 10500") << "FFF" << QPointF(845.058228f, 534.674316f);
        // Truncated toward zero: -5.4 gives -5, not -6; -10.8 gives -10.
        QTest::newRow("2047 below centre, -5") << "7FF" << QPointF(-0.479368567f, 999.999878f);
        QTest::newRow("2046 below centre, -10") << "7FE" << QPointF(-0.958737016f, 999.999512f);
        QTest::newRow("2049 above centre, 5") << "801" << QPointF(0.479368567f, 999.999878f);
    }
    void needle()
    {
        QFETCH(QString, hex);
        const int position = hex.toInt(nullptr, 16);
        QFETCH(QPointF, tip);
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
        for (int i = 10; i < 44; ++i)
            VERIFY_TIME(t[i + 1] - t[i], 0.054, 1.0);
        VERIFY_TIME((t[44] - t[10]) / 34, 0.054, 0.054 + Timing::Slack() / 4);
        f.Form_Activate();  // the program ends at once
        QVERIFY(!rig.comm.PortOpen());
    }

    void buttons_data()
    {
        // Clicks: C CYCLE, < LEFT, > RIGHT, D Disconnect, S SIMPLE face, L calibration ON (LUT), N OFF (LIN);
        // W SWEEP, stopped in its third step by the button after it; | forgets the frames so far; a leading !
        // leaves the port closed.
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<int>("needle");       // where the drawn needle stands afterwards; -1 never drawn
        QTest::addColumn<QString>("buttons");  // enabled afterwards, "" not looked at
        const Frames simple{"N0C6\r", "N295\r", "N463\r", "N632\r", "N800\r", "N9CF\r",
                            "NB9D\r", "ND6C\r", "NF3A\r", "NFFF\r", "N000\r"};
        const Frames trad{"N0C6\r", "N238\r", "N3AA\r", "N51C\r", "N68E\r", "N800\r", "N972\r",
                          "NAE4\r", "NC56\r", "NDC8\r", "NF3A\r", "NFFF\r", "N000\r"};
        const QString walk(11, 'C');  // round SIMPLE's scale points
        QTest::newRow("TRAD walk, twice") << QString(26, 'C') << trad + trad << 0 << "";
        QTest::newRow("SIMPLE walk") << "S" + walk << simple << 0 << "";
        // SIMPLE has no rows 11 and 12: the next row wraps round to 1 or 2.
        QTest::newRow("TRAD row 11, then SIMPLE") << walk + "S|" + walk << simple << 0 << "";
        QTest::newRow("TRAD row 12, then SIMPLE") << walk + "CS|" + walk << simple.mid(1) + simple.mid(0, 1) << 198
                                                  << "";
        // The calibration mode, then the current scale point, not the needle's position.
        QTest::newRow("ON after connecting") << "N|L" << Frames{"L\r", "N000\r"} << -1 << "";
        QTest::newRow("OFF after one CYCLE") << "CL|N" << Frames{"S\r", "N0C6\r"} << 198 << "";
        QTest::newRow("ON after LEFT at row 5") << "CCCCC<N|L" << Frames{"L\r", "N68E\r"} << 198 << "";
        QTest::newRow("ON with SIMPLE at row 11") << walk + "S|L" << Frames{"L\r", "N000\r"} << 3898 << "";
        QTest::newRow("port closed") << "!CCCCCCLNL" << Frames{} << 2048 << "";
        // A stop button's position after the pause, 0.972 s from its click; Disconnect's I at once.
        const Frames sweep{"N000\r", "N036\r", "N06C\r"};
        QTest::newRow("SWEEP, LEFT") << "W<" << sweep + Frames{"N0C6\r"} << 198 << "Disconnect SWEEP RIGHT CYCLE";
        QTest::newRow("SWEEP, RIGHT") << "W>" << sweep + Frames{"NF3A\r"} << 3898 << "Disconnect SWEEP LEFT CYCLE";
        QTest::newRow("SWEEP, Disconnect") << "WD" << sweep + Frames{"I\r"} << 108 << "Connect slider CYCLE";
    }
    void buttons()
    {
        QFETCH(QString, clicks);
        QFETCH(Frames, frames);
        Rig rig;
        frmMain& f = rig.f;
        if (!clicks.startsWith('!'))
            rig.Connect();
        const QHash<QChar, QAbstractButton*> button{{'C', f.cmdCycle}, {'<', f.cmdLeft},  {'>', f.cmdRight},
                                                    {'D', f.cmdConnect}, {'S', f.optSimple}, {'L', f.optLUT},
                                                    {'N', f.optLIN}};
        double stopped = 0;
        for (qsizetype i = clicks.startsWith('!'); i < clicks.size(); ++i) {
            if (clicks[i] == 'W') {  // returns once the sweep has ended
                rig.At[3] = [&, stop = button[clicks[++i]]] { stopped = rig.comm.Now(), stop->click(); };
                f.cmdSweep->click();
            } else {
                clicks[i] == '|' ? rig.comm.ClearLog() : button[clicks[i]]->click();
            }
        }
        QCOMPARE(rig.comm.Frames(), frames);
        QCOMPARE(rig.comm.DroppedWrites(), 0);
        QFETCH(int, needle);
        QCOMPARE(Tip(f), Tip(needle));
        QFETCH(QString, buttons);
        if (stopped > 0) {
            const double took = rig.comm.FrameTimes().last() - stopped;
            VERIFY_WAIT(took, frames.last() == "I\r" ? 0.0 : 0.972);
            QCOMPARE(Shows(f).section(" | ", 0, 0), buttons);
            QVERIFY(f.StopSweep || !f.Connected);
        }
    }

    void face_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QPointF>("band");  // radii the ticks cross
        QTest::addColumn<int>("ticks");
        QTest::addColumn<Marks>("marks");
        QTest::addColumn<int>("width");  // pixels across the upright tick
        // Base arc, and outer arc with a gap at 101-106.5 degrees; no arc past
        // the end ticks; long ticks on even counts from the right end, short on odd.
        QTest::newRow("TRAD") << 0 << QPointF(1048, 1062) << 21
                              << Marks{{60, 1020, 1}, {142.25, 1070, 1}, {103.75, 1020, 1}, {103.75, 1070, 0},
                                       {32, 1020, 0}, {148, 1070, 0}, {90, 1030, 1}, {84.5, 1030, 0}} << 1;
        // End marks and a reference mark by 103.75 degrees; no base arc, no outer arc.
        QTest::newRow("SIMPLE") << 1 << QPointF(1030, 1045) << 9
                                << Marks{{146.5, 1020, 1}, {33.5, 1020, 1}, {104.4, 1020, 1}, {149, 1020, 0},
                                         {101.5, 1020, 0}, {70, 1020, 0}, {110, 1070, 0}} << 2;
    }
    void face()
    {
        QFETCH(int, style);
        QFETCH(QPointF, band);
        QFETCH(int, ticks);
        QFETCH(Marks, marks);
        const QList<QScreen*> screens = QGuiApplication::screens();
        QVERIFY2(screens.size() == 2 && screens[1]->devicePixelRatio() == 2, "needs the two-screen offscreen set-up");
        TestRig rig;
        frmMain& form = rig.Make();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        (style ? form.optSimple : form.optTrad)->click();
        const Face f{*form.picMeterPanel};
        // Grey box outside the sector and above its rim, white inside.
        for (QPoint p : {f.Pixel(-995, 1145), f.Pixel(995, 1145), f.Pixel(-995, 490), f.Pixel(995, 490),
                         f.Polar(90, 1135), f.Polar(151.5, 1050), f.Polar(28.5, 1050)})
            QCOMPARE(f.image.pixel(p) & 0xFFFFFF, 0x808080u);
        for (double a = 30; a <= 150; a += 5)
            for (double r : {600.0, 800.0, 1000.0})
                if (r * std::sin(a * M_PI / 180) > 490)
                    QVERIFY2((f.image.pixel(f.Polar(a, r)) & 0xFFFFFF) == 0xFFFFFF, qPrintable(QString::number(a)));
        // Ticks evenly spaced from 35 to 145 degrees, nothing in between, none beyond.
        const double step = 110.0 / (ticks - 1);
        for (int i = -1; i <= ticks; ++i) {
            QVERIFY2(f.BlackOnRay(35 + i * step, band.x(), band.y(), 1) == (i >= 0 && i < ticks),
                     qPrintable(QString::number(i)));
            QVERIFY2(!f.BlackOnRay(35 + (i + 0.5) * step, band.x(), band.y(), 0), qPrintable(QString::number(i)));
        }
        for (QVector3D m : marks)  // black within a pixel, or none within two
            QVERIFY2(f.BlackNear(f.Polar(m.x(), m.y()), m.z() ? 1 : 2) == bool(m.z()),
                     qPrintable(QString::number(m.x())));
        int across = 0;
        for (int dx = -5; dx <= 5; ++dx)
            across += IsBlack(f.image.pixel(f.Polar(90, (band.x() + band.y()) / 2) + QPoint(dx, 0)));
        QTEST(across, "width");

        form.Update_Needle(2048);  // the first move only adds the upright red needle
        const QImage up = form.picMeterPanel->Image();
        for (int y = 0; y < up.height(); ++y)
            for (int x = 0; x < up.width(); ++x)
                QVERIFY(up.pixel(x, y) == f.image.pixel(x, y) || IsRed(up.pixel(x, y)));
        QVERIFY(IsRed(up.pixel(f.Pixel(0, 510))) && IsRed(up.pixel(f.Pixel(0, 990))));
        // Both ramps of a sweep, then the left stop: as if it had moved there at once.
        for (int k = 0; k < 152; ++k)
            form.Update_Needle(int16_t(k < 76 ? 54 * k : 4095 - 54 * (k - 76)));
        form.Update_Needle(198);
        QCOMPARE(form.picMeterPanel->Image(), FaceWithNeedleAt(style, 198));

        // On a screen of twice the scale, face and needle come out as if drawn
        // there from the start; a needle moved there leaves no trace; and back.
        const auto moveTo = [&](QScreen* screen) {
            form.windowHandle()->setScreen(screen);
            QTRY_COMPARE(form.picMeterPanel->Image().devicePixelRatio(), screen->devicePixelRatio());
        };
        moveTo(screens[1]);
        QCOMPARE(form.picMeterPanel->Image().size(), form.picMeterPanel->size() * 2);
        QCOMPARE(form.picMeterPanel->Image(), FaceWithNeedleAt(style, 198, screens[1]));
        form.Update_Needle(3898);
        QCOMPARE(form.picMeterPanel->Image(), FaceWithNeedleAt(style, 3898, screens[1]));
        moveTo(screens[0]);
        QCOMPARE(form.picMeterPanel->Image(), FaceWithNeedleAt(style, 3898));
        // Changing the face removes the needle until its next move, at whatever scale.
        (style ? form.optTrad : form.optSimple)->click();
        QCOMPARE(form.picMeterPanel->Image(), FaceWithNeedleAt(1 - style));
        moveTo(screens[1]);
        QCOMPARE(form.picMeterPanel->Image(), FaceWithNeedleAt(1 - style, -1, screens[1]));
        form.Update_Needle(2048);
        QCOMPARE(form.picMeterPanel->Image(), FaceWithNeedleAt(1 - style, 2048, screens[1]));
    }
};

QTEST_MAIN(TestNeedle)
#include "tst_needle.moc"
