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
        m_rig = std::make_unique<TestRig>();
        m_rig->Make(false);
        AppFolder = m_app.path();
    }
    void saveAndLoadBack()  // saving moves to the program's folder
    {
        SavedPort = 3;
        QVERIFY(m_rig->form->Save_Config());
        QCOMPARE(Read(File(m_app)), QByteArray("3\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n"));
        SavedPort = 0;
        QVERIFY(m_rig->form->Load_Config());
        QCOMPARE(SavedPort, int16_t(3));
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
    void saveIntoReadOnlyFolderFails()
    {
        QFile::setPermissions(m_app.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        const int fsuid = setfsuid(65534);  // as root, the right to write anywhere goes with the file identity
        const bool saved = m_rig->form->Save_Config();
        setfsuid(fsuid);
        QFile::setPermissions(m_app.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(m_rig->messages.shown.size(), 1);
        QCOMPARE(m_rig->messages.shown[0].text, QStringLiteral("Error Saving Session Config File"));
        QCOMPARE(Read(File(m_app)), Saved);
    }
};

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
