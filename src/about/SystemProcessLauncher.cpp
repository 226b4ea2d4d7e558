#include "about/SystemProcessLauncher.h"

#include <QFileInfo>
#include <QProcess>

bool SystemProcessLauncher::FileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool SystemProcessLauncher::Start(const QString& path)
{
    if (path.isEmpty())
        return false;
    // A detached process opens its own window in the normal way and is left
    // to itself.
    return QProcess::startDetached(path, {});
}
