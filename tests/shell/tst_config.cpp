// The session file qz_upgrade.cfg: bytes written, fields read back, and what
// a failed save leaves behind.
#include "TestRig.h"
#include "shell/ConfigFieldReader.h"
#include "shell/SessionConfigFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace qzGlobals;

namespace {

const QString FileName = QStringLiteral("qz_upgrade.cfg");

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The file as the format describes it for a given first record.
QByteArray Expected(const QByteArray& first)
{
    return first + "\r\n" + QByteArray("\"\"\r\n").repeated(10);
}

// Keeps the current directory as it was around each test.
struct CurrentDirGuard {
    QString saved = QDir::currentPath();
    ~CurrentDirGuard() { QDir::setCurrent(saved); }
};

#ifdef Q_OS_LINUX
// Root passes every permission check; for the read-only folder test the
// calling thread gives up the capabilities that allow it, and takes them back.
class WithoutFileOverride {
public:
    WithoutFileOverride()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_header.pid = 0;
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2];
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

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_changed = false;
};
#endif

}  // namespace

class TestConfig : public QObject {
    Q_OBJECT

private slots:
    void saveWritesTheElevenRecords()
    {
        CurrentDirGuard guard;
        QTemporaryDir app;
        TestRig rig;
        frmMain& form = rig.Make(false);
        AppFolder = app.path();
        SavedPort = 3;
        QVERIFY(form.Save_Config());
        const QByteArray bytes = ReadAll(app.filePath(FileName));
        QCOMPARE(bytes.size(), qsizetype(43));
        QCOMPARE(bytes, Expected("3"));
        QVERIFY(rig.messages.shown.isEmpty());
        // The program's folder is now the current one.
        QCOMPARE(QDir::current().canonicalPath(), QDir(app.path()).canonicalPath());
    }

    void saveWritesANegativePortWithItsSign()
    {
        CurrentDirGuard guard;
        QTemporaryDir app;
        TestRig rig;
        frmMain& form = rig.Make(false);
        AppFolder = app.path();
        SavedPort = -7;
        QVERIFY(form.Save_Config());
        QCOMPARE(ReadAll(app.filePath(FileName)), Expected("-7"));
    }

    void saveReplacesAnEarlierFile()
    {
        CurrentDirGuard guard;
        QTemporaryDir app;
        QVERIFY(WriteAll(app.filePath(FileName), QByteArray(500, 'x')));
        TestRig rig;
        frmMain& form = rig.Make(false);
        AppFolder = app.path();
        SavedPort = 16;
        QVERIFY(form.Save_Config());
        QCOMPARE(ReadAll(app.filePath(FileName)), Expected("16"));
        // Nothing else is left in the folder.
        QCOMPARE(QDir(app.path()).entryList(QDir::Files | QDir::Hidden), QStringList{FileName});
    }

    void roundTrip()
    {
        CurrentDirGuard guard;
        QTemporaryDir app;
        TestRig rig;
        frmMain& form = rig.Make(false);
        AppFolder = app.path();
        SavedPort = 12;
        QVERIFY(form.Save_Config());
        SavedPort = 0;
        QVERIFY(form.Load_Config());
        QCOMPARE(SavedPort, int16_t(12));
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("port");
        const QByteArray tail = QByteArray("\"\"\r\n").repeated(10);
        QTest::newRow("as written") << ("9\r\n" + tail) << true << 9;
        QTest::newRow("only the port") << QByteArray("5\r\n") << false << 0;
        QTest::newRow("only the port, no line end") << QByteArray("5") << false << 0;
        QTest::newRow("ten fields") << ("5\r\n" + QByteArray("\"\"\r\n").repeated(9)) << false << 0;
        QTest::newRow("one line, commas") << QByteArray("7,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n")
                                          << true << 7;
        QTest::newRow("one line, no line end") << QByteArray("8,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"")
                                               << true << 8;
        QTest::newRow("blanks around fields") << QByteArray(" 4 , \"\" ,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"")
                                              << true << 4;
        QTest::newRow("LF line ends") << QByteArray("6\n").append(QByteArray("\"\"\n").repeated(10)) << true << 6;
        QTest::newRow("fields after the eleventh") << ("2\r\n" + tail + "junk\r\n\"more\",99\r\n") << true << 2;
        QTest::newRow("text in the reserved fields") << QByteArray("3,a,b,c,d,e,f,g,h,i,j") << true << 3;
        QTest::newRow("not a number") << ("abc\r\n" + tail) << false << 0;
        QTest::newRow("number then letters") << ("3x\r\n" + tail) << false << 0;
        QTest::newRow("decimal point") << ("3.5\r\n" + tail) << false << 0;
        QTest::newRow("empty first field") << (",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"" + QByteArray()) << false << 0;
        QTest::newRow("quoted first field") << ("\"3\"\r\n" + tail) << false << 0;
        QTest::newRow("above 16 bits") << ("32768\r\n" + tail) << false << 0;
        QTest::newRow("far above 16 bits") << ("4294967299\r\n" + tail) << false << 0;
        QTest::newRow("below 16 bits") << ("-32769\r\n" + tail) << false << 0;
        QTest::newRow("largest") << ("32767\r\n" + tail) << true << 32767;
        QTest::newRow("smallest") << ("-32768\r\n" + tail) << true << -32768;
        QTest::newRow("empty file") << QByteArray() << false << 0;
    }

    void load()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, result);
        QFETCH(int, port);
        CurrentDirGuard guard;
        QTemporaryDir dir;
        QVERIFY(WriteAll(dir.filePath(FileName), contents));
        QVERIFY(QDir::setCurrent(dir.path()));
        TestRig rig;
        frmMain& form = rig.Make(false);
        SavedPort = 11;  // whatever was there before
        QCOMPARE(form.Load_Config(), result);
        QCOMPARE(SavedPort, int16_t(port));
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void loadWithoutAFile()
    {
        CurrentDirGuard guard;
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        TestRig rig;
        frmMain& form = rig.Make(false);
        SavedPort = 11;
        QVERIFY(!form.Load_Config());
        QCOMPARE(SavedPort, int16_t(0));
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void loadLooksInTheCurrentFolder()
    {
        CurrentDirGuard guard;
        QTemporaryDir app, other;
        QVERIFY(WriteAll(app.filePath(FileName), Expected("4")));
        QVERIFY(WriteAll(other.filePath(FileName), Expected("6")));
        QVERIFY(QDir::setCurrent(other.path()));
        TestRig rig;
        frmMain& form = rig.Make(false);
        AppFolder = app.path();
        QVERIFY(form.Load_Config());
        QCOMPARE(SavedPort, int16_t(6));
        // Saving moves to the program's folder, and loading follows it there.
        SavedPort = 4;
        QVERIFY(form.Save_Config());
        SavedPort = 0;
        QVERIFY(form.Load_Config());
        QCOMPARE(SavedPort, int16_t(4));
        QCOMPARE(ReadAll(other.filePath(FileName)), Expected("6"));
    }

    void saveWithAMissingProgramFolder()
    {
        // The file still goes to the current folder; the save reports failure.
        CurrentDirGuard guard;
        QTemporaryDir current;
        QVERIFY(QDir::setCurrent(current.path()));
        TestRig rig;
        frmMain& form = rig.Make(false);
        AppFolder = current.filePath("gone/away");
        SavedPort = 5;
        QVERIFY(!form.Save_Config());
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown[0].text, QStringLiteral("Error Saving Session Config File"));
        QCOMPARE(ReadAll(current.filePath(FileName)), Expected("5"));
    }

    void saveIntoAReadOnlyFolder()
    {
        CurrentDirGuard guard;
        QTemporaryDir app;
        const QByteArray old = Expected("2");
        QVERIFY(WriteAll(app.filePath(FileName), old));
        QVERIFY(QFile::setPermissions(app.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                      QFileDevice::ReadGroup | QFileDevice::ExeGroup));
        {
#ifdef Q_OS_LINUX
            WithoutFileOverride noOverride;
#endif
            QFile probe(app.filePath("probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.close();
                probe.remove();
                QFile::setPermissions(app.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner);
                QSKIP("this process can write into read-only folders");
            }
            TestRig rig;
            frmMain& form = rig.Make(false);
            AppFolder = app.path();
            SavedPort = 9;
            QVERIFY(!form.Save_Config());
            QCOMPARE(rig.messages.shown.size(), 1);
            const auto& box = rig.messages.shown[0];
            QCOMPARE(box.text, QStringLiteral("Error Saving Session Config File"));
            QCOMPARE(box.title, QStringLiteral("Save Parameters"));
            QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
            QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
        }
        QFile::setPermissions(app.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(ReadAll(app.filePath(FileName)), old);
    }

#ifdef Q_OS_LINUX
    void saveThatFailsPartWayKeepsTheOldFile()
    {
        // The disk fills after ten bytes: the old file must survive whole.
        CurrentDirGuard guard;
        QTemporaryDir app;
        const QByteArray old = Expected("2");
        QVERIFY(WriteAll(app.filePath(FileName), old));
        TestRig rig;
        frmMain& form = rig.Make(false);
        AppFolder = app.path();
        SavedPort = 9;

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 10;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool result = form.Save_Config();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!result);
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.shown[0].text, QStringLiteral("Error Saving Session Config File"));
        QCOMPARE(rig.messages.shown[0].title, QStringLiteral("Save Parameters"));
        QCOMPARE(ReadAll(app.filePath(FileName)), old);
        QCOMPARE(QDir(app.path()).entryList(QDir::Files | QDir::Hidden), QStringList{FileName});
    }
#endif

    void nothingCallsThemAtStartOrExit()
    {
        CurrentDirGuard guard;
        QTemporaryDir dir;
        QVERIFY(WriteAll(dir.filePath(FileName), Expected("7")));
        QVERIFY(QDir::setCurrent(dir.path()));
        TestRig rig;
        frmMain& form = rig.Make(true);
        QCOMPARE(SavedPort, int16_t(0));  // not read at start
        form.cmdExit_Click();
        QCOMPARE(ReadAll(dir.filePath(FileName)), Expected("7"));
        QVERIFY(!QFile::exists(QDir(AppFolder).filePath(FileName)));
    }

    // --- the field reader on its own ---

    void fields()
    {
        ConfigFieldReader reader(QByteArray("a, \"b,c\" ,\r\n\"\"\r\n\"open"));
        ConfigFieldReader::Field f;
        QVERIFY(reader.Next(f));
        QCOMPARE(f.text, QByteArray("a"));
        QVERIFY(!f.quoted);
        QVERIFY(reader.Next(f));
        QCOMPARE(f.text, QByteArray("b,c"));
        QVERIFY(f.quoted);
        QVERIFY(reader.Next(f));  // between the comma and the line end
        QCOMPARE(f.text, QByteArray());
        QVERIFY(!f.quoted);
        QVERIFY(reader.Next(f));
        QCOMPARE(f.text, QByteArray());
        QVERIFY(f.quoted);
        QVERIFY(reader.Next(f));  // a quote never closed runs to the end
        QCOMPARE(f.text, QByteArray("open"));
        QVERIFY(!reader.Next(f));
        QVERIFY(!reader.Next(f));
    }

    void int16Fields()
    {
        int16_t v = 99;
        QVERIFY(ConfigFieldReader::ToInt16({"+12", false}, v));
        QCOMPARE(v, int16_t(12));
        QVERIFY(ConfigFieldReader::ToInt16({"-0", false}, v));
        QCOMPARE(v, int16_t(0));
        v = 99;
        for (const char* bad : {"", "-", "+", "1 2", "0x10", "99999999999999999999"}) {
            QVERIFY2(!ConfigFieldReader::ToInt16({bad, false}, v), bad);
            QCOMPARE(v, int16_t(99));
        }
        QVERIFY(!ConfigFieldReader::ToInt16({"12", true}, v));
    }

    void formatRoundTripsEveryPort()
    {
        for (int p = -32768; p <= 32767; p += 257) {
            int16_t back = 0;
            QVERIFY(SessionConfigFormat::Read(SessionConfigFormat::Write(static_cast<int16_t>(p)), back));
            QCOMPARE(back, int16_t(p));
        }
    }
};

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
