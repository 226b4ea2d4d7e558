// The session file as read back from disk: every field, its number reading,
// and the whole-file read.
#include "FuzzCheck.h"
#include "shell/ConfigFieldReader.h"
#include "shell/SessionConfigFormat.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    ConfigFieldReader reader(bytes);
    ConfigFieldReader::Field field;
    qsizetype fields = 0;
    while (reader.Next(field)) {
        FUZZ_CHECK(++fields <= bytes.size());  // every field uses up at least one byte
        if (field.quoted) {
            FUZZ_CHECK(!field.text.contains('"'));
        } else {
            FUZZ_CHECK(!field.text.contains(',') && !field.text.contains('\r') && !field.text.contains('\n'));
            FUZZ_CHECK(!field.text.startsWith(' ') && !field.text.endsWith(' '));
            FUZZ_CHECK(!field.text.startsWith('\t') && !field.text.endsWith('\t'));
        }
        // Whole numbers agree with Qt's own reading of plain decimal text.
        int16_t value = 0;
        const bool ours = ConfigFieldReader::ToInt16(field, value);
        bool plain = !field.quoted && !field.text.isEmpty();
        for (qsizetype i = 0; plain && i < field.text.size(); ++i) {
            const char c = field.text.at(i);
            plain = (c >= '0' && c <= '9') || (i == 0 && (c == '-' || c == '+') && field.text.size() > 1);
        }
        bool qtOk = false;
        const qlonglong qt = plain ? field.text.toLongLong(&qtOk, 10) : 0;
        FUZZ_CHECK(ours == (plain && qtOk && qt >= -32768 && qt <= 32767));
        if (ours)
            FUZZ_CHECK(value == qt);
    }

    int16_t port = 12345;
    if (SessionConfigFormat::Read(bytes, port)) {
        FUZZ_CHECK(fields >= SessionConfigFormat::RecordCount);
    } else {
        FUZZ_CHECK(port == 12345);  // left alone
    }

    // What the program writes it reads back.
    const int16_t written = size >= 2 ? static_cast<int16_t>(data[0] | (data[1] << 8)) : 0;
    int16_t back = 0;
    FUZZ_CHECK(SessionConfigFormat::Read(SessionConfigFormat::Write(written), back) && back == written);
    return 0;
}
