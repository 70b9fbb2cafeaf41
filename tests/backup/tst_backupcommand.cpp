// `mossvale --backup` as a timer or a terminal starts it: the built program in a child process
// with no display, against a real server, the password in the suite's own keyring. Its exit
// status says whether every file arrived (0), some did not (1), or nothing could run (2); a
// run killed half-way reads as interrupted.
#include "FtpTestServer.h"
#include "StartOrSkip.h"
#include "TestFiles.h"
#include "backup/BackupHistory.h"
#include "backup/BackupLock.h"
#include "backup/BackupPlan.h"
#include "backup/BackupSession.h"
#include "login/AccountStore.h"
#include "login/PasswordStore.h"
#include "transfer/FtpAddress.h"
#include "transfer/TrustStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestBackupCommand : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyFileSent();
    void someFilesFailed();
    void nothingCouldRun();
    void killedRunReadsInterrupted();
    void timerRunTellsTheDesktop();

private:
    struct Outcome {
        int nExit = -1;
        QString strOut;
        QString strErr;
    };
    QString Local(const QString& strName) const { return m_pLocal->path() + '/' + strName; }
    // The remembered account of the server, as a login in the window leaves it; the password
    // in the keyring unless it is given for the file.
    void RememberAccount(const CFtpTestServer& server, const QString& strFilePassword = {});
    void StartChild(QProcess& child, const QStringList& args = {"--backup"});
    Outcome RunChild(const QStringList& args = {"--backup"});
    QString KeyOf(const CFtpTestServer& server) const
    {
        return CBackupSession(server.ServerText().toStdString(), server.User().toStdString(), "")
            .AccountKey();
    }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_pLocal;
};

void TestBackupCommand::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("run through tests/support/with-keyring");
    for (const char* pszName : {"XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
        const QString strPath = m_home.path() + '/' + pszName;
        QVERIFY(QDir().mkpath(strPath));
        qputenv(pszName, QFile::encodeName(strPath));
    }
    QVERIFY(CAccountStore::EnsureExists());
}

void TestBackupCommand::init()
{
    m_pLocal = std::make_unique<QTemporaryDir>();
}

void TestBackupCommand::cleanup()
{
    m_pLocal.reset();
}

void TestBackupCommand::RememberAccount(const CFtpTestServer& server,
                                        const QString& strFilePassword)
{
    CAccountStore store;
    QVERIFY(store.Open());
    QVERIFY(store.WriteAccount({server.ServerText(), server.User(), strFilePassword}));
    CFtpAddress address;
    QVERIFY(address.Parse(server.ServerText().toStdString(), INTERNET_DEFAULT_FTP_PORT));
    const std::string strKey = CTrustStore::ServerKey(address.Host(), address.Port());
    // The test server offers no TLS; the user agreed to that in the window.
    QVERIFY(store.SetClearTextAllowed(QString::fromStdString(strKey), server.User(), true));
    if (!strFilePassword.isEmpty())
        return;
    CPasswordStore keyring;
    bool bDone = false;
    keyring.Write(server.ServerText(), server.User(), server.Password(), this,
                  [&bDone](CPasswordStore::EResult eResult, const QString&) {
                      bDone = eResult == CPasswordStore::EResult::Ok;
                  });
    QTRY_VERIFY_WITH_TIMEOUT(bDone, 20000);
}

void TestBackupCommand::StartChild(QProcess& child, const QStringList& args)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE",
                                "LC_ALL", "LC_MESSAGES", "INVOCATION_ID"})
        environment.remove(pszName);
    environment.insert("LANG", "C.UTF-8");
    child.setProcessEnvironment(environment);
    child.start(MOSSVALE_PROGRAM, args);
}

TestBackupCommand::Outcome TestBackupCommand::RunChild(const QStringList& args)
{
    QProcess child;
    StartChild(child, args);
    if (!child.waitForFinished(60000))
        return {};
    return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
            QString::fromUtf8(child.readAllStandardOutput()),
            QString::fromUtf8(child.readAllStandardError())};
}

void TestBackupCommand::everyFileSent()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    RememberAccount(server);
    QVERIFY(QDir(m_pLocal->path()).mkpath("docs/sub"));
    QVERIFY(WriteFile(Local("docs/a.txt"), "alpha"));
    QVERIFY(WriteFile(Local("docs/sub/b.txt"), "beta"));
    CBackupPlan plan;
    plan.TickFolder(QFile::encodeName(Local("docs")));
    QVERIFY(plan.SaveToProfile());

    Outcome dry = RunChild({"--backup", "--dry-run"});
    QCOMPARE(dry.nExit, 0);
    QVERIFY2(dry.strOut.contains("would send " + Local("docs/sub/b.txt")), qPrintable(dry.strOut));
    QVERIFY(QDir(server.Root()).isEmpty());

    const Outcome outcome = RunChild();
    QVERIFY2(outcome.nExit == 0, qPrintable(outcome.strErr));
    QCOMPARE(server.ReadFile("docs/a.txt"), QByteArray("alpha"));
    QCOMPARE(server.ReadFile("docs/sub/b.txt"), QByteArray("beta"));
    // Not a terminal: a line per file, then the summary.
    QVERIFY2(outcome.strOut.contains("sent " + Local("docs/a.txt") + '\n'),
             qPrintable(outcome.strOut));
    QVERIFY2(outcome.strOut.contains("2 files sent, 0 unchanged, 0 failed"),
             qPrintable(outcome.strOut));
    const std::optional<BackupRunRecord> last = CBackupHistory(KeyOf(server)).LastRun();
    QVERIFY(last);
    QCOMPARE(last->eTrigger, EBackupTrigger::CommandLine);
    QCOMPARE(last->nSent, 2);

    // Nothing changed: nothing sent. A copy lost on the server is found by --check.
    QVERIFY(QFile::remove(server.FilePath("docs/sub/b.txt")));
    const Outcome again = RunChild();
    QVERIFY2(again.strOut.contains("0 files sent, 2 unchanged, 0 failed"),
             qPrintable(again.strOut));
    const Outcome checked = RunChild({"--backup", "--check"});
    QVERIFY2(checked.strOut.contains("1 files sent, 1 unchanged, 0 failed") ||
                 checked.strOut.contains("1 file sent, 1 unchanged, 0 failed"),
             qPrintable(checked.strOut));
    QCOMPARE(server.ReadFile("docs/sub/b.txt"), QByteArray("beta"));
}

void TestBackupCommand::someFilesFailed()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    RememberAccount(server, server.Password());
    QVERIFY(server.MakeFolder("blocked.txt")); // in the way of the upload's last rename
    QVERIFY(WriteFile(Local("blocked.txt"), "stays here"));
    QVERIFY(WriteFile(Local("fine.txt"), "arrives"));
    CBackupPlan plan;
    plan.TickFile(QFile::encodeName(Local("blocked.txt")));
    plan.TickFile(QFile::encodeName(Local("fine.txt")));
    QVERIFY(plan.SaveToProfile());

    const Outcome outcome = RunChild();
    QCOMPARE(outcome.nExit, 1);
    QCOMPARE(server.ReadFile("fine.txt"), QByteArray("arrives"));
    QVERIFY2(outcome.strErr.startsWith("failed " + Local("blocked.txt") + " ("),
             qPrintable(outcome.strErr));
    QVERIFY2(outcome.strOut.contains("1 file sent, 0 unchanged, 1 failed"),
             qPrintable(outcome.strOut));
}

void TestBackupCommand::nothingCouldRun()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    CBackupPlan plan;
    QVERIFY(plan.SaveToProfile());
    RememberAccount(server, "wrong password");
    Outcome outcome = RunChild();
    QCOMPARE(outcome.nExit, 2);
    QVERIFY2(outcome.strErr.contains("tick the files"), qPrintable(outcome.strErr));

    QVERIFY(WriteFile(Local("a.txt"), "alpha"));
    plan.TickFile(QFile::encodeName(Local("a.txt")));
    QVERIFY(plan.SaveToProfile());
    outcome = RunChild();
    QCOMPARE(outcome.nExit, 2);
    QVERIFY2(outcome.strErr.contains("log in again"), qPrintable(outcome.strErr));

    // Another backup of the account holds the lock.
    RememberAccount(server, server.Password());
    CBackupLock lock(KeyOf(server));
    QVERIFY(lock.TryLock());
    outcome = RunChild();
    QCOMPARE(outcome.nExit, 2);
    QVERIFY2(outcome.strErr.contains("Another backup"), qPrintable(outcome.strErr));
    QVERIFY(QDir(server.Root()).isEmpty());
    QVERIFY(!CBackupHistory(KeyOf(server)).LastRun());

    QCOMPARE(RunChild({"--backup", "--no-such-option"}).nExit, 2);
}

void TestBackupCommand::killedRunReadsInterrupted()
{
    CFtpTestServer slow;
    START_OR_SKIP(slow, CFtpTestServer::Pyftpdlib, {"slow"});
    RememberAccount(slow, slow.Password());
    QVERIFY(WriteFile(Local("a-small.txt"), "small"));
    QVERIFY(WriteFile(Local("b-big.bin"), QByteArray(8 << 20, 'b')));
    CBackupPlan plan;
    plan.TickFolder(QFile::encodeName(m_pLocal->path()));
    QVERIFY(plan.SaveToProfile());

    QProcess child;
    StartChild(child);
    CBackupHistory history(KeyOf(slow));
    // Half-way: the small file is recorded, the big one still going out.
    QTRY_VERIFY_WITH_TIMEOUT(history.LastRun() && history.LastRun()->nSent == 1, 30000);
    QCOMPARE(history.LastRun()->eState, BackupRunRecord::EState::Running);
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(10000));

    const std::optional<BackupRunRecord> last = history.LastRun();
    QVERIFY(last);
    QCOMPARE(last->eState, BackupRunRecord::EState::Interrupted);
    QCOMPARE(history.Files(last->nId, true).size(), 1);
    // The killed run's lock is taken over by the next backup.
    CBackupLock lock(KeyOf(slow));
    QVERIFY(lock.TryLock());
}

// A run the timer started that could not run is told to the desktop's notification service
// (python3-dbusmock's, on the suite's own session bus), and ends once the notification does.
void TestBackupCommand::timerRunTellsTheDesktop()
{
    const QString strLog = m_home.filePath("notify.log");
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedChannels);
    service.start("/usr/bin/python3",
                  {"-m", "dbusmock", "--template", "notification_daemon", "-l", strLog});
    QVERIFY(service.waitForStarted());
    const auto stop = qScopeGuard([&service] {
        service.terminate();
        service.waitForFinished();
    });
    QDBusConnection bus = QDBusConnection::sessionBus();
    QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered("org.freedesktop.Notifications"),
                             20000);

    QVERIFY(CBackupPlan().SaveToProfile());
    QProcess child;
    StartChild(child, {"--backup", "--started-by-timer"});
    const auto log = [&strLog] {
        QFile file(strLog);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QTRY_VERIFY_WITH_TIMEOUT(log().contains("Notify "), 20000);
    QVERIFY2(log().contains("\"Scheduled backup failed\"") && log().contains("tick the files"),
             qPrintable(log()));
    QVERIFY(child.state() == QProcess::Running); // waiting for a click

    QDBusMessage close = QDBusMessage::createMethodCall(
        "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "CloseNotification");
    close << 1u;
    QCOMPARE(bus.call(close).type(), QDBusMessage::ReplyMessage);
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TestBackupCommand)
#include "tst_backupcommand.moc"
