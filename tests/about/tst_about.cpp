// The About window: opened from the Help menu as a user opens it, its design,
// and the system-information action against an in-memory registry.
#include "FakeLauncher.h"
#include "MemoryRegistry.h"
#include "ModalWatch.h"
#include "TestRig.h"
#include "about/NullRegistry.h"
#include "about/SystemProcessLauncher.h"
#include "about/frmAbout.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const uint32_t HKLM = Registry::HKEY_LOCAL_MACHINE;
const QByteArray ToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray LocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

MemoryRegistry::Value Sz(const QByteArray& bytes)
{
    MemoryRegistry::Value v;
    v.type = Registry::REG_SZ;
    v.bytes = bytes;
    return v;
}

// The widgets that Tab visits, in order, starting after `from`.
QList<QWidget*> TabStops(QWidget* window, QWidget* from)
{
    QList<QWidget*> stops;
    for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        if (w->window() == window && (w->focusPolicy() & Qt::TabFocus))
            stops << w;
    }
    return stops;
}

}  // namespace

class TestAbout : public QObject {
    Q_OBJECT

    struct Seen {
        QString title, version, disclaimer;
        bool modal = false;
        bool sysInfoHidden = false, sysInfoEnabled = true;
        QWidget* focus = nullptr;
        QWidget* ok = nullptr;
        int okClicks = 0;
        bool closedByKey = false;
    };

    // Opens About from the Help menu, reads it, and presses `key` on it.
    Seen OpenFromMenu(TestRig& rig, Qt::Key key, int* seenCount = nullptr, bool* leftOpen = nullptr)
    {
        Seen s;
        ModalWatch watch([&](QDialog* d) {
            auto* about = qobject_cast<frmAbout*>(d);
            if (!about)
                return;
            s.title = about->windowTitle();
            s.version = about->lblSoft->text();
            s.disclaimer = about->lblDisclaimer->text();
            s.modal = about->isModal();
            s.sysInfoHidden = about->cmdSysInfo->isHidden();
            s.sysInfoEnabled = about->cmdSysInfo->isEnabled();
            s.focus = about->focusWidget();
            s.ok = about->cmdOK;
            QSignalSpy clicks(about->cmdOK, &QPushButton::clicked);
            QWidget* target = about->focusWidget() ? about->focusWidget() : about;
            QTest::keyClick(target, key);
            s.okClicks = clicks.count();
            s.closedByKey = !about->isVisible();
        });
        rig.form->mnuhelpAbout->trigger();
        if (seenCount)
            *seenCount = watch.seen;
        if (leftOpen)
            *leftOpen = watch.closedByWatch;
        return s;
    }

private slots:
    void openedFromTheHelpMenu()
    {
        TestRig rig;
        rig.Make();
        int seen = 0;
        bool leftOpen = true;
        const Seen s = OpenFromMenu(rig, Qt::Key_Return, &seen, &leftOpen);
        QCOMPARE(seen, 1);
        QVERIFY(s.modal);
        QCOMPARE(s.title, QStringLiteral("About qz Ruvude Zivo"));
        QCOMPARE(s.version, QStringLiteral("2.0.0"));
        QCOMPARE(s.version, QStringLiteral("%1.%2.%3").arg(QZ_VERSION_MAJOR).arg(QZ_VERSION_MINOR).arg(QZ_VERSION_REVISION));
        QCOMPARE(s.disclaimer, frmAbout::DesignDisclaimer + frmAbout::DisclaimerPieces().join(QString()));
        QVERIFY(s.sysInfoHidden);
        QVERIFY(!s.sysInfoEnabled);
        QCOMPARE(s.focus, s.ok);
        QVERIFY(!leftOpen);
    }

    void enterPressesOk()
    {
        TestRig rig;
        rig.Make();
        bool leftOpen = true;
        const Seen s = OpenFromMenu(rig, Qt::Key_Return, nullptr, &leftOpen);
        QCOMPARE(s.okClicks, 1);
        QVERIFY(s.closedByKey);
        QVERIFY(!leftOpen);
    }

    void escapePressesOk()
    {
        TestRig rig;
        rig.Make();
        bool leftOpen = true;
        const Seen s = OpenFromMenu(rig, Qt::Key_Escape, nullptr, &leftOpen);
        QCOMPARE(s.okClicks, 1);
        QVERIFY(s.closedByKey);
        QVERIFY(!leftOpen);
    }

    void disclaimerIsNotDoubledOnTheSecondOpening()
    {
        TestRig rig;
        rig.Make();
        const Seen first = OpenFromMenu(rig, Qt::Key_Return);
        const Seen second = OpenFromMenu(rig, Qt::Key_Escape);
        QVERIFY(!first.disclaimer.isEmpty());
        QCOMPARE(second.disclaimer, first.disclaimer);
        QVERIFY(first.disclaimer.startsWith(QStringLiteral("Note: ...")));
        for (const QString& piece : frmAbout::DisclaimerPieces()) {
            QVERIFY(!piece.trimmed().isEmpty());
            QCOMPARE(second.disclaimer.count(piece), qsizetype(1));
        }
        // And the main window is usable again after each.
        QVERIFY(!QApplication::activeModalWidget());
    }

    void design()
    {
        TestRig rig;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        QCOMPARE(about.windowTitle(), QStringLiteral("About MyApp"));  // until it loads
        about.Form_Load();
        QCOMPARE(about.size(), QSize(382, 202));  // 5730 x 3030 twips
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QVERIFY(!(about.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(about.windowFlags() & Qt::WindowMaximizeButtonHint));

        QCOMPARE(about.lblTitle->text(), QStringLiteral("driftmark"));
        QCOMPARE(about.lblTitle->font().pointSizeF(), 13.5);
        QVERIFY(about.lblTitle->font().bold());
        QCOMPARE(about.Label1->text(), QStringLiteral("Vantrel Ltd"));
        QCOMPARE(about.Label1->font().pointSizeF(), 9.75);
        QVERIFY(about.Label1->font().bold());
        QCOMPARE(about.Label5->text(), QStringLiteral("Software Version:"));
        QCOMPARE(about.picIcon->geometry(), QRect(16, 16, 32, 32));
        QCOMPARE(about.picIcon->pixmap().size(), QSize(32, 32));
        QCOMPARE(about.cmdOK->text(), QStringLiteral("OK"));
        QVERIFY(about.cmdOK->isDefault());
        QCOMPARE(about.cmdSysInfo->text(), QStringLiteral("&System Info..."));

        // The web address: centred, blue, plain text that does nothing.
        QVERIFY(about.Label6->alignment() & Qt::AlignHCenter);
        QCOMPARE(about.Label6->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(about.Label6->textFormat(), Qt::PlainText);
        QVERIFY(!about.Label6->openExternalLinks());
        QCOMPARE(about.Label6->textInteractionFlags(), Qt::NoTextInteraction);
        QVERIFY(!about.Label6->text().isEmpty());

        // Tab goes OK, icon (System Info is hidden), and round again.
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QList<QWidget*> stops = TabStops(&about, about.cmdOK);
        QVERIFY(stops.size() >= 2);
        QCOMPARE(stops.at(0), static_cast<QWidget*>(about.picIcon));
        QCOMPARE(stops.at(1), static_cast<QWidget*>(about.cmdSysInfo));
        about.close();
    }

    void greyLineAndDisclaimerAreDrawn()
    {
        TestRig rig;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        about.Form_Load();
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QImage shot = about.grab().toImage();
        // Across the window at 1920 twips, from 120 to 5684 twips.
        const int y = 1920 / 15;
        for (int x : {8 + 2, shot.width() / 2, 378 - 2})
            QCOMPARE(QColor(shot.pixel(shot.devicePixelRatio() * x, shot.devicePixelRatio() * y)),
                     QColor(128, 128, 128));
        // The whole disclaimer fits its label once wrapped.
        QVERIFY(about.lblDisclaimer->wordWrap());
        QVERIFY2(about.lblDisclaimer->heightForWidth(about.lblDisclaimer->width()) <= about.lblDisclaimer->height(),
                 qPrintable(QString::number(about.lblDisclaimer->heightForWidth(about.lblDisclaimer->width()))));
        about.close();
    }

    // --- the system-information action ---

    void toolFoundByItsPath()
    {
        MemoryRegistry reg;
        reg.Set(HKLM, ToolKey, "PATH", Sz("C:\\Program Files\\Common Files\\MSInfo\\msinfo32.exe\0"));
        FakeLauncher launcher;
        TestRig rig;
        rig.platform.registry = &reg;
        rig.platform.launcher = &launcher;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        about.StartSysInfo();
        QCOMPARE(launcher.started, QStringList{"C:\\Program Files\\Common Files\\MSInfo\\msinfo32.exe"});
        QVERIFY(rig.messages.shown.isEmpty());
        QCOMPARE(reg.opens, reg.closes);
        QVERIFY(reg.open.isEmpty());
    }

    void toolFoundInItsFolder()
    {
        MemoryRegistry reg;
        reg.AddKey(HKLM, ToolKey);  // the key without its value
        reg.Set(HKLM, LocationKey, "MSINFO", Sz("C:\\Windows\\System32\0"));
        FakeLauncher launcher;
        launcher.files << "C:\\Windows\\System32\\MSINFO32.EXE";
        TestRig rig;
        rig.platform.registry = &reg;
        rig.platform.launcher = &launcher;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        about.StartSysInfo();
        QCOMPARE(launcher.asked, QStringList{"C:\\Windows\\System32\\MSINFO32.EXE"});
        QCOMPARE(launcher.started, QStringList{"C:\\Windows\\System32\\MSINFO32.EXE"});
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(reg.open.isEmpty());
    }

    void folderWithoutTheToolIsUnavailable()
    {
        MemoryRegistry reg;
        reg.Set(HKLM, LocationKey, "MSINFO", Sz("C:\\Nowhere\0"));
        FakeLauncher launcher;
        TestRig rig;
        rig.platform.registry = &reg;
        rig.platform.launcher = &launcher;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        about.StartSysInfo();
        QVERIFY(launcher.started.isEmpty());
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
    }

    void failedStartIsUnavailable()
    {
        MemoryRegistry reg;
        reg.Set(HKLM, ToolKey, "PATH", Sz("C:\\msinfo32.exe"));
        FakeLauncher launcher;
        launcher.startSucceeds = false;
        TestRig rig;
        rig.platform.registry = &reg;
        rig.platform.launcher = &launcher;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        about.StartSysInfo();
        QCOMPARE(launcher.started, QStringList{"C:\\msinfo32.exe"});
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
    }

    void emptyRegistryIsUnavailable()
    {
        // The registry of systems that have none.
        NullRegistry reg;
        FakeLauncher launcher;
        TestRig rig;
        rig.platform.registry = &reg;
        rig.platform.launcher = &launcher;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        about.cmdSysInfo_Click();
        QVERIFY(launcher.asked.isEmpty());
        QVERIFY(launcher.started.isEmpty());
        QCOMPARE(rig.messages.shown.size(), 1);
        const auto& box = rig.messages.shown[0];
        QCOMPARE(box.text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(box.title, QStringLiteral("qz Ruvude Zivo"));
        QCOMPARE(box.icon, MessageBoxes::Icon::None);
        QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
    }

    // --- GetKeyValue ---

    void keyValueReadOnlyAndClosed()
    {
        MemoryRegistry reg;
        reg.Set(HKLM, ToolKey, "PATH", Sz("X\0"));
        TestRig rig;
        rig.platform.registry = &reg;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        QString val;
        QVERIFY(about.GetKeyValue(HKLM, QString::fromLatin1(ToolKey), "PATH", val));
        QCOMPARE(val, QStringLiteral("X"));
        QCOMPARE(reg.openedKeys, QList<QByteArray>{ToolKey});
        QCOMPARE(reg.queriedValues, QList<QByteArray>{"PATH"});
        // Reading asks for no write access, which a plain user would be refused.
        QCOMPARE(reg.accessMasks.size(), 1);
        QCOMPARE(reg.accessMasks[0] & Registry::KEY_WRITE_RIGHTS, 0u);
        QVERIFY(reg.accessMasks[0] & 0x0001u);  // KEY_QUERY_VALUE
        QCOMPARE(reg.closes, 1);
        QVERIFY(reg.open.isEmpty());
    }

    void keyValueText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("reported");  // -1: the number of bytes written
        QTest::addColumn<QString>("expected");
        QTest::newRow("ended by NUL") << QByteArray("C:\\Tools\\msinfo32.exe\0", 22) << -1
                                      << QStringLiteral("C:\\Tools\\msinfo32.exe");
        QTest::newRow("no NUL") << QByteArray("ABC") << -1 << QStringLiteral("ABC");
        QTest::newRow("only NUL") << QByteArray("\0", 1) << -1 << QString();
        QTest::newRow("nothing written") << QByteArray() << -1 << QString();
        QTest::newRow("NUL inside, none at the end") << QByteArray("AB\0CD", 5) << -1
                                                     << QString::fromLatin1("AB\0CD", 5);
        QTest::newRow("size counts two NULs") << QByteArray("AB\0\0", 4) << -1 << QString::fromLatin1("AB\0", 3);
    }

    void keyValueText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, reported);
        QFETCH(QString, expected);
        MemoryRegistry reg;
        MemoryRegistry::Value v = Sz(bytes);
        if (reported >= 0)
            v.reportedSize = static_cast<uint32_t>(reported);
        reg.Set(HKLM, "K", "V", v);
        TestRig rig;
        rig.platform.registry = &reg;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        QString val = QStringLiteral("before");
        QVERIFY(about.GetKeyValue(HKLM, "K", "V", val));
        QCOMPARE(val, expected);
    }

    void keyValueSizeBeyondTheBuffer()
    {
        // A registry that claims more than the 1024-byte buffer holds.
        MemoryRegistry reg;
        MemoryRegistry::Value v = Sz(QByteArray(1024, 'x'));
        v.reportedSize = 5000;
        reg.Set(HKLM, "K", "V", v);
        TestRig rig;
        rig.platform.registry = &reg;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        QString val;
        QVERIFY(about.GetKeyValue(HKLM, "K", "V", val));
        QCOMPARE(val, QString(1024, QLatin1Char('x')));
    }

    void keyValueDword_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ten") << QByteArray("\x0A\0\0\0", 4) << QStringLiteral("10");
        // Zero bytes in the middle of the number still count.
        QTest::newRow("0x00010005") << QByteArray("\x05\0\x01\0", 4) << QStringLiteral("65541");
        QTest::newRow("0x0105") << QByteArray("\x05\x01\0\0", 4) << QStringLiteral("261");
        QTest::newRow("top bit") << QByteArray("\0\0\0\x80", 4) << QStringLiteral("2147483648");
        QTest::newRow("zero") << QByteArray("\0\0\0\0", 4) << QStringLiteral("0");
    }

    void keyValueDword()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        MemoryRegistry reg;
        MemoryRegistry::Value v;
        v.type = Registry::REG_DWORD;
        v.bytes = bytes;
        reg.Set(HKLM, "K", "V", v);
        TestRig rig;
        rig.platform.registry = &reg;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        // The earlier content of KeyVal plays no part.
        QString val = QStringLiteral("12");
        QVERIFY(about.GetKeyValue(HKLM, "K", "V", val));
        QCOMPARE(val, expected);
    }

    void keyValueOtherTypeLeavesKeyValAlone()
    {
        MemoryRegistry reg;
        MemoryRegistry::Value v;
        v.type = 3;  // REG_BINARY
        v.bytes = QByteArray("\x01\x02\x03", 3);
        reg.Set(HKLM, "K", "V", v);
        TestRig rig;
        rig.platform.registry = &reg;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        QString val = QStringLiteral("kept");
        QVERIFY(about.GetKeyValue(HKLM, "K", "V", val));
        QCOMPARE(val, QStringLiteral("kept"));
        QVERIFY(reg.open.isEmpty());
    }

    void keyValueMissingKey()
    {
        MemoryRegistry reg;
        TestRig rig;
        rig.platform.registry = &reg;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        QString val = QStringLiteral("stale");
        QVERIFY(!about.GetKeyValue(HKLM, "K", "V", val));
        QVERIFY(val.isEmpty());
        QCOMPARE(reg.closes, 0);
    }

    void keyValueFailedQueryClosesTheKey()
    {
        MemoryRegistry reg;
        MemoryRegistry::Value v = Sz("x");
        v.queryStatus = 5;  // access denied
        reg.Set(HKLM, "K", "V", v);
        reg.Set(HKLM, "K", "Other", Sz("y"));
        TestRig rig;
        rig.platform.registry = &reg;
        rig.Make();
        frmAbout about(rig.platform, rig.form.get());
        QString val = QStringLiteral("stale");
        QVERIFY(!about.GetKeyValue(HKLM, "K", "V", val));
        QVERIFY(val.isEmpty());
        QString missing = QStringLiteral("stale");
        QVERIFY(!about.GetKeyValue(HKLM, "K", "Missing", missing));
        QVERIFY(missing.isEmpty());
        QCOMPARE(reg.opens, 2);
        QCOMPARE(reg.closes, 2);
        QVERIFY(reg.open.isEmpty());
    }

    // --- the system's process starter ---

    void systemLauncherFileTest()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath("MSINFO32.EXE");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        SystemProcessLauncher launcher;
        QVERIFY(launcher.FileExists(file));
        QVERIFY(!launcher.FileExists(dir.path()));  // a folder is not the tool
        QVERIFY(!launcher.FileExists(dir.filePath("missing.exe")));
        QVERIFY(!launcher.FileExists(QString()));
    }

    void systemLauncherReportsFailure()
    {
        QTemporaryDir dir;
        SystemProcessLauncher launcher;
        QVERIFY(!launcher.Start(dir.filePath("no-such-program")));
        QVERIFY(!launcher.Start(QString()));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
