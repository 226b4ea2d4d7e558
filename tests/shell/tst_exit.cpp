// The ways out of the program: Exit, File/Exit, the close box, a failed port open.
#include "TestRig.h"

#include "link/CommControl.h"

#include <QAction>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using Port = MemoryCommControl::PortState;

class TestExit : public QObject {
    Q_OBJECT

    // A rig whose Comm1 is open on port 2, as after a probe or a connection.
    static void OpenPort(TestRig& rig)
    {
        rig.comm.SetPort(2, Port::Available);
        QVERIFY(rig.comm.setCommPort(2));
        QVERIFY(rig.comm.setPortOpen(true));
    }

private slots:
    void exitButtonWithPortOpenSendsRThenU()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        OpenPort(rig);
        QTest::mouseClick(f.cmdExit, Qt::LeftButton);
        QCOMPARE(rig.comm.Written(), QByteArray("\x52\x0D\x55\x0D", 4));
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"R\r", "U\r"}));
        QVERIFY(qzGlobals::QuitRequested);
    }

    void exitWithPortClosedWritesNothing()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.cmdExit_Click();
        QVERIFY(qzGlobals::QuitRequested);
        QVERIFY(rig.comm.Written().isEmpty());
        QCOMPARE(rig.comm.DroppedWrites(), 0);
    }

    void fileExitMenu()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        OpenPort(rig);
        f.mnuExit->trigger();
        QVERIFY(qzGlobals::QuitRequested);
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"R\r", "U\r"}));
    }

    void closeBoxBehavesAsExit()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        OpenPort(rig);
        QVERIFY(f.close());  // the close request is never refused
        QVERIFY(qzGlobals::QuitRequested);
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"R\r", "U\r"}));
    }

    void mainLoopEndsAfterExitAndClosesThePort()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        OpenPort(rig);
        bool clicked = false;
        QTimer::singleShot(50, &f, [&] {
            clicked = true;
            QTest::mouseClick(f.cmdExit, Qt::LeftButton);
        });
        f.Form_Activate();  // returns only once the program is to end
        QVERIFY(clicked);
        QVERIFY(!rig.comm.PortOpen());
        QCOMPARE(rig.comm.Frames(), (QList<QByteArray>{"R\r", "U\r"}));
        QCOMPARE(rig.comm.Events().back().kind, MemoryCommControl::Event::Close);
    }

    void exitDuringAWaitEndsOnlyWhenTheWaitIsOver()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        double waitEnded = -1, loopEnded = -1;
        // A handler that waits a second; Exit is chosen in the middle of it.
        QTimer::singleShot(10, &f, [&] {
            QTimer::singleShot(200, &f, [&] { f.cmdExit_Click(); });
            const int16_t one = 1;
            f.SDelay(one);
            QVERIFY(qzGlobals::QuitRequested);
            waitEnded = rig.clock.Timer();
        });
        f.Form_Activate();
        loopEnded = rig.clock.Timer();
        QVERIFY(waitEnded > 0);
        QVERIFY(loopEnded >= waitEnded);
    }

    void failedOpenShowsItsMessageAndEndsTheProgram()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        // Port 3 was there at the probe and has gone since.
        rig.comm.SetPort(3, Port::Missing);
        qzGlobals::PortNumber = 3;
        f.Com_Open();
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown[0].text, QString("Error Opening Comm3:9600,n,8,1"));
        QCOMPARE(rig.messages.shown[0].title, QString("Open Comms Port"));
        QCOMPARE(rig.messages.shown[0].icon, MessageBoxes::Icon::Critical);
        QCOMPARE(rig.messages.shown[0].buttons, MessageBoxes::Buttons::Ok);
        QVERIFY(qzGlobals::QuitRequested);
        QVERIFY(!rig.comm.PortOpen());
        // A write that follows before control is back in the main loop fails quietly.
        f.Com_Send("S");
        QVERIFY(rig.comm.Written().isEmpty());
        f.Form_Activate();  // ends at once
    }
};

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
