// The meter face and the needle on it, as drawn in the main window: both
// scale styles, and needle moves and face redraws that leave nothing behind.
#include "FacePixels.h"
#include "TestRig.h"

#include <QRadioButton>
#include <QTest>

using namespace FacePixels;

namespace {

// The face of a fresh window in the given style, with the needle moved to
// `position` once.
QImage FaceWithNeedleAt(int style, int16_t position)
{
    TestRig rig;
    frmMain& form = rig.Make();
    if (style == 1)
        form.optSimple->click();
    form.Update_Needle(position);
    return form.picMeterPanel->Image();
}

void AddStyles()
{
    QTest::addColumn<int>("style");
    QTest::newRow("TRAD") << 0;
    QTest::newRow("SIMPLE") << 1;
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
        QTest::addColumn<int>("width");  // pixels across the upright tick
        QTest::newRow("TRAD, all ticks") << 0 << 1048.0 << 1062.0 << 21 << 1;
        QTest::newRow("TRAD, long ticks") << 0 << 1026.0 << 1034.0 << 11 << 1;
        QTest::newRow("SIMPLE") << 1 << 1030.0 << 1045.0 << 9 << 2;
    }
    void face()
    {
        QFETCH(int, style);
        QFETCH(double, inner);
        QFETCH(double, outer);
        QFETCH(int, ticks);
        QFETCH(int, width);
        TestRig rig;
        frmMain& form = rig.Make();  // start-up shows TRAD
        const QImage startUp = form.picMeterPanel->Image();
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

        // Evenly spaced from 35 to 145 degrees and none beyond.
        const QList<double> marks = f.Marks(inner, outer);
        QCOMPARE(marks.size(), ticks);
        for (int i = 0; i < ticks; ++i)
            QVERIFY2(std::abs(marks[i] - (35 + i * 110.0 / (ticks - 1))) < 0.4, qPrintable(QString::number(marks[i])));
        const QPoint upright = f.Pixel(0, (inner + outer) / 2);
        int black = 0;
        for (int dx = -6 * int(f.image.devicePixelRatio()); dx <= 6 * f.image.devicePixelRatio(); ++dx)
            black += IsBlack(f.At(upright + QPoint(dx, 0))) ? 1 : 0;
        QCOMPARE(black, width * int(f.image.devicePixelRatio()));
    }

    void arcs_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<double>("degrees");
        QTest::addColumn<double>("radius");
        QTest::addColumn<bool>("black");
        QTest::newRow("TRAD base arc") << 0 << 60.0 << 1020.0 << true;
        QTest::newRow("TRAD outer arc") << 0 << 142.25 << 1070.0 << true;
        QTest::newRow("TRAD base arc under the gap") << 0 << 103.75 << 1020.0 << true;
        QTest::newRow("TRAD outer arc gap") << 0 << 103.75 << 1070.0 << false;
        QTest::newRow("TRAD base arc ends at 35") << 0 << 32.0 << 1020.0 << false;
        QTest::newRow("TRAD outer arc ends at 145") << 0 << 148.0 << 1070.0 << false;
        QTest::newRow("SIMPLE no base arc") << 1 << 70.0 << 1020.0 << false;
        QTest::newRow("SIMPLE no outer arc") << 1 << 110.0 << 1070.0 << false;
        QTest::newRow("SIMPLE left end mark") << 1 << 146.5 << 1020.0 << true;
        QTest::newRow("SIMPLE right end mark") << 1 << 33.5 << 1020.0 << true;
        QTest::newRow("SIMPLE end mark is short") << 1 << 149.0 << 1020.0 << false;
        QTest::newRow("SIMPLE reference mark") << 1 << 104.4 << 1020.0 << true;
        QTest::newRow("SIMPLE reference mark is short") << 1 << 101.5 << 1020.0 << false;
    }
    void arcs()
    {
        QFETCH(int, style);
        QFETCH(double, degrees);
        QFETCH(double, radius);
        QFETCH(bool, black);
        TestRig rig;
        frmMain& form = rig.Make();
        if (style == 1)
            form.optSimple->click();
        const Face f(*form.picMeterPanel);
        QCOMPARE(f.AnyNear(f.Polar(degrees, radius), black ? 1 : 2, IsBlack), black);
    }

    void needleMovesLeaveNoTrace_data() { AddStyles(); }
    void needleMovesLeaveNoTrace()
    {
        QFETCH(int, style);
        TestRig rig;
        frmMain& form = rig.Make();
        if (style == 1)
            form.optSimple->click();
        const QImage bare = form.picMeterPanel->Image();
        QCOMPARE(bare.devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
        form.Update_Needle(2048);
        {
            // The first move only adds the upright needle, 3 pixels wide.
            const Face f(*form.picMeterPanel);
            QCOMPARE(f.NeedleError(0), QString());
            for (int y = 0; y < bare.height(); ++y)
                for (int x = 0; x < bare.width(); ++x)
                    QVERIFY(f.image.pixel(x, y) == bare.pixel(x, y) || IsRed(f.image.pixel(x, y)));
            const int row = f.Pixel(0, 750).y();
            int red = 0;
            for (int x = 0; x < bare.width(); ++x)
                red += IsRed(f.image.pixel(x, row)) ? 1 : 0;
            QCOMPARE(red, 3 * int(bare.devicePixelRatio()));
        }
        // Both ramps of a sweep, then the left stop.
        for (int k = 0; k <= 4095; k += 54)
            form.Update_Needle(int16_t(k));
        for (int k = 0; k <= 4095; k += 54)
            form.Update_Needle(int16_t(4095 - k));
        form.Update_Needle(198);
        const Face f(*form.picMeterPanel);
        QCOMPARE(f.NeedleError(-55), QString());
        for (double r = 490; r <= 1002; r += 2)
            QVERIFY2(!f.AnyNear(f.Pixel(0, r), 3 * int(f.image.devicePixelRatio()), [](QRgb c) { return !IsWhite(c); }),
                     qPrintable(QString::number(r)));
        QCOMPARE(f.image, FaceWithNeedleAt(style, 198));
    }

    void faceRedrawRemovesTheNeedleUntilItMoves()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        form.Update_Needle(3898);
        form.optSimple->click();
        QCOMPARE(Face(*form.picMeterPanel).Count(IsRed), 0);
        form.Update_Needle(2048);
        QCOMPARE(Face(*form.picMeterPanel).NeedleError(0), QString());
        QCOMPARE(form.picMeterPanel->Image(), FaceWithNeedleAt(1, 2048));
    }

    void panelKeepsWhatIsDrawn()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        PictureBox& box = *form.picMeterPanel;
        QCOMPARE(box.size(), QSize(667, 222));  // a third as high as wide
        QCOMPARE(box.Image().size(), box.size() * box.devicePixelRatioF());
        form.Update_Needle(3000);
        const QImage drawn = box.Image();
        // Whenever it is painted (as when uncovered) it shows what was drawn.
        QImage shown = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
        shown.setDevicePixelRatio(drawn.devicePixelRatio());
        QCOMPARE(shown, drawn);
    }
};

QTEST_MAIN(TestMeterFace)
#include "tst_meter_face.moc"
