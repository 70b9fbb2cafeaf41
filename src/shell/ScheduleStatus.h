#pragma once
// The status bar's word on automatic backups: when the next one runs, and a warning when the
// last successful backup is overdue. Empty and hidden while there is neither to say.
#include "backup/BackupHistory.h"
#include "backup/BackupSchedule.h"

#include <QDateTime>
#include <QLabel>
#include <QTimer>

class CScheduleStatus : public QLabel
{
    Q_OBJECT
public:
    explicit CScheduleStatus(QWidget* pParent = nullptr);

    // Reads the schedule from the profile again, as after the customise dialog.
    void Refresh();
    // The end of the account's last successful backup (invalid: none known), from its history.
    void SetLastSuccess(const QDateTime& lastSuccess);
    // The same, read from the history of the account the login dialog remembers.
    void LoadLastSuccess();
    // When the newest run that finished with every file on the server ended; runs newest first.
    static QDateTime LastSuccess(const QList<BackupRunRecord>& runs);
    bool IsWarning() const { return m_bWarning; }
    // The warning's own words, empty when there is none.
    QString WarningText() const;

private:
    void Update();

    CBackupSchedule m_schedule;
    bool m_bInstalled = false;
    QDateTime m_lastSuccess;
    bool m_bWarning = false;
    QTimer m_minute;
};
