#pragma once
#include "shell/frmMain.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

// What a user sees of the window's state, in one line: the enabled buttons (Connect by its caption) and slider; the
// labels shown, with their texts; the Port menu's entries, "*" for a tick; the options selected. For example
// "Disconnect SWEEP LEFT RIGHT slider CYCLE | Meter Serial Number: QZ1234 Firmware Version: 1.05 | Comm1:* Comm2: |
// OFF TRAD".
inline QString Shows(const frmMain& f)
{
    QStringList enabled, labels, ports, options;
    for (QWidget* w : QList<QWidget*>{f.cmdConnect, f.cmdSweep, f.cmdLeft, f.cmdRight, f.SldSpeed, f.cmdCycle})
        if (w->isEnabled())
            enabled << (w == f.SldSpeed ? QStringLiteral("slider") : static_cast<QPushButton*>(w)->text());
    for (QLabel* l : {f.lblInfo, f.lblTitle, f.lblSerialNum, f.lblHard, f.lblFw, f.lblFirm})
        if (!l->isHidden())
            labels << l->text();
    for (QAction* a : f.mnuSourcePortComm)
        if (a->isVisible())
            ports << a->text() + (a->isChecked() ? "*" : "") + (a->isEnabled() ? "(enabled)" : "");
    for (QRadioButton* o : {f.optLIN, f.optLUT, f.optTrad, f.optSimple})
        if (o->isChecked())
            options << o->text();
    return QStringList{enabled.join(' '), labels.join(' '), ports.join(' '), options.join(' ')}.join(" | ");
}
