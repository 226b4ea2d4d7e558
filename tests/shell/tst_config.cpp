// The session file qz_upgrade.cfg: bytes written, fields read back, and what
// a failed save leaves behind.
#include "TestRig.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#endif

using namespace qzGlobals;

namespace {

const QByteArray Tail = QByteArray("\"\"\r\n").repeated(10);  // the ten reserved records

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

enum SaveFault { ReadOnlyFolder, FullPartWay };

}  // namespace

class TestConfig : public QObject {
    Q_OBJECT
    const QString m_startDir = QDir::currentPath();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRig> m_rig;

    QString File() const { return m_dir->filePath("qz_upgrade.cfg"); }
    QStringList Files() const { return QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden); }

private slots:
    // Each test runs in a fresh folder that is both the program's folder and
    // the current one, with a main window that has not loaded.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        m_rig = std::make_unique<TestRig>();
        m_rig->Make(false);
        AppFolder = m_dir->path();
    }

    void cleanup()
    {
        QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir::setCurrent(m_startDir);
    }

    void saveAndLoadBack_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("3: 43 bytes")
            << 3 << QByteArray("3\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n");
        QTest::newRow("12") << 12 << ("12\r\n" + Tail);
        QTest::newRow("negative") << -7 << ("-7\r\n" + Tail);
    }

    void saveAndLoadBack()
    {
        QFETCH(int, port);
        QVERIFY(WriteAll(File(), QByteArray(500, 'x')));  // replaced whole
        QVERIFY(QDir::setCurrent(QDir::tempPath()));       // saving moves to the program's folder
        SavedPort = int16_t(port);
        QVERIFY(m_rig->form->Save_Config());
        QTEST(ReadAll(File()), "bytes");
        QCOMPARE(Files(), QStringList{"qz_upgrade.cfg"});
        SavedPort = 0;
        QVERIFY(m_rig->form->Load_Config());
        QCOMPARE(SavedPort, int16_t(port));
        QVERIFY(m_rig->messages.shown.isEmpty());
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("contents");  // a null array: no file
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("port");
        QTest::newRow("only the port") << QByteArray("5") << false << 0;
        QTest::newRow("ten fields") << ("5\r\n" + QByteArray("\"\"\r\n").repeated(9)) << false << 0;
        QTest::newRow("one line") << QByteArray("7,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"") << true << 7;
        QTest::newRow("blanks, text in fields") << QByteArray(" 4 , \"\" ,a,b,c,d,e,f,g,h,i") << true << 4;
        QTest::newRow("more than eleven fields") << ("+2\r\n" + Tail + "junk\r\n\"more\",99\r\n") << true << 2;
        QTest::newRow("not a number") << ("abc\r\n" + Tail) << false << 0;
        QTest::newRow("number then letters") << ("3x\r\n" + Tail) << false << 0;
        QTest::newRow("largest") << ("32767\r\n" + Tail) << true << 32767;
        QTest::newRow("above 16 bits") << ("32768\r\n" + Tail) << false << 0;
        QTest::newRow("far above 32 bits") << ("4294967299\r\n" + Tail) << false << 0;
        QTest::newRow("smallest") << ("-32768\r\n" + Tail) << true << -32768;
        QTest::newRow("below 16 bits") << ("-32769\r\n" + Tail) << false << 0;
        QTest::newRow("no file") << QByteArray() << false << 0;
    }

    void load()
    {
        QFETCH(QByteArray, contents);
        if (!contents.isNull())
            QVERIFY(WriteAll(File(), contents));
        SavedPort = 11;  // whatever was there before
        QTEST(m_rig->form->Load_Config(), "result");
        QTEST(int(SavedPort), "port");
        QVERIFY(m_rig->messages.shown.isEmpty());
    }

    void loadLooksInTheCurrentFolder()
    {
        QTemporaryDir current;
        QVERIFY(WriteAll(File(), "4\r\n" + Tail));
        QVERIFY(WriteAll(current.filePath("qz_upgrade.cfg"), "6\r\n" + Tail));
        QVERIFY(QDir::setCurrent(current.path()));
        QVERIFY(m_rig->form->Load_Config());
        QCOMPARE(SavedPort, int16_t(6));
    }

    void saveFails_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("read-only folder") << int(ReadOnlyFolder);
#ifdef Q_OS_LINUX
        QTest::newRow("disk full part way") << int(FullPartWay);
#endif
    }

    void saveFails()
    {
        QFETCH(int, fault);
        const QByteArray old = "2\r\n" + Tail;
        QVERIFY(WriteAll(File(), old));
        SavedPort = 9;
        bool saved = true;
        if (fault == ReadOnlyFolder) {
            QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadUser | QFile::ExeUser | QFile::ReadGroup |
                                                             QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
#ifdef Q_OS_LINUX
            const int fsuid = setfsuid(65534);  // root's right to write anywhere goes with its file identity
#endif
            const bool writable = QFile(m_dir->filePath("probe")).open(QIODevice::WriteOnly);
            if (!writable)
                saved = m_rig->form->Save_Config();
#ifdef Q_OS_LINUX
            setfsuid(fsuid);
#endif
            if (writable)
                QSKIP("this process can write into read-only folders");
        }
#ifdef Q_OS_LINUX
        if (fault == FullPartWay) {  // the disk fills after ten bytes
            rlimit usual{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &usual), 0);
            const rlimit small{10, usual.rlim_max};
            const auto handler = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            saved = m_rig->form->Save_Config();
            setrlimit(RLIMIT_FSIZE, &usual);
            std::signal(SIGXFSZ, handler);
        }
#endif
        QVERIFY(!saved);
        QCOMPARE(m_rig->messages.shown.size(), 1);
        const auto& box = m_rig->messages.shown[0];
        QCOMPARE(box.text, QStringLiteral("Error Saving Session Config File"));
        QCOMPARE(box.title, QStringLiteral("Save Parameters"));
        QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
        QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
        QCOMPARE(ReadAll(File()), old);
        QCOMPARE(Files(), QStringList{"qz_upgrade.cfg"});
    }

    void nothingCallsThemAtStartOrExit()
    {
        QVERIFY(WriteAll(File(), "7\r\n" + Tail));
        TestRig rig;
        rig.Make(true);
        QCOMPARE(SavedPort, int16_t(0));  // not read at start
        rig.form->cmdExit_Click();
        QCOMPARE(ReadAll(File()), "7\r\n" + Tail);
        QVERIFY(!QFile::exists(QDir(AppFolder).filePath("qz_upgrade.cfg")));
    }
};

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
