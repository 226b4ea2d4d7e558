// The session file qz_upgrade.cfg: bytes written, read back, and kept when a save fails.
#include "TestRig.h"
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#ifdef Q_OS_LINUX
#include <sys/fsuid.h>
#else
static int setfsuid(int) { return 0; }
#endif

using namespace qzGlobals;
static const QByteArray Tail = QByteArray("\"\"\r\n").repeated(10);  // the ten reserved records
static const QByteArray Saved = "4\r\n" + Tail;                     // in the program's folder

class TestConfig : public QObject {
    Q_OBJECT
    QTemporaryDir m_app, m_current;  // the program's folder, and another one made current
    std::unique_ptr<TestRig> m_rig;
    static QString File(const QTemporaryDir& dir) { return dir.filePath("qz_upgrade.cfg"); }
    static QByteArray Read(const QString& path) { QFile f(path); return f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>"; }
    static bool Write(const QString& path, const QByteArray& b) { QFile f(path); return f.open(QIODevice::WriteOnly) && f.write(b) == b.size(); }
private slots:
    void init()
    {
        QVERIFY(Write(File(m_app), Saved) && QDir::setCurrent(m_current.path()));
        QFile::remove(File(m_current));
        m_rig = std::make_unique<TestRig>();
        m_rig->Make(false);
        AppFolder = m_app.path();
    }
    void cleanup() { m_rig.reset(); }  // a message box still expected fails the test it belongs to
    void saveAndLoadBack()  // saving moves to the program's folder
    {
        SavedPort = 12;
        QVERIFY(m_rig->form->Save_Config());
        QCOMPARE(Read(File(m_app)), QByteArray("12\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n"));
        SavedPort = 0;
        QVERIFY(m_rig->form->Load_Config());
        QCOMPARE(SavedPort, int16_t(12));
    }
    void loadFromTheCurrentFolder_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("port");
        QTest::newRow("only the port") << QByteArray("5") << false << 0;
        QTest::newRow("one line") << QByteArray("7,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"") << true << 7;
        QTest::newRow("more than eleven fields") << ("+2\r\n" + Tail + "junk\r\n\"more\",99\r\n") << true << 2;
        QTest::newRow("not a number") << ("3x\r\n" + Tail) << false << 0;
        QTest::newRow("above 16 bits") << ("32768\r\n" + Tail) << false << 0;
    }
    void loadFromTheCurrentFolder()
    {
        QFETCH(QByteArray, contents);
        QVERIFY(Write(File(m_current), contents));
        SavedPort = 11;
        QTEST(m_rig->form->Load_Config(), "result");
        QTEST(int(SavedPort), "port");
    }
    void saveFails_data()
    {
        QTest::addColumn<bool>("folderGone");  // else: the program's folder is read-only
        QTest::newRow("read-only folder") << false;
        QTest::newRow("folder gone: written where we are") << true;
    }
    void saveFails()
    {
        QFETCH(bool, folderGone);
        m_rig->messages.Expect({"Error Saving Session Config File", "Save Parameters"});
        SavedPort = 9;
        AppFolder = folderGone ? m_app.filePath("gone") : m_app.path();
        QFile::setPermissions(m_app.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        const int fsuid = folderGone ? 0 : setfsuid(65534);  // as root, the right to write anywhere goes with the file identity
        const bool saved = m_rig->form->Save_Config();
        if (!folderGone)
            setfsuid(fsuid);
        QFile::setPermissions(m_app.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(Read(File(m_app)), Saved);
        QCOMPARE(Read(File(m_current)), folderGone ? "9\r\n" + Tail : QByteArray("<unreadable>"));
    }
};

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
