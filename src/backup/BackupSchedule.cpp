#include "BackupSchedule.h"

#include <QSettings>

namespace {

const char* const EVERY_KEYS[] = {"never", "hour", "day", "week"};
const char* const DAY_NAMES[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

// Minutes only: seconds in the profile or the timer would be noise.
QTime ToMinute(QTime time)
{
    return time.isValid() ? QTime(time.hour(), time.minute()) : QTime(0, 0);
}

} // namespace

CBackupSchedule CBackupSchedule::Hourly()
{
    CBackupSchedule schedule;
    schedule.m_eEvery = EVERY_HOUR;
    return schedule;
}

CBackupSchedule CBackupSchedule::Daily(QTime time)
{
    CBackupSchedule schedule;
    schedule.m_eEvery = EVERY_DAY;
    schedule.m_time = ToMinute(time);
    return schedule;
}

CBackupSchedule CBackupSchedule::Weekly(int nDay, QTime time)
{
    CBackupSchedule schedule = Daily(time);
    schedule.m_eEvery = EVERY_WEEK;
    schedule.m_nDay = (nDay >= 1 && nDay <= 7) ? nDay : 1;
    return schedule;
}

QString CBackupSchedule::OnCalendar() const
{
    const QString strTime = m_time.toString(QStringLiteral("HH:mm:00"));
    switch (m_eEvery) {
    case EVERY_HOUR:
        return QStringLiteral("*-*-* *:00:00");
    case EVERY_DAY:
        return QStringLiteral("*-*-* ") + strTime;
    case EVERY_WEEK:
        return QLatin1String(DAY_NAMES[m_nDay - 1]) + QStringLiteral(" *-*-* ") + strTime;
    case EVERY_NEVER:
        break;
    }
    return {};
}

QDateTime CBackupSchedule::NextRun(const QDateTime& now) const
{
    const QDateTime local = now.toLocalTime();
    switch (m_eEvery) {
    case EVERY_HOUR:
        return QDateTime(local.date(), QTime(local.time().hour(), 0)).addSecs(3600);
    case EVERY_DAY:
    case EVERY_WEEK:
        for (int nDays = 0; nDays <= 7; ++nDays) {
            const QDate date = local.date().addDays(nDays);
            if (m_eEvery == EVERY_WEEK && date.dayOfWeek() != m_nDay)
                continue;
            const QDateTime run(date, m_time);
            if (run > local)
                return run;
        }
        break;
    case EVERY_NEVER:
        break;
    }
    return {};
}

qint64 CBackupSchedule::IntervalSeconds() const
{
    switch (m_eEvery) {
    case EVERY_HOUR:
        return 3600;
    case EVERY_DAY:
        return 24 * 3600;
    case EVERY_WEEK:
        return 7 * 24 * 3600;
    case EVERY_NEVER:
        break;
    }
    return 0;
}

bool CBackupSchedule::IsStale(const QDateTime& lastSuccess, const QDateTime& now) const
{
    if (!lastSuccess.isValid())
        return false;
    const qint64 nLimit = IsOn() ? 2 * IntervalSeconds() : 7 * 24 * 3600;
    return lastSuccess.secsTo(now) > nLimit;
}

void CBackupSchedule::Save(QSettings& settings) const
{
    settings.beginGroup(QStringLiteral("Schedule"));
    settings.setValue(QStringLiteral("Every"), QLatin1String(EVERY_KEYS[m_eEvery]));
    settings.setValue(QStringLiteral("Time"), m_time.toString(QStringLiteral("HH:mm")));
    settings.setValue(QStringLiteral("Day"), m_nDay);
    settings.endGroup();
}

CBackupSchedule CBackupSchedule::Load(QSettings& settings)
{
    settings.beginGroup(QStringLiteral("Schedule"));
    const QString strEvery = settings.value(QStringLiteral("Every")).toString();
    const QTime time = QTime::fromString(settings.value(QStringLiteral("Time")).toString(),
                                         QStringLiteral("HH:mm"));
    bool bDayOk = false;
    const int nDay = settings.value(QStringLiteral("Day")).toInt(&bDayOk);
    settings.endGroup();

    if (strEvery == QLatin1String(EVERY_KEYS[EVERY_HOUR]))
        return Hourly();
    if (!time.isValid())
        return {};
    if (strEvery == QLatin1String(EVERY_KEYS[EVERY_DAY]))
        return Daily(time);
    if (strEvery == QLatin1String(EVERY_KEYS[EVERY_WEEK]) && bDayOk && nDay >= 1 && nDay <= 7)
        return Weekly(nDay, time);
    return {};
}

bool CBackupSchedule::operator==(const CBackupSchedule& other) const
{
    if (m_eEvery != other.m_eEvery)
        return false;
    switch (m_eEvery) {
    case EVERY_DAY:
        return m_time == other.m_time;
    case EVERY_WEEK:
        return m_time == other.m_time && m_nDay == other.m_nDay;
    default:
        return true;
    }
}
