// The drawing surface on its own: sizes in twips, the user scale, and what
// each drawing operation puts on the screen.
#include "FacePixels.h"
#include "face/PictureBox.h"

#include <QApplication>
#include <QTest>

using namespace FacePixels;

namespace {

const QColor Blue(0, 0, 255);
const QColor Yellow(255, 255, 0);
const QColor Back(10, 20, 30);

bool IsBlue(QRgb c) { return (c & 0xFFFFFF) == 0x0000FF; }
bool IsYellow(QRgb c) { return (c & 0xFFFFFF) == 0xFFFF00; }
bool IsBack(QRgb c) { return (c & 0xFFFFFF) == (QColor(Back).rgb() & 0xFFFFFF); }

constexpr float Pi = 3.14159265f;

// A box 200 x 100 pixels with x from -100 to 100 and y from 100 down to 0,
// so one unit is one pixel and the origin is in the middle of the bottom edge.
struct Box {
    QWidget parent;
    PictureBox* box;
    Box()
    {
        parent.resize(400, 400);
        box = new PictureBox(&parent);
        box->setGeometry(20, 30, 200, 100);
        box->ScaleWidth(200);
        box->ScaleHeight(-100);
        box->ScaleLeft(-100);
        box->ScaleTop(100);
        box->BackColor(Back);
        box->Cls();
    }
    Face Look() const { return Face(*box); }
};

}  // namespace

class TestPictureBox : public QObject {
    Q_OBJECT
private slots:
    void sizesAreInTwips()
    {
        QWidget parent;
        PictureBox box(&parent);
        box.setGeometry(10, 20, 300, 90);
        QCOMPARE(box.Width(), 4500.0f);
        QCOMPARE(box.Height(), 1350.0f);
        box.Height(box.Width() / 3);
        QCOMPARE(box.geometry(), QRect(10, 20, 300, 100));
    }

    void heightGrowsAndShrinksDownwardsKeepingTheDrawing()
    {
        Box b;
        b.box->DrawWidth(1);
        b.box->Line(-50, 50, 50, 50, Blue);
        b.box->Height(150 * PictureBox::TwipsPerPixel);
        QCOMPARE(b.box->geometry(), QRect(20, 30, 200, 150));
        QCOMPARE(b.box->Image().size(), (QSizeF(200, 150) * b.box->devicePixelRatioF()).toSize());
        {
            // The line stays where it was on the screen; the new strip shows
            // the background.
            const QImage img = b.box->Image();
            const qreal r = img.devicePixelRatio();
            QVERIFY(Face(*b.box).AnyNear(QPoint(int(100 * r), int(50 * r)), 1, IsBlue));
            QVERIFY(IsBack(img.pixel(int(100 * r), int(140 * r))));
        }
        b.box->Height(40 * PictureBox::TwipsPerPixel);
        QCOMPARE(b.box->geometry(), QRect(20, 30, 200, 40));
    }

    void scaleMapsTheInnerEdges()
    {
        Box b;
        const qreal r = b.box->devicePixelRatioF();
        QCOMPARE(b.box->ToPixel(-100, 100), QPointF(0, 0));
        QCOMPARE(b.box->ToPixel(100, 0), QPointF(200 * r, 100 * r));
        QCOMPARE(b.box->ToPixel(0, 25), QPointF(100 * r, 75 * r));  // y grows upwards
        // Until a scale is set, units are twips from the top-left corner.
        QWidget parent;
        PictureBox plain(&parent);
        plain.setGeometry(0, 0, 100, 50);
        QCOMPARE(plain.ToPixel(750, 150), QPointF(50 * r, 10 * r));
        QCOMPARE(plain.ScaleWidth(), 1500.0f);
        QCOMPARE(plain.ScaleHeight(), 750.0f);
    }

    void lineIsDrawWidthPixelsWide()
    {
        for (int16_t width : {1, 2, 3}) {
            Box b;
            b.box->DrawWidth(width);
            b.box->Line(-50, 50, 50, 50, Blue);
            const Face f = b.Look();
            // A column through the middle of the line: `width` blue pixels.
            int blue = 0;
            for (int y = 0; y < f.Image().height(); ++y)
                blue += IsBlue(f.Image().pixel(int(100 * f.Ratio()), y)) ? 1 : 0;
            QCOMPARE(blue, int(width * f.Ratio()));
            // No smoothing: every pixel is either the line or the background.
            QCOMPARE(f.Count(IsBlue) + f.Count(IsBack), f.Image().width() * f.Image().height());
        }
    }

    void circleIsFilledOnlyWhenFillStyleIsSolid()
    {
        Box b;
        b.box->FillColor(Yellow);
        b.box->FillStyle(PictureBox::FillTransparent);
        b.box->Circle(-50, 50, 30, Blue);
        b.box->FillStyle(PictureBox::FillSolid);
        b.box->Circle(50, 50, 30, Blue);
        const Face f = b.Look();
        QVERIFY(IsBack(f.At(-50, 50)));
        QVERIFY(IsYellow(f.At(50, 50)));
        QVERIFY(f.AnyNear(f.Pixel(-50, 80), 1, IsBlue));
        QVERIFY(f.AnyNear(f.Pixel(50, 20), 1, IsBlue));
    }

    void circleIsTrueWhateverTheScale()
    {
        // x: 1 pixel a unit; y: 2 pixels a unit. The radius counts along x.
        Box b;
        b.box->ScaleHeight(-50);
        b.box->ScaleTop(50);
        b.box->Circle(0, 25, 40, Blue);
        const Face f = b.Look();
        const QPoint centre = f.Pixel(0, 25);
        const int r = int(40 * f.Ratio());
        QVERIFY(f.AnyNear(centre + QPoint(r, 0), 1, IsBlue));
        QVERIFY(f.AnyNear(centre - QPoint(0, r), 1, IsBlue));
        QVERIFY(!f.AnyNear(centre - QPoint(0, 2 * r), 2, IsBlue));
    }

    void arcRunsCounterclockwiseFromStartToEnd()
    {
        Box b;
        b.box->FillStyle(PictureBox::FillSolid);
        b.box->FillColor(Yellow);
        b.box->Circle(0, 0, 80, Blue, Pi / 4, 3 * Pi / 4);  // over the top
        const Face f = b.Look();
        QVERIFY(f.AnyNear(f.Polar(90, 80), 1, IsBlue));
        QVERIFY(f.AnyNear(f.Polar(50, 80), 1, IsBlue));
        QVERIFY(f.AnyNear(f.Polar(130, 80), 1, IsBlue));
        QVERIFY(!f.AnyNear(f.Polar(30, 80), 2, IsBlue));
        QVERIFY(!f.AnyNear(f.Polar(150, 80), 2, IsBlue));
        // An arc is never filled and has no radii.
        QVERIFY(IsBack(f.AtPolar(90, 40)));
        QVERIFY(!f.AnyNear(f.Polar(45, 40), 2, IsBlue));
    }

    void arcFromAboveToBelowItsEndGoesRoundThroughZero()
    {
        Box b;
        b.box->ScaleTop(50);  // origin in the middle of the box
        b.box->Circle(0, 0, 40, Blue, 7 * Pi / 4, Pi / 4);
        const Face f = b.Look();
        QVERIFY(f.AnyNear(f.Polar(0, 40), 1, IsBlue));
        QVERIFY(!f.AnyNear(f.Polar(180, 40), 2, IsBlue));
        QVERIFY(!f.AnyNear(f.Polar(90, 40), 2, IsBlue));
    }

    void negativeAngleAlsoDrawsThatRadius()
    {
        Box b;
        b.box->FillStyle(PictureBox::FillSolid);
        b.box->FillColor(Yellow);
        b.box->Circle(0, 0, 80, Blue, -Pi / 4, 3 * Pi / 4);
        const Face f = b.Look();
        QVERIFY(f.AnyNear(f.Polar(45, 40), 1, IsBlue));
        QVERIFY(!f.AnyNear(f.Polar(135, 40), 2, IsBlue));
        QVERIFY(IsBack(f.AtPolar(90, 40)));  // not a closed figure, not filled
    }

    void twoNegativeAnglesMakeAFilledSector()
    {
        Box b;
        b.box->FillStyle(PictureBox::FillSolid);
        b.box->FillColor(Yellow);
        b.box->DrawWidth(2);
        b.box->Circle(0, 0, 80, Blue, -Pi / 4, -3 * Pi / 4);
        const Face f = b.Look();
        QVERIFY(f.AnyNear(f.Polar(45, 40), 1, IsBlue));
        QVERIFY(f.AnyNear(f.Polar(135, 40), 1, IsBlue));
        QVERIFY(f.AnyNear(f.Polar(90, 80), 1, IsBlue));
        QVERIFY(IsYellow(f.AtPolar(90, 40)));
        QVERIFY(IsYellow(f.AtPolar(60, 70)));
        QVERIFY(IsBack(f.AtPolar(30, 40)));
        QVERIFY(IsBack(f.AtPolar(150, 40)));
    }

    void aLineDrawnAgainInTheBackgroundLeavesNoTrace()
    {
        for (int16_t width : {1, 2, 3}) {
            Box b;
            const QImage before = b.box->Image();
            b.box->DrawWidth(width);
            b.box->Line(-73.3f, 12.7f, 61.9f, 88.1f, Blue);
            QVERIFY(b.box->Image() != before);
            b.box->Line(-73.3f, 12.7f, 61.9f, 88.1f, Back);
            QCOMPARE(b.box->Image(), before);
        }
    }
};

// QZ_SCALE_FACTOR builds the same tests for a high-density screen.
int main(int argc, char** argv)
{
#ifdef QZ_SCALE_FACTOR
    qputenv("QT_SCALE_FACTOR", QZ_SCALE_FACTOR);
#endif
    QApplication app(argc, argv);
    TestPictureBox tests;
    return QTest::qExec(&tests, argc, argv);
}
#include "tst_picturebox.moc"
