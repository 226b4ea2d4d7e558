// A script played on the window over in-memory ports: what it sends, what it reports, how it ends (also from outside
// the script), how its questions are answered on their dialog, and how long "No meter detected" stays up.
#include "TestRig.h"
#include "Timing.h"
#include "script/BoxAnswerer.h"
#include "script/DialogAsker.h"
#include "script/FrameWatch.h"
#include "script/HandsOff.h"
#include "script/ScriptPlayer.h"
#include "script/ScriptReader.h"
#include "script/SearchReport.h"
#include "script/TextOutput.h"

#include <QMenuBar>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

namespace {

struct Captured final : TextOutput {
    QString text;
    void Write(const QByteArray& bytes, const Stamp&) override { text += QString::fromUtf8(bytes); }
};

// Answers the open question: keys typed on its dialog ("Return,Alt+Y"), a click on No ("no") or its close
// button ("close").
void Answer(const QString& keys)
{
    AskDialog* dialog = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* open = qobject_cast<AskDialog*>(window); open && open->isVisible())
            dialog = open;
    QVERIFY(dialog && dialog->windowTitle() == dialog->parentWidget()->windowTitle());
    // Laid out whole, over the middle of the window (its frame aside); checked once answered, not to leave it open.
    const bool placed = dialog->size().expandedTo(dialog->sizeHint()) == dialog->size() &&
        (dialog->geometry().center() - dialog->parentWidget()->geometry().center()).manhattanLength() <= 8;
    for (const QString& key : keys.split(',')) {
        const QKeyCombination typed = QKeySequence(key)[0];
        if (key == "no") {
            QTest::mouseClick(dialog->no, Qt::LeftButton);
        } else if (key == "close") {  // as the window system delivers it
            QCloseEvent close;
            QCoreApplication::sendEvent(dialog->windowHandle(), &close);
        } else {
            QTest::keyClick(dialog, typed.key(), typed.keyboardModifiers());
        }
    }
    const QPointer<AskDialog> open = dialog;  // Alt+Y clicks Yes a moment later, as a click is seen
    if (!QTest::qWaitFor([&] { return !open || !open->isVisible(); }, 1000)) {
        open->close();  // as the program closes it: no answer, and the run ends
        QFAIL("the question is still open");
    }
    QVERIFY2(placed, "the question not laid out whole over the middle of the window");
}

// What a person (or the system) does while the script plays: "signal", "close" (the close
// box), "ask:KEYS" (Answer), or "press": presses on the controls and on other menus, which go nowhere, then
// File > Exit.
void ByHand(frmMain& form, ScriptPlayer& player, const QString& what)
{
    if (what == "signal")
        return player.Interrupted(SIGTERM);
    if (what.startsWith("ask:"))
        return Answer(what.mid(4));
    if (what == "close")
        return void(form.close());
    QTest::mouseClick(form.cmdLeft, Qt::LeftButton);
    QTest::keyClick(form.cmdCycle, Qt::Key_Space);
    QMenuBar& bar = *form.menuBar();
    QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.actionGeometry(form.mnuhelp->menuAction()).center());
    QVERIFY(!form.mnuhelp->isVisible());
    QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.actionGeometry(form.mnuFile->menuAction()).center());
    QTest::mouseClick(form.mnuFile, Qt::LeftButton, {}, form.mnuFile->actionGeometry(form.mnuExit).center());
}

// Plays `script` to its end on a window whose Comm1 holds a meter, or no port at all: its
// report, the frames sent (without their CR, joined by "|") and its exit status. `hand`:
// what ByHand does, and after how many seconds ("close 2").
std::tuple<QString, QString, int> Play(const QString& script, bool meter,
                                       EventReport::Format format = EventReport::Format::Text, const QString& hand = {})
{
    TestRig rig;
    if (meter)
        rig.comm.SetPort(1, MemoryCommControl::PortState::Available, std::make_shared<ScriptedMeter>());
    FrameWatch frames(rig.comm);
    Captured out;
    EventReport report(rig.clock, out, rig.console, format);
    BoxAnswerer boxes(rig.clock, report);
    rig.platform.comm = &frames;
    rig.platform.messages = &boxes;
    frmMain& form = rig.Make();
    HandsOff hands(form);
    DialogAsker asker(form, hands, "-");
    ScriptPlayer player(form, frames, boxes, asker, report, ScriptReader::Read(script, "-").actions);
    form.show();  // as --run shows it, off screen
    if (!hand.isEmpty())
        QTimer::singleShot(int(hand.section(' ', 1).toDouble() * 1000), &form,
                           [&] { ByHand(form, player, hand.section(' ', 0, 0)); });
    player.Start();
    form.Form_Activate();
    player.ReportEnd();
    rig.form.reset();  // before the port it was given
    return {out.text, QString::fromLatin1(rig.comm.Frames().join('|')).remove('\r'), player.Status()};
}

}  // namespace

class TestScriptPlayer : public QObject {
    Q_OBJECT

private slots:
    void plays_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("frames");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("report");  // {t}: any time
        QTest::addColumn<QString>("hand");    // done from outside the script, as ByHand does
        const QString found = "{t} 1 found Comm1 /dev/mem1 serial=QZ1234 firmware=1.05\n{t} 1 connect\n";
        const QString end = "{t} %1 end status=%2 line=%1 reason=\"%3\" serial=%4 firmware=%5 elapsed={t}\n";
        const QString connected = "|H|H|V|S|R|U";
        QTest::newRow("identity in any case, selected options send nothing")
            << "connect within 5\nexpect serial qz12?4\nexpect firmware *\ncalibration off\nscale trad\n"
               "calibration on\ncycle 2" << "|H|H|V|S|L|N000|N0C6|N238|R|U" << 0
            << found.chopped(1) + " within=5\n{t} 2 expect serial qz12?4 value=QZ1234\n"
                       "{t} 3 expect firmware * value=1.05\n{t} 4 calibration off note=\"already selected, nothing "
                       "sent\"\n{t} 5 scale trad note=\"already selected, nothing sent\"\n{t} 6 calibration on\n"
                       "{t} 7 cycle 2\n{t} 7 end status=0 serial=QZ1234 firmware=1.05 elapsed={t}\n" << "";
        QTest::newRow("a stopped sweep unwinds before the next line")
            << "connect\nsweep\nleft\nsweep\nspeed 100\nwait 0.081\nright\ndisconnect\nexit"
            << "|H|H|V|S|N000|N0C6|N000|N064|NF3A|I" << 0
            << found + "{t} 2 sweep\n{t} 3 left\n{t} 4 sweep\n{t} 5 speed 100\n{t} 6 wait 0.081\n{t} 7 right\n"
                       "{t} 8 disconnect\n{t} 9 exit\n{t} 9 end status=0 serial=QZ1234 firmware=1.05 elapsed={t}\n"
            << "";
        QTest::newRow("speed without a sweep") << "connect\nspeed 50" << connected << 2
            << found + end.arg(2).arg(2).arg("Sweep Speed moves only while a sweep runs", "QZ1234", "1.05") << "";
        QTest::newRow("connect while connected") << "connect\nconnect" << connected << 2
            << found + end.arg(2).arg(2).arg("the button reads 'Disconnect', not 'Connect'", "QZ1234", "1.05") << "";
        QTest::newRow("LEFT before a meter") << "cycle\nleft" << "" << 2
            << "{t} 1 cycle 1\n" + end.arg(2).arg(2).arg("LEFT is disabled", "", "") << "";
        QTest::newRow("expect with no meter") << "expect serial *" << "" << 1
            << end.arg(1).arg(1).arg("no meter connected", "", "") << "";
        QTest::newRow("expect that does not match") << "connect\nexpect firmware 1.0" << connected << 1
            << found + end.arg(2).arg(1).arg("firmware 1.05 does not match 1.0", "QZ1234", "1.05") << "";
        // Ended from outside the script, on the line that was playing, the meter released: the window
        // closed by hand (--show), or a signal. One during the search reports the meter found.
        const QString ended = end.arg(2).arg(130).arg("ended from the window", "QZ1234", "1.05");
        QTest::newRow("closed in a wait") << "connect\nwait 5\nleft" << connected << 130 << found + ended << "close 2";
        QTest::newRow("presses by hand, then File > Exit") << "connect\nwait 5" << connected << 130 << found + ended
                                                           << "press 2";
        const QString foundOnly = found.section('\n', 0, 0) + '\n';  // the line not done
        QTest::newRow("closed in the search") << "connect\nleft" << "|R|U" + connected << 130
            << foundOnly + end.arg(1).arg(130).arg("ended from the window", "QZ1234", "1.05") << "close 0.5";
        // Questions, answered on their dialog only by a person's Y, N, Alt+Y, Escape, click or close button,
        // never by Return, Enter or Space; the sweep goes on while one is open ({sweep}: 30 positions or more).
        const QString ask = "connect\nask Needle on the left stop?\nleft";
        const QString asked = found + "{t} 2 ask question=\"Needle on the left stop?\" answer=%1 seconds={t}\n";
        const QString no = end.arg(2).arg(1).arg("operator answered no: \\\"Needle on the left stop?\\\"", "QZ1234",
                                                  "1.05");
        QTest::newRow("asked: Y") << ask << "|H|H|V|S|N0C6|R|U" << 0
            << asked.arg("yes") + "{t} 3 left\n{t} 3 end status=0 serial=QZ1234 firmware=1.05 elapsed={t}\n"
            << "ask:Y 2";
        QTest::newRow("asked: Return, Enter, Space, then N") << ask << connected << 1 << asked.arg("no") + no
                                                             << "ask:Return,Enter,Space,N 2";
        QTest::newRow("asked: Alt+N") << ask << connected << 1 << asked.arg("no") + no << "ask:Alt+N 2";
        QTest::newRow("asked: Escape") << ask << connected << 1 << asked.arg("no") + no << "ask:Escape 2";
        QTest::newRow("asked: the close button") << ask << connected << 1 << asked.arg("no") + no << "ask:close 2";
        QTest::newRow("asked: a click on No") << ask << connected << 1 << asked.arg("no") + no << "ask:no 2";
        QTest::newRow("asked, spacing kept: Alt+Y, during a sweep")
            << "connect\nsweep\nask   Smooth,  at its pace?\nleft" << "|H|H|V|S{sweep}|N0C6|R|U" << 0
            << found + "{t} 2 sweep\n{t} 3 ask question=\"Smooth,  at its pace?\" "
                       "answer=yes seconds={t}\n{t} 4 left\n{t} 4 end status=0 serial=QZ1234 "
                       "firmware=1.05 elapsed={t}\n"
            << "ask:Alt+Y 4.5";
        QTest::newRow("asked within 0.2 s, nobody answers") << "ask within 0.2 Smooth?\ncycle" << "" << 1
            << "{t} 1 ask question=\"Smooth?\" answer=none seconds=0.2{d}\n" +
                   end.arg(1).arg(1).arg("no answer within 0.2 s: \\\"Smooth?\\\"", "", "") << "";
        QTest::newRow("SIGTERM while asked") << ask << connected << 143
            << asked.arg("none") + end.arg(2).arg(143).arg("ended by SIGTERM", "QZ1234", "1.05") << "signal 2";
        QTest::newRow("SIGTERM in the search") << "connect\nleft" << "|R|U" + connected << 143
            << foundOnly + end.arg(1).arg(143).arg("ended by SIGTERM", "QZ1234", "1.05") << "signal 0.5";
    }
    void plays()
    {
        QFETCH(QString, script);
        QFETCH(QString, frames);
        QFETCH(QString, report);
        QFETCH(QString, hand);
        const auto [said, sent, status] = Play(script, true, EventReport::Format::Text, hand);
        const QString pattern = QRegularExpression::escape(report).replace("\\{t\\}", "\\d+\\.\\d{3}");
        QVERIFY2(QRegularExpression("^" + QString(pattern).replace("\\{d\\}", "\\d\\d") + "$").match(said).hasMatch(),
                 qPrintable(said));
        const QString framed = QRegularExpression::escape(frames).replace("\\{sweep\\}", "(\\|N[0-9A-F]{3}){30,}");
        QVERIFY2(QRegularExpression("^" + framed + "$").match(sent).hasMatch(), qPrintable(sent));
        QTEST(status, "status");
    }

    // "No meter detected" stays up a second, then Retry while the line's
    // seconds last; once they are over, Cancel. JSON lines on the way.
    void connectWithinRetriesEverySecondUntilItsTimeIsUp()
    {
        const auto [report, frames, status] = Play("wait 0.1\nconnect within 2.5", false, EventReport::Format::Json);
        static const QRegularExpression event("\\{\"t\":([0-9.]+),\"line\":(\\d),\"event\":\"(\\w+)\"(.*)\\}\n");
        QList<double> t;
        QStringList events;
        for (const auto& m : event.globalMatch(report)) {
            t << m.captured(1).toDouble();
            events << m.captured(2) + ' ' + m.captured(3) + m.captured(4);
        }
        const QString box = "2 box,\"title\":\"qz Firmware Upgrade \",\"text\":\"No meter detected\\r\\nRetry - First "
                            "check meter is connected and turned on.\\r\\nOtherwise - Cancel\",\"answer\":";
        QCOMPARE(events, (QStringList{"1 wait,\"seconds\":0.1", box + "\"retry\"", box + "\"retry\"",
                                      box + "\"cancel\"",
                                      "2 end,\"status\":1,\"reason\":\"no meter found\",\"serial\":\"\",\"firmware\":"
                                      "\"\",\"elapsed\":" + QString::number(t.last(), 'f', 3)}));
        for (int i = 1; i <= 3; ++i)
            VERIFY_WAIT(t[i] - t[0], i * 1.0);
        QCOMPARE(status, 1);
        const QString atOnce = std::get<0>(Play("connect within 0", false));  // its time is up before the box
        QVERIFY2(atOnce.section('\n', 0, 0).endsWith(" cancel") && atOnce.section(' ', 0, 0).toDouble() < 0.5,
                 qPrintable(atOnce));
    }

    // Ports a search passed by, as events of the line that was playing, in
    // text and JSON; the holder and its pid only where the system names them.
    void passedByInASearch()
    {
        for (const auto format : {EventReport::Format::Text, EventReport::Format::Json}) {
            TestRig rig;
            Captured out;
            EventReport report(rig.clock, out, rig.console, format);
            report.setLine(3);
            SearchReport search(report);
            search.Busy(2, "/dev/pts/4", {"pico\"com", 4242});
            search.Busy(3, "/dev/pts/5", {});
            search.Skipped(4, "/dev/ttyUSB0", "another device has this name now");
            search.Unavailable(5, "/dev/ttyS0", "refused by the system (Permission denied)");
            QCOMPARE(out.text.remove(QRegularExpression("\\d+\\.\\d{3}")),
                     format == EventReport::Format::Text
                         ? " 3 busy Comm2 /dev/pts/4 holder=\"pico\\\"com\" pid=4242\n 3 busy Comm3 /dev/pts/5\n"
                           " 3 skipped Comm4 /dev/ttyUSB0 reason=\"another device has this name now\"\n"
                           " 3 unavailable Comm5 /dev/ttyS0 reason=\"refused by the system (Permission denied)\"\n"
                         : "{\"t\":,\"line\":3,\"event\":\"busy\",\"port\":\"Comm2\",\"device\":\"/dev/pts/4\","
                           "\"holder\":\"pico\\\"com\",\"pid\":4242}\n{\"t\":,\"line\":3,\"event\":\"busy\",\"port\":"
                           "\"Comm3\",\"device\":\"/dev/pts/5\"}\n{\"t\":,\"line\":3,\"event\":\"skipped\",\"port\":"
                           "\"Comm4\",\"device\":\"/dev/ttyUSB0\",\"reason\":\"another device has this name now\"}\n"
                           "{\"t\":,\"line\":3,\"event\":\"unavailable\",\"port\":\"Comm5\",\"device\":\"/dev/ttyS0\","
                           "\"reason\":\"refused by the system (Permission denied)\"}\n");
        }
    }
};

QTEST_MAIN(TestScriptPlayer)
#include "tst_script_player.moc"
