// The About window opened from the Help menu as a user opens it, and its
// system-information lookups against a registry held in memory.
#include "ModalWatch.h"
#include "TestRig.h"
#include "about/NullRegistry.h"
#include "about/frmAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <cstring>

namespace {

// One key, "K" under HKEY_LOCAL_MACHINE, whose value "V" (when there is one)
// writes `bytes` and reports `reported` as the size written.
struct MemoryRegistry final : Registry {
    uint32_t type = 0;  // 0: no such value
    QByteArray bytes;
    uint32_t reported = 0, access = 0;
    int openKeys = 0;  // opened and not yet closed

    int32_t OpenKeyEx(uint32_t root, const QByteArray& subKey, uint32_t mask, Handle& key) override
    {
        access = mask;
        key = 7;
        return root == LocalMachine && subKey == "K" && ++openKeys ? Success : NotFound;
    }
    int32_t QueryValueEx(Handle key, const QByteArray& name, uint32_t& t, char* data, uint32_t& size) override
    {
        if (key != 7 || name != "V" || type == 0 || bytes.size() > size)
            return NotFound;
        std::memcpy(data, bytes.constData(), bytes.size());
        t = type;
        size = reported;
        return Success;
    }
    int32_t CloseKey(Handle key) override { return key == 7 && openKeys-- > 0 ? Success : InvalidHandle; }
};

}  // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void openedFromTheHelpMenu_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }

    // Opened twice in a row; each time the key presses OK and closes it.
    void openedFromTheHelpMenu()
    {
        QFETCH(int, key);
        TestRig rig;
        rig.Make();
        for (int opening = 1; opening <= 2; ++opening) {
            int clicks = -1;
            ModalWatch watch([&](QDialog* d) {
                auto* about = qobject_cast<frmAbout*>(d);
                QVERIFY(about);
                QCOMPARE(about->windowTitle(), QStringLiteral("About qz Ruvude Zivo"));
                QCOMPARE(about->lblSoft->text(), QStringLiteral("2.0.0"));
                // The design caption and the disclaimer once, however often it was opened.
                QCOMPARE(about->lblDisclaimer->text(), "Note: ..." + frmAbout::DisclaimerPieces().join(QString()));
                QVERIFY(about->cmdSysInfo->isHidden() && !about->cmdSysInfo->isEnabled());
                QCOMPARE(about->focusWidget(), static_cast<QWidget*>(about->cmdOK));
                QSignalSpy okClicked(about->cmdOK, &QPushButton::clicked);
                QTest::keyClick(about->focusWidget(), Qt::Key(key));
                clicks = okClicked.count();
            });
            rig.form->mnuhelpAbout->trigger();
            QCOMPARE(clicks, 1);
            QVERIFY2(!watch.closedByWatch, "the key left the window open");
        }
    }

    void systemInfoUnavailableWithAnEmptyRegistry()
    {
        TestRig rig;
        NullRegistry registry;
        rig.platform.registry = &registry;
        frmAbout about(rig.platform);
        about.cmdSysInfo_Click();
        QCOMPARE(rig.messages.shown.size(), 1);
        const auto& box = rig.messages.shown[0];
        QCOMPARE(box.text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(box.title, QStringLiteral("qz Ruvude Zivo"));
        QCOMPARE(box.icon, MessageBoxes::Icon::None);
        QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
        // A key that is not there empties KeyVal.
        QString val = QStringLiteral("stale");
        QVERIFY(!about.GetKeyValue(Registry::LocalMachine, "SOFTWARE\\Microsoft", "PATH", val));
        QVERIFY(val.isEmpty());
    }

    void keyValue_data()
    {
        QTest::addColumn<uint>("type");  // 0: no such value
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("reported");  // -1: the number of bytes written
        QTest::addColumn<QString>("expected");
        const uint sz = Registry::TypeSz, dword = Registry::TypeDword;
        QTest::newRow("sz ended by NUL") << sz << QByteArray("C:\\MSINFO\0", 10) << -1 << QStringLiteral("C:\\MSINFO");
        QTest::newRow("sz without NUL") << sz << QByteArray("ABC") << -1 << QStringLiteral("ABC");
        QTest::newRow("sz nothing written") << sz << QByteArray() << -1 << QString();
        QTest::newRow("sz NUL inside only") << sz << QByteArray("AB\0CD", 5) << -1 << QString::fromLatin1("AB\0CD", 5);
        QTest::newRow("sz two NULs at the end") << sz << QByteArray("AB\0\0", 4) << -1 << QStringLiteral("AB\0");
        QTest::newRow("sz size beyond the buffer") << sz << QByteArray(1024, 'x') << 5000 << QString(1024, 'x');
        // DWORDs are the little-endian number; zero bytes inside it still count.
        QTest::newRow("dword 0x00010005") << dword << QByteArray("\x05\0\x01\0", 4) << -1 << QStringLiteral("65541");
        QTest::newRow("dword top bit") << dword << QByteArray("\0\0\0\x80", 4) << -1 << QStringLiteral("2147483648");
        QTest::newRow("other types keep KeyVal") << 3u << QByteArray("\x01\x02", 2) << -1 << QStringLiteral("before");
        QTest::newRow("no such value") << 0u << QByteArray() << -1 << QString();
    }

    void keyValue()
    {
        QFETCH(uint, type);
        QFETCH(QByteArray, bytes);
        QFETCH(int, reported);
        MemoryRegistry reg;
        reg.type = type;
        reg.bytes = bytes;
        reg.reported = reported < 0 ? uint32_t(bytes.size()) : uint32_t(reported);
        TestRig rig;
        rig.platform.registry = &reg;
        frmAbout about(rig.platform);
        QString val = QStringLiteral("before");
        QCOMPARE(about.GetKeyValue(Registry::LocalMachine, "K", "V", val), type != 0);
        QTEST(val, "expected");
        QCOMPARE(reg.openKeys, 0);
        QCOMPARE(reg.access & Registry::WriteRights, 0u);  // a plain user may read, not write
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
