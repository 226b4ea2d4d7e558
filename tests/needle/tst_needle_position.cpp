// Where the needle stands for a position, and "LEFT" and "RIGHT" end to end:
// the wait, the frame sent, the needle drawn and the buttons afterwards, also
// when other handlers run inside the wait.
#include "FacePixels.h"
#include "NeedleRig.h"
#include "needle/NeedleGeometry.h"

#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

using namespace FacePixels;

constexpr double Wait = 0.972;  // SDelay(1): 18 ticks of 0.054 s

class TestNeedlePosition : public QObject {
    Q_OBJECT
private slots:
    void geometry_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("deflection");
        QTest::addColumn<float>("x");  // the tip; the foot lies halfway to the pivot
        QTest::addColumn<float>("y");
        QTest::newRow("centre") << 2048 << 0 << 0.0f << 1000.0f;
        QTest::newRow("left stop") << 198 << -10012 << -819.127136f << 573.612f;
        QTest::newRow("right stop") << 3898 << 10012 << 819.127136f << 573.612f;
        QTest::newRow("bottom") << 0 << -10500 << -845.058228f << 534.674316f;
        QTest::newRow("last clamped") << 107 << -10500 << -845.058228f << 534.674316f;
        QTest::newRow("first free") << 108 << -10499 << -845.006958f << 534.75531f;
        QTest::newRow("top") << 4095 << 10500 << 845.058228f << 534.674316f;
        // Truncated toward zero: -5.4 gives -5, not -6.
        QTest::newRow("below centre") << 2047 << -5 << -0.479368567f << 999.999878f;
        QTest::newRow("above centre") << 2049 << 5 << 0.479368567f << 999.999878f;
    }
    void geometry()
    {
        QFETCH(int, position);
        QFETCH(int, deflection);
        QFETCH(float, x);
        QFETCH(float, y);
        QCOMPARE(NeedleGeometry::Deflection(int16_t(position)), deflection);
        TestRig rig;
        frmMain& form = rig.Make();
        form.Update_Needle(int16_t(position));
        form.optSimple->click();  // a face redraw keeps the ends: the next move erases there
        QCOMPARE(form.NeedleEnds.X2, x);
        QCOMPARE(form.NeedleEnds.Y2, y);
        QCOMPARE(form.NeedleEnds.X1, x / 2);
        QCOMPARE(form.NeedleEnds.Y1, y / 2);
    }

    void stopButton_data()
    {
        QTest::addColumn<bool>("left");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<double>("phi");
        QTest::newRow("LEFT") << true << QByteArray("N0C6\r") << -55.0;
        QTest::newRow("RIGHT") << false << QByteArray("NF3A\r") << 55.0;
    }
    void stopButton()
    {
        QFETCH(bool, left);
        QFETCH(QByteArray, frame);
        QFETCH(double, phi);
        TestRig rig;
        frmMain& form = rig.Make();
        Connect(rig);
        QPushButton* pressed = left ? form.cmdLeft : form.cmdRight;
        QPushButton* other = left ? form.cmdRight : form.cmdLeft;
        other->setEnabled(false);
        QVERIFY(form.SldSpeed->isEnabled());
        // Halfway through the wait: the slider is off, a sweep would have
        // been told to stop, and nothing has been sent or drawn yet.
        bool halfway = false;
        QTimer::singleShot(400, &form, [&] {
            halfway = !form.SldSpeed->isEnabled() && form.StopSweep && rig.comm.Frames().isEmpty() &&
                      Count(form.picMeterPanel->Image(), IsRed) == 0;
        });
        const double clicked = rig.comm.Now();
        pressed->click();
        QVERIFY(halfway);
        QCOMPARE(rig.comm.Frames(), Frames{frame});
        const double after = rig.comm.FrameTimes().first() - clicked;
        QVERIFY2(after >= Wait && after < Wait + Timing::Slack(0.05), qPrintable(QString::number(after)));
        QCOMPARE(Face(*form.picMeterPanel).NeedleError(phi), QString());
        QVERIFY(!pressed->isEnabled() && other->isEnabled() && form.cmdSweep->isEnabled());
        QVERIFY(!form.SldSpeed->isEnabled());
    }

    void leftInsideTheWaitOfRight()
    {
        // LEFT is handled inside RIGHT's wait and completes there; RIGHT,
        // whose wait is over by then, sends its stop last.
        TestRig rig;
        frmMain& form = rig.Make();
        Connect(rig);
        double leftClicked = -1;
        QTimer::singleShot(200, &form, [&] {
            leftClicked = rig.comm.Now();
            form.cmdLeft->click();
        });
        form.cmdRight->click();
        QCOMPARE(rig.comm.Frames(), (Frames{"N0C6\r", "NF3A\r"}));
        const QList<double> times = rig.comm.FrameTimes();
        QVERIFY2(times[0] - leftClicked >= Wait, qPrintable(QString::number(times[0] - leftClicked)));
        QVERIFY2(times[1] - times[0] < Timing::Slack(), qPrintable(QString::number(times[1] - times[0])));
        QCOMPARE(Face(*form.picMeterPanel).NeedleError(55), QString());
        QVERIFY(!form.cmdRight->isEnabled() && form.cmdLeft->isEnabled() && form.cmdSweep->isEnabled());
    }

    void disconnectOrExitDuringTheWait_data()
    {
        QTest::addColumn<bool>("exit");
        QTest::addColumn<Frames>("frames");
        QTest::newRow("Disconnect") << false << Frames{"I\r"};
        QTest::newRow("Exit") << true << Frames{"R\r", "U\r"};
    }
    void disconnectOrExitDuringTheWait()
    {
        // The stop has nobody to go to any more: it is not sent, not drawn,
        // and the needle buttons stay as Disconnect left them.
        QFETCH(bool, exit);
        QFETCH(Frames, frames);
        TestRig rig;
        frmMain& form = rig.Make();
        Connect(rig);
        QTimer::singleShot(300, &form, [&] { exit ? form.cmdExit->click() : form.cmdConnect->click(); });
        form.cmdLeft->click();
        QCOMPARE(rig.comm.Frames(), frames);
        QCOMPARE(rig.comm.DroppedWrites(), 0);
        QCOMPARE(Count(form.picMeterPanel->Image(), IsRed), 0);
        if (!exit)
            QVERIFY(!form.cmdLeft->isEnabled() && !form.cmdRight->isEnabled() && !form.cmdSweep->isEnabled());
    }
};

QTEST_MAIN(TestNeedlePosition)
#include "tst_needle_position.moc"
