// The About window, its hidden system-information action, and what it makes of
// registry values. The USB device information window, opened from the main
// window's (hidden) menu entry, with a stand-in for the vendor's library loaded at run time.
#include "TestRig.h"
#include "about/ProcessLauncher.h"
#include "about/Registry.h"
#include "about/frmAbout.h"
#include "devinfo/Clipboard.h"
#include "devinfo/RuntimeChipIdLibrary.h"
#include "fake_ftchipid.h"
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QtTest>

using Adapters = QList<FakeAdapter>;
Q_DECLARE_METATYPE(Adapters)

namespace {

// A registry of values of one type, "key\value" -> stored bytes, that refuses write
// access as it does a plain user; and a launcher. Both record.
struct Fakes : Registry, ProcessLauncher {
    QHash<QByteArray, QByteArray> values;
    uint32_t valueType = TypeSz;
    QList<QByteArray> keys;  // the keys open now
    QStringList started;
    bool works = true;  // the tool is in the recorded folder, and it starts
    int32_t OpenKeyEx(uint32_t root, const QByteArray& subKey, uint32_t access, Handle& key) override
    {
        const auto under = [&](const QByteArray& k) { return k.startsWith(subKey + '\\'); };
        if (root != LocalMachine || (access & WriteRights) || std::none_of(values.keyBegin(), values.keyEnd(), under))
            return (access & WriteRights) ? 5 : NotFound;  // ERROR_ACCESS_DENIED
        keys << subKey;
        key = Handle(keys.size());
        return Success;
    }
    int32_t QueryValueEx(Handle key, const QByteArray& name, uint32_t& type, char* data, uint32_t& size) override
    {
        const QByteArray v = values.value(keys.value(qsizetype(key) - 1) + '\\' + name, "\x01");
        if (v == "\x01" || uint32_t(v.size()) > size)
            return NotFound;
        std::copy(v.begin(), v.end(), data);  // as stored: a text's NUL only where it was written
        size = uint32_t(v.size());
        type = valueType;
        return Success;
    }
    int32_t CloseKey(Handle key) override { keys[qsizetype(key) - 1].clear(); return Success; }
    bool FileExists(const QString& path) override { return works && path == "C:\\L\\MSINFO32.EXE"; }
    bool Start(const QString& path) override { if (works) started << path; return works; }
};

}  // namespace

class TestAbout : public QObject, Clipboard {
    Q_OBJECT
    QString m_clipboard;
    void Clear() override { m_clipboard.clear(); }
    void SetText(const QString& t) override { m_clipboard = t; }
    static QStringList Shown(frmMain& f)  // the title and lines of the window the menu entry opens
    {
        QStringList seen;
        QTimer::singleShot(0, &f, [&] {
            QWidget* w = QApplication::activeModalWidget();
            seen << (w ? w->windowTitle() : "no modal window");
            if (auto* list = w ? w->findChild<QListWidget*>("LoggerList") : nullptr)
                for (int row = 0; row < list->count(); ++row)
                    seen << list->item(row)->text();
            if (w)
                w->close();
        });
        f.mnuDeviceInfo->trigger();  // returns once the window has closed
        return seen;
    }
private slots:
    void systemInfo_data()
    {
        QTest::addColumn<QByteArray>("path");      // the tool's recorded path, "" none
        QTest::addColumn<QByteArray>("location");  // the recorded folder of the tool, "" none
        QTest::addColumn<uint32_t>("type");        // of both
        QTest::addColumn<bool>("works");           // the file is there and starts
        QTest::addColumn<QString>("started");      // "": the "unavailable" message instead
        const QByteArray tool = "C:\\T\\msinfo.exe", folder("C:\\L\0", 5);  // one stored with its NUL
        const uint32_t sz = Registry::TypeSz;
        QTest::newRow("recorded path") << tool << folder << sz << true << QString(tool);
        QTest::newRow("recorded folder") << QByteArray() << folder << sz << true << "C:\\L\\MSINFO32.EXE";
        QTest::newRow("no tool in the folder") << QByteArray() << folder << sz << false << "";
        QTest::newRow("the tool does not start") << tool << QByteArray() << sz << false << "";
        QTest::newRow("nothing recorded") << QByteArray() << QByteArray() << sz << true << "";
        // Values no program would record, for what is made of their bytes.
        QTest::newRow("text, NUL inside, none at its end") << QByteArray("AB\0CD", 5) << folder << sz << true
                                          << QString::fromLatin1("AB\0CD", 5);
        QTest::newRow("number, top bit") << QByteArray("\x05\0\0\x80", 4) << QByteArray() << Registry::TypeDword
                                         << true << "2147483653";
    }
    // Each row a new About window, as the Help menu makes one: what it shows, the hidden
    // system-information action, then closed by Enter, or by Escape after the message.
    void systemInfo()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, location);
        QFETCH(bool, works);
        QFETCH(QString, started);
        TestRig rig;
        Fakes fakes;
        if (!path.isEmpty())
            fakes.values["SOFTWARE\\Microsoft\\Shared Tools\\MSINFO\\PATH"] = path;
        if (!location.isEmpty())
            fakes.values["SOFTWARE\\Microsoft\\Shared Tools Location\\MSINFO"] = location;
        fakes.works = works;
        QFETCH(uint32_t, type);
        fakes.valueType = type;
        rig.platform.registry = &fakes;
        rig.platform.launcher = &fakes;
        frmAbout about(rig.platform);
        about.Form_Load();
        about.show();
        QStringList texts{about.windowTitle()};
        for (QLabel* l : {about.lblTitle, about.Label1, about.Label5, about.lblSoft, about.Label6, about.lblDisclaimer})
            texts << l->text();
        QCOMPARE(texts, (QStringList{"About qz Ruvude Zivo", "driftmark", "Vantrel Ltd", "Software Version:", "2.0.0",
                                     frmAbout::WebAddress, "Note: ..." + frmAbout::DisclaimerPieces().join("")}));
        QVERIFY(about.cmdSysInfo->isHidden() && !about.cmdSysInfo->isEnabled());
        if (started.isEmpty())
            rig.messages.Expect({"System Information Is Unavailable At This Time", "qz Ruvude Zivo",
                                 MessageBoxes::Icon::None, MessageBoxes::Buttons::Ok});
        about.StartSysInfo();
        QCOMPARE(fakes.started.value(0), started);
        QVERIFY(std::all_of(fakes.keys.begin(), fakes.keys.end(), [](const QByteArray& k) { return k.isEmpty(); }));
        QTest::keyClick(&about, started.isEmpty() ? Qt::Key_Escape : Qt::Key_Return);
        QVERIFY(about.isHidden());
    }

    void lists_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<int>("countStatus");
        QTest::addColumn<Adapters>("adapters");
        QTest::addColumn<QStringList>("lines");
        const QString lib = FAKE_FTCHIPID_PATH;
        const QString no = ": USB device information is unavailable";
        const QByteArray full = QByteArray(qzChipID::DescriptionBufferSize, 'Q');
        const Adapters one{{0, "Ad", 0, 77}};
        // A failed query reports its status and the list goes on; a chip ID with its top bit set is negative;
        // the clipboard keeps the last chip ID read.
        QTest::newRow("four adapters") << lib << 0
            << Adapters{{0, "A 1", 0, 305419896}, {18, "unseen", 0, 11}, {0, "B \xC4", 0, INT32_MIN + 1}, {0, "", 7, 9}}
            << QStringList{"Number of Devices = 4", "Description = A 1", "Chip ID = 305419896",
                           "FTID_GetDeviceDescription failed status = 18", "Chip ID = 11", "Description = B \u00C4",
                           "Chip ID = -2147483647", "Description = ", "FTID_GetDeviceChipID failed status = 7"};
        QTest::newRow("failed count") << lib << 4 << Adapters{} << QStringList{"FTID_GetNumDevs failed status = 4"};
        // After a chip ID without zero bytes ("QQQQ"), so that reading past the buffer shows.
        QTest::newRow("unterminated description") << lib << 0 << Adapters{{0, "A", 0, 0x51515151}, {0, full, 0, 42}}
            << QStringList{"Number of Devices = 2", "Description = A", "Chip ID = 1364283729",
                           "Description = " + QString::fromLatin1(full), "Chip ID = 42"};
        QTest::newRow("missing library") << "/nonexistent/libftchipid.so" << 0 << one
                                         << QStringList{"FTChipID library not found" + no};
        QTest::newRow("missing function") << QStringLiteral(FAKE_FTCHIPID_NOCHIP_PATH) << 0 << one
                                          << QStringList{"FTChipID library has no FTID_GetDeviceChipID" + no};
    }
    void lists()  // shown twice, first with no adapter: every showing is a new window that asks the library afresh
    {
        QFETCH(QString, library);
        QFETCH(QStringList, lines);
        RuntimeChipIdLibrary lib({library});
        TestRig rig;
        rig.platform.chipId = &lib;
        rig.platform.clipboard = this;
        m_clipboard = "stale";
        frmMain& f = rig.Make();
        FakeChipIdScript() = {};
        const bool loads = !lines.first().startsWith("FTChipID");
        QCOMPARE(Shown(f), QStringList{"USB Device Info"} + (loads ? QStringList{"Number of Devices = 0"} : lines));
        QFETCH(int, countStatus);
        QFETCH(Adapters, adapters);
        FakeChipIdScript() = {countStatus, adapters};
        QCOMPARE(Shown(f), QStringList{"USB Device Info"} + lines);
        const QStringList ids = lines.filter("Chip ID = ");  // the clipboard holds the last
        QCOMPARE(m_clipboard, ids.isEmpty() ? "stale" : ids.last().mid(10));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
