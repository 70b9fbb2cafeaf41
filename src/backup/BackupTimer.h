#pragma once
// The systemd user timer and service that run "mossvale --backup" on the schedule:
// mossvale-backup.timer and .service in the user's unit folder ($XDG_CONFIG_HOME/systemd/user),
// enabled and removed with "systemctl --user". The timer is persistent, so a run missed while
// the machine was off or asleep starts soon after it wakes.
//
// It waits for systemctl (a second or so); call it where a short wait is acceptable.
#include "BackupSchedule.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class CBackupTimer
{
public:
    static constexpr const char* TIMER_NAME = "mossvale-backup.timer";
    static constexpr const char* SERVICE_NAME = "mossvale-backup.service";
    // What the service adds to "--backup", so that the run knows nobody is watching it.
    static constexpr const char* TIMER_OPTION = "--started-by-timer";

    // strProgram: the absolute path the service runs.
    explicit CBackupTimer(QString strProgram, QString strUnitFolder = DefaultUnitFolder());
    static QString DefaultUnitFolder();

    QString TimerPath() const;
    QString ServicePath() const;
    bool IsInstalled() const;

    struct Result {
        bool bOk = true;
        QString strCommand; // what failed: a command line or a file's path
        QString strError;   // and what it said
    };
    // On: writes both units, reloads systemd and enables the timer. Off, or any step failing:
    // disables the timer and removes both units, so that nothing half-made is left behind.
    Result Apply(const CBackupSchedule& schedule) const;

    // When systemd will start the next run; invalid when it cannot tell.
    QDateTime NextElapse() const;
    // The next run of the schedule: systemd's word where it has one, else the schedule's
    // own reckoning; invalid when the schedule is off or its timer is not there.
    QDateTime NextRun(const CBackupSchedule& schedule) const;
    // systemctl's value of a timestamp: "@1765432100", or its local "Fri 2026-12-11 02:30:00 UTC".
    static QDateTime ParseTimestamp(const QString& strValue);

    QString TimerText(const CBackupSchedule& schedule) const;
    QString ServiceText() const;

private:
    Result Systemctl(const QStringList& args) const;
    Result Write(const QString& strPath, const QString& strText) const;
    void Remove() const;

    QString m_strProgram;
    QString m_strUnitFolder;
};
