// Init_Ports and the Port menu; opening the port and failing to.
#include "TestRig.h"

#include <QAction>
#include <QtTest>

using namespace qzGlobals;
using PortState = MemoryCommControl::PortState;

class TestPorts : public QObject {
    Q_OBJECT

private slots:
    void initPorts_data()
    {
        QTest::addColumn<QList<int>>("available");
        QTest::addColumn<QList<int>>("held");
        QTest::newRow("available, held and missing") << QList<int>{1, 5, 16} << QList<int>{3, 9};
        QTest::newRow("none available") << QList<int>{} << QList<int>{4};
    }
    void initPorts()
    {
        QFETCH(QList<int>, available);
        QFETCH(QList<int>, held);
        TestRig rig;
        for (int i = 1; i <= 16; ++i)
            rig.comm.SetPort(i, available.contains(i) ? PortState::Available
                                : held.contains(i)    ? PortState::Held
                                                      : PortState::Missing);
        frmMain& form = rig.Make(false);
        // Left from before: an open port and ticked entries.
        PortNumber = int16_t(available.value(0));
        form.Com_Open();
        for (QAction* entry : form.mnuSourcePortComm)
            entry->setChecked(true);
        rig.comm.ClearLog();

        form.Init_Ports();

        // The open port is closed first; each available one is opened and
        // closed once; nothing is written.
        const auto& events = rig.comm.Events();
        QVERIFY(available.isEmpty() || events.front().kind == MemoryCommControl::Event::Close);
        for (int i = 1; i <= 16; ++i) {
            QCOMPARE(PortAvailable[i], available.contains(i));
            QCOMPARE(rig.comm.OpenCount(i), available.contains(i) ? 1 : 0);
            QAction* entry = form.mnuSourcePortComm[i];
            QCOMPARE(entry->isVisible(), available.contains(i));
            QCOMPARE(entry->text(), QString("Comm%1:").arg(i));
            QVERIFY(!entry->isEnabled() && !entry->isChecked());
        }
        QVERIFY(!PortAvailable[0]);
        QCOMPARE(form.mnuSourcePortComm[0]->isVisible(), available.isEmpty());
        QCOMPARE(form.mnuSourcePortComm[0]->text(), QString("None"));
        QVERIFY(rig.comm.Frames().isEmpty());
        QVERIFY(!rig.comm.PortOpen());
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void openAppliesTheMetersSettings()
    {
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available);
        rig.comm.SetPort(11, PortState::Available);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        form.Com_Open();  // PortNumber 0: nothing
        PortNumber = 11;
        form.Com_Open();
        QCOMPARE(rig.comm.CommPort(), 11);
        QCOMPARE(rig.comm.settings, QString("9600,n,8,1"));
        QCOMPARE(rig.comm.inBufferSize, 100);
        QCOMPARE(rig.comm.handshaking, 0);
        QCOMPARE(rig.comm.inputLen, 1);
        QVERIFY(rig.comm.rts);
        PortNumber = 1;
        form.Com_Open();  // already open: nothing
        form.Com_Close();
        form.Com_Close();
        QCOMPARE(rig.comm.Events().size(), size_t(2));  // one open, one close
        QCOMPARE(rig.comm.OpenCount(11), 1);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void failedOpenShowsItsMessage()
    {
        // (A missing port: see tests/shell/tst_exit.cpp.)
        TestRig rig;
        rig.comm.SetPort(12, PortState::Held);
        frmMain& form = rig.Make();
        PortNumber = 12;
        form.Com_Open();
        QCOMPARE(rig.messages.shown.size(), 1);
        const auto& box = rig.messages.shown.front();
        QCOMPARE(box.text, QString("Error Opening Comm12:9600,n,8,1"));
        QCOMPARE(box.title, QString("Open Comms Port"));
        QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
        QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
        QVERIFY(QuitRequested);
        form.Com_Send("S");  // what callers still send goes nowhere
        QVERIFY(rig.comm.Frames().isEmpty());
    }
};

QTEST_MAIN(TestPorts)
#include "tst_ports.moc"
