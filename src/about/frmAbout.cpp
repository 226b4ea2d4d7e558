#include "about/frmAbout.h"

#include "about/ProcessLauncher.h"
#include "about/Registry.h"
#include "about/RegistryValueText.h"
#include "shell/AppTitle.h"
#include "shell/Icons.h"
#include "shell/LayoutUnits.h"
#include "shell/MessageBoxes.h"

#include <QFont>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <array>

using namespace LayoutUnits;

namespace {

void SetTextColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

// Where the system-information tool is recorded.
const QString SysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString SysInfoValue = QStringLiteral("PATH");
const QString SysInfoLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString SysInfoLocationValue = QStringLiteral("MSINFO");
const QString SysInfoProgram = QStringLiteral("\\MSINFO32.EXE");

}  // namespace

const QString frmAbout::AppTitle = QLatin1String(::AppTitle);
const QString frmAbout::WebAddress = QStringLiteral("www.vantrel.example");
const QString frmAbout::DesignDisclaimer = QStringLiteral("Note: ...");

QStringList frmAbout::DisclaimerPieces()
{
    return {QStringLiteral(" This program is a bench test aid for driftmark panel meters."),
            QStringLiteral(" It comes without warranty of any kind."),
            QStringLiteral(" Use it at your own risk.")};
}

QString frmAbout::VersionText()
{
    return QStringLiteral("%1.%2.%3").arg(QZ_VERSION_MAJOR).arg(QZ_VERSION_MINOR).arg(QZ_VERSION_REVISION);
}

frmAbout::frmAbout(const Platform& platform, QWidget* parent) : QDialog(parent), m_platform(platform)
{
    BuildLayout();
}

void frmAbout::BuildLayout()
{
    setObjectName("frmAbout");
    setWindowTitle("About MyApp");
    // A fixed dialog: title and close box, no minimise or maximise, no resizing.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFont(SansFont(8.25, false));
    setFixedSize(Px(5730), Px(3030));

    picIcon = new QLabel(this);
    picIcon->setObjectName("picIcon");
    picIcon->setPixmap(Icons::MeterPicture());
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setFocusPolicy(Qt::StrongFocus);
    Place(picIcon, 240, 240, 480, 480);

    lblTitle = MakeLabel(this, "lblTitle", "driftmark");
    lblTitle->setFont(SansFont(13.5, true));
    SetTextColour(lblTitle, Qt::black);
    Place(lblTitle, 1080, 240, 3885, 480);

    Label1 = MakeLabel(this, "Label1", "Vantrel Ltd");
    Label1->setFont(SansFont(9.75, true));
    Place(Label1, 1080, 720, 3855, 255);

    Label5 = MakeLabel(this, "Label5", "Software Version:");
    Place(Label5, 1080, 1080, 1845, 225);

    lblSoft = MakeLabel(this, "lblSoft", QString());
    Place(lblSoft, 3000, 1080, 1935, 255);

    // The web address is shown, not linked: clicking it does nothing.
    Label6 = MakeLabel(this, "Label6", WebAddress);
    Label6->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label6->setTextInteractionFlags(Qt::NoTextInteraction);
    SetTextColour(Label6, QColor(0, 0, 255));
    Place(Label6, 360, 1560, 4935, 255);

    Line1 = new QFrame(this);
    Line1->setObjectName("Line1");
    Line1->setFrameShape(QFrame::NoFrame);
    Line1->setAutoFillBackground(true);
    {
        QPalette p = Line1->palette();
        p.setColor(QPalette::Window, QColor(128, 128, 128));
        Line1->setPalette(p);
    }
    Line1->setGeometry(Px(120), Px(1920), Px(5684) - Px(120), 1);

    lblDisclaimer = MakeLabel(this, "lblDisclaimer", DesignDisclaimer);
    lblDisclaimer->setWordWrap(true);
    SetTextColour(lblDisclaimer, Qt::black);
    Place(lblDisclaimer, 255, 2040, 3870, 825);

    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    Place(cmdOK, 4245, 2040, 1260, 345);

    cmdSysInfo = new QPushButton("&System Info...", this);
    cmdSysInfo->setObjectName("cmdSysInfo");
    cmdSysInfo->setAutoDefault(false);
    cmdSysInfo->setVisible(false);
    cmdSysInfo->setEnabled(false);
    Place(cmdSysInfo, 4260, 2520, 1245, 345);

    // Keyboard order: OK, the icon, System Info; the labels never take the focus.
    setTabOrder(cmdOK, picIcon);
    setTabOrder(picIcon, cmdSysInfo);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
}

void frmAbout::Form_Load()
{
    setWindowTitle("About " + AppTitle);
    lblSoft->setText(VersionText());
    // Appended to the design caption, which every new window starts from.
    for (const QString& piece : DisclaimerPieces())
        lblDisclaimer->setText(lblDisclaimer->text() + piece);
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::keyPressEvent(QKeyEvent* event)
{
    // OK is the cancel button as well: Escape presses it (Enter does already,
    // as it is the default button).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::StartSysInfo()
{
    const uint32_t root = Registry::LocalMachine;
    QString SysInfoPath;
    bool found = GetKeyValue(root, SysInfoKey, SysInfoValue, SysInfoPath);
    if (!found && GetKeyValue(root, SysInfoLocationKey, SysInfoLocationValue, SysInfoPath)) {
        const QString candidate = SysInfoPath + SysInfoProgram;
        if (m_platform.launcher && m_platform.launcher->FileExists(candidate)) {
            SysInfoPath = candidate;
            found = true;
        }
    }
    if (found && m_platform.launcher && m_platform.launcher->Start(SysInfoPath))
        return;
    m_platform.messages->Show(this, "System Information Is Unavailable At This Time", AppTitle,
                              MessageBoxes::Icon::None, MessageBoxes::Buttons::Ok);
}

bool frmAbout::GetKeyValue(const uint32_t& KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                           QString& KeyVal)
{
    Registry* registry = m_platform.registry;
    Registry::Handle hKey = 0;
    if (!registry || registry->OpenKeyEx(KeyRoot, KeyName.toLocal8Bit(), Registry::ReadAccess, hKey) !=
                         Registry::Success) {
        KeyVal.clear();
        return false;
    }

    constexpr uint32_t BufferSize = 1024;
    std::array<char, BufferSize> tmpVal{};
    uint32_t KeyValSize = BufferSize;
    uint32_t KeyValType = 0;
    if (registry->QueryValueEx(hKey, SubKeyRef.toLocal8Bit(), KeyValType, tmpVal.data(), KeyValSize) !=
        Registry::Success) {
        KeyVal.clear();
        registry->CloseKey(hKey);
        return false;
    }

    RegistryValueText::Apply(tmpVal.data(), BufferSize, KeyValSize, KeyValType, KeyVal);
    registry->CloseKey(hKey);
    return true;
}
