// The meter face and the needle on it, as drawn in the main window: both
// scale styles, and needle moves and face redraws that leave nothing behind.
#include "FacePixels.h"
#include "TestRig.h"

#include <QRadioButton>
#include <QTest>

using namespace FacePixels;
using Points = QList<QPointF>;

namespace {

// A fresh window's face in the given style (0 TRAD, 1 SIMPLE) with the
// needle moved to `position` once.
QImage FaceWithNeedleAt(int style, int16_t position)
{
    TestRig rig;
    frmMain& form = rig.Make();
    (style == 1 ? form.optSimple : form.optTrad)->click();
    form.Update_Needle(position);
    return form.picMeterPanel->Image();
}

}  // namespace

class TestMeterFace : public QObject {
    Q_OBJECT
private slots:
    void face_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<double>("inner");  // a band of radii the ticks cross
        QTest::addColumn<double>("outer");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("width");      // pixels across the upright tick
        QTest::addColumn<Points>("black");   // (degrees, radius)
        QTest::addColumn<Points>("nothing");
        // Base arc and outer arc, the base arc under the outer one's gap
        // between 101 and 106.5 degrees; the gap, and no arc past the end ticks.
        QTest::newRow("TRAD") << 0 << 1048.0 << 1062.0 << 21 << 1 << Points{{60, 1020}, {142.25, 1070}, {103.75, 1020}}
                              << Points{{103.75, 1070}, {32, 1020}, {148, 1070}};
        QTest::newRow("TRAD, long ticks") << 0 << 1026.0 << 1030.0 << 11 << 1 << Points{} << Points{};
        // Short end marks and a short reference mark about the tick at
        // 103.75 degrees; no base arc, no outer arc.
        QTest::newRow("SIMPLE") << 1 << 1030.0 << 1045.0 << 9 << 2 << Points{{146.5, 1020}, {33.5, 1020}, {104.4, 1020}}
                                << Points{{149, 1020}, {101.5, 1020}, {70, 1020}, {110, 1070}};
    }
    void face()
    {
        QFETCH(int, style);
        QFETCH(double, inner);
        QFETCH(double, outer);
        QFETCH(int, ticks);
        QFETCH(int, width);
        QFETCH(Points, black);
        QFETCH(Points, nothing);
        TestRig rig;
        frmMain& form = rig.Make();
        const QImage startUp = form.picMeterPanel->Image();  // TRAD
        form.optSimple->click();
        if (style == 0)
            form.optTrad->click();
        QCOMPARE(qzGlobals::ScaleType, style);
        const Face f(*form.picMeterPanel);
        if (style == 0)
            QCOMPARE(f.image, startUp);

        // Grey box outside the sector and above its rim, white inside.
        for (QPoint p : {f.Pixel(-995, 1145), f.Pixel(995, 1145), f.Pixel(-995, 490), f.Pixel(995, 490),
                         f.Polar(90, 1135), f.Polar(151.5, 1050), f.Polar(28.5, 1050)})
            QVERIFY2(IsGrey(f.At(p)), qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
        for (double a = 30; a <= 150; a += 5)
            for (double r : {600.0, 800.0, 1000.0})
                if (r * std::sin(a * M_PI / 180) > 490)
                    QVERIFY2(IsWhite(f.At(f.Polar(a, r))), qPrintable(QString("%1 deg, r %2").arg(a).arg(r)));

        // Ticks evenly spaced from 35 to 145 degrees, nothing in between, none beyond.
        const double step = 110.0 / (ticks - 1);
        for (int i = -1; i <= ticks; ++i) {
            const bool tick = i >= 0 && i < ticks;
            QVERIFY2(f.BlackOnRay(35 + i * step, inner, outer, 1) == tick, qPrintable(QString::number(i)));
            QVERIFY2(!f.BlackOnRay(35 + (i + 0.5) * step, inner, outer, 0), qPrintable(QString::number(i)));
        }
        const int ratio = int(f.image.devicePixelRatio()), y = f.Pixel(0, (inner + outer) / 2).y();
        QCOMPARE(Count(f.image.copy(f.Pixel(0, 0).x() - 6 * ratio, y, 12 * ratio, 1), IsBlack), width * ratio);
        for (QPointF p : black)
            QVERIFY2(f.AnyNear(f.Polar(p.x(), p.y()), 1, IsBlack), qPrintable(QString::number(p.x())));
        for (QPointF p : nothing)
            QVERIFY2(!f.AnyNear(f.Polar(p.x(), p.y()), 2, IsBlack), qPrintable(QString::number(p.x())));
    }

    void needleMovesAndFaceChangesLeaveNoTrace_data()
    {
        QTest::addColumn<int>("style");
        QTest::newRow("TRAD") << 0;
        QTest::newRow("SIMPLE") << 1;
    }
    void needleMovesAndFaceChangesLeaveNoTrace()
    {
        QFETCH(int, style);
        TestRig rig;
        frmMain& form = rig.Make();
        (style == 1 ? form.optSimple : form.optTrad)->click();
        const QImage bare = form.picMeterPanel->Image();
        const int ratio = int(bare.devicePixelRatio());
        QCOMPARE(ratio, qMax(1, qEnvironmentVariableIntValue("QT_SCALE_FACTOR")));  // the screen's pixel density
        form.Update_Needle(2048);
        {
            // The first move only adds the upright needle, 3 pixels wide.
            const Face f(*form.picMeterPanel);
            QCOMPARE(f.NeedleError(0), QString());
            for (int y = 0; y < bare.height(); ++y)
                for (int x = 0; x < bare.width(); ++x)
                    QVERIFY(f.image.pixel(x, y) == bare.pixel(x, y) || IsRed(f.image.pixel(x, y)));
            const QImage across = f.image.copy(0, f.Pixel(0, 750).y(), bare.width(), 1);
            QCOMPARE(Count(across, IsRed), 3 * ratio);
        }
        // Both ramps of a sweep, then the left stop.
        for (int k = 0; k <= 4095; k += 54)
            form.Update_Needle(int16_t(k));
        for (int k = 0; k <= 4095; k += 54)
            form.Update_Needle(int16_t(4095 - k));
        form.Update_Needle(198);
        const Face f(*form.picMeterPanel);
        QCOMPARE(f.NeedleError(-55), QString());
        const auto notWhite = [](QRgb c) { return !IsWhite(c); };
        for (double r = 490; r <= 1002; r += 2)
            QVERIFY2(!f.AnyNear(f.Pixel(0, r), 3 * ratio, notWhite), qPrintable(QString::number(r)));
        QCOMPARE(f.image, FaceWithNeedleAt(style, 198));

        // Changing the face removes the needle until its next move.
        (style == 1 ? form.optTrad : form.optSimple)->click();
        QCOMPARE(Count(form.picMeterPanel->Image(), IsRed), 0);
        form.Update_Needle(2048);
        QCOMPARE(form.picMeterPanel->Image(), FaceWithNeedleAt(1 - style, 2048));
    }

    void panelKeepsWhatIsDrawn()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        PictureBox& box = *form.picMeterPanel;
        QCOMPARE(box.size(), QSize(667, 222));  // a third as high as wide
        QCOMPARE(box.Image().size(), box.size() * box.devicePixelRatioF());
        form.Update_Needle(3000);
        // Whenever it is painted (as when uncovered) it shows what was drawn.
        QImage shown = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
        shown.setDevicePixelRatio(box.Image().devicePixelRatio());
        QCOMPARE(shown, box.Image());
    }
};

QTEST_MAIN(TestMeterFace)
#include "tst_meter_face.moc"
