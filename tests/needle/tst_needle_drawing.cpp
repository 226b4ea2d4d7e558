// The needle on the meter face: where it is drawn, and that moving it or
// redrawing the face leaves nothing of the old one behind.
#include "FacePixels.h"
#include "TestRig.h"

#include <QApplication>
#include <QRadioButton>
#include <QTest>
#include <memory>

using namespace FacePixels;

namespace {

// A fresh window with the given face and the needle moved through
// `positions` in turn.
QImage FaceAfter(int scaleType, std::initializer_list<int16_t> positions)
{
    TestRig rig;
    frmMain& form = rig.Make();
    if (scaleType == 1)
        form.optSimple->click();
    for (int16_t p : positions)
        form.Update_Needle(p);
    return form.picMeterPanel->Image();
}

#define VERIFY_NEEDLE(face, phi)                                  \
    do {                                                          \
        QString why;                                              \
        QVERIFY2((face).NeedleStandsAt(phi, &why), qPrintable(why)); \
    } while (false)

}  // namespace

class TestNeedleDrawing : public QObject {
    Q_OBJECT
private slots:
    void drawsAtTheScreensPixelDensity()
    {
#ifdef QZ_SCALE_FACTOR
        const qreal expected = QByteArray(QZ_SCALE_FACTOR).toDouble();
#else
        const qreal expected = 1.0;
#endif
        TestRig rig;
        frmMain& form = rig.Make();
        QCOMPARE(form.picMeterPanel->devicePixelRatioF(), expected);
        QCOMPARE(form.picMeterPanel->Image().width(), qRound(form.picMeterPanel->width() * expected));
    }

    void centreNeedleStandsUpright()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        form.Update_Needle(2048);
        const Face f(*form.picMeterPanel);
        VERIFY_NEEDLE(f, 0);
        // Three pixels wide.
        const QPoint mid = f.Pixel(0, 750);
        int red = 0;
        for (int dx = -5; dx <= 5; ++dx)
            red += IsRed(f.At(mid + QPoint(int(dx * f.Ratio()), 0))) ? 1 : 0;
        QVERIFY2(red >= 3, qPrintable(QString::number(red)));
        int devicePixels = 0;
        for (int x = 0; x < f.Image().width(); ++x)
            devicePixels += IsRed(f.Image().pixel(x, mid.y())) ? 1 : 0;
        QCOMPARE(devicePixels, int(3 * f.Ratio()));
    }

    void stopsLeanFiftyFiveDegrees()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        form.Update_Needle(198);
        VERIFY_NEEDLE(Face(*form.picMeterPanel), -55.0);
        form.Update_Needle(3898);
        VERIFY_NEEDLE(Face(*form.picMeterPanel), 55.0);
        // The ends of the range stand a little further out, still on white.
        form.Update_Needle(0);
        VERIFY_NEEDLE(Face(*form.picMeterPanel), -57.68);
        form.Update_Needle(4095);
        VERIFY_NEEDLE(Face(*form.picMeterPanel), 57.68);
    }

    void firstMoveOnlyAddsTheNeedle()
    {
        // The first erase goes to the pivot, below the box: nothing but red
        // pixels change.
        TestRig rig;
        frmMain& form = rig.Make();
        const QImage before = form.picMeterPanel->Image();
        form.Update_Needle(2418);
        const QImage after = form.picMeterPanel->Image();
        int changed = 0;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x)
                if (after.pixel(x, y) != before.pixel(x, y)) {
                    ++changed;
                    QVERIFY(IsRed(after.pixel(x, y)));
                }
        QVERIFY(changed > 0);
    }

    void movingTheNeedleLeavesNoTrace_data()
    {
        QTest::addColumn<int>("scaleType");
        QTest::newRow("TRAD") << 0;
        QTest::newRow("SIMPLE") << 1;
    }
    void movingTheNeedleLeavesNoTrace()
    {
        QFETCH(int, scaleType);
        TestRig rig;
        frmMain& form = rig.Make();
        if (scaleType == 1)
            form.optSimple->click();
        form.Update_Needle(2048);
        form.Update_Needle(198);
        const Face f(*form.picMeterPanel);
        VERIFY_NEEDLE(f, -55.0);
        // Where the upright needle stood the face is pure white again.
        for (double r = 490; r <= 1002; r += 2)
            QVERIFY2(f.AllNear(f.Pixel(0, r), int(3 * f.Ratio()), IsWhite), qPrintable(QString::number(r)));
        // And the face is exactly what a single move to 198 gives.
        QCOMPARE(f.Image(), FaceAfter(scaleType, {198}));
    }

    void aWholeSweepLeavesOnlyTheLastNeedle_data() { movingTheNeedleLeavesNoTrace_data(); }
    void aWholeSweepLeavesOnlyTheLastNeedle()
    {
        QFETCH(int, scaleType);
        TestRig rig;
        frmMain& form = rig.Make();
        if (scaleType == 1)
            form.optSimple->click();
        for (int p = 0; p <= 4095; p += 54)
            form.Update_Needle(int16_t(p));
        for (int k = 0; k <= 4095; k += 54)
            form.Update_Needle(int16_t(4095 - k));
        QCOMPARE(form.picMeterPanel->Image(), FaceAfter(scaleType, {45}));
    }

    void sameMoveTwiceLeavesOneNeedle()
    {
        QCOMPARE(FaceAfter(0, {198, 198}), FaceAfter(0, {198}));
        TestRig rig;
        frmMain& form = rig.Make();
        form.Update_Needle(3898);
        form.Update_Needle(3898);
        VERIFY_NEEDLE(Face(*form.picMeterPanel), 55.0);
    }

    void changingTheFaceRemovesTheNeedleUntilItMoves()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        form.Update_Needle(3898);
        form.optSimple->click();
        QCOMPARE(Face(*form.picMeterPanel).Count(IsRed), 0);
        form.optTrad->click();
        QCOMPARE(Face(*form.picMeterPanel).Count(IsRed), 0);
        form.Update_Needle(2048);
        const Face f(*form.picMeterPanel);
        VERIFY_NEEDLE(f, 0);
        // Erasing where the needle stood before the redraw leaves white.
        QCOMPARE(f.Image(), FaceAfter(0, {2048}));
    }
};

// QZ_SCALE_FACTOR builds the same tests for a high-density screen.
int main(int argc, char** argv)
{
#ifdef QZ_SCALE_FACTOR
    qputenv("QT_SCALE_FACTOR", QZ_SCALE_FACTOR);
#endif
    QApplication app(argc, argv);
    TestNeedleDrawing tests;
    return QTest::qExec(&tests, argc, argv);
}
#include "tst_needle_drawing.moc"
