// The window's message boxes, and what becomes of them once nobody is left to
// answer: after a terminating signal or the end of the desktop session a box
// would hold the program up for ever.
#include "shell/frmMain.h"

#include "link/LineTrace.h"
#include "shell/CommandLine.h"
#include "shell/Console.h"

MessageBoxes::Answer frmMain::Show_Message(const QString& text, const QString& title, MessageBoxes::Icon icon,
                                           MessageBoxes::Buttons buttons)
{
    if (!m_sessionEnded)
        return platform().messages->Show(this, text, title, icon, buttons);

    if (Console* console = platform().console) {
        console->Say(QStringLiteral("%1: %2: %3")
                         .arg(QLatin1String(CommandLine::ProgramName), title.trimmed(),
                              QString(text).replace(QLatin1String("\r\n"), QLatin1String(" "))));
    }
    if (LineTrace* trace = platform().trace)
        trace->Message(title, text);
    return buttons == MessageBoxes::Buttons::RetryCancel ? MessageBoxes::Answer::Cancel : MessageBoxes::Answer::Ok;
}
