// The schedule of automatic backups and the systemd user timer that carries it out, with
// systemctl replaced by a recorder on PATH.
#include "backup/BackupSchedule.h"
#include "backup/BackupTimer.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString ReadAll(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class CTestBackupSchedule : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_strLog;
    QString m_strUnits;

    QStringList Calls() const
    {
        return ReadAll(m_strLog).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("PATH", QByteArray(SYSTEMCTL_RECORDER_DIR ":") + qgetenv("PATH"));
        m_strLog = m_dir.filePath(QStringLiteral("systemctl.log"));
        m_strUnits = m_dir.filePath(QStringLiteral("config/systemd/user"));
        qputenv("SYSTEMCTL_LOG", m_strLog.toLocal8Bit());
    }

    void init()
    {
        QFile::remove(m_strLog);
        qunsetenv("SYSTEMCTL_FAIL");
    }

    void nextRunAndCalendar()
    {
        const QDateTime now(QDate(2026, 12, 9), QTime(10, 15, 30)); // a Wednesday
        QCOMPARE(CBackupSchedule().NextRun(now), QDateTime());
        QCOMPARE(CBackupSchedule::Hourly().NextRun(now), QDateTime(now.date(), QTime(11, 0)));
        QCOMPARE(CBackupSchedule::Hourly().OnCalendar(), QStringLiteral("*-*-* *:00:00"));
        // The minute that is running now has passed: tomorrow.
        QCOMPARE(CBackupSchedule::Daily(QTime(10, 15)).NextRun(now),
                 QDateTime(QDate(2026, 12, 10), QTime(10, 15)));
        QCOMPARE(CBackupSchedule::Daily(QTime(23, 59)).NextRun(now),
                 QDateTime(now.date(), QTime(23, 59)));
        QCOMPARE(CBackupSchedule::Daily(QTime(2, 30)).OnCalendar(),
                 QStringLiteral("*-*-* 02:30:00"));
        const CBackupSchedule monday = CBackupSchedule::Weekly(1, QTime(2, 30));
        QCOMPARE(monday.NextRun(now), QDateTime(QDate(2026, 12, 14), QTime(2, 30)));
        QCOMPARE(monday.OnCalendar(), QStringLiteral("Mon *-*-* 02:30:00"));
        QCOMPARE(CBackupSchedule::Weekly(3, QTime(10, 15)).NextRun(now),
                 QDateTime(QDate(2026, 12, 16), QTime(10, 15)));
        QCOMPARE(CBackupSchedule::Weekly(3, QTime(10, 16)).NextRun(now),
                 QDateTime(now.date(), QTime(10, 16)));
    }

    void staleAfterTwoIntervals()
    {
        const QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
        const CBackupSchedule daily = CBackupSchedule::Daily(QTime(2, 30));
        QVERIFY(!daily.IsStale(now.addSecs(-2 * 24 * 3600), now));
        QVERIFY(daily.IsStale(now.addSecs(-2 * 24 * 3600 - 60), now));
        QVERIFY(CBackupSchedule::Hourly().IsStale(now.addSecs(-3 * 3600), now));
        QVERIFY(!CBackupSchedule::Weekly(1, QTime(2, 30)).IsStale(now.addDays(-13), now));
        QVERIFY(!CBackupSchedule().IsStale(now.addDays(-6), now));
        QVERIFY(CBackupSchedule().IsStale(now.addDays(-8), now));
        QVERIFY(!daily.IsStale(QDateTime(), now));
    }

    void savedInTheProfile()
    {
        QSettings settings(m_dir.filePath(QStringLiteral("profile.ini")), QSettings::IniFormat);
        QCOMPARE(CBackupSchedule::Load(settings), CBackupSchedule());
        const CBackupSchedule friday = CBackupSchedule::Weekly(5, QTime(21, 5));
        friday.Save(settings);
        QCOMPARE(CBackupSchedule::Load(settings), friday);
        QVERIFY(CBackupSchedule::Load(settings) != CBackupSchedule::Weekly(4, QTime(21, 5)));

        // A damaged entry never starts backups nobody asked for.
        settings.setValue(QStringLiteral("Schedule/Day"), 9);
        QCOMPARE(CBackupSchedule::Load(settings), CBackupSchedule());
        settings.setValue(QStringLiteral("Schedule/Every"), QStringLiteral("day"));
        settings.setValue(QStringLiteral("Schedule/Time"), QStringLiteral("25:99"));
        QCOMPARE(CBackupSchedule::Load(settings), CBackupSchedule());
    }

    void timerWrittenEnabledAndRemoved()
    {
        // Specifiers and spaces in the program's path reach the service as they are.
        const CBackupTimer timer(QStringLiteral("/opt/my apps/moss%ivale"), m_strUnits);
        // Turning off what was never on asks nothing of systemd.
        QVERIFY(timer.Apply(CBackupSchedule()).bOk);
        QVERIFY(Calls().isEmpty());

        const CBackupTimer::Result result = timer.Apply(CBackupSchedule::Weekly(5, QTime(2, 30)));
        QVERIFY2(result.bOk, qPrintable(result.strError));
        const QString strTimer = ReadAll(timer.TimerPath());
        QVERIFY(strTimer.contains(QStringLiteral("\nOnCalendar=Fri *-*-* 02:30:00\n")));
        QVERIFY(strTimer.contains(QStringLiteral("\nPersistent=true\n")));
        QVERIFY(strTimer.contains(QStringLiteral("\nWantedBy=timers.target\n")));
        const QString strService = ReadAll(timer.ServicePath());
        QVERIFY2(strService.contains(QStringLiteral(
                     "\nExecStart=\"/opt/my apps/moss%%ivale\" --backup --started-by-timer\n")),
                 qPrintable(strService));
        QCOMPARE(Calls(),
                 QStringList({QStringLiteral("--user daemon-reload"),
                              QStringLiteral("--user enable --now mossvale-backup.timer")}));

        // Off again, the link enable made goes too, even where disable could not reach systemd.
        QVERIFY(QDir().mkpath(m_strUnits + QStringLiteral("/timers.target.wants")));
        const QString strLink =
            m_strUnits + QStringLiteral("/timers.target.wants/mossvale-backup.timer");
        QVERIFY(QFile::link(timer.TimerPath(), strLink));
        QFile::remove(m_strLog);
        qputenv("SYSTEMCTL_FAIL", "disable");
        QVERIFY(timer.Apply(CBackupSchedule()).bOk);
        QVERIFY(!QFile::exists(timer.TimerPath()));
        QVERIFY(!QFile::exists(timer.ServicePath()));
        QVERIFY(!QFileInfo(strLink).isSymLink());
        QCOMPARE(Calls().first(), QStringLiteral("--user disable --now mossvale-backup.timer"));
    }

    void noUserInstanceLeavesNothing_data()
    {
        QTest::addColumn<QByteArray>("failing");
        QTest::newRow("reload") << QByteArray("daemon-reload");
        QTest::newRow("enable") << QByteArray("enable");
    }

    void noUserInstanceLeavesNothing()
    {
        QFETCH(QByteArray, failing);
        qputenv("SYSTEMCTL_FAIL", failing);
        const CBackupTimer timer(QStringLiteral("/usr/bin/mossvale"), m_strUnits);
        const CBackupTimer::Result result = timer.Apply(CBackupSchedule::Hourly());
        QVERIFY(!result.bOk);
        QVERIFY(result.strCommand.contains(QString::fromLatin1(failing)));
        QVERIFY(result.strError.contains(QStringLiteral("Failed to connect to bus")));
        QVERIFY(!QFile::exists(timer.TimerPath()));
        QVERIFY(!QFile::exists(timer.ServicePath()));
        QVERIFY(!timer.IsInstalled());
    }

    void nextElapseFromSystemd()
    {
        const CBackupTimer timer(QStringLiteral("/usr/bin/mossvale"), m_strUnits);
        qputenv("SYSTEMCTL_SHOW", "@1765432200");
        QCOMPARE(timer.NextElapse(), QDateTime::fromSecsSinceEpoch(1765432200));
        qputenv("SYSTEMCTL_SHOW", "");
        QCOMPARE(timer.NextElapse(), QDateTime());
        QCOMPARE(CBackupTimer::ParseTimestamp(QStringLiteral("Fri 2026-12-11 02:30:00 CET")),
                 QDateTime(QDate(2026, 12, 11), QTime(2, 30)));
        QCOMPARE(CBackupTimer::ParseTimestamp(QStringLiteral("n/a")), QDateTime());
    }
};

QTEST_GUILESS_MAIN(CTestBackupSchedule)
#include "tst_backup_schedule.moc"
