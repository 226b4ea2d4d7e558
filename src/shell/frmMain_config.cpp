// The session file qz_upgrade.cfg: the saved port number and ten reserved
// records. Nothing in the program calls these two yet.
#include "shell/MessageBoxes.h"
#include "shell/SessionConfigFormat.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

using namespace qzGlobals;

namespace {
const QString ConfigFileName = QStringLiteral("qz_upgrade.cfg");
// The file is a few dozen bytes; anything much larger is not ours to read whole.
constexpr qint64 MaxConfigBytes = qint64{64} * 1024;
}  // namespace

bool frmMain::Load_Config()
{
    // By its bare name: in whatever folder is current.
    QFile file(ConfigFileName);
    int16_t port = 0;
    bool ok = file.open(QIODevice::ReadOnly);
    if (ok) {
        const QByteArray data = file.read(MaxConfigBytes);
        ok = file.error() == QFileDevice::NoError && SessionConfigFormat::Read(data, port);
        file.close();
    }
    if (!ok) {
        SavedPort = 0;
        return false;
    }
    SavedPort = port;
    return true;
}

bool frmMain::Save_Config()
{
    bool ok = QDir::setCurrent(AppFolder);
    // The new contents go to a file beside the old one, which is replaced only
    // once everything has been written: a failure leaves the old file as it was.
    QSaveFile file(ConfigFileName);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray data = SessionConfigFormat::Write(SavedPort);
        // A short write (disk full, size limit) is not an error to the file
        // itself, and commit would then put the short file in place: check
        // every byte reached the disk and give the new file up if not.
        if (file.write(data) != data.size() || !file.flush()) {
            file.cancelWriting();
            ok = false;
        }
        if (!file.commit())
            ok = false;
    } else {
        ok = false;
    }
    if (!ok) {
        m_platform.messages->Show(this, "Error Saving Session Config File", "Save Parameters",
                                  MessageBoxes::Icon::Critical, MessageBoxes::Buttons::Ok);
        return false;
    }
    return true;
}
