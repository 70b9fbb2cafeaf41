#include "BackupTimer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// A word of an Exec line as systemd reads it: quoted, with its specifiers and variables
// written so that they stay themselves.
QString ExecWord(const QString& strWord)
{
    QString strOut = strWord;
    strOut.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    strOut.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    strOut.replace(QLatin1Char('%'), QStringLiteral("%%"));
    strOut.replace(QLatin1Char('$'), QStringLiteral("$$"));
    return QLatin1Char('"') + strOut + QLatin1Char('"');
}

} // namespace

CBackupTimer::CBackupTimer(QString strProgram, QString strUnitFolder)
    : m_strProgram(std::move(strProgram)), m_strUnitFolder(std::move(strUnitFolder))
{
}

QString CBackupTimer::DefaultUnitFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/systemd/user");
}

QString CBackupTimer::TimerPath() const
{
    return m_strUnitFolder + QLatin1Char('/') + QLatin1String(TIMER_NAME);
}

QString CBackupTimer::ServicePath() const
{
    return m_strUnitFolder + QLatin1Char('/') + QLatin1String(SERVICE_NAME);
}

bool CBackupTimer::IsInstalled() const
{
    return QFileInfo::exists(TimerPath());
}

QString CBackupTimer::TimerText(const CBackupSchedule& schedule) const
{
    return QStringLiteral("[Unit]\n"
                          "Description=Mossvale backup on its schedule\n"
                          "\n"
                          "[Timer]\n"
                          "OnCalendar=%1\n"
                          "Persistent=true\n"
                          "Unit=%2\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n")
        .arg(schedule.OnCalendar(), QLatin1String(SERVICE_NAME));
}

QString CBackupTimer::ServiceText() const
{
    // A user instance has no network-online.target of its own (the lines below order nothing
    // there, but do where one is provided); after a wake-up, NetworkManager's nm-online waits
    // for the connection, and where it is missing or gives up the run starts anyway.
    QString strWait;
    const QString strNmOnline = QStandardPaths::findExecutable(QStringLiteral("nm-online"));
    if (!strNmOnline.isEmpty())
        strWait = QStringLiteral("ExecStartPre=-%1 -q -t 120\n").arg(strNmOnline);
    return QStringLiteral("[Unit]\n"
                          "Description=Mossvale backup\n"
                          "Wants=network-online.target\n"
                          "After=network-online.target\n"
                          "\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "%1"
                          "ExecStart=%2 --backup %3\n")
        .arg(strWait, ExecWord(m_strProgram), QLatin1String(TIMER_OPTION));
}

CBackupTimer::Result CBackupTimer::Apply(const CBackupSchedule& schedule) const
{
    if (!schedule.IsOn()) {
        if (!IsInstalled() && !QFileInfo::exists(ServicePath()))
            return {};
        // Without a user instance nothing runs the files; they go all the same.
        Systemctl({QStringLiteral("disable"), QStringLiteral("--now"), QLatin1String(TIMER_NAME)});
        Remove();
        Systemctl({QStringLiteral("daemon-reload")});
        return {};
    }

    Result result = Write(ServicePath(), ServiceText());
    if (result.bOk)
        result = Write(TimerPath(), TimerText(schedule));
    if (result.bOk)
        result = Systemctl({QStringLiteral("daemon-reload")});
    if (result.bOk)
        result = Systemctl(
            {QStringLiteral("enable"), QStringLiteral("--now"), QLatin1String(TIMER_NAME)});
    if (!result.bOk) {
        Systemctl({QStringLiteral("disable"), QStringLiteral("--now"), QLatin1String(TIMER_NAME)});
        Remove();
        Systemctl({QStringLiteral("daemon-reload")});
    }
    return result;
}

QDateTime CBackupTimer::NextElapse() const
{
    QProcess process;
    process.start(QStringLiteral("systemctl"),
                  {QStringLiteral("--user"), QStringLiteral("show"), QLatin1String(TIMER_NAME),
                   QStringLiteral("-p"), QStringLiteral("NextElapseUSecRealtime"),
                   QStringLiteral("--value"), QStringLiteral("--timestamp=unix")});
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return ParseTimestamp(QString::fromUtf8(process.readAllStandardOutput()).trimmed());
}

QDateTime CBackupTimer::NextRun(const CBackupSchedule& schedule) const
{
    if (!schedule.IsOn() || !IsInstalled())
        return {};
    const QDateTime next = NextElapse();
    return next.isValid() ? next : schedule.NextRun(QDateTime::currentDateTime());
}

QDateTime CBackupTimer::ParseTimestamp(const QString& strValue)
{
    if (strValue.startsWith(QLatin1Char('@'))) {
        bool bOk = false;
        const qint64 nSeconds = strValue.mid(1).toLongLong(&bOk);
        return bOk && nSeconds > 0 ? QDateTime::fromSecsSinceEpoch(nSeconds) : QDateTime();
    }
    // Older systemctl ignores --timestamp: "Fri 2026-12-11 02:30:00 CET", in local time.
    const QStringList words = strValue.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 3)
        return {};
    return QDateTime::fromString(words[1] + QLatin1Char(' ') + words[2],
                                 QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

CBackupTimer::Result CBackupTimer::Systemctl(const QStringList& args) const
{
    const QStringList all = QStringList{QStringLiteral("--user")} + args;
    Result result;
    QProcess process;
    process.start(QStringLiteral("systemctl"), all);
    const bool bFinished = process.waitForFinished(30000);
    if (bFinished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return result;
    result.bOk = false;
    result.strCommand = QStringLiteral("systemctl ") + all.join(QLatin1Char(' '));
    result.strError = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (result.strError.isEmpty())
        result.strError = process.errorString();
    if (!bFinished) {
        process.kill();
        process.waitForFinished(1000);
    }
    return result;
}

CBackupTimer::Result CBackupTimer::Write(const QString& strPath, const QString& strText) const
{
    Result result;
    QDir().mkpath(m_strUnitFolder);
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(strText.toUtf8()) < 0 || !file.commit()) {
        result.bOk = false;
        result.strCommand = strPath;
        result.strError = file.errorString();
    }
    return result;
}

void CBackupTimer::Remove() const
{
    QFile::remove(TimerPath());
    QFile::remove(ServicePath());
    // The link "enable" made, in case "disable" could not take it away.
    const QString strLink =
        m_strUnitFolder + QStringLiteral("/timers.target.wants/") + QLatin1String(TIMER_NAME);
    if (QFileInfo(strLink).isSymLink())
        QFile::remove(strLink);
}
