#pragma once
// Qt's own warnings and notes go to standard error through the same queue as
// the program's console lines, so that a reader who does not read never
// holds up the thread that warned. A fatal message ends the program right
// after it, so it goes in order and bounded: what standard error has queued
// is written first, within the end's usual limit; then the message itself,
// by a thread of its own that is left behind after FatalLimit, so that a
// stalled reader cannot keep the program from ending.
#include <chrono>

namespace QtMessages {

constexpr std::chrono::milliseconds FatalLimit{1000};

// From now on, for the rest of the process.
void Route();

}  // namespace QtMessages
