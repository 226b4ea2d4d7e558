// The rules that turn a registry query's buffer into text.
#include "about/Registry.h"
#include "about/RegistryValueText.h"

#include <QtTest>
#include <vector>

class TestRegistryValue : public QObject {
    Q_OBJECT
private slots:
    void textDropsOneNulAtTheWrittenSize()
    {
        const char buffer[6] = {'a', 'b', '\0', '\0', 'z', 'z'};
        QCOMPARE(RegistryValueText::Text(buffer, 6, 3), QByteArray("ab"));
        QCOMPARE(RegistryValueText::Text(buffer, 6, 4), QByteArray("ab\0", 3));
        QCOMPARE(RegistryValueText::Text(buffer, 6, 2), QByteArray("ab"));
        QCOMPARE(RegistryValueText::Text(buffer, 6, 0), QByteArray());
    }

    void textNeverPassesTheCapacity()
    {
        std::vector<char> memory(64, 'y');
        const QByteArray text = RegistryValueText::Text(memory.data(), 16, 1000);
        QCOMPARE(text.size(), qsizetype(16));
    }

    void szReplacesKeyVal()
    {
        const char buffer[4] = {'o', 'k', '\0', 'x'};
        QString val = QStringLiteral("old");
        RegistryValueText::Apply(buffer, 4, 3, Registry::TypeSz, val);
        QCOMPARE(val, QStringLiteral("ok"));
    }

    void dwordIsTheNumber()
    {
        const unsigned char le[4] = {0x78, 0x56, 0x34, 0x12};
        QString val = QStringLiteral("junk");
        RegistryValueText::Apply(reinterpret_cast<const char*>(le), 4, 4, Registry::TypeDword, val);
        QCOMPARE(val, QString::number(0x12345678u));
        // Fewer bytes: the missing high bytes count as zero.
        RegistryValueText::Apply(reinterpret_cast<const char*>(le), 4, 1, Registry::TypeDword, val);
        QCOMPARE(val, QString::number(0x78u));
        // Never more than the buffer holds.
        RegistryValueText::Apply(reinterpret_cast<const char*>(le), 2, 4, Registry::TypeDword, val);
        QCOMPARE(val, QString::number(0x5678u));
    }

    void otherTypesLeaveKeyVal()
    {
        const char buffer[2] = {'a', '\0'};
        for (uint32_t type : {0u, 2u, 3u, 7u, 11u}) {
            QString val = QStringLiteral("same");
            RegistryValueText::Apply(buffer, 2, 2, type, val);
            QCOMPARE(val, QStringLiteral("same"));
        }
    }
};

QTEST_MAIN(TestRegistryValue)
#include "tst_registry_value.moc"
