#pragma once
// What the simulated meter says, and how its log spells bytes. Kept apart from
// the event loop so that the shapes of the answers are easy to read in one place.
#include <random>
#include <string>

namespace metersim {

// The ways a simulated meter can depart from a well-behaved one. Several may
// be combined; the answer shapes apply in the order listed in the .cpp.
struct Faults {
    bool chatty = false;          // never falls quiet: sends a reading line every few ms
    bool talks = false;           // sends reading lines from "S" (selected) until "I" or "U"
    bool silent = false;          // answers nothing
    bool lowercase = false;       // identity line in lower case
    bool lfInside = false;        // a line feed inside the identity line
    bool blanks = false;          // blanks inside the identity line
    bool emptyLineFirst = false;  // a lone CR before the identity line
    bool truncated = false;       // identity line without its CR
    bool trailing = false;        // characters after the identity line's CR
    bool overlong = false;        // identity line runs on for several hundred characters
    bool noise = false;           // control characters and high bytes inside the identity line
    bool garbage = false;         // random bytes instead of the identity line
};

struct Identity {
    std::string serial = "QZ1234";
    std::string third = "A";
    std::string firmware = "1.05";
};

// The bytes sent in answer to "V": "V,<serial>,<third>,<firmware>" and a CR,
// bent as the faults ask. Noise and garbage take their bytes from `random`.
std::string IdentityAnswer(const Identity& id, const Faults& faults, std::mt19937& random);

// How many characters --overlong adds behind the firmware field.
inline constexpr std::size_t OverlongExtra = 480;
// The longest answer --garbage sends.
inline constexpr std::size_t GarbageMaxLength = 64;

// The reading line a chatty meter keeps sending.
inline constexpr const char* ChattyLine = "M,800\r";

// Characters a chatty-free meter sends after its CR with --trailing.
inline constexpr const char* TrailingJunk = "\nJUNK";

// Bytes as a double-quoted C-style string: printable ASCII as is, \r \n \t
// \" \\ escaped, anything else as \xNN.
std::string Quote(const std::string& bytes);

// A comma-separated list of the faults in effect ("none" for a good meter).
std::string Describe(const Faults& faults);

}  // namespace metersim
