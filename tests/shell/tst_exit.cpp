// The ways out of the program: Exit, File/Exit, the close box, a failed port open.
#include "TestRig.h"

#include <QAction>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using Port = MemoryCommControl::PortState;

class TestExit : public QObject {
    Q_OBJECT
private slots:
    void exitPaths_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<bool>("portOpen");
        for (bool open : {true, false}) {
            QTest::addRow("button, port %s", open ? "open" : "closed") << 0 << open;
            QTest::addRow("menu, port %s", open ? "open" : "closed") << 1 << open;
            QTest::addRow("close box, port %s", open ? "open" : "closed") << 2 << open;
        }
    }
    void exitPaths()
    {
        QFETCH(int, path);
        QFETCH(bool, portOpen);
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        rig.comm.SetPort(2, Port::Available);
        QVERIFY(rig.comm.setCommPort(2));
        if (portOpen)
            QVERIFY(rig.comm.setPortOpen(true));
        QTimer::singleShot(20, &f, [&] {
            if (path == 0)
                QTest::mouseClick(f.cmdExit, Qt::LeftButton);
            else if (path == 1)
                f.mnuExit->trigger();
            else
                f.close();
        });
        f.Form_Activate();  // the main loop returns only once the program is to end
        QVERIFY(qzGlobals::QuitRequested);
        QVERIFY(!rig.comm.PortOpen());
        QCOMPARE(rig.comm.Frames().join(), portOpen ? QByteArray("\x52\x0D\x55\x0D", 4) : QByteArray());
        QCOMPARE(rig.comm.DroppedWrites(), 0);
    }

    void failedOpenShowsItsMessageAndEndsTheProgram()
    {
        TestRig rig;
        frmMain& f = rig.Make();
        rig.comm.SetPort(3, Port::Missing);  // there at the probe, gone since
        qzGlobals::PortNumber = 3;
        f.Com_Open();
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown[0].text, QString("Error Opening Comm3:9600,n,8,1"));
        QCOMPARE(rig.messages.shown[0].title, QString("Open Comms Port"));
        QCOMPARE(rig.messages.shown[0].icon, MessageBoxes::Icon::Critical);
        QVERIFY(qzGlobals::QuitRequested);
        f.Com_Send("S");  // fails quietly on the closed port
        QVERIFY(rig.comm.Frames().isEmpty());
        f.Form_Activate();  // ends at once
    }
};

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
