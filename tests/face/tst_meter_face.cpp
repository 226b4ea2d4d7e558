// The meter face and the needle on it as the main window draws them: both
// scale styles; needle moves, face changes and moves to a screen of another
// scale that leave nothing behind.
#include "TestRig.h"
#include "face/PictureBox.h"

#include <QScreen>
#include <QVector3D>
#include <QWindow>
#include <cmath>

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
    QPoint Polar(double deg, double r) const
    {
        return Pixel(r * std::cos(deg * M_PI / 180), r * std::sin(deg * M_PI / 180));
    }
    bool AnyNear(QPoint p, int reach, bool (*test)(QRgb)) const
    {
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (image.valid(p + QPoint(dx, dy)) && test(image.pixel(p + QPoint(dx, dy))))
                    return true;
        return false;
    }
    bool BlackOnRay(double deg, double from, double to, int reach) const  // within reach of the ray
    {
        for (double r = from; r <= to; r += 0.5)
            if (AnyNear(Polar(deg, r), reach, IsBlack))
                return true;
        return false;
    }
};

// A fresh window's face in the given style (0 TRAD, 1 SIMPLE), the needle moved
// once if at all, drawn on the given screen from the start.
static QImage FaceWithNeedleAt(int style, int position = -1, QScreen* screen = nullptr)
{
    TestRig rig;
    frmMain& form = rig.Make(false);
    if (screen)
        form.setScreen(screen);
    form.Form_Load();
    (style ? form.optSimple : form.optTrad)->click();
    if (position >= 0)
        form.Update_Needle(int16_t(position));
    return form.picMeterPanel->Image();
}

class TestMeterFace : public QObject {
    Q_OBJECT
private slots:
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
            QVERIFY2(f.AnyNear(f.Polar(m.x(), m.y()), m.z() ? 1 : 2, IsBlack) == bool(m.z()),
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

QTEST_MAIN(TestMeterFace)
#include "tst_meter_face.moc"
