#include "Answer.h"

#include <cctype>
#include <cstdio>

namespace metersim {

std::string IdentityAnswer(const Identity& id, const Faults& faults)
{
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

    std::string line = "V," + serial + "," + id.third + "," + firmware;
    if (faults.lowercase) {
        for (char& c : line)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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
    add(f.silent, "silent");
    add(f.lowercase, "lowercase");
    add(f.lfInside, "lf-inside");
    add(f.blanks, "blanks");
    add(f.emptyLineFirst, "empty-line-first");
    add(f.truncated, "truncated");
    add(f.trailing, "trailing");
    return out.empty() ? "none" : out;
}

}  // namespace metersim
