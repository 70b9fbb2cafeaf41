#include "DesktopNotifier.h"

#include "resources/Texts.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QSettings>
#include <QVariantMap>

namespace {

const char* const SERVICE = "org.freedesktop.Notifications";
const char* const PATH = "/org/freedesktop/Notifications";
const char* const INTERFACE = "org.freedesktop.Notifications";
const char* const NOTIFY_SUCCESS_KEY = "Schedule/NotifyOnSuccess";

} // namespace

CDesktopNotifier::CDesktopNotifier(const QDBusConnection& bus, QObject* pParent)
    : QObject(pParent), m_bus(bus)
{
    m_bus.connect(QLatin1String(SERVICE), QLatin1String(PATH), QLatin1String(INTERFACE),
                  QStringLiteral("ActionInvoked"), this, SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(QLatin1String(SERVICE), QLatin1String(PATH), QLatin1String(INTERFACE),
                  QStringLiteral("NotificationClosed"), this,
                  SLOT(OnNotificationClosed(uint, uint)));
}

bool CDesktopNotifier::Tells(ERunEnd eEnd, bool bNotifySuccess)
{
    return eEnd != RUN_SUCCEEDED || bNotifySuccess;
}

bool CDesktopNotifier::ShowRunEnd(ERunEnd eEnd, const QString& strDetail, bool bNotifySuccess)
{
    if (!Tells(eEnd, bNotifySuccess))
        return false;
    QString strSummary;
    switch (eEnd) {
    case RUN_SUCCEEDED:
        strSummary = Texts::ScheduledBackupSucceeded();
        break;
    case RUN_FAILED:
        strSummary = Texts::ScheduledBackupFailed();
        break;
    case RUN_INTERRUPTED:
        strSummary = Texts::ScheduledBackupInterrupted();
        break;
    }
    return Notify(strSummary, strDetail, eEnd != RUN_SUCCEEDED) != 0;
}

uint CDesktopNotifier::Notify(const QString& strSummary, const QString& strBody, bool bUrgent)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(SERVICE), QLatin1String(PATH),
                                       QLatin1String(INTERFACE), QStringLiteral("Notify"));
    QVariantMap hints;
    // Critical stays on screen until the user has seen it: a failure must not pass unnoticed.
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(bUrgent ? 2 : 1)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("mossvale"));
    const QStringList actions = {QStringLiteral("default"), Texts::ShowHistoryAction()};
    call << Texts::AppName() << uint(0) << QStringLiteral("mossvale") << strSummary << strBody
         << actions << hints << int(-1);
    const QDBusReply<uint> reply = m_bus.call(call, QDBus::Block, 10000);
    m_nID = reply.isValid() ? reply.value() : 0;
    return m_nID;
}

bool CDesktopNotifier::NotifiesSuccess(QSettings& settings)
{
    return settings.value(QLatin1String(NOTIFY_SUCCESS_KEY), false).toBool();
}

void CDesktopNotifier::SetNotifiesSuccess(QSettings& settings, bool bOn)
{
    settings.setValue(QLatin1String(NOTIFY_SUCCESS_KEY), bOn);
}

void CDesktopNotifier::OnActionInvoked(uint nID, const QString& strAction)
{
    if (m_nID != 0 && nID == m_nID && strAction == QLatin1String("default"))
        emit activated();
}

void CDesktopNotifier::OnNotificationClosed(uint nID, uint /*nReason*/)
{
    if (m_nID != 0 && nID == m_nID)
        emit closed();
}
