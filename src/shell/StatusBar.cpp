#include "StatusBar.h"

#include "CommandIds.h"
#include "FrameResources.h"
#include "widgets/StatusOutcome.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>

#include <cstdlib>

#if defined(MOSSVALE_HAVE_XCB) && QT_CONFIG(xcb)
#define MOSSVALE_READ_X_LOCKS 1
#include <xcb/xcb.h>
#endif

namespace {

unsigned LockOf(UINT nID)
{
    switch (nID) {
    case ID_INDICATOR_CAPS:
        return CStatusBar::LOCK_CAPS;
    case ID_INDICATOR_NUM:
        return CStatusBar::LOCK_NUM;
    case ID_INDICATOR_SCRL:
        return CStatusBar::LOCK_SCROLL;
    default:
        return 0;
    }
}

bool IsLockKey(int nKey)
{
    return nKey == Qt::Key_CapsLock || nKey == Qt::Key_NumLock || nKey == Qt::Key_ScrollLock;
}

} // namespace

CStatusBar::CStatusBar(QWidget* pParent) : QStatusBar(pParent)
{
    // Lock keys can be pressed in any window of the program; coming back from another
    // program may find them changed.
    qApp->installEventFilter(this);
}

CStatusBar::~CStatusBar() = default;

void CStatusBar::SetLastBackup(const QString& strText)
{
    if (!m_pLastBackup) {
        // A permanent pane: a command's prompt in the message pane does not hide it.
        m_pLastBackup = new QLabel(this);
        // Left of the indicators: permanent panes come after the message pane.
        insertPermanentWidget(m_pIdleLabel ? 1 : 0, m_pLastBackup);
    }
    m_pLastBackup->setText(strText);
    m_pLastBackup->setAccessibleName(strText);
    m_pLastBackup->setVisible(!strText.isEmpty());
}

QString CStatusBar::LastBackupText() const
{
    return m_pLastBackup ? m_pLastBackup->text() : QString();
}

bool CStatusBar::SetIndicators(const std::vector<UINT>& ids)
{
    for (UINT nID : ids) {
        if (nID != ID_SEPARATOR && CFrameResources::String(nID).isEmpty())
            return false;
    }
    delete m_pIdleLabel;
    m_pIdleLabel = nullptr;
    for (auto& indicator : m_indicators)
        delete indicator.second;
    m_indicators.clear();

    for (UINT nID : ids) {
        if (nID == ID_SEPARATOR) {
            // A normal widget: QStatusBar hides it while a prompt is shown.
            m_pIdleLabel = new QLabel(CFrameResources::String(57345), this);
            addWidget(m_pIdleLabel, 1);
            continue;
        }
        auto* pLabel = new QLabel(CFrameResources::String(nID), this);
        pLabel->setObjectName(CFrameResources::String(nID));
        pLabel->setFrameShape(QFrame::Panel);
        pLabel->setFrameShadow(QFrame::Sunken);
        pLabel->setAlignment(Qt::AlignCenter);
        // Wide enough for the text whether lit or not, so the bar never jumps.
        pLabel->setMinimumWidth(pLabel->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) +
                                12);
        addPermanentWidget(pLabel);
        m_indicators.emplace_back(nID, pLabel);
    }
    UpdateIndicators();
    return true;
}

QString CStatusBar::MessageText() const
{
    const QString strMessage = currentMessage();
    if (!strMessage.isEmpty() || !m_pIdleLabel)
        return strMessage;
    return m_pIdleLabel->text();
}

void CStatusBar::SetIdleText(const QString& strText)
{
    if (m_pIdleLabel)
        m_pIdleLabel->setText(strText);
}

QString CStatusBar::IdleText() const
{
    return m_pIdleLabel ? m_pIdleLabel->text() : QString();
}

void CStatusBar::ShowOutcome(const QString& strText)
{
    CStatusOutcome::Show(this, strText);
}

QLabel* CStatusBar::Indicator(UINT nID) const
{
    for (const auto& indicator : m_indicators) {
        if (indicator.first == nID)
            return indicator.second;
    }
    return nullptr;
}

bool CStatusBar::IsIndicatorLit(UINT nID) const
{
    const QLabel* pLabel = Indicator(nID);
    return pLabel && pLabel->isEnabled();
}

void CStatusBar::UpdateIndicators()
{
    const unsigned nLocks = KeyboardLocks();
    for (auto& indicator : m_indicators)
        indicator.second->setEnabled((nLocks & LockOf(indicator.first)) != 0);
}

unsigned CStatusBar::KeyboardLocks()
{
#if defined(MOSSVALE_READ_X_LOCKS)
    auto* pX11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* pConnection = pX11 ? pX11->connection() : nullptr;
    if (!pConnection)
        return 0;
    // The core protocol's keyboard lights: LED 1 is Caps Lock, 2 Num Lock, 3 Scroll Lock.
    xcb_get_keyboard_control_reply_t* pReply =
        xcb_get_keyboard_control_reply(pConnection, xcb_get_keyboard_control(pConnection), nullptr);
    if (!pReply)
        return 0;
    const unsigned nLeds = pReply->led_mask;
    free(pReply);
    return nLeds & (LOCK_CAPS | LOCK_NUM | LOCK_SCROLL);
#else
    return 0;
#endif
}

bool CStatusBar::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    switch (pEvent->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // The same key event passes the filter once per widget it propagates through;
        // only the window's copy is worth a look.
        if (pWatched->isWindowType() && IsLockKey(static_cast<QKeyEvent*>(pEvent)->key()))
            UpdateIndicators();
        break;
    case QEvent::ApplicationActivate:
        UpdateIndicators();
        break;
    default:
        break;
    }
    return QStatusBar::eventFilter(pWatched, pEvent);
}
