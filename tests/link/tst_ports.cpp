// Probing, opening and closing the serial port; the Port menu; command framing.
#include "TestRig.h"

#include <QAction>
#include <QtTest>

using namespace qzGlobals;
using PortState = MemoryCommControl::PortState;
using Ev = MemoryCommControl::Event;

namespace {

// Visible port-menu entries, by number.
QList<int> VisibleEntries(const frmMain& form)
{
    QList<int> out;
    for (int i = 0; i <= 16; ++i)
        if (form.mnuSourcePortComm[i]->isVisible())
            out << i;
    return out;
}

}  // namespace

class TestPorts : public QObject {
    Q_OBJECT

private slots:
    void probeMarksExactlyTheOpenablePorts()
    {
        TestRig rig;
        rig.comm.SetPort(2, PortState::Available);
        rig.comm.SetPort(3, PortState::Held);
        rig.comm.SetPort(5, PortState::Available);
        rig.comm.SetPort(9, PortState::Held);
        rig.comm.SetPort(16, PortState::Available);
        frmMain& form = rig.Make(false);
        form.Init_Ports();

        for (int i = 0; i <= 16; ++i)
            QCOMPARE(PortAvailable[i], i == 2 || i == 5 || i == 16);
        QCOMPARE(VisibleEntries(form), (QList<int>{2, 5, 16}));
        for (int i : {2, 5, 16}) {
            QAction* entry = form.mnuSourcePortComm[i];
            QCOMPARE(entry->text(), QString("Comm%1:").arg(i));
            QVERIFY(!entry->isEnabled());
            QVERIFY(!entry->isChecked());
        }
        // Every available port was opened and closed once, nothing was written,
        // and the port is left closed.
        for (int i = 1; i <= 16; ++i)
            QCOMPARE(rig.comm.OpenCount(i), (i == 2 || i == 5 || i == 16) ? 1 : 0);
        QVERIFY(rig.comm.Frames().isEmpty());
        QVERIFY(!rig.comm.PortOpen());
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void noPortsShowsOnlyNone()
    {
        TestRig rig;
        rig.comm.SetPort(4, PortState::Held);
        frmMain& form = rig.Make();  // start-up probes too
        for (int i = 0; i <= 16; ++i)
            QVERIFY(!PortAvailable[i]);
        QCOMPARE(VisibleEntries(form), QList<int>{0});
        QCOMPARE(form.mnuSourcePortComm[0]->text(), QString("None"));
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void probeFollowsPortsComingAndGoing()
    {
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available);
        frmMain& form = rig.Make();
        QCOMPARE(VisibleEntries(form), QList<int>{1});

        rig.comm.SetPort(1, PortState::Missing);
        rig.comm.SetPort(6, PortState::Available);
        form.mnuSourcePortComm[6]->setChecked(true);
        form.Init_Ports();
        QCOMPARE(VisibleEntries(form), QList<int>{6});
        QVERIFY(!PortAvailable[1]);
        QVERIFY(PortAvailable[6]);
        QVERIFY(!form.mnuSourcePortComm[6]->isChecked());

        rig.comm.SetPort(6, PortState::Missing);
        form.Init_Ports();
        QCOMPARE(VisibleEntries(form), QList<int>{0});
    }

    void probeClosesAnOpenPortFirst()
    {
        TestRig rig;
        rig.comm.SetPort(3, PortState::Available);
        rig.comm.SetPort(8, PortState::Available);
        frmMain& form = rig.Make();
        PortNumber = 8;
        form.Com_Open();
        QVERIFY(rig.comm.PortOpen());
        rig.comm.ClearLog();

        form.Init_Ports();
        const auto& ev = rig.comm.Events();
        QVERIFY(ev.size() >= 1);
        QCOMPARE(ev.front().kind, Ev::Close);
        QCOMPARE(ev.front().port, 8);
        QVERIFY(PortAvailable[3]);
        QVERIFY(PortAvailable[8]);
        QVERIFY(!rig.comm.PortOpen());
    }

    void openAppliesTheMetersSettings()
    {
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available);
        rig.comm.SetPort(11, PortState::Available);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        PortNumber = 11;
        form.Com_Open();

        QVERIFY(rig.comm.PortOpen());
        QCOMPARE(rig.comm.CommPort(), 11);
        QCOMPARE(rig.comm.settings, QString("9600,n,8,1"));
        QCOMPARE(rig.comm.inBufferSize, 100);
        QCOMPARE(rig.comm.handshaking, 0);
        QCOMPARE(rig.comm.inputLen, 1);
        QVERIFY(rig.comm.rts);
        QCOMPARE(rig.comm.Events().size(), size_t(1));
        QCOMPARE(rig.comm.Events().front().kind, Ev::Open);
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(!QuitRequested);

        // Already open: another number changes nothing.
        PortNumber = 1;
        form.Com_Open();
        QCOMPARE(rig.comm.CommPort(), 11);
        QCOMPARE(rig.comm.Events().size(), size_t(1));

        form.Com_Close();
        QVERIFY(!rig.comm.PortOpen());
        QCOMPARE(rig.comm.Events().back().kind, Ev::Close);
        // Closing a closed port does nothing.
        form.Com_Close();
        QCOMPARE(rig.comm.Events().size(), size_t(2));
    }

    void openWithoutAPortNumberDoesNothing()
    {
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        PortNumber = 0;
        form.Com_Open();
        QVERIFY(!rig.comm.PortOpen());
        QVERIFY(rig.comm.Events().empty());
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(!QuitRequested);
    }

    void failedOpenShowsItsMessageAndEndsTheProgram_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("state");
        QTest::newRow("missing 3") << 3 << int(PortState::Missing);
        QTest::newRow("held 12") << 12 << int(PortState::Held);
    }

    void failedOpenShowsItsMessageAndEndsTheProgram()
    {
        QFETCH(int, port);
        QFETCH(int, state);
        TestRig rig;
        rig.comm.SetPort(port, static_cast<PortState>(state));
        frmMain& form = rig.Make();
        PortNumber = static_cast<int16_t>(port);
        form.Com_Open();

        QCOMPARE(rig.messages.shown.size(), 1);
        const auto& box = rig.messages.shown.front();
        QCOMPARE(box.text, QString("Error Opening Comm%1:9600,n,8,1").arg(port));
        QCOMPARE(box.title, QString("Open Comms Port"));
        QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
        QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
        QVERIFY(QuitRequested);
        QVERIFY(!rig.comm.PortOpen());

        // What the callers still send before the program ends goes nowhere.
        form.Com_Send("S");
        QVERIFY(rig.comm.Frames().isEmpty());
        QCOMPARE(rig.comm.DroppedWrites(), 1);
    }

    void mainLoopEndsAfterAFailedOpen()
    {
        TestRig rig;
        rig.comm.SetPort(2, PortState::Held);
        frmMain& form = rig.Make();
        PortNumber = 2;
        form.Com_Open();
        QVERIFY(QuitRequested);
        // The main loop returns at once: the program ends.
        QElapsedTimer t;
        t.start();
        form.Form_Activate();
        QVERIFY(t.elapsed() < 1000);
    }

    void framesAreTextAndOneCarriageReturnInOneWrite_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QString() << QByteArray("\x0D");
        QTest::newRow("H") << QString("H") << QByteArray("\x48\x0D");
        QTest::newRow("V") << QString("V") << QByteArray("\x56\x0D");
        QTest::newRow("S") << QString("S") << QByteArray("\x53\x0D");
        QTest::newRow("I") << QString("I") << QByteArray("\x49\x0D");
        QTest::newRow("N0C6") << QString("N0C6") << QByteArray("\x4E\x30\x43\x36\x0D");
        QTest::newRow("NFFF") << QString("NFFF") << QByteArray("NFFF\r");
    }

    void framesAreTextAndOneCarriageReturnInOneWrite()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, bytes);
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available);
        frmMain& form = rig.Make();
        PortNumber = 1;
        form.Com_Open();
        form.Com_Send(command);
        QCOMPARE(rig.comm.Frames(), QList<QByteArray>{bytes});
    }
};

QTEST_MAIN(TestPorts)
#include "tst_ports.moc"
