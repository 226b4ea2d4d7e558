// The session file qz_upgrade.cfg: bytes written, fields read back, and what
// a failed save leaves behind.
#include "TestRig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <cstring>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace qzGlobals;

namespace {

const QString FileName = QStringLiteral("qz_upgrade.cfg");
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

#ifdef Q_OS_LINUX
// Root passes every permission check: for the read-only folder the calling
// thread gives up the capabilities that allow that, and takes them back after.
class WithoutFileOverride {
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_changed = false;

public:
    WithoutFileOverride()
    {
        __user_cap_data_struct reduced[2];
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        std::memcpy(reduced, m_saved, sizeof reduced);
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        m_changed = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutFileOverride()
    {
        if (m_changed)
            syscall(SYS_capset, &m_header, m_saved);
    }
};
#endif

enum SaveFault { ReadOnlyFolder, FullPartWay, MissingProgramFolder };

}  // namespace

// Every test runs in a fresh folder that is the program's folder and the
// current one, with a main window that has not loaded.
class TestConfig : public QObject {
    Q_OBJECT
    QString m_startDir = QDir::currentPath();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestRig> m_rig;

    QString File() const { return m_dir->filePath(FileName); }
    frmMain& Form() { return *m_rig->form; }

private slots:
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
        QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir::setCurrent(m_startDir);
        m_rig.reset();
        m_dir.reset();
    }

    void saveAndLoadBack_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("3: 43 bytes") << 3 << QByteArray("3\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n");
        QTest::newRow("12") << 12 << ("12\r\n" + Tail);
        QTest::newRow("negative") << -7 << ("-7\r\n" + Tail);
    }

    void saveAndLoadBack()
    {
        QFETCH(int, port);
        QVERIFY(WriteAll(File(), QByteArray(500, 'x')));  // replaced whole
        QVERIFY(QDir::setCurrent(QDir::tempPath()));  // saving moves to the program's folder
        SavedPort = int16_t(port);
        QVERIFY(Form().Save_Config());
        QTEST(ReadAll(File()), "bytes");
        QCOMPARE(QDir::current().canonicalPath(), QDir(m_dir->path()).canonicalPath());
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{FileName});
        SavedPort = 0;
        QVERIFY(Form().Load_Config());
        QCOMPARE(SavedPort, int16_t(port));
        QVERIFY(m_rig->messages.shown.isEmpty());
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("contents");  // a null array: no file
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("port");
        QTest::newRow("as written") << ("9\r\n" + Tail) << true << 9;
        QTest::newRow("only the port") << QByteArray("5") << false << 0;
        QTest::newRow("ten fields") << ("5\r\n" + QByteArray("\"\"\r\n").repeated(9)) << false << 0;
        QTest::newRow("one line, commas") << QByteArray("7,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n") << true << 7;
        QTest::newRow("blanks and text in fields") << QByteArray(" 4 , \"\" ,a,b,c,d,e,f,g,h,i") << true << 4;
        QTest::newRow("LF line ends") << QByteArray("6\n").append(QByteArray("\"\"\n").repeated(10)) << true << 6;
        QTest::newRow("more than eleven fields") << ("+2\r\n" + Tail + "junk\r\n\"more\",99\r\n") << true << 2;
        QTest::newRow("not a number") << ("abc\r\n" + Tail) << false << 0;
        QTest::newRow("number then letters") << ("3x\r\n" + Tail) << false << 0;
        QTest::newRow("quoted number") << ("\"3\"\r\n" + Tail) << false << 0;
        QTest::newRow("empty first field") << ("\r\n" + Tail) << false << 0;
        QTest::newRow("above 16 bits") << ("32768\r\n" + Tail) << false << 0;
        QTest::newRow("far above 16 bits") << ("4294967299\r\n" + Tail) << false << 0;
        QTest::newRow("below 16 bits") << ("-32769\r\n" + Tail) << false << 0;
        QTest::newRow("largest") << ("32767\r\n" + Tail) << true << 32767;
        QTest::newRow("smallest") << ("-32768\r\n" + Tail) << true << -32768;
        QTest::newRow("empty file") << QByteArray("") << false << 0;
        QTest::newRow("no file") << QByteArray() << false << 0;
    }

    void load()
    {
        QFETCH(QByteArray, contents);
        if (!contents.isNull())
            QVERIFY(WriteAll(File(), contents));
        SavedPort = 11;  // whatever was there before
        QTEST(Form().Load_Config(), "result");
        QTEST(int(SavedPort), "port");
        QVERIFY(m_rig->messages.shown.isEmpty());
    }

    void loadLooksInTheCurrentFolder()
    {
        QTemporaryDir other;
        QVERIFY(WriteAll(File(), "4\r\n" + Tail));
        QVERIFY(WriteAll(other.filePath(FileName), "6\r\n" + Tail));
        QVERIFY(QDir::setCurrent(other.path()));
        QVERIFY(Form().Load_Config());
        QCOMPARE(SavedPort, int16_t(6));
    }

    void saveFails_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("read-only folder") << int(ReadOnlyFolder);
#ifdef Q_OS_LINUX
        QTest::newRow("disk full part way") << int(FullPartWay);
#endif
        // The file still goes to the current folder, but the save has failed.
        QTest::newRow("missing program folder") << int(MissingProgramFolder);
    }

    void saveFails()
    {
        QFETCH(int, fault);
        const QByteArray old = "2\r\n" + Tail;
        QVERIFY(WriteAll(File(), old));
        SavedPort = 9;
        bool saved = true;
        if (fault == ReadOnlyFolder) {
            QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
#ifdef Q_OS_LINUX
            WithoutFileOverride noOverride;
#endif
            if (QFile probe(m_dir->filePath("probe")); probe.open(QIODevice::WriteOnly))
                QSKIP("this process can write into read-only folders");
            saved = Form().Save_Config();
        } else if (fault == MissingProgramFolder) {
            AppFolder = m_dir->filePath("gone/away");
            saved = Form().Save_Config();
        }
#ifdef Q_OS_LINUX
        if (fault == FullPartWay) {  // the disk fills after ten bytes
            rlimit limit{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
            const rlimit usual = limit;
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            limit.rlim_cur = 10;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
            saved = Form().Save_Config();
            setrlimit(RLIMIT_FSIZE, &usual);
            std::signal(SIGXFSZ, oldHandler);
        }
#endif
        QVERIFY(!saved);
        QCOMPARE(m_rig->messages.shown.size(), 1);
        const auto& box = m_rig->messages.shown[0];
        QCOMPARE(box.text, QStringLiteral("Error Saving Session Config File"));
        QCOMPARE(box.title, QStringLiteral("Save Parameters"));
        QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
        QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
        QCOMPARE(ReadAll(File()), fault == MissingProgramFolder ? "9\r\n" + Tail : old);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{FileName});
    }

    void nothingCallsThemAtStartOrExit()
    {
        QVERIFY(WriteAll(File(), "7\r\n" + Tail));
        TestRig rig;
        rig.Make(true);
        QCOMPARE(SavedPort, int16_t(0));  // not read at start
        rig.form->cmdExit_Click();
        QCOMPARE(ReadAll(File()), "7\r\n" + Tail);
        QVERIFY(!QFile::exists(QDir(AppFolder).filePath(FileName)));
    }
};

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
