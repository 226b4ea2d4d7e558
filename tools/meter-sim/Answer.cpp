#include "Answer.h"

#include <cctype>
#include <cstdio>

namespace metersim {

namespace {

// A byte no identity line ever holds: a control character other than CR, or
// a byte with the high bit set, as a noisy line gives.
char NoiseByte(std::mt19937& random)
{
    for (;;) {
        const unsigned value = random() % (0x20 + 0x80);
        const unsigned byte = value < 0x20 ? value : 0x80 + (value - 0x20);
        if (byte != '\r')
            return static_cast<char>(byte);
    }
}

}  // namespace

std::string IdentityAnswer(const Identity& id, const Faults& faults, std::mt19937& random)
{
    if (faults.garbage) {
        // Not a meter at all: a burst of bytes of every kind, CR included.
        std::string bytes(1 + random() % GarbageMaxLength, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() & 0xFF);
        return bytes;
    }
    std::string serial = id.serial;
    std::string firmware = id.firmware;
    // Bytes a receiver must drop are put in the middle of the serial number,
    // where keeping them would visibly change what is shown.
    if (faults.blanks) {
        serial.insert(serial.size() / 2, " ");
        firmware.insert(0, " ");
    }
    if (faults.lfInside)
        serial.insert(serial.size() / 2, "\n");

    if (faults.overlong) {
        // A line that runs on behind the firmware field, in characters a
        // receiver keeps: digits, upper-case letters and "-./".
        static constexpr char Filler[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-./";
        firmware += ',';
        for (std::size_t i = 0; i < OverlongExtra; ++i)
            firmware += Filler[i % (sizeof Filler - 1)];
    }

    std::string line = "V," + serial + "," + id.third + "," + firmware;
    if (faults.lowercase) {
        for (char& c : line)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (faults.noise) {
        // One or two noise bytes behind about every third character.
        std::string noisy;
        for (char c : line) {
            noisy += c;
            if (random() % 3 == 0) {
                for (unsigned n = 1 + random() % 2; n > 0; --n)
                    noisy += NoiseByte(random);
            }
        }
        line.swap(noisy);
    }
    if (faults.emptyLineFirst)
        line.insert(0, "\r");
    if (!faults.truncated)
        line += '\r';
    if (faults.trailing)
        line += TrailingJunk;
    return line;
}

std::string Quote(const std::string& bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c >= 0x20 && c < 0x7f) {
                out += static_cast<char>(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            }
        }
    }
    out += '"';
    return out;
}

std::string Describe(const Faults& f)
{
    std::string out;
    auto add = [&out](bool on, const char* name) {
        if (!on)
            return;
        if (!out.empty())
            out += ',';
        out += name;
    };
    add(f.chatty, "chatty");
    add(f.talks, "talks");
    add(f.silent, "silent");
    add(f.lowercase, "lowercase");
    add(f.lfInside, "lf-inside");
    add(f.blanks, "blanks");
    add(f.emptyLineFirst, "empty-line-first");
    add(f.truncated, "truncated");
    add(f.trailing, "trailing");
    add(f.overlong, "overlong");
    add(f.noise, "noise");
    add(f.garbage, "garbage");
    return out.empty() ? "none" : out;
}

}  // namespace metersim
