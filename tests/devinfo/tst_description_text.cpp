// Reading an adapter description out of its fixed-size buffer.
#include "devinfo/DescriptionText.h"

#include <QtTest>
#include <vector>

class TestDescriptionText : public QObject {
    Q_OBJECT
private slots:
    void stopsAtTheFirstNul()
    {
        const char buffer[8] = {'A', 'B', '\0', 'C', 'D', '\0', '\0', '\0'};
        QCOMPARE(DescriptionText::FromBuffer(buffer, sizeof buffer), QStringLiteral("AB"));
    }

    void emptyWhenTheFirstByteIsNul()
    {
        const char buffer[4] = {'\0', 'X', 'Y', 'Z'};
        QCOMPARE(DescriptionText::FromBuffer(buffer, sizeof buffer), QString());
    }

    void neverReadsPastTheBuffer()
    {
        // 256 bytes of text with more text behind them: only the 256 count.
        std::vector<char> memory(300, 'Q');
        for (int i = 0; i < 256; ++i)
            memory[i] = static_cast<char>('a' + i % 26);
        const QString text = DescriptionText::FromBuffer(memory.data(), 256);
        QCOMPARE(text.size(), 256);
        QVERIFY(!text.contains(QLatin1Char('Q')));
        QCOMPARE(text.at(255), QLatin1Char(static_cast<char>('a' + 255 % 26)));
    }

    void bytesAreSingleCharacters()
    {
        const char buffer[3] = {'\xC4', 'x', '\0'};
        const QString text = DescriptionText::FromBuffer(buffer, sizeof buffer);
        QCOMPARE(text.size(), 2);
        QCOMPARE(text.at(0).unicode(), char16_t(0xC4));
    }
};

QTEST_MAIN(TestDescriptionText)
#include "tst_description_text.moc"
