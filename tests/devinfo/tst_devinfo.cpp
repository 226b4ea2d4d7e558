// The USB device information window against a stand-in for the vendor's
// library, loaded at run time exactly as the program loads the real one.
#include "../about/ModalWatch.h"
#include "FakeClipboard.h"
#include "TestRig.h"
#include "devinfo/RuntimeChipIdLibrary.h"
#include "devinfo/SystemClipboard.h"
#include "devinfo/frmDevInfo.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLibrary>
#include <QListWidget>
#include <QMenu>
#include <QtTest>
#include <functional>

namespace {

using ResetFn = void (*)();
using SetCountFn = void (*)(int32_t, int32_t, int32_t);
using SetDeviceFn = void (*)(int32_t, int32_t, const char*, int32_t, int32_t, int32_t);
using CallLogFn = const char* (*)();

QStringList Lines(const QListWidget* list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

}  // namespace

class TestDevInfo : public QObject {
    Q_OBJECT

    QLibrary m_script{QStringLiteral(FAKE_FTCHIPID_PATH)};
    ResetFn m_reset = nullptr;
    SetCountFn m_setCount = nullptr;
    SetDeviceFn m_setDevice = nullptr;
    CallLogFn m_callLog = nullptr;

    void SetDevice(int32_t index, int32_t descStatus, const QByteArray& desc, int32_t chipStatus, int32_t chipId)
    {
        m_setDevice(index, descStatus, desc.constData(), static_cast<int32_t>(desc.size()), chipStatus, chipId);
    }

    struct Opened {
        QStringList lines;
        QString title;
        bool modal = false;
        bool parentIsMain = false;
        int seen = 0;
    };

    // Opens the window through the main window's handler and reads it while
    // it is up; `between` runs before each opening after the first.
    QList<Opened> Open(const QString& library, FakeClipboard& clip, int times = 1,
                       const std::function<void()>& between = {})
    {
        RuntimeChipIdLibrary lib({library});
        TestRig rig;
        rig.platform.chipId = &lib;
        rig.platform.clipboard = &clip;
        rig.Make();
        QList<Opened> all;
        for (int i = 0; i < times; ++i) {
            if (i > 0 && between)
                between();
            Opened o;
            ModalWatch watch([&](QDialog* d) {
                if (auto* list = d->findChild<QListWidget*>("LoggerList"))
                    o.lines = Lines(list);
                o.title = d->windowTitle();
                o.modal = d->isModal();
                o.parentIsMain = d->parentWidget() == rig.form.get();
            });
            rig.form->mnuDeviceInfo_Click();
            o.seen = watch.seen;
            all << o;
        }
        return all;
    }

    Opened OpenFake(FakeClipboard& clip) { return Open(QStringLiteral(FAKE_FTCHIPID_PATH), clip).first(); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_script.load(), qPrintable(m_script.errorString()));
        m_reset = reinterpret_cast<ResetFn>(m_script.resolve("FakeChipId_Reset"));
        m_setCount = reinterpret_cast<SetCountFn>(m_script.resolve("FakeChipId_SetCount"));
        m_setDevice = reinterpret_cast<SetDeviceFn>(m_script.resolve("FakeChipId_SetDevice"));
        m_callLog = reinterpret_cast<CallLogFn>(m_script.resolve("FakeChipId_CallLog"));
        QVERIFY(m_reset && m_setCount && m_setDevice && m_callLog);
    }

    void init() { m_reset(); }

    void noAdapter()
    {
        m_setCount(0, 0, 1);
        FakeClipboard clip;
        const Opened o = OpenFake(clip);
        QCOMPARE(o.seen, 1);
        QCOMPARE(o.title, QStringLiteral("USB Device Info"));
        QVERIFY(o.modal);
        QVERIFY(o.parentIsMain);
        QCOMPARE(o.lines, QStringList{"Number of Devices = 0"});
        QVERIFY(clip.log.isEmpty());
        QCOMPARE(QString::fromLatin1(m_callLog()), QStringLiteral("N;"));
    }

    void twoAdapters()
    {
        m_setCount(0, 2, 1);
        SetDevice(0, 0, "USB Serial Converter A", 0, 305419896);
        SetDevice(1, 0, "Bench Adapter B", 0, 1122334455);
        FakeClipboard clip;
        const Opened o = OpenFake(clip);
        QCOMPARE(o.lines, (QStringList{"Number of Devices = 2", "Description = USB Serial Converter A",
                                       "Chip ID = 305419896", "Description = Bench Adapter B",
                                       "Chip ID = 1122334455"}));
        QCOMPARE(clip.log, (QStringList{"clear", "set:305419896", "clear", "set:1122334455"}));
        QCOMPARE(clip.text, QStringLiteral("1122334455"));
        // Each function called as declared: the index counts from 0 and the
        // description buffer is offered with its size, 256.
        QCOMPARE(QString::fromLatin1(m_callLog()), QStringLiteral("N;D0:256;C0;D1:256;C1;"));
    }

    void failedCount()
    {
        m_setCount(4, 0, 0);
        FakeClipboard clip;
        const Opened o = OpenFake(clip);
        QCOMPARE(o.lines, QStringList{"FTID_GetNumDevs failed status = 4"});
        QVERIFY(clip.log.isEmpty());
    }

    void failedCountStillListsWhatItCounted()
    {
        // The loop follows the count alone, even after a failed query.
        m_setCount(-3, 1, 1);
        SetDevice(0, 0, "Adapter", 0, 77);
        FakeClipboard clip;
        const Opened o = OpenFake(clip);
        QCOMPARE(o.lines, (QStringList{"FTID_GetNumDevs failed status = -3", "Description = Adapter", "Chip ID = 77"}));
    }

    void failedDescription()
    {
        m_setCount(0, 2, 1);
        SetDevice(0, 18, "never shown", 0, 11);
        SetDevice(1, 0, "Second", 0, 22);
        FakeClipboard clip;
        const Opened o = OpenFake(clip);
        QCOMPARE(o.lines, (QStringList{"Number of Devices = 2", "FTID_GetDeviceDescription failed status = 18",
                                       "Chip ID = 11", "Description = Second", "Chip ID = 22"}));
        QCOMPARE(clip.text, QStringLiteral("22"));
    }

    void failedChipIdAddsALineAndLeavesTheClipboard()
    {
        m_setCount(0, 2, 1);
        SetDevice(0, 0, "First", 0, 5150);
        SetDevice(1, 0, "Second", 7, 9999);
        FakeClipboard clip;
        const Opened o = OpenFake(clip);
        QCOMPARE(o.lines, (QStringList{"Number of Devices = 2", "Description = First", "Chip ID = 5150",
                                       "Description = Second", "FTID_GetDeviceChipID failed status = 7"}));
        QCOMPARE(clip.log, (QStringList{"clear", "set:5150"}));
        QCOMPARE(clip.text, QStringLiteral("5150"));
    }

    void topBitChipIdIsNegative()
    {
        m_setCount(0, 1, 1);
        SetDevice(0, 0, "Adapter", 0, static_cast<int32_t>(0x80000001u));
        FakeClipboard clip;
        const Opened o = OpenFake(clip);
        QCOMPARE(o.lines.value(2), QStringLiteral("Chip ID = -2147483647"));
        QCOMPARE(clip.text, QStringLiteral("-2147483647"));
    }

    void unterminatedDescriptionStopsAtTheBuffer()
    {
        // The library fills all 256 bytes and leaves no NUL.
        QByteArray full(qzChipID::DescriptionBufferSize, '\0');
        for (int i = 0; i < full.size(); ++i)
            full[i] = static_cast<char>('A' + i % 26);
        m_setCount(0, 1, 1);
        SetDevice(0, 0, full, 0, 42);
        FakeClipboard clip;
        const Opened o = OpenFake(clip);
        QCOMPARE(o.lines.size(), 3);
        QCOMPARE(o.lines.at(1), "Description = " + QString::fromLatin1(full));
        QCOMPARE(o.lines.at(2), QStringLiteral("Chip ID = 42"));
    }

    void shorterDescriptionAfterALongerOne()
    {
        m_setCount(0, 2, 1);
        SetDevice(0, 0, "A long first description", 0, 1);
        SetDevice(1, 0, "Short", 0, 2);
        FakeClipboard clip;
        const Opened o = OpenFake(clip);
        QCOMPARE(o.lines.value(3), QStringLiteral("Description = Short"));
    }

    void missingLibrary()
    {
        FakeClipboard clip;
        const Opened o = Open(QStringLiteral(FAKE_FTCHIPID_DIR "/no-such-chip-library"), clip).first();
        QCOMPARE(o.seen, 1);
        QCOMPARE(o.lines.size(), 1);
        QVERIFY2(o.lines.first().contains("FTChipID") && o.lines.first().contains("not found"),
                 qPrintable(o.lines.first()));
        QVERIFY(clip.log.isEmpty());
        // Nothing was called in the stand-in either.
        QCOMPARE(QString::fromLatin1(m_callLog()), QString());
    }

    void missingFunction()
    {
        FakeClipboard clip;
        const Opened o = Open(QStringLiteral(FAKE_FTCHIPID_NOCHIP_PATH), clip).first();
        QCOMPARE(o.lines.size(), 1);
        QVERIFY2(o.lines.first().contains("FTID_GetDeviceChipID"), qPrintable(o.lines.first()));
        QVERIFY(clip.log.isEmpty());
    }

    void usualNamesFindTheLibraryBesideTheProgram()
    {
        // The stand-in is built as "ftchipid" next to this test program.
        m_setCount(0, 1, 1);
        SetDevice(0, 0, "Found by name", 0, 3);
        RuntimeChipIdLibrary lib;
        QString problem;
        QVERIFY2(lib.Load(problem), qPrintable(problem));
        int32_t n = -1;
        QCOMPARE(lib.FTID_GetNumDevices(&n), 0);
        QCOMPARE(n, 1);
    }

    void reopeningListsEverythingAgain()
    {
        m_setCount(0, 1, 1);
        SetDevice(0, 0, "Adapter", 0, 1234);
        FakeClipboard clip;
        // Between showings the adapter's identifier changes: the second
        // window must ask again rather than show what it saw before.
        const QList<Opened> o = Open(QStringLiteral(FAKE_FTCHIPID_PATH), clip, 2,
                                     [&] { SetDevice(0, 0, "Adapter", 0, 5678); });
        QCOMPARE(o[0].lines, (QStringList{"Number of Devices = 1", "Description = Adapter", "Chip ID = 1234"}));
        QCOMPARE(o[1].lines, (QStringList{"Number of Devices = 1", "Description = Adapter", "Chip ID = 5678"}));
        QCOMPARE(QString::fromLatin1(m_callLog()), QStringLiteral("N;D0:256;C0;N;D0:256;C0;"));
        QCOMPARE(clip.text, QStringLiteral("5678"));
    }

    void windowDesign()
    {
        m_setCount(0, 0, 1);
        RuntimeChipIdLibrary lib({QStringLiteral(FAKE_FTCHIPID_PATH)});
        FakeClipboard clip;
        TestRig rig;
        rig.platform.chipId = &lib;
        rig.platform.clipboard = &clip;
        rig.Make();
        frmDevInfo info(rig.platform, rig.form.get());
        QCOMPARE(info.width(), 319);   // 4785 twips
        QCOMPARE(info.height(), 195);  // 2925 twips
        QCOMPARE(info.LoggerList->geometry(), QRect(8, 4, 305, 184));
        QCOMPARE(info.LoggerList->font().pointSizeF(), 12.0);
        QVERIFY(!info.LoggerList->font().bold());
        QVERIFY(!info.LoggerList->isSortingEnabled());
        // Nothing is queried until the window loads.
        QCOMPARE(info.LoggerList->count(), 0);
        QCOMPARE(QString::fromLatin1(m_callLog()), QString());
        // The menu entry stays out of reach.
        QVERIFY(!rig.form->mnuTools->menuAction()->isVisible());
    }

    void systemClipboardIsClearedAndSet()
    {
        SystemClipboard clip;
        clip.SetText(QStringLiteral("-2147483647"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("-2147483647"));
        clip.Clear();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    }
};

QTEST_MAIN(TestDevInfo)
#include "tst_devinfo.moc"
