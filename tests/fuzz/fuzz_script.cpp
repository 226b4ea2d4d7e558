// A script as --run reads it, bytes from anywhere: either actions or one
// "NAME:LINE: message" on one line, at a line the script has; never both.
#include "script/ScriptReader.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const ScriptReader::Result script = ScriptReader::Read(text, QStringLiteral("fuzz"));
    const qsizetype lines = text.count('\n') + 1;
    if (!script.error.isEmpty()) {
        const int line = script.error.section(':', 1, 1).toInt();
        if (!script.actions.isEmpty() || !script.error.startsWith(QLatin1String("fuzz:")) || line < 1 ||
            line > lines || script.error.contains('\n') || script.error.contains('\r'))
            std::abort();
        return 0;
    }
    int last = 0;  // actions in the order of their lines
    for (const ScriptAction& action : script.actions) {
        if (action.line <= last || action.line > lines)
            std::abort();
        last = action.line;
    }
    return 0;
}
