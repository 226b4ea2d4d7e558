// The meter face in the main window: what start-up draws and what the
// "Scale Type" options redraw.
#include "FacePixels.h"
#include "TestRig.h"
#include "face/PictureBox.h"

#include <QApplication>
#include <QRadioButton>
#include <QTest>

using namespace FacePixels;

namespace {

// Marks of the scale band TRAD's ticks cross (all of them, short and long),
// looked for from well right of the right end to well left of the left end.
QList<double> TradTicks(const Face& f) { return f.MarksInBand(15, 165, 1048, 1062, IsBlack); }
// Only TRAD's long ticks reach into this band.
QList<double> TradLongTicks(const Face& f) { return f.MarksInBand(15, 165, 1026, 1034, IsBlack); }
QList<double> SimpleTicks(const Face& f) { return f.MarksInBand(15, 165, 1030, 1045, IsBlack); }

void CheckEvenlySpaced(const QList<double>& marks, int count, double first, double last)
{
    QCOMPARE(marks.size(), count);
    const double spacing = (last - first) / (count - 1);
    for (int i = 0; i < count; ++i)
        QVERIFY2(std::abs(marks[i] - (first + i * spacing)) < 0.4,
                 qPrintable(QString("mark %1 at %2 degrees").arg(i).arg(marks[i])));
}

// Width in device pixels of the dark mark crossing the row at height y
// nearest to x = 0.
int WidthAcrossUpright(const Face& f, double y)
{
    const QPoint centre = f.Pixel(0, y);
    int left = centre.x(), right = centre.x();
    while (IsBlack(f.At(QPoint(left - 1, centre.y()))))
        --left;
    while (IsBlack(f.At(QPoint(right + 1, centre.y()))))
        ++right;
    return IsBlack(f.At(centre)) ? right - left + 1 : 0;
}

}  // namespace

class TestMeterFace : public QObject {
    Q_OBJECT
private slots:
    void startUpShowsTheTradFace()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        QVERIFY(form.optTrad->isChecked());
        QVERIFY(!form.optSimple->isChecked());
        QCOMPARE(qzGlobals::ScaleType, 0);
        const Face f(*form.picMeterPanel);
        CheckEvenlySpaced(TradTicks(f), 21, 35, 145);
        QCOMPARE(f.Count(IsRed), 0);
    }

    void panelIsMadeAThirdAsHighAsWide()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        PictureBox& box = *form.picMeterPanel;
        // Placed at 480, 1440 twips; only its height changes, downwards.
        QCOMPARE(box.x(), 480 / frmMain::TwipsPerPixel);
        QCOMPARE(box.y(), 1440 / frmMain::TwipsPerPixel);
        QCOMPARE(box.width(), 667);
        QCOMPARE(box.height(), qRound(box.width() / 3.0));
        // Its bottom edge ends at about 4774 twips.
        QVERIFY(std::abs((box.y() + box.height()) * frmMain::TwipsPerPixel - 4774) < frmMain::TwipsPerPixel);
        // The drawing fills the box, at the screen's pixel density.
        QCOMPARE(box.Image().size(), (QSizeF(667, 222) * box.devicePixelRatioF()).toSize());
    }

    void backgroundIsGreyAndTheSectorWhite()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        for (int style : {0, 1}) {
            (style ? form.optSimple : form.optTrad)->click();
            const Face f(*form.picMeterPanel);
            // The top corners and the bottom corners beyond the sector edges.
            QVERIFY(IsGrey(f.At(-995, 1145)));
            QVERIFY(IsGrey(f.At(995, 1145)));
            QVERIFY(IsGrey(f.At(-995, 490)));
            QVERIFY(IsGrey(f.At(995, 490)));
            // Above the sector's rim at the top.
            QVERIFY(IsGrey(f.AtPolar(90, 1135)));
            // Inside: white wherever the needle can go, also at the bottom
            // edge over the (hidden) hub.
            for (double a = 35; a <= 145; a += 5)
                for (double r : {600.0, 800.0, 990.0})
                    if (Face::Y(a, r) > 490)
                        QVERIFY2(IsWhite(f.AtPolar(a, r)), qPrintable(QString("%1 deg r %2").arg(a).arg(r)));
            QVERIFY(IsWhite(f.At(0, 486)));
            QVERIFY(IsWhite(f.AtPolar(150, 1000)));
            QVERIFY(IsWhite(f.AtPolar(30, 1000)));
            // The rim is a grey line, the straight edges show only in the
            // bottom corners.
            QVERIFY(f.AnyNear(f.Polar(90, 1110), 1, IsGrey));
            QVERIFY(IsWhite(f.AtPolar(90, 1095)));
            QVERIFY(f.AnyNear(f.Polar(151.111, 1050), 1, IsGrey));
            QVERIFY(f.AnyNear(f.Polar(28.889, 1050), 1, IsGrey));
        }
    }

    void tradHasTwentyOneThinTicksLongAtBothEnds()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        form.optSimple->click();
        form.optTrad->click();
        QCOMPARE(qzGlobals::ScaleType, 0);
        const Face f(*form.picMeterPanel);
        CheckEvenlySpaced(TradTicks(f), 21, 35, 145);
        // Long ticks: every other one, the first and the last among them.
        CheckEvenlySpaced(TradLongTicks(f), 11, 35, 145);
        // Nothing beyond the left end: the next tick would stand at 150.5.
        QVERIFY(!f.OnRay(150.5, 1000, 1080, IsBlack));
        QVERIFY(!f.OnRay(29.5, 1000, 1080, IsBlack));
        QCOMPARE(WidthAcrossUpright(f, 1055), int(1 * f.Ratio()));
    }

    void tradHasABaseArcAndABrokenOuterArc()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        const Face f(*form.picMeterPanel);
        // Between the ticks, both arcs are there ...
        for (double a : {37.75, 60.0, 88.0, 98.0, 110.0, 120.0, 142.25}) {
            QVERIFY2(f.AnyNear(f.Polar(a, 1020), 1, IsBlack), qPrintable(QString::number(a)));
            QVERIFY2(f.AnyNear(f.Polar(a, 1070), 1, IsBlack), qPrintable(QString::number(a)));
        }
        // ... except the outer one between the ticks at 101 and 106.5 degrees.
        for (double a : {102.5, 103.75, 105.0}) {
            QVERIFY2(f.AllNear(f.Polar(a, 1070), 2, IsWhite), qPrintable(QString::number(a)));
            QVERIFY(f.AnyNear(f.Polar(a, 1020), 1, IsBlack));
        }
        // The arcs end at the end ticks.
        QVERIFY(f.AllNear(f.Polar(32, 1020), 2, IsWhite));
        QVERIFY(f.AllNear(f.Polar(148, 1070), 2, IsWhite));
    }

    void simpleHasNineHeavyTicksAndNoBaseArc()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        form.optSimple->click();
        QVERIFY(!form.optTrad->isChecked());
        QCOMPARE(qzGlobals::ScaleType, 1);
        const Face f(*form.picMeterPanel);
        CheckEvenlySpaced(SimpleTicks(f), 9, 35, 145);
        // Nothing beyond the end ticks within the white sector.
        QVERIFY(!f.OnRay(150, 1030, 1080, IsBlack));
        QVERIFY(!f.OnRay(30, 1030, 1080, IsBlack));
        QCOMPARE(WidthAcrossUpright(f, 1035), int(2 * f.Ratio()));
        // No base arc and no outer arc between the ticks.
        for (double a : {41.875, 70.0, 83.0, 97.0, 110.0, 124.0, 138.125}) {
            QVERIFY2(f.AllNear(f.Polar(a, 1020), 2, IsWhite), qPrintable(QString::number(a)));
            QVERIFY2(f.AllNear(f.Polar(a, 1070), 2, IsWhite), qPrintable(QString::number(a)));
        }
    }

    void simpleHasEndMarksAndAReferenceMark()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        form.optSimple->click();
        const Face f(*form.picMeterPanel);
        // The end marks carry the scale a little past each end tick.
        QVERIFY(f.AnyNear(f.Polar(146.5, 1020), 1, IsBlack));
        QVERIFY(f.AnyNear(f.Polar(33.5, 1020), 1, IsBlack));
        QVERIFY(f.AllNear(f.Polar(149, 1020), 2, IsWhite));
        QVERIFY(f.AllNear(f.Polar(31, 1020), 2, IsWhite));
        // The reference mark: a short arc either side of the tick at 103.75.
        QVERIFY(f.AnyNear(f.Polar(103.1, 1020), 1, IsBlack));
        QVERIFY(f.AnyNear(f.Polar(104.4, 1020), 1, IsBlack));
        QVERIFY(f.AllNear(f.Polar(101.5, 1020), 2, IsWhite));
        QVERIFY(f.AllNear(f.Polar(106.0, 1020), 2, IsWhite));
    }

    void optionsDoNothingWhileTheWindowLoads()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        const QImage before = form.picMeterPanel->Image();
        qzGlobals::FormLoading = true;
        form.optSimple_Click();
        QCOMPARE(qzGlobals::ScaleType, 0);
        form.optTrad_Click();
        QCOMPARE(qzGlobals::ScaleType, 0);
        form.Update_Needle(2048);  // would be wiped by a redraw
        const QImage withNeedle = form.picMeterPanel->Image();
        QVERIFY(withNeedle != before);
        form.optTrad_Click();
        QCOMPARE(form.picMeterPanel->Image(), withNeedle);
        qzGlobals::FormLoading = false;
    }

    void panelRepaintsWhatWasDrawn()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.optSimple->click();
        form.Update_Needle(3000);
        const QImage drawn = form.picMeterPanel->Image();
        // Hidden and shown again (as when uncovered), the box paints itself
        // from what was drawn; nothing draws the face again.
        form.hide();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QImage shown = form.picMeterPanel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        shown.setDevicePixelRatio(drawn.devicePixelRatio());
        QCOMPARE(shown, drawn);
    }
};

// QZ_SCALE_FACTOR builds the same tests for a high-density screen.
int main(int argc, char** argv)
{
#ifdef QZ_SCALE_FACTOR
    qputenv("QT_SCALE_FACTOR", QZ_SCALE_FACTOR);
#endif
    QApplication app(argc, argv);
    TestMeterFace tests;
    return QTest::qExec(&tests, argc, argv);
}
#include "tst_meter_face.moc"
