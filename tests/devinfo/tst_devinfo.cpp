// The USB device information window, opened through the main window's
// handler, against a stand-in for the vendor's library loaded at run time
// exactly as the program loads the real one.
#include "../about/ModalWatch.h"
#include "TestRig.h"
#include "devinfo/Clipboard.h"
#include "devinfo/RuntimeChipIdLibrary.h"
#include "devinfo/frmDevInfo.h"

#include <QListWidget>
#include <QtTest>

// The stand-in's scripting side, linked in; the window reaches its three
// functions through the run-time loader.
extern "C" Q_DECL_IMPORT void FakeChipId_Start(int32_t status, int32_t count);
extern "C" Q_DECL_IMPORT void FakeChipId_Device(int32_t index, int32_t descStatus, const char* desc, int32_t descBytes,
                                                int32_t chipStatus, int32_t chipId);

struct Adapter {
    int descStatus;
    QByteArray desc;
    int chipStatus, chipId;
};
Q_DECLARE_METATYPE(Adapter)
using Adapters = QList<Adapter>;

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
    void Script(int countStatus, int count, const Adapters& adapters)
    {
        FakeChipId_Start(countStatus, count);  // a negative count is left unwritten
        for (int i = 0; i < adapters.size(); ++i) {
            const Adapter& a = adapters[i];
            FakeChipId_Device(i, a.descStatus, a.desc.constData(), int32_t(a.desc.size()), a.chipStatus, a.chipId);
        }
    }

    // Opens the window through the main window's handler, `between` running
    // before each opening after the first; the list of each showing.
    QList<QStringList> Open(const QString& library, FakeClipboard& clip,
                            const QList<std::function<void()>>& between = {})
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
    void lists_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<int>("countStatus");
        QTest::addColumn<int>("count");
        QTest::addColumn<Adapters>("adapters");
        QTest::addColumn<QStringList>("lines");
        QByteArray full(qzChipID::DescriptionBufferSize, 'x');  // fills the buffer: no NUL
        for (int i = 0; i < full.size(); ++i)
            full[i] = char('A' + i % 26);
        const QString two = "Number of Devices = 2", unavailable = ": USB device information is unavailable";
        const Adapters one{{0, "Ad", 0, 77}};

        QTest::newRow("no adapter") << FakeLibrary << 0 << 0 << one << QStringList{"Number of Devices = 0"};
        // One character per byte of a description.
        QTest::newRow("two adapters")
            << FakeLibrary << 0 << 2 << Adapters{{0, "A 1", 0, 305419896}, {0, "B \xC4", 0, 1}}
            << QStringList{two, "Description = A 1", "Chip ID = 305419896", "Description = B \u00C4", "Chip ID = 1"};
        QTest::newRow("failed count") << FakeLibrary << 4 << -1 << one
                                      << QStringList{"FTID_GetNumDevs failed status = 4"};
        QTest::newRow("failed count still counts")
            << FakeLibrary << -3 << 1 << one
            << QStringList{"FTID_GetNumDevs failed status = -3", "Description = Ad", "Chip ID = 77"};
        QTest::newRow("failed description")
            << FakeLibrary << 0 << 2 << Adapters{{18, "unseen", 0, 11}, {0, "B", 0, 22}}
            << QStringList{two, "FTID_GetDeviceDescription failed status = 18", "Chip ID = 11", "Description = B",
                           "Chip ID = 22"};
        QTest::newRow("failed chip ID")
            << FakeLibrary << 0 << 2 << Adapters{{0, "A", 0, 5150}, {0, "B", 7, 99}}
            << QStringList{two, "Description = A", "Chip ID = 5150", "Description = B",
                           "FTID_GetDeviceChipID failed status = 7"};
        QTest::newRow("top-bit chip ID")
            << FakeLibrary << 0 << 1 << Adapters{{0, "Ad", 0, int32_t(2147483649u)}}
            << QStringList{"Number of Devices = 1", "Description = Ad", "Chip ID = -2147483647"};
        // Second, after a chip ID without zero bytes ("QQQQ"), so that reading past the buffer shows.
        QTest::newRow("unterminated description")
            << FakeLibrary << 0 << 2 << Adapters{{0, "A", 0, 0x51515151}, {0, full, 0, 42}}
            << QStringList{two, "Description = A", "Chip ID = 1364283729", "Description = " + QString::fromLatin1(full),
                           "Chip ID = 42"};
        QTest::newRow("missing library") << QStringLiteral(FAKE_FTCHIPID_DIR "/no-such-library") << 0 << 1 << one
                                         << QStringList{"FTChipID library not found" + unavailable};
        QTest::newRow("missing function") << QStringLiteral(FAKE_FTCHIPID_NOCHIP_PATH) << 0 << 1 << one
                                          << QStringList{"FTChipID library has no FTID_GetDeviceChipID" + unavailable};
    }

    void lists()
    {
        QFETCH(QString, library);
        QFETCH(int, countStatus);
        QFETCH(int, count);
        QFETCH(Adapters, adapters);
        QFETCH(QStringList, lines);
        Script(countStatus, count, adapters);
        FakeClipboard clip;
        QCOMPARE(Open(library, clip), QList<QStringList>{lines});
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
};

QTEST_MAIN(TestDevInfo)
#include "tst_devinfo.moc"
