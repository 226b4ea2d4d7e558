// The receive filter, the identity line, and the identity query on a port.
#include "LineDevices.h"
#include "TestRig.h"
#include "Timing.h"
#include "link/Identity.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace qzGlobals;
using PortState = MemoryCommControl::PortState;

namespace {

// A rig with a device on Comm1 and the port open as a probe leaves it.
struct OpenRig {
    TestRig rig;
    frmMain* form = nullptr;
    explicit OpenRig(std::shared_ptr<MemoryDevice> device)
    {
        rig.comm.SetPort(1, PortState::Available, std::move(device));
        form = &rig.Make();
        PortNumber = 1;
        form->Com_Open();
        rig.comm.ClearLog();
    }
};

}  // namespace

class TestIdentity : public QObject {
    Q_OBJECT

private slots:
    void filterKeepsCommaToZ()
    {
        for (int c = 0; c < 256; ++c) {
            const char ch = static_cast<char>(c);
            QCOMPARE(Identity::PassesFilter(ch), c >= 0x2C && c <= 0x5A);
        }
        QCOMPARE(Identity::Filter("V,QZ 12a3-/:;<=>?@\r\n\t!+[z~"), QByteArray("V,QZ123-/:;<=>?@"));
        QCOMPARE(Identity::Filter("v,qz1234,a,1.05"), QByteArray(",1234,,1.05"));
        QCOMPARE(Identity::Filter(""), QByteArray());
    }

    void parse_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("recognised");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("firmware");
        QTest::newRow("whole") << "V,QZ1234,A,1.05" << true << "QZ1234" << "1.05";
        QTest::newRow("firmware with comma") << "V,QZ1234,A,1.05,B" << true << "QZ1234" << "1.05,B";
        QTest::newRow("no firmware") << "V,QZ1234,A" << true << "QZ1234" << "";
        QTest::newRow("third field empty") << "V,QZ1234,,2.0" << true << "QZ1234" << "2.0";
        QTest::newRow("firmware empty") << "V,QZ1234,A," << true << "QZ1234" << "";
        // The serial number is the rest of the line, never an earlier meter's.
        QTest::newRow("serial only") << "V,QZ1234" << true << "QZ1234" << "";
        QTest::newRow("serial with trailing comma") << "V,QZ1234," << true << "QZ1234" << "";
        QTest::newRow("bare prefix") << "V,QZ" << true << "QZ" << "";
        QTest::newRow("short") << "V,Q" << false << "" << "";
        QTest::newRow("empty") << "" << false << "" << "";
        QTest::newRow("other device") << "V,AB1234,A,1.05" << false << "" << "";
        QTest::newRow("lower case filtered") << ",1234,,1.05" << false << "" << "";
        QTest::newRow("prefix not at start") << "XV,QZ1234,A,1" << false << "" << "";
    }

    void parse()
    {
        QFETCH(QString, reply);
        QFETCH(bool, recognised);
        QFETCH(QString, serial);
        QFETCH(QString, firmware);
        const Identity::Line line = Identity::Parse(reply);
        QCOMPARE(line.recognised, recognised);
        QCOMPARE(line.serialNumber, serial);
        QCOMPARE(line.fwVersion, firmware);
    }

    void parseHoldsOnAnyText()
    {
        // Whatever arrives, a recognised line's serial number starts with QZ
        // and holds no comma, and the pieces come from the text itself.
        QRandomGenerator rng(20240611);
        const QByteArray alphabet = ",-.0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        for (int n = 0; n < 5000; ++n) {
            QByteArray text = (rng.bounded(2) == 0) ? QByteArray("V,QZ") : QByteArray();
            const int len = rng.bounded(12);
            for (int i = 0; i < len; ++i)
                text += alphabet.at(rng.bounded(int(alphabet.size())));
            const Identity::Line line = Identity::Parse(QString::fromLatin1(text));
            QCOMPARE(line.recognised, text.startsWith("V,QZ"));
            if (!line.recognised)
                continue;
            QVERIFY(line.serialNumber.startsWith("QZ"));
            QVERIFY(!line.serialNumber.contains(','));
            QVERIFY(text.mid(2).startsWith(line.serialNumber.toLatin1()));
            QVERIFY(text.endsWith(line.fwVersion.toLatin1()));
        }
    }

    void queryRecognisesAMeter_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<int>("leftOver");
        QTest::newRow("plain") << QByteArray("V,QZ1234,A,1.05\r") << true << "QZ1234" << "1.05" << 0;
        QTest::newRow("firmware with commas") << QByteArray("V,QZ88,B,1.05,B\r") << true << "QZ88" << "1.05,B" << 0;
        QTest::newRow("blanks and lower case dropped") << QByteArray("V,QZ 12ab34,A,1.0 5\r") << true << "QZ1234"
                                                       << "1.05" << 0;
        QTest::newRow("LF before CR dropped") << QByteArray("V,QZ1234,A,1.05\n\r") << true << "QZ1234" << "1.05" << 0;
        QTest::newRow("LF after CR stays") << QByteArray("V,QZ1234,A,1.05\r\n") << true << "QZ1234" << "1.05" << 1;
        QTest::newRow("second line stays") << QByteArray("V,QZ5,A,2\rV,QZ6,A,3\r") << true << "QZ5" << "2" << 10;
        QTest::newRow("serial only") << QByteArray("V,QZ4321\r") << true << "QZ4321" << "" << 0;
        QTest::newRow("lower case line") << QByteArray("v,qz1234,a,1.05\r") << false << "QZ0000" << "0.00" << 0;
        QTest::newRow("empty line first") << QByteArray("\rV,QZ1234,A,1.05\r") << false << "QZ0000" << "0.00"
                                          << 16;
        QTest::newRow("other device") << QByteArray("OK\r") << false << "QZ0000" << "0.00" << 0;
        QTest::newRow("nothing") << QByteArray() << false << "QZ0000" << "0.00" << 0;
    }

    void queryRecognisesAMeter()
    {
        QFETCH(QByteArray, sent);
        QFETCH(bool, result);
        QFETCH(QString, serial);
        QFETCH(QString, firmware);
        QFETCH(int, leftOver);
        auto meter = std::make_shared<LineMeter>(sent);
        OpenRig r(meter);
        SerialNumber = "QZ0000";
        FwVersion = "0.00";

        QCOMPARE(r.form->Com_Input_Vers(), result);
        QCOMPARE(SerialNumber, serial);
        QCOMPARE(FwVersion, firmware);
        QCOMPARE(r.rig.comm.Frames(), QList<QByteArray>{"V\r"});
        QCOMPARE(r.rig.comm.InBufferCount(), leftOver);
    }

    void aNewMeterNeverShowsAnEarlierSerialNumber()
    {
        OpenRig r(std::make_shared<LineMeter>("V,QZ1111,A,1.00\r"));
        QVERIFY(r.form->Com_Input_Vers());
        QCOMPARE(SerialNumber, QString("QZ1111"));
        QCOMPARE(FwVersion, QString("1.00"));

        OpenRig second(std::make_shared<LineMeter>("V,QZ2222\r"));
        SerialNumber = "QZ1111";
        FwVersion = "1.00";
        QVERIFY(second.form->Com_Input_Vers());
        QCOMPARE(SerialNumber, QString("QZ2222"));
        QCOMPARE(FwVersion, QString());
    }

    void readingStartsHalfASecondAfterTheV()
    {
        // An answer complete at 0.45 s is read from 0.5 s and ends at its CR.
        OpenRig r(std::make_shared<LineMeter>("V,QZ1234,A,1.05\r", 0.45));
        const double start = r.rig.clock.Timer();
        QVERIFY(r.form->Com_Input_Vers());
        const double took = r.rig.clock.Timer() - start;
        QVERIFY2(took >= 0.5 && took < 0.5 + Timing::Slack(), qPrintable(QString::number(took)));
    }

    void answerTricklingInDuringTheReadIsTaken()
    {
        // Begins at 0.52 s, a byte a millisecond: the read, which handles no
        // events, still sees every byte up to the CR.
        OpenRig r(std::make_shared<LineMeter>("V,QZ777,A,3.1\r", 0.52, 0.001));
        const double start = r.rig.clock.Timer();
        QVERIFY(r.form->Com_Input_Vers());
        const double took = r.rig.clock.Timer() - start;
        QCOMPARE(SerialNumber, QString("QZ777"));
        QCOMPARE(FwVersion, QString("3.1"));
        QVERIFY2(took >= 0.533 && took < 0.533 + Timing::Slack(), qPrintable(QString::number(took)));
    }

    void readingStopsAfterAFifthOfASecond()
    {
        // No CR ever comes: what arrived in time counts, the read ends 0.2 s in.
        OpenRig r(std::make_shared<LineMeter>("V,QZ99,A,7.7", 0.1));
        const double start = r.rig.clock.Timer();
        QVERIFY(r.form->Com_Input_Vers());
        const double took = r.rig.clock.Timer() - start;
        QCOMPARE(SerialNumber, QString("QZ99"));
        QCOMPARE(FwVersion, QString("7.7"));
        QVERIFY2(took >= 0.7 && took < 0.7 + Timing::Slack(), qPrintable(QString::number(took)));
    }

    void answerCutShortByTheReadLimit()
    {
        // A byte every 20 ms from 0.5 s: about ten characters are in by 0.7 s.
        OpenRig r(std::make_shared<LineMeter>("V,QZ123456789,A,1.05\r", 0.5, 0.02));
        QVERIFY(r.form->Com_Input_Vers());
        // "V,QZ123456" or a character either way, never the whole field.
        QVERIFY2(SerialNumber.size() >= 7 && SerialNumber.size() <= 10, qPrintable(SerialNumber));
        QVERIFY(QByteArray("QZ123456789").startsWith(SerialNumber.toLatin1()));
        QCOMPARE(FwVersion, QString());
        // The rest of the line is left unread.
        QTRY_VERIFY(r.rig.comm.InBufferCount() >= 21 - 2 - int(SerialNumber.size()));
    }

    void lateAnswerIsMissed()
    {
        // Complete only after 0.7 s: too late.
        OpenRig r(std::make_shared<LineMeter>("V,QZ1234,A,1.05\r", 0.75));
        SerialNumber = "QZ0000";
        const double start = r.rig.clock.Timer();
        QVERIFY(!r.form->Com_Input_Vers());
        const double took = r.rig.clock.Timer() - start;
        QCOMPARE(SerialNumber, QString("QZ0000"));
        QVERIFY2(took >= 0.7 && took < 0.7 + Timing::Slack(), qPrintable(QString::number(took)));
    }

    void windowStaysLiveDuringTheHalfSecond()
    {
        OpenRig r(std::make_shared<LineMeter>());
        int ran = 0;
        double ranAt = -1;
        const double start = r.rig.clock.Timer();
        QTimer::singleShot(200, [&] {
            ++ran;
            ranAt = r.rig.clock.Timer() - start;
        });
        QVERIFY(r.form->Com_Input_Vers());
        QCOMPARE(ran, 1);
        QVERIFY(ranAt >= 0.19 && ranAt < 0.5);
    }
};

QTEST_MAIN(TestIdentity)
#include "tst_identity.moc"
