#pragma once
// Whether a meter's serial number or firmware version, as the window shows
// it, fits a pattern from a script: `*` stands for any run of characters, `?`
// for any one, everything else for itself; letters match in either case.
#include <QString>

namespace IdentityPattern {
bool Matches(const QString& pattern, const QString& value);
}
