#pragma once
// Message boxes that a test declares before they come up. Each box shown must be the next one the test expects (text,
// title, icon and buttons alike) and gets the answer declared with it. Any other box fails the running test at once,
// and so does, at the end, an expected box that never came.
#include "shell/MessageBoxes.h"

#include <QList>
#include <QTest>
#include <functional>

class FakeMessageBoxes final : public MessageBoxes {
public:
    struct Box {
        QString text, title;
        Icon icon = Icon::Critical;
        Buttons buttons = Buttons::Ok;
        bool operator==(const Box&) const = default;
    };
    // The program's own boxes.
    static Box OpenFailed(int n) { return {QString("Error Opening Comm%1:9600,n,8,1").arg(n), "Open Comms Port"}; }
    static Box NoMeter()
    {
        return {"No meter detected\r\nRetry - First check meter is connected and turned on.\r\nOtherwise - Cancel",
                "qz Firmware Upgrade ", Icon::Critical, Buttons::RetryCancel};
    }

    // Declares the next box, the answer it gets, and what happens while it is up.
    void Expect(const Box& box, Answer answer = Answer::Ok, std::function<void()> whileUp = {})
    {
        m_expected << Expected{box, answer, std::move(whileUp)};
    }
    QList<Box> shown;  // every box that came up, expected or not

    ~FakeMessageBoxes() override
    {
        for (const Expected& e : m_expected)
            Fail("expected message box never shown", e.box);
    }
    Answer Show(QWidget*, const QString& text, const QString& title, Icon icon, Buttons buttons) override
    {
        shown << Box{text, title, icon, buttons};
        if (m_expected.isEmpty() || !(m_expected.first().box == shown.last())) {
            Fail("unexpected message box", shown.last());
            return buttons == Buttons::RetryCancel ? Answer::Cancel : Answer::Ok;
        }
        const Expected e = m_expected.takeFirst();
        if (e.whileUp)
            e.whileUp();
        return e.answer;
    }

private:
    struct Expected {
        Box box;
        Answer answer;
        std::function<void()> whileUp;
    };
    QList<Expected> m_expected;

    static void Fail(const char* what, const Box& box)
    {
        if (QTest::currentTestFunction())  // outside any test there is nobody to tell
            QTest::qFail(qPrintable(QString("%1: \"%2\" titled \"%3\", icon %4, buttons %5")
                                        .arg(what, QString(box.text).replace("\r\n", "\\r\\n"), box.title)
                                        .arg(int(box.icon)).arg(int(box.buttons))),
                         __FILE__, __LINE__);
    }
};
