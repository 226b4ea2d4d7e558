// Reading a script: each good line becomes its action in plain form, the first bad one stops the whole script with
// "NAME:LINE: message". And the identity patterns that `expect` lines carry.
#include "script/IdentityPattern.h"
#include "script/ScriptReader.h"

#include <QtTest>

class TestScriptReader : public QObject {
    Q_OBJECT

private slots:
    void reads_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("read");  // "LINE action" joined by "|", or the error
        const auto row = [](const char* name, const char* script, const char* read) {
            QTest::newRow(name) << QString(script) << QString(read);
        };
        row("every action, any case, comments and blanks",
            "# check\n\nConnect\nCONNECT within 30 # a minute\nexpect serial QZ*\nEXPECT Firmware 1.0?\n"
            "calibration ON\ncalibration off\nscale Trad\nscale simple\ncycle\ncycle 13\nsweep\nspeed 8\n"
            "speed 100\n  wait 0.5\nleft\r\nright\ndisconnect\nexit\n\n# done\n",
            "3 connect|4 connect within 30|5 expect serial QZ*|6 expect firmware 1.0?|7 calibration on|"
            "8 calibration off|9 scale trad|10 scale simple|11 cycle 1|12 cycle 13|13 sweep|14 speed 8|"
            "15 speed 100|16 wait 0.5|17 left|18 right|19 disconnect|20 exit");
        row("the ends of every range", "wait 0\nwait 86400\nconnect within 0.25\ncycle 1\ncycle 1000",
            "1 wait 0|2 wait 86400|3 connect within 0.25|4 cycle 1|5 cycle 1000");
        row("empty", "\n# nothing\n", "");
        row("unknown word", "left\n\njump", "s.qz:3: unknown action 'jump'");
        row("word after a plain action", "left now", "s.qz:1: unexpected 'now' after left");
        row("word after connect", "connect soon", "s.qz:1: unexpected 'soon' after connect");
        row("no seconds", "wait", "s.qz:1: wait needs a number of seconds from 0 to 86400");
        row("seconds past a day", "wait 86400.5",
            "s.qz:1: wait needs a number of seconds from 0 to 86400, not '86400.5'");
        row("negative seconds", "connect within -1",
            "s.qz:1: connect within needs a number of seconds from 0 to 86400, not '-1'");
        row("exponent", "wait 1e3", "s.qz:1: wait needs a number of seconds from 0 to 86400, not '1e3'");
        row("no cycles", "cycle 0", "s.qz:1: cycle needs a whole number from 1 to 1000, not '0'");
        row("too many cycles", "cycle 1001", "s.qz:1: cycle needs a whole number from 1 to 1000, not '1001'");
        row("cycles past any int", "cycle 69444444444444444444444",
            "s.qz:1: cycle needs a whole number from 1 to 1000, not '69444444444444444444444'");
        row("half a cycle", "cycle 2.5", "s.qz:1: cycle needs a whole number from 1 to 1000, not '2.5'");
        row("speed below the slider", "speed 7", "s.qz:1: speed needs a whole number from 8 to 100, not '7'");
        row("speed above the slider", "speed 101", "s.qz:1: speed needs a whole number from 8 to 100, not '101'");
        row("speed missing", "speed", "s.qz:1: speed needs a whole number from 8 to 100");
        row("calibration setting", "calibration half", "s.qz:1: calibration needs on or off");
        row("expect without a pattern", "expect serial", "s.qz:1: expect needs serial or firmware and a pattern");
        row("expect what", "expect model X", "s.qz:1: expect needs serial or firmware and a pattern");
        row("pattern of two words", "expect serial QZ 12", "s.qz:1: unexpected '12' after expect serial QZ");
        row("a line after exit", "exit\n# fine\nleft", "s.qz:3: nothing may follow exit (line 1)");
        row("questions as written", "ask  Needle on the  left stop? # look\nASK Within 2.5 Smooth?\r\nask within 0 ok",
            "1 ask Needle on the  left stop?|2 ask within 2.5 Smooth?|3 ask within 0 ok");
        row("no question", "ask # what?", "s.qz:1: ask needs a question of 1 to 200 characters");
        row("no question after the seconds", "ask within 5", "s.qz:1: ask needs a question of 1 to 200 characters");
        row("no seconds to ask within", "ask within soon Smooth?",
            "s.qz:1: ask within needs a number of seconds from 0 to 86400, not 'soon'");
        QTest::newRow("a question of 200") << "ask " + QString(200, 'x') << "1 ask " + QString(200, 'x');
        QTest::newRow("a question of 201") << "ask " + QString(201, 'x')
                                          << "s.qz:1: ask needs a question of 1 to 200 characters";
    }
    void reads()
    {
        QFETCH(QString, script);
        const ScriptReader::Result result = ScriptReader::Read(script, "s.qz");
        QStringList actions;
        for (const ScriptAction& a : result.actions)
            actions << QString("%1 %2").arg(a.line).arg(a.Text());
        QTEST(result.error.isEmpty() ? actions.join('|') : result.error, "read");
        QVERIFY(result.error.isEmpty() || result.actions.isEmpty());
    }

    void patterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("matches");
        QTest::newRow("exact") << "1.05" << "1.05" << true;
        QTest::newRow("letters in any case") << "qz12*" << "QZ1234" << true;
        QTest::newRow("? is one character") << "1.0?" << "1.05" << true;
        QTest::newRow("? is not two") << "1.?" << "1.05" << false;
        QTest::newRow("* runs over / and ,") << "2*B" << "2.03/x,B" << true;
        QTest::newRow("the whole value") << "1.0" << "1.05" << false;
        QTest::newRow("dot is a dot") << "1.05" << "1x05" << false;
        QTest::newRow("nothing is not something") << "?" << "" << false;
    }
    void patterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, value);
        QTEST(IdentityPattern::Matches(pattern, value), "matches");
    }
};

QTEST_GUILESS_MAIN(TestScriptReader)
#include "tst_script_reader.moc"
