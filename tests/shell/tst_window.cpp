// The main window as a technician first sees it, and each way out of it: Exit,
// File/Exit, the close box, and Exit after the About window; the session file
// qz_upgrade.cfg (read, written, kept when a save fails); and the waits (their
// length, the window staying alive inside them).
#include "TestRig.h"
#include "Timing.h"
#include "face/PictureBox.h"
#include "shell/Delays.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

#include <cmath>
#include <ctime>
#ifdef Q_OS_LINUX
#include <sys/fsuid.h>
#else
static int setfsuid(int) { return 0; }
#endif

using namespace qzGlobals;
using Port = MemoryCommControl::PortState;

namespace {

const QByteArray Tail = QByteArray("\"\"\r\n").repeated(10);  // the session file's ten reserved records
const QByteArray Saved = "4\r\n" + Tail;                      // in the program's folder

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QFile::ReadOnly) ? f.readAll() : "none";
}
bool Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QFile::WriteOnly) && f.write(bytes) == bytes.size();
}

// Reads like a "seconds since midnight" timer that wraps at 86400, starting
// `before` seconds short of midnight.
struct MidnightClock final : Clock {
    explicit MidnightClock(double before) : offset(86400.0 - before) {}
    double Timer() override { return std::fmod(base.Timer() + offset, 86400.0); }
    MonotonicClock base;
    double offset;
};

// Processor time this thread has used so far.
double CpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_app, m_current;  // the program's folder, and another one made current
    static QString File(const QTemporaryDir& dir) { return dir.filePath("qz_upgrade.cfg"); }

private slots:
    // The window as first seen and its controls at work, then left one of the ways out.
    void atStartThenOut_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("portOpen");
        for (bool open : {true, false})
            for (const char* path : {"button", "menu", "close box"})
                QTest::addRow("%s, port %s", path, open ? "open" : "closed") << path << open;
        QTest::addRow("button after the About window") << "about" << true;
    }
    void atStartThenOut()
    {
        QFETCH(QString, path);
        QFETCH(bool, portOpen);
        TestRig rig;
        frmMain& f = rig.Make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.windowTitle(), QString("driftmark Ruvude Zivo"));
        // Needle buttons off, no label of the meter's shown, no port; start-up
        // selects OFF and TRAD, and sends nothing to any port.
        QCOMPARE(Shows(f), QString("Connect slider CYCLE |  | None | OFF TRAD"));
        QVERIFY(f.cmdExit->isEnabled() && f.Label1->isVisible());
        QCOMPARE(f.cmdExit->toolTip(), QString("Quit VA3"));
        QStringList captions;
        for (QWidget* w : QList<QWidget*>{f.cmdLeft, f.cmdSweep, f.cmdRight, f.optTrad, f.optSimple, f.optLIN,
                                          f.optLUT, f.cmdCycle, f.cmdExit, f.Label1, f.lblInfo, f.lblSerialNum,
                                          f.lblHard, f.lblFw, f.lblFirm, f.lblTitle, f.Frame1, f.Frame2})
            captions << w->property(qobject_cast<QGroupBox*>(w) ? "title" : "text").toString();
        for (QAction* a : f.menuBar()->actions())  // and the menus shown
            if (a->isVisible())
                captions << a->text();
        QCOMPARE(captions.join('/'), QString("LEFT/SWEEP/RIGHT/TRAD/SIMPLE/OFF/ON/CYCLE/Exit/Sweep Speed/Info/"
                                             "Meter Serial Number:/QZ/Firmware Version:/x.xx/Searching for meter/"
                                             "Scale Type/Calibration/&File/&Port/&Help"));
        QVERIFY(rig.comm.Events().empty());

        QCOMPARE(f.centralWidget()->size(), QSize(777, 434));
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QVERIFY(!(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        // The face's box is a third as high as it is wide, and shows what was drawn on it.
        QCOMPARE(f.picMeterPanel->geometry(), QRect(32, 96, 667, 222));
        QCOMPARE(f.picMeterPanel->grab().toImage().convertToFormat(QImage::Format_RGB32), f.picMeterPanel->Image());

        QVERIFY(!f.mnuHelpHelp->isVisible());
        // The menu bar in the desktop's menu font, like its menus; the controls in the window's 12 pt.
        QCOMPARE(f.menuBar()->font(), QApplication::font(f.menuBar()));
        QCOMPARE(f.mnuFile->font(), QApplication::font(f.mnuFile));
        QCOMPARE(f.cmdConnect->font().pointSizeF(), 12.0);
        QCOMPARE(f.Label1->font(), f.cmdConnect->font());

        // Each option group picks one, the one group apart from the other; the slider's steps and bounds.
        for (QRadioButton* option : {f.optSimple, f.optLUT})
            QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
        QCOMPARE(Shows(f), QString("Connect slider CYCLE |  | None | ON SIMPLE"));

        QCOMPARE(f.SldSpeed->value(), 54);
        QTest::keyClick(f.SldSpeed, Qt::Key_Right);  // a small step is 1, a large one 5
        QTest::keyClick(f.SldSpeed, Qt::Key_PageUp);
        QCOMPARE(f.SldSpeed->value(), 60);
        QCOMPARE(QPair(f.SldSpeed->minimum(), f.SldSpeed->maximum()), QPair(8, 100));

        // The way out: "R", "U" to a port that is open.
        rig.comm.SetPort(2, Port::Available);
        QVERIFY(rig.comm.setCommPort(2) && (!portOpen || rig.comm.setPortOpen(true)));
        QString about;
        QTimer::singleShot(20, &f, [&] {
            if (path == "about") {  // Help/About, closed with its OK button
                QTimer::singleShot(0, &f, [&] {
                    QWidget* w = QApplication::activeModalWidget();
                    about = w ? w->windowTitle() : "no modal window";
                    if (auto* ok = w ? w->findChild<QPushButton*>("cmdOK") : nullptr)
                        ok->click();
                });
                f.mnuhelpAbout->trigger();  // returns when the window has closed
            }
            if (path == "menu")
                f.mnuExit->trigger();
            else if (path == "close box")
                f.close();
            else
                QTest::mouseClick(f.cmdExit, Qt::LeftButton);
        });
        f.Form_Activate();  // the main loop returns only once the program is to end
        QCOMPARE(about, path == "about" ? QString("About qz Ruvude Zivo") : QString());
        QVERIFY(qzGlobals::QuitRequested);
        QVERIFY(!rig.comm.PortOpen());
        QCOMPARE(rig.comm.Frames().join(), portOpen ? QByteArray("\x52\x0D\x55\x0D", 4) : QByteArray());
        QCOMPARE(rig.comm.DroppedWrites(), 0);
    }

    // The session file: read at start from the folder that is current (one it cannot take leaves no port),
    // written at the end to the program's folder; a save that fails keeps the old file and says so.
    void sessionFile_data()
    {
        QTest::addColumn<QByteArray>("contents");  // in the current folder at start
        QTest::addColumn<int>("port");             // read from it; 0: the file refused
        QTest::addColumn<int>("folder");           // the program's folder at the end: 0 writable, 1 read-only, 2 gone
        QTest::newRow("only the port; saved in the program's folder") << QByteArray("5") << 0 << 0;
        QTest::newRow("one line") << QByteArray("7,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"") << 7 << 0;
        QTest::newRow("more than eleven fields; read-only folder: the old file kept")
            << ("+2\r\n" + Tail + "junk\r\n\"more\",99\r\n") << 2 << 1;
        QTest::newRow("not a number; folder gone: written where we are") << ("3x\r\n" + Tail) << 0 << 2;
        QTest::newRow("above 16 bits") << ("32768\r\n" + Tail) << 0 << 0;
    }
    void sessionFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, port);
        QFETCH(int, folder);
        TestRig rig;  // a message box still expected fails the test
        QVERIFY(Write(File(m_app), Saved) && QDir::setCurrent(m_current.path()) && Write(File(m_current), contents));
        rig.Make(false);
        SavedPort = 11;
        QCOMPARE(rig.form->Load_Config(), port != 0);
        QCOMPARE(int(SavedPort), port);
        if (folder != 0)
            rig.messages.Expect({"Error Saving Session Config File", "Save Parameters"});
        SavedPort = 12;
        AppFolder = folder == 2 ? m_app.filePath("gone") : m_app.path();
        if (folder == 1)
            QFile::setPermissions(m_app.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ExeOther);
        const int fsuid = folder == 1 ? setfsuid(65534) : 0;  // as root, write rights go with the file user
        const bool saved = rig.form->Save_Config();
        if (folder == 1)
            setfsuid(fsuid);
        QFile::setPermissions(m_app.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(saved, folder == 0);
        QCOMPARE(Read(File(m_app)), folder == 0 ? "12\r\n" + Tail : Saved);
        QCOMPARE(Read(File(m_current)), folder == 2 ? "12\r\n" + Tail : contents);
        SavedPort = 0;  // read back from where it was written
        QVERIFY(folder == 1 || (rig.form->Load_Config() && SavedPort == 12));
    }

    void waitLasts_data()
    {
        QTest::addColumn<int>("ticks");  // -1: SDelay(1)
        QTest::addColumn<double>("before");
        QTest::addColumn<double>("want");
        QTest::newRow("SDelay(1)") << -1 << 1000.0 << 0.972;
        QTest::newRow("0 ticks") << 0 << 1000.0 << 0.0;
        QTest::newRow("2 ticks") << 2 << 1000.0 << 0.108;
        QTest::newRow("1 tick across midnight") << 1 << 0.01 << 0.054;
    }
    void waitLasts()
    {
        QFETCH(int, ticks);
        QFETCH(double, before);
        QFETCH(double, want);
        MidnightClock clock(before);
        MonotonicClock real;
        Delays d(clock);
        QPushButton other("other");
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        double handlerEnded = -1;
        QObject::connect(&other, &QPushButton::clicked, [&] {
            d.TDelay(2);  // a handler that waits itself runs to its end inside the outer wait
            handlerEnded = real.Timer();
        });
        if (ticks < 0)
            QTimer::singleShot(300, &other, [&] { QTest::mouseClick(&other, Qt::LeftButton); });
        bool ran = false;
        QMetaObject::invokeMethod(this, [&] { ran = true; }, Qt::QueuedConnection);
        const double t0 = real.Timer(), cpu0 = CpuSeconds();
        if (ticks < 0)
            d.SDelay(1);
        else
            d.TDelay(ticks);
        const double took = real.Timer() - t0, busy = CpuSeconds() - cpu0;
        VERIFY_WAIT(took, want);  // never a moment short, and not a tick more
        QVERIFY(ran);  // events pending are handled, even in a wait of no ticks
        if (ticks < 0)  // the click at 0.3 s handled inside the wait
            VERIFY_TIME(handlerEnded - t0, 0.3 + 0.108, took);
        // It sleeps on the event queue instead of watching the clock: busy for a small part of the wait at most.
        QVERIFY2(busy < 0.02 + took / 4, qPrintable(QString("%1 s busy in %2 s").arg(busy).arg(took)));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
