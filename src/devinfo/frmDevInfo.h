#pragma once
// "USB Device Info": lists the USB serial adapters the chip vendor's library
// can see, with each one's description and chip identifier, and puts each
// chip identifier on the clipboard. All its work is done while it loads.
#include "devinfo/qzChipID.h"
#include "shell/Platform.h"

#include <QDialog>
#include <array>
#include <cstdint>

class QListWidget;

class frmDevInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmDevInfo(const Platform& platform, QWidget* parent = nullptr);

    void Form_Load();

    QListWidget* LoggerList = nullptr;

    // Window variables; the library writes NumDevices, Description and ChipID.
    int16_t DeviceIndex = 0;
    int32_t DeviceStatus = 0;
    int32_t NumDevices = 0;
    std::array<char, qzChipID::DescriptionBufferSize> Description{};
    int32_t ChipID = 0;

private:
    void BuildLayout();
    void Get_Num_Devices();
    void Get_Description();
    void Get_Chip_ID();
    void AddLine(const QString& line);

    Platform m_platform;
};
