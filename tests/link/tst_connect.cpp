// Init_Ports, the search, the identity query and Disconnect over in-memory
// ports, byte for byte.
#include "LinkTest.h"
#include "TestRig.h"

#include <QtTest>

using namespace qzGlobals;
using PortState = MemoryCommControl::PortState;
using Ev = MemoryCommControl::Event;

namespace {

// The port log as text ("open4", "4:560d" for a write of "V\r", "close4"),
// leaving out the open-close pairs of Init_Ports.
QString Log(const MemoryCommControl& comm)
{
    QStringList out;
    const auto& ev = comm.Events();
    for (size_t i = 0; i < ev.size(); ++i) {
        const Ev& e = ev[i];
        if (e.kind == Ev::Open && i + 1 < ev.size() && ev[i + 1].kind == Ev::Close)
            ++i;
        else
            out << (e.kind == Ev::Open    ? QString("open%1").arg(e.port)
                    : e.kind == Ev::Close ? QString("close%1").arg(e.port)
                                          : QString("%1:%2").arg(e.port).arg(e.bytes.toHex()));
    }
    return out.join(' ');
}

// Never falls quiet: a byte every 20 ms for 4 s after each open.
struct ChattyDevice : MemoryDevice {
    void Opened(MemoryCommControl& line) override
    {
        for (double t = 0; t < 4.0; t += 0.02)
            line.ArriveAfter(t, "x");
    }
    void Received(MemoryCommControl&, const QByteArray&) override {}
};

}  // namespace

class TestConnect : public QObject {
    Q_OBJECT

private slots:
    void initPorts_data()
    {
        QTest::addColumn<QList<int>>("available");
        QTest::newRow("some available") << QList<int>{1, 5, 16};
        QTest::newRow("none available") << QList<int>{};
    }
    void initPorts()  // Comm3 is held, the rest missing
    {
        QFETCH(QList<int>, available);
        TestRig rig;
        for (int i = 1; i <= 16; ++i)
            rig.comm.SetPort(i, available.contains(i) ? PortState::Available
                                : i == 3              ? PortState::Held
                                                      : PortState::Missing);
        frmMain& form = rig.Make(false);
        form.Init_Ports();
        for (int i = 1; i <= 16; ++i) {
            QCOMPARE(PortAvailable[i], available.contains(i));
            QCOMPARE(rig.comm.OpenCount(i), available.contains(i) ? 1 : 0);
            QCOMPARE(form.mnuSourcePortComm[i]->isVisible(), available.contains(i));
        }
        QCOMPARE(form.mnuSourcePortComm[0]->isVisible(), available.isEmpty());  // "None"
        QVERIFY(rig.comm.Frames().isEmpty() && !rig.comm.PortOpen());
    }

    void searchFindsTheMeterAndDisconnectSendsI()
    {
        // Comm1 never falls quiet, Comm2 is quiet but no meter, Comm3 is held, Comm4 has the meter.
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available, std::make_shared<ChattyDevice>());
        rig.comm.SetPort(2, PortState::Available);
        rig.comm.SetPort(3, PortState::Held);
        rig.comm.SetPort(4, PortState::Available, std::make_shared<ScriptedMeter>("V,QZ0004,A,4.0\r"));
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        form.cmdConnect->click();
        // Comm1: the empty frame, two "H" and one more for each of three drain passes.
        QCOMPARE(Log(rig.comm), QString("open1 1:0d 1:480d 1:480d 1:480d 1:480d 1:480d close1 "
                                        "open2 2:0d 2:480d 2:480d 2:560d close2 "
                                        "open4 4:0d 4:480d 4:480d 4:560d close4 open4 4:530d"));
        const QList<double> t = rig.comm.FrameTimes();
        VERIFY_TIME(t[4] - t[3], Nominal::DrainPass, Nominal::DrainPass + Timing::Slack());
        VerifyConnected(form, 4, "QZ0004", "4.0");
        QVERIFY(rig.messages.shown.isEmpty());

        rig.comm.ClearLog();
        form.cmdConnect->click();
        QCOMPARE(Log(rig.comm), QString("4:490d close4"));
        VerifyNotConnected(form);
        QCOMPARE(form.lblHard->text(), QString());
        QCOMPARE(form.lblFirm->text(), QString());
    }

    // The answer to "V" through the receive filter (only "," to "Z", up to the CR).
    void identity_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("serial");  // "": not recognised, the earlier meter's identity kept
        QTest::addColumn<QString>("firmware");
        QTest::newRow("whole") << QByteArray("V,QZ1234,A,1.05\r") << "QZ1234" << "1.05";
        QTest::newRow("serial only") << QByteArray("V,QZ1234\r") << "QZ1234" << "";
        QTest::newRow("third field empty") << QByteArray("V,QZ1234,,2.0\r") << "QZ1234" << "2.0";
        QTest::newRow("blanks, lower case, LF before CR") << QByteArray("V,QZ 12ab34,A,1.0 5\n\r") << "QZ1234" << "1.05";
        QTest::newRow("LF after CR") << QByteArray("V,QZ1234,A,1.05\r\n") << "QZ1234" << "1.05";
        QTest::newRow("lower-case line") << QByteArray("v,qz1234,a,1.05\r") << "" << "0.00";
        QTest::newRow("empty line first") << QByteArray("\rV,QZ1234,A,1.05\r") << "" << "0.00";
        QTest::newRow("short") << QByteArray("V,Q\r") << "" << "0.00";
        QTest::newRow("prefix not at start") << QByteArray("XV,QZ1234,A,1\r") << "" << "0.00";
    }
    void identity()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, serial);
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available, std::make_shared<ScriptedMeter>(reply));
        frmMain& form = rig.Make();
        PortNumber = 1;
        form.Com_Open();
        SerialNumber = "QZ0000";  // an earlier meter's
        FwVersion = "0.00";
        QCOMPARE(form.Com_Input_Vers(), !serial.isEmpty());
        QCOMPARE(SerialNumber, serial.isEmpty() ? QString("QZ0000") : serial);
        QTEST(FwVersion, "firmware");
    }

    void retryProbesAfreshAndCancelGivesUp()
    {
        TestRig rig;
        rig.comm.SetPort(1, PortState::Available);
        frmMain& form = rig.Make();
        rig.comm.ClearLog();
        rig.messages.onShow = [&](const FakeMessageBoxes::Shown&) { rig.comm.SetPort(1, PortState::Missing); };
        rig.messages.answers = {MessageBoxes::Answer::Retry, MessageBoxes::Answer::Cancel};
        form.cmdConnect->click();
        QCOMPARE(rig.messages.shown.size(), 2);
        QCOMPARE(rig.messages.shown[0].text, QString("No meter detected\r\nRetry - First check meter is connected "
                                                     "and turned on.\r\nOtherwise - Cancel"));
        QCOMPARE(rig.messages.shown[0].buttons, MessageBoxes::Buttons::RetryCancel);
        // Retry's pass ran Init_Ports again and found Comm1 gone.
        QCOMPARE(Log(rig.comm), QString("open1 1:0d 1:480d 1:480d 1:560d close1"));
        QVERIFY(!PortAvailable[1]);
        VerifyNotConnected(form);
    }
};

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
