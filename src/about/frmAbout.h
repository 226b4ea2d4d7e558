#pragma once
// The About window: product, maker, version, web address and disclaimer, with
// "OK" to close it. Its "&System Info..." button, hidden and disabled, would
// start the operating system's system-information tool found in the registry.
#include "shell/Platform.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <cstdint>

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    static const QString AppTitle;     // "qz Ruvude Zivo"
    static const QString WebAddress;   // shown by Label6
    static const QString DesignDisclaimer;  // lblDisclaimer's caption before loading
    // The three pieces Form_Load appends to the disclaimer, in order.
    static QStringList DisclaimerPieces();
    static QString VersionText();      // "major.minor.revision"

    explicit frmAbout(const Platform& platform, QWidget* parent = nullptr);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();
    // Reads the value SubKeyRef of the key KeyName under KeyRoot into KeyVal;
    // true when it was read. KeyVal is emptied when the key or value is missing.
    bool GetKeyValue(const uint32_t& KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

    // Controls, public so that tests can look at them as a user would.
    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* lblSoft = nullptr;
    QLabel* Label6 = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildLayout();

    Platform m_platform;
};
