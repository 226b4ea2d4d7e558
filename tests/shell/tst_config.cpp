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
    static QByteArray Read(const QString& p) { QFile f(p); return f.open(QFile::ReadOnly) ? f.readAll() : "none"; }
    static bool Write(const QString& p, const QByteArray& b)
    {
        QFile f(p);
        return f.open(QFile::WriteOnly) && f.write(b) == b.size();
    }
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
    void save_data()
    {
        QTest::addColumn<int>("folder");  // the program's folder: 0 writable, 1 read-only, 2 gone
        QTest::newRow("saved in the program's folder") << 0;
        QTest::newRow("read-only folder: the old file kept") << 1;
        QTest::newRow("folder gone: written where we are") << 2;
    }
    void save()
    {
        QFETCH(int, folder);
        if (folder != 0)
            m_rig->messages.Expect({"Error Saving Session Config File", "Save Parameters"});
        SavedPort = 12;
        AppFolder = folder == 2 ? m_app.filePath("gone") : m_app.path();
        if (folder == 1)
            QFile::setPermissions(m_app.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ExeOther);
        const int fsuid = folder == 1 ? setfsuid(65534) : 0;  // as root, write rights go with the file user
        const bool saved = m_rig->form->Save_Config();
        if (folder == 1)
            setfsuid(fsuid);
        QFile::setPermissions(m_app.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(saved, folder == 0);
        QCOMPARE(Read(File(m_app)), folder == 0 ? "12\r\n" + Tail : Saved);
        QCOMPARE(Read(File(m_current)), folder == 2 ? "12\r\n" + Tail : QByteArray("none"));
        SavedPort = 0;  // read back from where it was written
        QVERIFY(folder == 1 || (m_rig->form->Load_Config() && SavedPort == 12));
    }
};

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
