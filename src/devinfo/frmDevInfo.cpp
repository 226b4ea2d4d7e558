#include "devinfo/frmDevInfo.h"

#include "devinfo/ChipIdLibrary.h"
#include "devinfo/Clipboard.h"
#include "devinfo/DescriptionText.h"
#include "shell/LayoutUnits.h"

#include <QFont>
#include <QListWidget>
#include <algorithm>

using LayoutUnits::Px;

namespace {

// DeviceIndex is 16 bits wide: adapters beyond that are not listed.
constexpr int32_t MaxDevices = 32768;

}  // namespace

frmDevInfo::frmDevInfo(const Platform& platform, QWidget* parent) : QDialog(parent), m_platform(platform)
{
    BuildLayout();
}

void frmDevInfo::BuildLayout()
{
    setObjectName("frmDevInfo");
    setWindowTitle("USB Device Info");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFixedSize(Px(4785), Px(2925));

    LoggerList = new QListWidget(this);
    LoggerList->setObjectName("LoggerList");
    QFont font("MS Sans Serif");
    font.setPointSizeF(12);
    font.setBold(false);
    font.setStyleHint(QFont::SansSerif);
    LoggerList->setFont(font);
    LoggerList->setSortingEnabled(false);
    LoggerList->setGeometry(Px(120), Px(60), Px(4575), Px(2760));
}

void frmDevInfo::AddLine(const QString& line)
{
    LoggerList->addItem(line);
}

void frmDevInfo::Form_Load()
{
    QString problem;
    if (!m_platform.chipId) {
        AddLine(QStringLiteral("USB device information is unavailable"));
        return;
    }
    if (!m_platform.chipId->Load(problem)) {
        AddLine(problem);
        return;
    }

    Get_Num_Devices();
    // The count alone decides; a failed count query leaves whatever it left.
    const int32_t count = std::min(NumDevices, MaxDevices);
    for (int32_t i = 0; i < count; ++i) {
        DeviceIndex = static_cast<int16_t>(i);
        Get_Description();
        Get_Chip_ID();
    }
}

void frmDevInfo::Get_Num_Devices()
{
    DeviceStatus = m_platform.chipId->FTID_GetNumDevices(&NumDevices);
    if (DeviceStatus != 0)
        AddLine("FTID_GetNumDevs failed status = " + QString::number(DeviceStatus));
    else
        AddLine("Number of Devices = " + QString::number(NumDevices));
}

void frmDevInfo::Get_Description()
{
    DeviceStatus = m_platform.chipId->FTID_GetDeviceDescription(DeviceIndex, Description.data(),
                                                                static_cast<int32_t>(Description.size()));
    if (DeviceStatus != 0)
        AddLine("FTID_GetDeviceDescription failed status = " + QString::number(DeviceStatus));
    else
        AddLine("Description = " + DescriptionText::FromBuffer(Description.data(), Description.size()));
}

void frmDevInfo::Get_Chip_ID()
{
    DeviceStatus = m_platform.chipId->FTID_GetDeviceChipID(DeviceIndex, &ChipID);
    if (DeviceStatus != 0) {
        // Reported like the other two queries; the clipboard is left alone.
        AddLine("FTID_GetDeviceChipID failed status = " + QString::number(DeviceStatus));
        return;
    }
    const QString text = QString::number(ChipID);
    AddLine("Chip ID = " + text);
    if (m_platform.clipboard) {
        m_platform.clipboard->Clear();
        m_platform.clipboard->SetText(text);
    }
}
