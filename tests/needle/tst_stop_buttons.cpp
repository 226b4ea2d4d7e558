// "LEFT" and "RIGHT" end to end: the wait, the frame sent, the needle drawn
// and the buttons afterwards, also when other handlers run inside the wait.
#include "FacePixels.h"
#include "TestRig.h"
#include "Timing.h"

#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace FacePixels;

namespace {

const double Wait = 0.972;  // one "second" of 18 ticks of 0.054 s
const double Slack = Timing::Slack(0.050);

// A main window as a successful connection leaves it: Comm1 open on port 1,
// Connected, the needle buttons enabled, the button offering "Disconnect".
frmMain& Connected(TestRig& rig)
{
    frmMain& form = rig.Make();
    rig.comm.SetPort(1, MemoryCommControl::PortState::Available);
    qzGlobals::PortNumber = 1;
    form.Com_Open();
    form.Connected = true;
    for (QPushButton* b : {form.cmdLeft, form.cmdSweep, form.cmdRight})
        b->setEnabled(true);
    form.cmdConnect->setText("Disconnect");
    rig.comm.ClearLog();
    return form;
}

QString Describe(const QList<QByteArray>& frames)
{
    QStringList parts;
    for (const QByteArray& f : frames)
        parts << QString::fromLatin1(f.toPercentEncoding());
    return parts.join(' ');
}

#define VERIFY_NEEDLE(face, phi)                                     \
    do {                                                             \
        QString why;                                                 \
        QVERIFY2((face).NeedleStandsAt(phi, &why), qPrintable(why)); \
    } while (false)

}  // namespace

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
        frmMain& form = Connected(rig);
        QPushButton* pressed = left ? form.cmdLeft : form.cmdRight;
        QPushButton* other = left ? form.cmdRight : form.cmdLeft;
        QVERIFY(form.SldSpeed->isEnabled());

        // Halfway through the wait: the slider is off, a sweep would have
        // been told to stop, and nothing has been sent or drawn yet.
        bool looked = false;
        QTimer::singleShot(400, &form, [&] {
            looked = true;
            QVERIFY(!form.SldSpeed->isEnabled());
            QVERIFY(form.StopSweep);
            QVERIFY(rig.comm.Frames().isEmpty());
            QCOMPARE(Face(*form.picMeterPanel).Count(IsRed), 0);
        });
        const double clicked = rig.comm.Now();
        pressed->click();
        QVERIFY(looked);

        QCOMPARE(rig.comm.Frames(), QList<QByteArray>{frame});
        const double after = rig.comm.FrameTimes().first() - clicked;
        QVERIFY2(after >= Wait && after < Wait + Slack, qPrintable(QString::number(after)));

        VERIFY_NEEDLE(Face(*form.picMeterPanel), phi);
        QVERIFY(!pressed->isEnabled());
        QVERIFY(other->isEnabled());
        QVERIFY(form.cmdSweep->isEnabled());
        QVERIFY(!form.SldSpeed->isEnabled());
        QVERIFY(form.StopSweep);
        QVERIFY(form.cmdCycle->isEnabled());
    }

    void leftInsideTheWaitOfRight()
    {
        // LEFT is handled at once inside RIGHT's wait and completes there;
        // RIGHT, whose wait is over by then, sends its stop last.
        TestRig rig;
        frmMain& form = Connected(rig);
        double leftClicked = -1;
        QTimer::singleShot(200, &form, [&] {
            leftClicked = rig.comm.Now();
            form.cmdLeft->click();
        });
        const double clicked = rig.comm.Now();
        form.cmdRight->click();
        QVERIFY(leftClicked > clicked);

        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"N0C6\r", "NF3A\r"}));
        const QList<double> times = rig.comm.FrameTimes();
        const double leftAfter = times[0] - leftClicked;
        QVERIFY2(leftAfter >= Wait && leftAfter < Wait + Slack, qPrintable(QString::number(leftAfter)));
        QVERIFY2(times[1] - times[0] < Slack, qPrintable(QString::number(times[1] - times[0])));

        VERIFY_NEEDLE(Face(*form.picMeterPanel), 55.0);
        QVERIFY(!form.cmdRight->isEnabled());
        QVERIFY(form.cmdLeft->isEnabled());
        QVERIFY(form.cmdSweep->isEnabled());
        QVERIFY(!form.SldSpeed->isEnabled());
    }

    void disconnectDuringTheWaitSendsNothingMore_data()
    {
        QTest::addColumn<bool>("left");
        QTest::newRow("LEFT") << true;
        QTest::newRow("RIGHT") << false;
    }
    void disconnectDuringTheWaitSendsNothingMore()
    {
        // Once the meter has been let go, the stop has nobody to go to and
        // the needle buttons stay as Disconnect left them.
        QFETCH(bool, left);
        TestRig rig;
        frmMain& form = Connected(rig);
        QTimer::singleShot(300, &form, [&] { form.cmdConnect->click(); });
        (left ? form.cmdLeft : form.cmdRight)->click();

        QVERIFY(!form.Connected);
        QVERIFY2(!rig.comm.Frames().contains("N0C6\r") && !rig.comm.Frames().contains("NF3A\r"),
                 qPrintable(Describe(rig.comm.Frames())));
        QCOMPARE(rig.comm.DroppedWrites(), 0);
        QCOMPARE(Face(*form.picMeterPanel).Count(IsRed), 0);
        QVERIFY(!form.cmdLeft->isEnabled());
        QVERIFY(!form.cmdRight->isEnabled());
        QVERIFY(!form.cmdSweep->isEnabled());
        QCOMPARE(form.cmdConnect->text(), QString("Connect"));
    }

    void exitDuringTheWaitLeavesExitTheLastWord()
    {
        // Exit sends "R" and "U" and the program is ending: the stop that was
        // waiting is not sent after them.
        TestRig rig;
        frmMain& form = Connected(rig);
        QTimer::singleShot(300, &form, [&] { form.cmdExit->click(); });
        form.cmdLeft->click();
        QVERIFY(qzGlobals::QuitRequested);
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"R\r", "U\r"}));
    }
};

QTEST_MAIN(TestStopButtons)
#include "tst_stop_buttons.moc"
