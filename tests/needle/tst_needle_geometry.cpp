// Where the needle stands for a position: the deflection, and the ends of the
// needle that Update_Needle keeps, for the positions that matter on the meter.
#include "TestRig.h"
#include "needle/NeedleGeometry.h"

#include <QRadioButton>
#include <QTest>

class TestNeedleGeometry : public QObject {
    Q_OBJECT
private slots:
    void needle_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("deflection");
        QTest::addColumn<float>("x1");
        QTest::addColumn<float>("y1");
        QTest::addColumn<float>("x2");
        QTest::addColumn<float>("y2");
        QTest::newRow("centre") << 2048 << 0 << 0.0f << 500.0f << 0.0f << 1000.0f;
        QTest::newRow("left stop") << 198 << -10012 << -409.563568f << 286.806f << -819.127136f << 573.612f;
        QTest::newRow("right stop") << 3898 << 10012 << 409.563568f << 286.806f << 819.127136f << 573.612f;
        QTest::newRow("bottom") << 0 << -10500 << -422.529114f << 267.337158f << -845.058228f << 534.674316f;
        QTest::newRow("last clamped") << 107 << -10500 << -422.529114f << 267.337158f << -845.058228f << 534.674316f;
        QTest::newRow("first free") << 108 << -10499 << -422.503479f << 267.377655f << -845.006958f << 534.75531f;
        QTest::newRow("top") << 4095 << 10500 << 422.529114f << 267.337158f << 845.058228f << 534.674316f;
        // Truncated toward zero: -5.4 gives -5, not -6.
        QTest::newRow("below centre") << 2047 << -5 << -0.239684284f << 499.999939f << -0.479368567f << 999.999878f;
        QTest::newRow("above centre") << 2049 << 5 << 0.239684284f << 499.999939f << 0.479368567f << 999.999878f;
    }
    void needle()
    {
        QFETCH(int, position);
        QFETCH(int, deflection);
        QFETCH(float, x1);
        QFETCH(float, y1);
        QFETCH(float, x2);
        QFETCH(float, y2);
        QCOMPARE(NeedleGeometry::Deflection(int16_t(position)), deflection);
        TestRig rig;
        frmMain& form = rig.Make();
        form.Update_Needle(int16_t(position));
        // A face redraw keeps the ends, so that the next move erases there.
        form.optSimple->click();
        QCOMPARE(form.NeedleEnds.X1, x1);
        QCOMPARE(form.NeedleEnds.Y1, y1);
        QCOMPARE(form.NeedleEnds.X2, x2);
        QCOMPARE(form.NeedleEnds.Y2, y2);
    }
};

QTEST_MAIN(TestNeedleGeometry)
#include "tst_needle_geometry.moc"
