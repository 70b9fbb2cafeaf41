#pragma once
// When backups run on their own: never, every hour, every day at a time, or every week on a
// day at a time. A value, saved in the profile under "Schedule"; CBackupTimer carries it out.
#include <QDateTime>
#include <QString>
#include <QTime>

class QSettings;

class CBackupSchedule
{
public:
    enum EEvery { EVERY_NEVER, EVERY_HOUR, EVERY_DAY, EVERY_WEEK };

    CBackupSchedule() = default;
    static CBackupSchedule Hourly();
    static CBackupSchedule Daily(QTime time);
    // nDay as Qt numbers the days: 1 Monday ... 7 Sunday.
    static CBackupSchedule Weekly(int nDay, QTime time);

    EEvery Every() const { return m_eEvery; }
    bool IsOn() const { return m_eEvery != EVERY_NEVER; }
    QTime Time() const { return m_time; }
    int Day() const { return m_nDay; }

    // systemd's calendar expression: "*-*-* *:00:00", "*-*-* 02:30:00", "Mon *-*-* 02:30:00".
    QString OnCalendar() const;
    // The first run after now by the clock; invalid when never.
    QDateTime NextRun(const QDateTime& now) const;
    // Seconds from one run to the next; 0 when never.
    qint64 IntervalSeconds() const;

    // Whether the last successful backup is old enough to warn of: older than two of the
    // schedule's intervals (one run missed may be a closed lid; two are not), or than a week
    // with no schedule. No success at all is not warned of here: there is nothing it
    // stopped, and the failures were told as they happened.
    bool IsStale(const QDateTime& lastSuccess, const QDateTime& now) const;

    void Save(QSettings& settings) const;
    // What is missing or damaged in the profile reads as never: a guess could start
    // backups the user never asked for.
    static CBackupSchedule Load(QSettings& settings);

    bool operator==(const CBackupSchedule& other) const;
    bool operator!=(const CBackupSchedule& other) const { return !(*this == other); }

private:
    EEvery m_eEvery = EVERY_NEVER;
    QTime m_time = QTime(0, 0);
    int m_nDay = 1;
};
