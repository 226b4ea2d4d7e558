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

const uint32_t HKLM = Registry::LocalMachine;
const QByteArray ToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray LocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

MemoryRegistry::Value Sz(const QByteArray& bytes)
{
    MemoryRegistry::Value v;
    v.type = Registry::TypeSz;
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

// An About window on a given registry, a process starter that starts
// nothing and recorded message boxes.
struct AboutOn {
    FakeMessageBoxes messages;
    FakeLauncher launcher;
    Platform platform;
    std::unique_ptr<frmAbout> about;

    explicit AboutOn(Registry* registry)
    {
        platform.messages = &messages;
        platform.registry = registry;
        platform.launcher = &launcher;
        about = std::make_unique<frmAbout>(platform);
    }
};

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
        AboutOn on(&reg);
        on.about->StartSysInfo();
        QCOMPARE(on.launcher.started, QStringList{"C:\\Program Files\\Common Files\\MSInfo\\msinfo32.exe"});
        QVERIFY(on.messages.shown.isEmpty());
        QCOMPARE(reg.opens, reg.closes);
        QVERIFY(reg.open.isEmpty());
    }

    void toolFoundInItsFolder()
    {
        MemoryRegistry reg;
        reg.AddKey(HKLM, ToolKey);  // the key without its value
        reg.Set(HKLM, LocationKey, "MSINFO", Sz("C:\\Windows\\System32\0"));
        AboutOn on(&reg);
        on.launcher.files << "C:\\Windows\\System32\\MSINFO32.EXE";
        on.about->StartSysInfo();
        QCOMPARE(on.launcher.asked, QStringList{"C:\\Windows\\System32\\MSINFO32.EXE"});
        QCOMPARE(on.launcher.started, QStringList{"C:\\Windows\\System32\\MSINFO32.EXE"});
        QVERIFY(on.messages.shown.isEmpty());
        QVERIFY(reg.open.isEmpty());
    }

    void unavailable_data()
    {
        QTest::addColumn<QByteArray>("path");      // the PATH value, none when empty
        QTest::addColumn<QByteArray>("location");  // the MSINFO folder, none when empty
        QTest::addColumn<bool>("startSucceeds");
        QTest::addColumn<int>("starts");
        QTest::newRow("nothing recorded") << QByteArray() << QByteArray() << true << 0;
        QTest::newRow("folder without the tool") << QByteArray() << QByteArray("C:\\Nowhere") << true << 0;
        QTest::newRow("start fails") << QByteArray("C:\\msinfo32.exe") << QByteArray() << false << 1;
    }

    void unavailable()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, location);
        QFETCH(bool, startSucceeds);
        QFETCH(int, starts);
        MemoryRegistry reg;
        if (!path.isEmpty())
            reg.Set(HKLM, ToolKey, "PATH", Sz(path));
        if (!location.isEmpty())
            reg.Set(HKLM, LocationKey, "MSINFO", Sz(location));
        AboutOn on(&reg);
        on.launcher.startSucceeds = startSucceeds;
        on.about->StartSysInfo();
        QCOMPARE(on.launcher.started.size(), starts);
        QCOMPARE(on.messages.shown.size(), 1);
        QCOMPARE(on.messages.shown[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
        QVERIFY(reg.open.isEmpty());
    }

    void emptyRegistryIsUnavailable()
    {
        // The registry of systems that have none, reached through the button's handler.
        NullRegistry reg;
        AboutOn on(&reg);
        on.about->cmdSysInfo_Click();
        QVERIFY(on.launcher.asked.isEmpty());
        QVERIFY(on.launcher.started.isEmpty());
        QCOMPARE(on.messages.shown.size(), 1);
        const auto& box = on.messages.shown[0];
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
        AboutOn on(&reg);
        QString val;
        QVERIFY(on.about->GetKeyValue(HKLM, QString::fromLatin1(ToolKey), "PATH", val));
        QCOMPARE(val, QStringLiteral("X"));
        QCOMPARE(reg.openedKeys, QList<QByteArray>{ToolKey});
        QCOMPARE(reg.queriedValues, QList<QByteArray>{"PATH"});
        // Reading asks for no write access, which a plain user would be refused.
        QCOMPARE(reg.accessMasks.size(), 1);
        QCOMPARE(reg.accessMasks[0] & Registry::WriteRights, 0u);
        QVERIFY(reg.accessMasks[0] & 0x0001u);  // KEY_QUERY_VALUE
        QCOMPARE(reg.closes, 1);
        QVERIFY(reg.open.isEmpty());
    }

    void keyValue_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("reported");  // -1: the number of bytes written
        QTest::addColumn<QString>("expected");
        const uint sz = Registry::TypeSz, dword = Registry::TypeDword;
        QTest::newRow("sz ended by NUL") << sz << QByteArray("C:\\Tools\\msinfo32.exe\0", 22) << -1
                                         << QStringLiteral("C:\\Tools\\msinfo32.exe");
        QTest::newRow("sz without NUL") << sz << QByteArray("ABC") << -1 << QStringLiteral("ABC");
        QTest::newRow("sz only NUL") << sz << QByteArray("\0", 1) << -1 << QString();
        QTest::newRow("sz nothing written") << sz << QByteArray() << -1 << QString();
        QTest::newRow("sz NUL inside, none at the end") << sz << QByteArray("AB\0CD", 5) << -1
                                                        << QString::fromLatin1("AB\0CD", 5);
        QTest::newRow("sz size counts two NULs") << sz << QByteArray("AB\0\0", 4) << -1
                                                 << QString::fromLatin1("AB\0", 3);
        // A registry that claims more than the 1024-byte buffer holds.
        QTest::newRow("sz size beyond the buffer") << sz << QByteArray(1024, 'x') << 5000
                                                   << QString(1024, QLatin1Char('x'));
        // DWORDs: the earlier content of KeyVal plays no part, and zero
        // bytes inside the number still count.
        QTest::newRow("dword ten") << dword << QByteArray("\x0A\0\0\0", 4) << -1 << QStringLiteral("10");
        QTest::newRow("dword 0x00010005") << dword << QByteArray("\x05\0\x01\0", 4) << -1 << QStringLiteral("65541");
        QTest::newRow("dword 0x0105") << dword << QByteArray("\x05\x01\0\0", 4) << -1 << QStringLiteral("261");
        QTest::newRow("dword top bit") << dword << QByteArray("\0\0\0\x80", 4) << -1 << QStringLiteral("2147483648");
        QTest::newRow("dword zero") << dword << QByteArray("\0\0\0\0", 4) << -1 << QStringLiteral("0");
        // Other types leave KeyVal as it was.
        QTest::newRow("binary") << 3u << QByteArray("\x01\x02\x03", 3) << -1 << QStringLiteral("before");
    }

    void keyValue()
    {
        QFETCH(uint, type);
        QFETCH(QByteArray, bytes);
        QFETCH(int, reported);
        QFETCH(QString, expected);
        MemoryRegistry reg;
        MemoryRegistry::Value v = Sz(bytes);
        v.type = type;
        if (reported >= 0)
            v.reportedSize = static_cast<uint32_t>(reported);
        reg.Set(HKLM, "K", "V", v);
        AboutOn on(&reg);
        QString val = QStringLiteral("before");
        QVERIFY(on.about->GetKeyValue(HKLM, "K", "V", val));
        QCOMPARE(val, expected);
        QVERIFY(reg.open.isEmpty());
    }

    void keyValueMissingKey()
    {
        MemoryRegistry reg;
        AboutOn on(&reg);
        QString val = QStringLiteral("stale");
        QVERIFY(!on.about->GetKeyValue(HKLM, "K", "V", val));
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
        AboutOn on(&reg);
        QString val = QStringLiteral("stale");
        QVERIFY(!on.about->GetKeyValue(HKLM, "K", "V", val));
        QVERIFY(val.isEmpty());
        QString missing = QStringLiteral("stale");
        QVERIFY(!on.about->GetKeyValue(HKLM, "K", "Missing", missing));
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
