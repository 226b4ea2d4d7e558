// qz-side-window-shots: renders the About window and the USB device
// information window offscreen to PNG files, the device window listing two
// made-up adapters.
//
//   qz-side-window-shots [output-folder]    (default: the current folder)
//
// Writes screenshot-about.png and screenshot-devinfo.png.
#include "DiscardingCommControl.h"
#include "about/frmAbout.h"
#include "devinfo/ChipIdLibrary.h"
#include "devinfo/Clipboard.h"
#include "devinfo/frmDevInfo.h"
#include "shell/Clock.h"
#include "shell/MessageBoxes.h"
#include "shell/Platform.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

namespace {

// The vendor's library as it answers with two adapters plugged in.
class TwoAdapters final : public ChipIdLibrary {
public:
    bool Load(QString&) override { return true; }
    int32_t FTID_GetNumDevices(int32_t* NumDevices) override
    {
        *NumDevices = 2;
        return 0;
    }
    int32_t FTID_GetDeviceDescription(int32_t DeviceIndex, char* Description, int32_t BufferSize) override
    {
        qstrncpy(Description, DeviceIndex == 0 ? "USB Serial Converter" : "driftmark bench adapter",
                 static_cast<size_t>(BufferSize));
        return 0;
    }
    int32_t FTID_GetDeviceChipID(int32_t DeviceIndex, int32_t* ChipID) override
    {
        *ChipID = DeviceIndex == 0 ? 305419896 : static_cast<int32_t>(0x80000001u);
        return 0;
    }
};

// The picture needs no clipboard.
class NoClipboard final : public Clipboard {
public:
    void Clear() override {}
    void SetText(const QString&) override {}
};

bool Save(QWidget& window, const QString& path)
{
    window.show();
    QApplication::processEvents();
    const bool saved = window.grab().save(path, "PNG");
    QTextStream(saved ? stdout : stderr) << (saved ? "" : "could not write ") << path << "\n";
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    MonotonicClock clock;
    DiscardingCommControl comm;
    QtMessageBoxes messages;
    TwoAdapters chipId;
    NoClipboard clipboard;
    Platform platform;
    platform.comm = &comm;
    platform.clock = &clock;
    platform.messages = &messages;
    platform.chipId = &chipId;
    platform.clipboard = &clipboard;
    frmMain form(platform);  // sets up the fonts the windows are designed in

    frmAbout about(platform);
    about.Form_Load();
    frmDevInfo info(platform);
    info.Form_Load();
    const bool aboutSaved = Save(about, out.filePath("screenshot-about.png"));
    const bool infoSaved = Save(info, out.filePath("screenshot-devinfo.png"));
    return aboutSaved && infoSaved ? 0 : 1;
}
