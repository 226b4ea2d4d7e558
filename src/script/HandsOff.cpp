#include "script/HandsOff.h"

#include "shell/frmMain.h"

#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QShortcutEvent>
#include <QToolButton>

#include <algorithm>

HandsOff::HandsOff(frmMain& form) : m_form(form)
{
    qApp->installEventFilter(this);
}

HandsOff::~HandsOff()
{
    qApp->removeEventFilter(this);
}

void HandsOff::Allow(QWidget* window)
{
    m_allowed.removeAll(nullptr);
    m_allowed << window;
}

bool HandsOff::OnTheWayOut(QWidget* target, QEvent* event) const
{
    if (target == m_form.cmdExit || target == m_form.mnuFile)
        return true;
    if (target != m_form.menuBar())
        return false;
    // On the menu bar only File opens, by the mouse or by its Alt key.
    if (event->type() == QEvent::Shortcut)
        return static_cast<QShortcutEvent*>(event)->key() == QKeySequence::mnemonic(m_form.mnuFile->title());
    if (const auto* mouse = dynamic_cast<QMouseEvent*>(event))
        return m_form.menuBar()->actionAt(mouse->position().toPoint()) == m_form.mnuFile->menuAction();
    return false;
}

bool HandsOff::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:  // over the menu bar it opens menus
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
        break;
    default:
        return false;
    }
    auto* target = qobject_cast<QWidget*>(watched);
    // The window's own widgets and menus, the popups included.
    bool ours = false;
    for (QObject* o = watched; o && !ours; o = o->parent()) {
        if (std::any_of(m_allowed.cbegin(), m_allowed.cend(), [o](const QPointer<QWidget>& w) { return w == o; }))
            return false;
        ours = o == &m_form;
    }
    if (!target || !ours)
        return false;
    if (event->type() == QEvent::MouseMove && target != m_form.menuBar())
        return false;
    return !OnTheWayOut(target, event);
}
