// The USB device information window, opened from the main window's (hidden)
// menu entry, with a stand-in for the vendor's library loaded at run time.
#include "TestRig.h"
#include "devinfo/Clipboard.h"
#include "devinfo/RuntimeChipIdLibrary.h"
#include "fake_ftchipid.h"
#include <QApplication>
#include <QListWidget>
#include <QtTest>

using Adapters = QList<FakeAdapter>;
Q_DECLARE_METATYPE(Adapters)

class TestDevInfo : public QObject, Clipboard {
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
    void lists_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<int>("countStatus");
        QTest::addColumn<Adapters>("adapters");
        QTest::addColumn<QStringList>("lines");
        const QString lib = FAKE_FTCHIPID_PATH, two = "Number of Devices = 2";
        const QString no = ": USB device information is unavailable";
        const QByteArray full = QByteArray(qzChipID::DescriptionBufferSize, 'Q');
        const Adapters one{{0, "Ad", 0, 77}};
        QTest::newRow("no adapter") << lib << 0 << Adapters{} << QStringList{"Number of Devices = 0"};
        QTest::newRow("two adapters") << lib << 0 << Adapters{{0, "A 1", 0, 305419896}, {0, "B \xC4", 0, 1}}
            << QStringList{two, "Description = A 1", "Chip ID = 305419896", "Description = B \u00C4", "Chip ID = 1"};
        QTest::newRow("failed count") << lib << 4 << Adapters{} << QStringList{"FTID_GetNumDevs failed status = 4"};
        QTest::newRow("failed description") << lib << 0 << Adapters{{18, "unseen", 0, 11}, {0, "B", 0, 22}}
            << QStringList{two, "FTID_GetDeviceDescription failed status = 18", "Chip ID = 11", "Description = B",
                           "Chip ID = 22"};
        QTest::newRow("failed chip ID") << lib << 0 << Adapters{{0, "A", 0, 5150}, {0, "B", 7, 99}}
            << QStringList{two, "Description = A", "Chip ID = 5150", "Description = B",
                           "FTID_GetDeviceChipID failed status = 7"};
        QTest::newRow("top-bit chip ID") << lib << 0 << Adapters{{0, "Ad", 0, int32_t(2147483649u)}}
            << QStringList{"Number of Devices = 1", "Description = Ad", "Chip ID = -2147483647"};
        // After a chip ID without zero bytes ("QQQQ"), so that reading past the buffer shows.
        QTest::newRow("unterminated description") << lib << 0 << Adapters{{0, "A", 0, 0x51515151}, {0, full, 0, 42}}
            << QStringList{two, "Description = A", "Chip ID = 1364283729", "Description = " + QString::fromLatin1(full),
                           "Chip ID = 42"};
        QTest::newRow("missing library") << "/nonexistent/libftchipid.so" << 0 << one
                                         << QStringList{"FTChipID library not found" + no};
        QTest::newRow("missing function") << QStringLiteral(FAKE_FTCHIPID_NOCHIP_PATH) << 0 << one
                                          << QStringList{"FTChipID library has no FTID_GetDeviceChipID" + no};
    }
    void lists()  // shown twice: every showing is a new window that asks the library afresh
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

QTEST_MAIN(TestDevInfo)
#include "tst_devinfo.moc"
