#pragma once
// Tells the user how a backup that nobody watched ended, through the desktop's notification
// service (org.freedesktop.Notifications on the session bus). A failed or interrupted run is
// always told; a successful one only when the user asked for it. Clicking the notification
// emits activated(), on which the caller opens the history.
#include <QDBusConnection>
#include <QObject>
#include <QString>

class QSettings;

class CDesktopNotifier : public QObject
{
    Q_OBJECT
public:
    enum ERunEnd { RUN_SUCCEEDED, RUN_FAILED, RUN_INTERRUPTED };

    explicit CDesktopNotifier(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                              QObject* pParent = nullptr);

    // Whether a run that ended so is told at all.
    static bool Tells(ERunEnd eEnd, bool bNotifySuccess);
    // Shows the run's end, if Tells() says so; strDetail is a line of what happened
    // ("3 files backed up", the reason of a failure). False when nothing was shown, for want
    // of a service or because it was not to be told.
    bool ShowRunEnd(ERunEnd eEnd, const QString& strDetail, bool bNotifySuccess);
    // Any notification, with a "default" action; its id, or 0 when no service took it.
    uint Notify(const QString& strSummary, const QString& strBody, bool bUrgent);

    // The setting "tell me of a successful scheduled backup too", in the profile; off by default.
    static bool NotifiesSuccess(QSettings& settings);
    static void SetNotifiesSuccess(QSettings& settings, bool bOn);

signals:
    void activated(); // the user clicked the notification
    void closed();    // it went away without a click

private slots:
    void OnActionInvoked(uint nID, const QString& strAction);
    void OnNotificationClosed(uint nID, uint nReason);

private:
    QDBusConnection m_bus;
    uint m_nID = 0;
};
