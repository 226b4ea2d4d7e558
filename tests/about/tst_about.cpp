// The About window, and what it makes of registry values.
#include "TestRig.h"
#include "about/NullRegistry.h"
#include "about/RegistryValueText.h"
#include "about/frmAbout.h"
#include <QLabel>
#include <QtTest>

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void closedByKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void closedByKey()  // opened twice, each time a new window as the Help menu makes it
    {
        QFETCH(int, key);
        TestRig rig;
        for (int opening = 0; opening < 2; ++opening) {
            frmAbout about(rig.platform);
            about.Form_Load();
            about.show();
            QCOMPARE(about.windowTitle(), QStringLiteral("About qz Ruvude Zivo"));
            QCOMPARE(about.lblSoft->text(), QStringLiteral("2.0.0"));
            QCOMPARE(about.lblDisclaimer->text(), "Note: ..." + frmAbout::DisclaimerPieces().join(QString()));
            QTest::keyClick(&about, Qt::Key(key));
            QVERIFY(about.isHidden());
        }
    }
    void systemInfoUnavailableWithAnEmptyRegistry()
    {
        TestRig rig;
        NullRegistry registry;
        rig.platform.registry = &registry;
        frmAbout(rig.platform).StartSysInfo();
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
    }
    void keyValue_data()
    {
        QTest::addColumn<uint32_t>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sz, NUL at the written size") << Registry::TypeSz << QByteArray("C:\\MSINFO\0", 10) << "C:\\MSINFO";
        QTest::newRow("sz, NUL inside") << Registry::TypeSz << QByteArray("AB\0CD", 5) << QString::fromLatin1("AB\0CD", 5);
        QTest::newRow("dword, top bit") << Registry::TypeDword << QByteArray("\x05\0\0\x80", 4) << "2147483653";
    }
    void keyValue()  // what GetKeyValue makes of the bytes a query wrote
    {
        QFETCH(uint32_t, type);
        QFETCH(QByteArray, bytes);
        QString val;
        RegistryValueText::Apply(bytes.constData(), uint32_t(bytes.size()), uint32_t(bytes.size()), type, val);
        QTEST(val, "expected");
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
