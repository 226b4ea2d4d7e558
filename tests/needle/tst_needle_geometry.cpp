// Where the needle stands for a position: the deflection and the ends of the
// drawn needle, for the positions that matter on the meter.
#include "TestRig.h"
#include "needle/NeedleGeometry.h"

#include <QRadioButton>
#include <QTest>

using NeedleGeometry::Deflection;
using NeedleGeometry::EndsAt;

class TestNeedleGeometry : public QObject {
    Q_OBJECT
private slots:
    void deflection_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("deflection");
        QTest::newRow("centre") << 2048 << 0;
        QTest::newRow("left stop") << 198 << -10012;
        QTest::newRow("right stop") << 3898 << 10012;
        QTest::newRow("bottom of range") << 0 << -10500;
        QTest::newRow("last clamped low") << 107 << -10500;
        QTest::newRow("first free low") << 108 << -10499;
        QTest::newRow("top of range") << 4095 << 10500;
        QTest::newRow("first clamped high") << 3989 << 10500;
        QTest::newRow("last free high") << 3988 << 10499;
        // Truncated toward zero, not rounded and not floored.
        QTest::newRow("one below centre") << 2047 << -5;
        QTest::newRow("one above centre") << 2049 << 5;
    }
    void deflection()
    {
        QFETCH(int, position);
        QFETCH(int, deflection);
        QCOMPARE(Deflection(int16_t(position)), deflection);
    }

    void ends_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("x1");
        QTest::addColumn<double>("y1");
        QTest::addColumn<double>("x2");
        QTest::addColumn<double>("y2");
        QTest::newRow("2048") << 2048 << 0.0 << 500.0 << 0.0 << 1000.0;
        QTest::newRow("198") << 198 << -409.56 << 286.81 << -819.13 << 573.61;
        QTest::newRow("3898") << 3898 << 409.56 << 286.81 << 819.13 << 573.61;
        QTest::newRow("0") << 0 << -422.53 << 267.34 << -845.06 << 534.67;
        QTest::newRow("107") << 107 << -422.53 << 267.34 << -845.06 << 534.67;
        QTest::newRow("4095") << 4095 << 422.53 << 267.34 << 845.06 << 534.67;
    }
    void ends()
    {
        QFETCH(int, position);
        QFETCH(double, x1);
        QFETCH(double, y1);
        QFETCH(double, x2);
        QFETCH(double, y2);
        const auto e = EndsAt(Deflection(int16_t(position)));
        QVERIFY2(std::abs(e.X1 - x1) < 0.006, qPrintable(QString::number(e.X1, 'f', 4)));
        QVERIFY2(std::abs(e.Y1 - y1) < 0.006, qPrintable(QString::number(e.Y1, 'f', 4)));
        QVERIFY2(std::abs(e.X2 - x2) < 0.006, qPrintable(QString::number(e.X2, 'f', 4)));
        QVERIFY2(std::abs(e.Y2 - y2) < 0.006, qPrintable(QString::number(e.Y2, 'f', 4)));
    }

    void stopsAreMirrorImages()
    {
        const auto left = EndsAt(Deflection(198));
        const auto right = EndsAt(Deflection(3898));
        QCOMPARE(right.X1, -left.X1);
        QCOMPARE(right.X2, -left.X2);
        QCOMPARE(right.Y1, left.Y1);
        QCOMPARE(right.Y2, left.Y2);
    }

    void neighboursOfTheCentreStandFiveUnitsApart()
    {
        // 2047 and 2049 lean ever so slightly to either side of upright.
        const auto below = EndsAt(Deflection(2047));
        const auto above = EndsAt(Deflection(2049));
        QVERIFY(below.X2 < 0 && above.X2 > 0 && above.X2 < 1);
        QCOMPARE(below.X2, -above.X2);
    }

    void updateNeedleStoresTheEndsAndLeavesThePositionAlone()
    {
        TestRig rig;
        frmMain& form = rig.Make();
        QCOMPARE(form.NeedleEnds.X1, 0.0f);
        QCOMPARE(form.NeedleEnds.Y2, 0.0f);
        for (int16_t position : {int16_t(198), int16_t(3898), int16_t(0), int16_t(108), int16_t(2049)}) {
            const int16_t given = position;
            form.Update_Needle(position);
            QCOMPARE(position, given);
            const auto e = EndsAt(Deflection(given));
            QCOMPARE(form.NeedleEnds.X1, e.X1);
            QCOMPARE(form.NeedleEnds.Y1, e.Y1);
            QCOMPARE(form.NeedleEnds.X2, e.X2);
            QCOMPARE(form.NeedleEnds.Y2, e.Y2);
        }
        // A face redraw keeps them: the next move erases the right place.
        form.optSimple->click();
        QCOMPARE(form.NeedleEnds.X2, EndsAt(Deflection(2049)).X2);
    }
};

QTEST_MAIN(TestNeedleGeometry)
#include "tst_needle_geometry.moc"
