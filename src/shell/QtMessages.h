#pragma once
// Qt's own warnings and notes go to standard error through the same queue as
// the program's console lines, so that a reader who does not read never
// holds up the thread that warned. A fatal message is written straight to
// the descriptor: the program ends right after it and nothing would be left
// to write the queue out.
namespace QtMessages {

// From now on, for the rest of the process.
void Route();

}  // namespace QtMessages
