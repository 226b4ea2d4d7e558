// The USB device information window, opened through the main window's
// handler, against a stand-in for the vendor's library loaded at run time
// exactly as the program loads the real one.
#include "../about/ModalWatch.h"
#include "TestRig.h"
#include "devinfo/Clipboard.h"
#include "devinfo/RuntimeChipIdLibrary.h"
#include "devinfo/frmDevInfo.h"

#include <QLibrary>
#include <QListWidget>
#include <QtTest>

struct Adapter {
    int descStatus;
    QByteArray desc;
    int chipStatus, chipId;
};
Q_DECLARE_METATYPE(Adapter)

namespace {

// Remembers what was done to it, in order: "clear" and "set:<text>".
struct FakeClipboard final : Clipboard {
    QStringList log;
    void Clear() override { log << QStringLiteral("clear"); }
    void SetText(const QString& t) override { log << "set:" + t; }
};

const QString FakeLibrary = QStringLiteral(FAKE_FTCHIPID_PATH);

}  // namespace

class TestDevInfo : public QObject {
    Q_OBJECT
    QLibrary m_fake{FakeLibrary};
    void (*m_start)(int32_t, int32_t) = nullptr;
    void (*m_device)(int32_t, int32_t, const char*, int32_t, int32_t, int32_t) = nullptr;
    const char* (*m_callLog)() = nullptr;

    void Script(int countStatus, int count, const QList<Adapter>& adapters)
    {
        m_start(countStatus, count);  // a negative count is left unwritten
        for (int i = 0; i < adapters.size(); ++i) {
            const Adapter& a = adapters[i];
            m_device(i, a.descStatus, a.desc.constData(), int32_t(a.desc.size()), a.chipStatus, a.chipId);
        }
    }

    // Opens the window through the main window's handler, `between` running
    // before each opening after the first; the list of each showing.
    QList<QStringList> Open(const QString& library, FakeClipboard& clip, const QList<std::function<void()>>& between = {})
    {
        RuntimeChipIdLibrary lib({library});
        TestRig rig;
        rig.platform.chipId = &lib;
        rig.platform.clipboard = &clip;
        rig.Make();
        QList<QStringList> shown;
        for (int i = 0; i <= between.size(); ++i) {
            if (i > 0)
                between[i - 1]();
            QStringList lines;
            ModalWatch watch([&](QDialog* d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("USB Device Info"));
                QCOMPARE(d->parentWidget(), static_cast<QWidget*>(rig.form.get()));
                const auto* list = d->findChild<QListWidget*>("LoggerList");
                for (int row = 0; list && row < list->count(); ++row)
                    lines << list->item(row)->text();
            });
            rig.form->mnuDeviceInfo_Click();
            shown << lines;
        }
        return shown;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_fake.load(), qPrintable(m_fake.errorString()));
        m_start = reinterpret_cast<decltype(m_start)>(m_fake.resolve("FakeChipId_Start"));
        m_device = reinterpret_cast<decltype(m_device)>(m_fake.resolve("FakeChipId_Device"));
        m_callLog = reinterpret_cast<decltype(m_callLog)>(m_fake.resolve("FakeChipId_CallLog"));
        QVERIFY(m_start && m_device && m_callLog);
    }

    void lists_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<int>("countStatus");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<Adapter>>("adapters");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("calls");
        QByteArray full(qzChipID::DescriptionBufferSize, 'x');  // no room for a NUL
        for (int i = 0; i < full.size(); ++i)
            full[i] = char('A' + i % 26);
        const QString both = "N;D0:256;C0;D1:256;C1;", unavailable = ": USB device information is unavailable";
        const QList<Adapter> one{{0, "A", 0, 1}};

        QTest::newRow("no adapter") << FakeLibrary << 0 << 0 << QList<Adapter>{} << QStringList{"Number of Devices = 0"}
                                    << "N;";
        // One character per byte of a description.
        QTest::newRow("two adapters")
            << FakeLibrary << 0 << 2 << QList<Adapter>{{0, "USB Serial A", 0, 305419896}, {0, "Bench \xC4", 0, 11223344}}
            << QStringList{"Number of Devices = 2", "Description = USB Serial A", "Chip ID = 305419896",
                           "Description = Bench \u00C4", "Chip ID = 11223344"} << both;
        QTest::newRow("failed count") << FakeLibrary << 4 << -1 << one
                                      << QStringList{"FTID_GetNumDevs failed status = 4"} << "N;";
        QTest::newRow("failed count still counts") << FakeLibrary << -3 << 1 << QList<Adapter>{{0, "Ad", 0, 77}}
            << QStringList{"FTID_GetNumDevs failed status = -3", "Description = Ad", "Chip ID = 77"} << "N;D0:256;C0;";
        QTest::newRow("failed description")
            << FakeLibrary << 0 << 2 << QList<Adapter>{{18, "unseen", 0, 11}, {0, "Second", 0, 22}}
            << QStringList{"Number of Devices = 2", "FTID_GetDeviceDescription failed status = 18", "Chip ID = 11",
                           "Description = Second", "Chip ID = 22"} << both;
        QTest::newRow("failed chip ID") << FakeLibrary << 0 << 2 << QList<Adapter>{{0, "First", 0, 5150}, {0, "2nd", 7, 99}}
            << QStringList{"Number of Devices = 2", "Description = First", "Chip ID = 5150", "Description = 2nd",
                           "FTID_GetDeviceChipID failed status = 7"} << both;
        QTest::newRow("top-bit chip ID") << FakeLibrary << 0 << 1 << QList<Adapter>{{0, "Ad", 0, int32_t(2147483649u)}}
            << QStringList{"Number of Devices = 1", "Description = Ad", "Chip ID = -2147483647"} << "N;D0:256;C0;";
        QTest::newRow("unterminated description") << FakeLibrary << 0 << 1 << QList<Adapter>{{0, full, 0, 42}}
            << QStringList{"Number of Devices = 1", "Description = " + QString::fromLatin1(full), "Chip ID = 42"}
            << "N;D0:256;C0;";
        QTest::newRow("missing library") << QStringLiteral(FAKE_FTCHIPID_DIR "/no-such-library") << 0 << 1 << one
                                         << QStringList{"FTChipID library not found" + unavailable} << "";
        QTest::newRow("missing function") << QStringLiteral(FAKE_FTCHIPID_NOCHIP_PATH) << 0 << 1 << one
            << QStringList{"FTChipID library has no FTID_GetDeviceChipID" + unavailable} << "";
    }

    void lists()
    {
        QFETCH(QString, library);
        QFETCH(int, countStatus);
        QFETCH(int, count);
        QFETCH(QList<Adapter>, adapters);
        QFETCH(QStringList, lines);
        Script(countStatus, count, adapters);
        FakeClipboard clip;
        QCOMPARE(Open(library, clip), QList<QStringList>{lines});
        QTEST(QString::fromLatin1(m_callLog()), "calls");
        // Every chip ID listed, and only those, went to the clipboard in turn.
        QStringList clipboard;
        for (const QString& line : lines.filter("Chip ID = "))
            clipboard << "clear" << "set:" + line.mid(10);
        QCOMPARE(clip.log, clipboard);
    }

    void reopeningListsEverythingAgain()
    {
        // Between showings the adapter's identifier changes: the second window
        // starts from an empty list and asks again.
        Script(0, 1, {{0, "Ad", 0, 1234}});
        FakeClipboard clip;
        QCOMPARE(Open(FakeLibrary, clip, {[&] { Script(0, 1, {{0, "Ad", 0, 5678}}); }}),
                 (QList<QStringList>{{"Number of Devices = 1", "Description = Ad", "Chip ID = 1234"},
                                     {"Number of Devices = 1", "Description = Ad", "Chip ID = 5678"}}));
        QCOMPARE(clip.log, (QStringList{"clear", "set:1234", "clear", "set:5678"}));
    }

    void usualNamesLookBesideTheProgram()
    {
        Script(0, 3, {});  // built as "ftchipid" next to this test program
        RuntimeChipIdLibrary lib;
        QString problem;
        QVERIFY2(lib.Load(problem), qPrintable(problem));
        int32_t n = -1;
        QVERIFY(lib.FTID_GetNumDevices(&n) == 0 && n == 3);
    }
};

QTEST_MAIN(TestDevInfo)
#include "tst_devinfo.moc"
