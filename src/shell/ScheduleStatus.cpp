#include "ScheduleStatus.h"

#include "BackupSchedulePage.h"
#include "Profile.h"
#include "backup/BackupSession.h"
#include "backup/BackupTimer.h"
#include "login/AccountStore.h"
#include "resources/Texts.h"

#include <QFile>
#include <QLocale>

CScheduleStatus::CScheduleStatus(QWidget* pParent) : QLabel(pParent)
{
    // The next run moves on as the clock does.
    m_minute.setInterval(60 * 1000);
    connect(&m_minute, &QTimer::timeout, this, &CScheduleStatus::Update);
    m_minute.start();
    Refresh();
}

void CScheduleStatus::Refresh()
{
    m_schedule = CBackupSchedule::Load(*CProfile::Open());
    // Only whether the timer is there, not systemctl: the window does not wait on a process.
    m_bInstalled = CBackupTimer(QString()).IsInstalled();
    Update();
}

void CScheduleStatus::SetLastSuccess(const QDateTime& lastSuccess)
{
    m_lastSuccess = lastSuccess;
    Update();
}

void CScheduleStatus::LoadLastSuccess()
{
    CAccountStore store;
    const CAccountStore::Account account =
        store.Open() ? store.ReadAccount() : CAccountStore::Account();
    if (account.strServer.isEmpty() || account.strUserName.isEmpty())
        return SetLastSuccess({});
    const QString strKey = CBackupSession(account.strServer.toStdString(),
                                          account.strUserName.toStdString(), std::string())
                               .AccountKey();
    // Only an account that has a history: opening one would make it.
    if (!QFile::exists(CBackupHistory::FilePath(strKey)))
        return SetLastSuccess({});
    SetLastSuccess(LastSuccess(CBackupHistory(strKey).Runs()));
}

QDateTime CScheduleStatus::LastSuccess(const QList<BackupRunRecord>& runs)
{
    for (const BackupRunRecord& run : runs) {
        if (run.eState == BackupRunRecord::EState::Finished && run.nFailed == 0 &&
            run.nNotSent == 0)
            return run.ended;
    }
    return {};
}

QString CScheduleStatus::WarningText() const
{
    return m_bWarning
               ? Texts::LastBackupOverdue(QLocale().toString(m_lastSuccess, QLocale::ShortFormat))
               : QString();
}

void CScheduleStatus::Update()
{
    const QDateTime now = QDateTime::currentDateTime();
    QStringList parts;
    m_bWarning = m_schedule.IsStale(m_lastSuccess, now);
    if (m_bWarning)
        parts << WarningText();
    if (m_schedule.IsOn() && m_bInstalled)
        parts << CBackupSchedulePage::NextRunText(m_schedule.NextRun(now));
    setText(parts.join(QStringLiteral("  ")));
    setVisible(!parts.isEmpty());
}
