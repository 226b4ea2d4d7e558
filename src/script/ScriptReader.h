#pragma once
// Reads a whole script before anything is played: one action per line, `#`
// to the end of a line a comment, blank lines skipped, words in any case.
//
//   connect | connect within SECONDS | disconnect
//   left | right | sweep | cycle [N] | exit
//   calibration on|off | scale trad|simple | speed N
//   wait SECONDS
//   expect serial PATTERN | expect firmware PATTERN
//   ask QUESTION | ask within SECONDS QUESTION
//
// SECONDS is a decimal number from 0 to 86400, N for cycle a whole number
// from 1 to 1000 (default 1), N for speed one from 8 to 100. QUESTION is
// the rest of the line, up to a `#`, trimmed, 1 to 200 characters. Nothing
// may follow exit.
#include "script/ScriptAction.h"

#include <QList>

namespace ScriptReader {

struct Result {
    QList<ScriptAction> actions;
    // The first mistake as "NAME:LINE: message"; empty when the script is good.
    QString error;
};

// `name` is what the error calls the script: its file name, or "-" for
// standard input.
Result Read(const QString& text, const QString& name);

}  // namespace ScriptReader
