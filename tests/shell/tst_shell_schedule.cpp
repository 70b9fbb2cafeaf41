// The customise dialog's page of automatic backups, with systemctl replaced by a recorder on
// PATH: what it sets up, what it keeps in the profile, and what it says when systemd is not
// there.
#include "ShellTestUtil.h"
#include "shell/BackupSchedulePage.h"
#include "shell/Profile.h"
#include "shell/ScheduleStatus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTimeEdit>

class CTestShellSchedule : public QObject
{
    Q_OBJECT

    QString m_strLog;

private slots:
    void initTestCase()
    {
        qputenv("PATH", QByteArray(SYSTEMCTL_RECORDER_DIR ":") + qgetenv("PATH"));
        m_strLog = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR")) + QStringLiteral("/systemctl.log");
        qputenv("SYSTEMCTL_LOG", QFile::encodeName(m_strLog));
    }

    void choiceSetUpAndKept()
    {
        qputenv("SYSTEMCTL_SHOW", "@1765432200");
        CBackupSchedulePage page(QStringLiteral("/usr/bin/mossvale"));
        QCOMPARE(page.StatusLabel()->text(), Texts::NoScheduledBackup());
        QVERIFY(!page.ApplyButton()->isEnabled());
        QVERIFY(page.DayBox()->isHidden());
        QVERIFY(!page.NotifySuccessBox()->isChecked());

        page.EveryBox()->setCurrentIndex(page.EveryBox()->findData(CBackupSchedule::EVERY_WEEK));
        QVERIFY(!page.DayBox()->isHidden());
        QVERIFY(!page.TimeEdit()->isHidden());
        page.DayBox()->setCurrentIndex(page.DayBox()->findData(5));
        page.TimeEdit()->setTime(QTime(21, 5));
        QVERIFY(page.ApplyButton()->isEnabled());
        QTest::mouseClick(page.ApplyButton(), Qt::LeftButton);

        const CBackupSchedule friday = CBackupSchedule::Weekly(5, QTime(21, 5));
        QCOMPARE(CBackupSchedule::Load(*CProfile::Open()), friday);
        QVERIFY(CBackupTimer(QString()).IsInstalled());
        QCOMPARE(page.StatusLabel()->text(),
                 CBackupSchedulePage::NextRunText(QDateTime::fromSecsSinceEpoch(1765432200)));
        QVERIFY(!page.ApplyButton()->isEnabled());

        // Opened again, the page shows what is set.
        CBackupSchedulePage again(QStringLiteral("/usr/bin/mossvale"));
        QCOMPARE(again.Chosen(), friday);
        QVERIFY(!again.ApplyButton()->isEnabled());

        // The status bar says when, and warns once two weeks passed without a success.
        CScheduleStatus status;
        QCOMPARE(status.text(),
                 CBackupSchedulePage::NextRunText(friday.NextRun(QDateTime::currentDateTime())));
        status.SetLastSuccess(QDateTime::currentDateTime().addDays(-13));
        QVERIFY(!status.IsWarning());
        status.SetLastSuccess(QDateTime::currentDateTime().addDays(-15));
        QVERIFY(status.IsWarning());
        QVERIFY(!status.isHidden());

        // A run with failures, or one cancelled, is no success.
        BackupRunRecord failed, cancelled, good;
        failed.eState = good.eState = BackupRunRecord::EState::Finished;
        failed.nFailed = 1;
        cancelled.eState = BackupRunRecord::EState::Cancelled;
        good.ended = QDateTime(QDate(2026, 12, 1), QTime(2, 31));
        QCOMPARE(CScheduleStatus::LastSuccess({failed, cancelled, good}), good.ended);
        QCOMPARE(CScheduleStatus::LastSuccess({failed, cancelled}), QDateTime());
    }

    void noSystemdSaysSoAndKeepsNothing()
    {
        qputenv("SYSTEMCTL_FAIL", "enable");
        CBackupSchedulePage page(QStringLiteral("/usr/bin/mossvale"));
        page.EveryBox()->setCurrentIndex(page.EveryBox()->findData(CBackupSchedule::EVERY_HOUR));
        QTest::mouseClick(page.ApplyButton(), Qt::LeftButton);
        qunsetenv("SYSTEMCTL_FAIL");

        QVERIFY(page.StatusLabel()->text().contains(QStringLiteral("enable --now")));
        QCOMPARE(CBackupSchedule::Load(*CProfile::Open()), CBackupSchedule());
        QVERIFY(!CBackupTimer(QString()).IsInstalled());
        // The choice stays on screen, to try again.
        QVERIFY(page.ApplyButton()->isEnabled());
    }
};

MOSSVALE_SHELL_TEST_MAIN(CTestShellSchedule)
#include "tst_shell_schedule.moc"
