// "LEFT" and "RIGHT" end to end: the wait, the frame sent, the needle drawn
// and the buttons afterwards, also when other handlers run inside the wait.
#include "FacePixels.h"
#include "NeedleRig.h"

#include <QSlider>
#include <QTest>
#include <QToolButton>

using namespace FacePixels;

namespace {
const double Wait = 0.972;  // SDelay(1): 18 ticks of 0.054 s
}

class TestStopButtons : public QObject {
    Q_OBJECT
private slots:
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
        bool looked = false;
        QTimer::singleShot(400, &form, [&] {
            looked = !form.SldSpeed->isEnabled() && form.StopSweep && rig.comm.Frames().isEmpty() &&
                     Face(*form.picMeterPanel).Count(IsRed) == 0;
        });
        const double clicked = rig.comm.Now();
        pressed->click();
        QVERIFY(looked);
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
        QCOMPARE(Face(*form.picMeterPanel).Count(IsRed), 0);
        if (!exit)
            QVERIFY(!form.cmdLeft->isEnabled() && !form.cmdRight->isEnabled() && !form.cmdSweep->isEnabled());
    }
};

QTEST_MAIN(TestStopButtons)
#include "tst_stop_buttons.moc"
