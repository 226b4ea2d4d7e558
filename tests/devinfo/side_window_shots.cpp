// Renders the About window and the USB device information window offscreen
// and writes them as PNG files:
//   qz-side-window-shots <folder>   -> screenshot-about.png, screenshot-devinfo.png
// The device window lists two adapters from the test stand-in library.
#include "FakeClipboard.h"
#include "TestRig.h"
#include "about/NullRegistry.h"
#include "about/frmAbout.h"
#include "devinfo/RuntimeChipIdLibrary.h"
#include "devinfo/frmDevInfo.h"

#include <QApplication>
#include <QDir>
#include <QLibrary>
#include <QTest>
#include <cstdio>

namespace {

bool Save(QWidget& w, const QString& path)
{
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return false;
    QCoreApplication::processEvents();
    return w.grab().save(path, "PNG");
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    QLibrary script(QStringLiteral(FAKE_FTCHIPID_PATH));
    auto setCount = reinterpret_cast<void (*)(int32_t, int32_t, int32_t)>(script.resolve("FakeChipId_SetCount"));
    auto setDevice = reinterpret_cast<void (*)(int32_t, int32_t, const char*, int32_t, int32_t, int32_t)>(
        script.resolve("FakeChipId_SetDevice"));
    if (!setCount || !setDevice) {
        std::fprintf(stderr, "cannot load %s\n", FAKE_FTCHIPID_PATH);
        return 1;
    }
    setCount(0, 2, 1);
    setDevice(0, 0, "USB Serial Converter", 20, 0, 305419896);
    setDevice(1, 0, "driftmark bench adapter", 23, 0, static_cast<int32_t>(0x80000001u));

    RuntimeChipIdLibrary chipId({QStringLiteral(FAKE_FTCHIPID_PATH)});
    FakeClipboard clipboard;
    NullRegistry registry;
    TestRig rig;
    rig.platform.chipId = &chipId;
    rig.platform.clipboard = &clipboard;
    rig.platform.registry = &registry;
    rig.Make();  // installs the font substitutes the windows rely on

    frmAbout about(rig.platform);
    about.Form_Load();
    frmDevInfo info(rig.platform);
    info.Form_Load();

    bool ok = Save(about, out.filePath("screenshot-about.png"));
    ok = Save(info, out.filePath("screenshot-devinfo.png")) && ok;
    return ok ? 0 : 1;
}
