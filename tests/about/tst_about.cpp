// The About window, its hidden system-information action, and what it makes of registry values.
#include "TestRig.h"
#include "about/ProcessLauncher.h"
#include "about/Registry.h"
#include "about/RegistryValueText.h"
#include "about/frmAbout.h"
#include <QLabel>
#include <QtTest>

namespace {

// A registry of text values, "key\value" -> text, that refuses write access as
// it does a plain user; and a launcher with the files that exist. Both record.
struct Fakes : Registry, ProcessLauncher {
    QHash<QByteArray, QByteArray> values;
    QList<QByteArray> keys;  // the keys open now
    QStringList files, started;
    bool startWorks = true;
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
        if (v == "\x01" || uint32_t(v.size()) >= size)
            return NotFound;
        std::copy(v.begin(), v.end(), data);
        data[v.size()] = '\0';
        size = uint32_t(v.size()) + 1;
        type = TypeSz;
        return Success;
    }
    int32_t CloseKey(Handle key) override { keys[qsizetype(key) - 1].clear(); return Success; }
    bool FileExists(const QString& path) override { return files.contains(path); }
    bool Start(const QString& path) override { if (startWorks) started << path; return startWorks; }
};

}  // namespace

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
            QStringList texts;
            for (QLabel* l : {about.lblTitle, about.Label1, about.Label5, about.lblSoft, about.Label6})
                texts << l->text();
            QCOMPARE(texts, (QStringList{"driftmark", "Vantrel Ltd", "Software Version:", "2.0.0",
                                         frmAbout::WebAddress}));
            QCOMPARE(about.lblDisclaimer->text(), "Note: ..." + frmAbout::DisclaimerPieces().join(QString()));
            QVERIFY(about.cmdSysInfo->isHidden() && !about.cmdSysInfo->isEnabled());
            QTest::keyClick(&about, Qt::Key(key));
            QVERIFY(about.isHidden());
        }
    }

    void systemInfo_data()
    {
        QTest::addColumn<QByteArray>("path");      // the tool's recorded path, "" none
        QTest::addColumn<QByteArray>("location");  // the recorded folder of the tool, "" none
        QTest::addColumn<bool>("works");           // the file is there and starts
        QTest::addColumn<QString>("started");      // "": the "unavailable" message instead
        const QByteArray tool = "C:\\T\\msinfo.exe", folder = "C:\\L";
        QTest::newRow("recorded path") << tool << folder << true << QString(tool);
        QTest::newRow("recorded folder") << QByteArray() << folder << true << "C:\\L\\MSINFO32.EXE";
        QTest::newRow("no tool in the folder") << QByteArray() << folder << false << "";
        QTest::newRow("the tool does not start") << tool << QByteArray() << false << "";
        QTest::newRow("nothing recorded") << QByteArray() << QByteArray() << true << "";
    }
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
        if (works)
            fakes.files << "C:\\L\\MSINFO32.EXE";
        fakes.startWorks = works;
        rig.platform.registry = &fakes;
        rig.platform.launcher = &fakes;
        if (started.isEmpty())
            rig.messages.Expect({"System Information Is Unavailable At This Time", "qz Ruvude Zivo",
                                 MessageBoxes::Icon::None, MessageBoxes::Buttons::Ok});
        frmAbout(rig.platform).StartSysInfo();
        QCOMPARE(fakes.started.value(0), started);
        QVERIFY(std::all_of(fakes.keys.begin(), fakes.keys.end(), [](const QByteArray& k) { return k.isEmpty(); }));
    }

    void keyValue_data()
    {
        QTest::addColumn<uint32_t>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("sz, NUL inside") << Registry::TypeSz << QByteArray("AB\0CD", 5)
                                        << QString::fromLatin1("AB\0CD", 5);
        QTest::newRow("dword, top bit") << Registry::TypeDword << QByteArray("\x05\0\0\x80", 4) << "2147483653";
    }
    void keyValue()  // what GetKeyValue makes of bytes the fake registry above never writes
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
