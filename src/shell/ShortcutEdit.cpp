#include "ShortcutEdit.h"

#include <QKeyEvent>

namespace {

bool IsModifierKey(int nKey)
{
    switch (nKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

// Keys that move the focus or close the dialog when pressed on their own.
bool IsNavigationKey(const QKeyEvent* pEvent)
{
    const Qt::KeyboardModifiers mods =
        pEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const int nKey = pEvent->key();
    return mods == Qt::NoModifier &&
           (nKey == Qt::Key_Tab || nKey == Qt::Key_Backtab || nKey == Qt::Key_Escape);
}

} // namespace

CShortcutEdit::CShortcutEdit(QWidget* pParent) : QLineEdit(pParent)
{
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void CShortcutEdit::SetKey(const QKeySequence& key)
{
    m_key = key;
    setText(key.toString(QKeySequence::NativeText));
    emit KeyChanged(key);
}

bool CShortcutEdit::event(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::ShortcutOverride || pEvent->type() == QEvent::KeyPress) {
        auto* pKey = static_cast<QKeyEvent*>(pEvent);
        if (!IsNavigationKey(pKey)) {
            // Every key is a candidate here, even one that runs a command elsewhere.
            if (pEvent->type() == QEvent::KeyPress)
                keyPressEvent(pKey);
            pEvent->accept();
            return true;
        }
    }
    return QLineEdit::event(pEvent);
}

void CShortcutEdit::keyPressEvent(QKeyEvent* pEvent)
{
    if (IsModifierKey(pEvent->key()) || IsNavigationKey(pEvent))
        return;
    const Qt::KeyboardModifiers mods =
        pEvent->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    SetKey(QKeySequence(QKeyCombination(mods, Qt::Key(pEvent->key()))));
}
