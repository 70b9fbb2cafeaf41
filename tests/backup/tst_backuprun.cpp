// A backup run without windows, against real servers: what the plan turns into on the disk,
// the order of the failures while uploads run side by side, the one retry of a file that
// changed, Cancel, and a folder that changes while it is read.
#include "FtpTestServer.h"
#include "StartOrSkip.h"
#include "TestFiles.h"
#include "backup/BackupHistory.h"
#include "backup/BackupLock.h"
#include "backup/BackupRun.h"
#include "backup/BackupSession.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

class TestBackupRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void whatThePlanHolds();
    void failuresInTheOrderTaken();
    void changedFileTriedOnceMore();
    void cancelStopsAndNamesTheRest();
    void folderChangingWhileRead();

private:
    QByteArray Local(const QString& strName) const
    {
        return QFile::encodeName(m_pLocal->path() + '/' + strName);
    }
    std::shared_ptr<CBackupSession> SessionOf(const CFtpTestServer& server) const
    {
        return std::make_shared<CBackupSession>(server.ServerText().toStdString(),
                                                server.User().toStdString(),
                                                server.Password().toStdString());
    }
    // Starts the run and waits for its end; the files' reports in the order they came.
    bool RunToEnd(CBackupRun& run, QList<BackupFileReport>* pDone = nullptr);

    QTemporaryDir m_home; // config, state and runtime folders
    std::unique_ptr<QTemporaryDir> m_pLocal;
};

void TestBackupRun::initTestCase()
{
    for (const char* pszName : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        const QString strPath = m_home.path() + '/' + pszName;
        QVERIFY(QDir().mkpath(strPath));
        qputenv(pszName, QFile::encodeName(strPath));
    }
    // The slow server pauses longer than a short stall limit would allow.
    CInternetSession::SetTimeouts({5, 10});
}

void TestBackupRun::init()
{
    m_pLocal = std::make_unique<QTemporaryDir>();
}

void TestBackupRun::cleanup()
{
    QVERIFY(CJobPool::Get().WaitForAll(20000));
    m_pLocal.reset();
}

bool TestBackupRun::RunToEnd(CBackupRun& run, QList<BackupFileReport>* pDone)
{
    QList<BackupFileReport> done;
    connect(&run, &CBackupRun::fileDone, this,
            [&done](const BackupFileReport& report) { done.append(report); });
    QSignalSpy finished(&run, &CBackupRun::finished);
    if (run.Start() != CBackupRun::EStart::Started || !finished.wait(60000))
        return false;
    if (pDone)
        *pDone = done;
    return !run.IsRunning() && finished.size() == 1;
}

void TestBackupRun::whatThePlanHolds()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    QDir local(m_pLocal->path());
    QVERIFY(local.mkpath("docs/a") && local.mkpath("docs/b") && local.mkpath("docs/private"));
    QVERIFY(WriteFile(Local("docs/a/same.txt"), "a's"));
    QVERIFY(WriteFile(Local("docs/b/same.txt"), "b's"));
    QVERIFY(WriteFile(Local("docs/private/secret.txt"), "no"));
    QVERIFY(WriteFile(Local("outside.txt"), "through a link"));
    QVERIFY(::symlink(Local("outside.txt").constData(), Local("docs/link.txt").constData()) == 0);
    QVERIFY(WriteFile(Local("docs/z-goes.txt"), "removed before its turn"));

    CBackupPlan plan;
    plan.TickFolder(Local("docs"));
    plan.Untick(Local("docs/private"));
    plan.TickFile(Local("gone.txt"));
    plan.TickFolder(Local("gone-folder"));
    // Added after the plan was made: a ticked folder means what it holds at the time.
    QVERIFY(local.mkpath("docs/new/deeper"));
    QVERIFY(WriteFile(Local("docs/new/deeper/later.txt"), "later"));

    CBackupRun run(plan, SessionOf(server), {1, EBackupTrigger::CommandLine});
    connect(&run, &CBackupRun::fileStarted, this, [this](const QByteArray& path) {
        if (path.endsWith("later.txt"))
            QFile::remove(QFile::decodeName(Local("docs/z-goes.txt")));
    });
    QList<BackupFileReport> done;
    QVERIFY(RunToEnd(run, &done));
    const BackupSummary& summary = run.Summary();
    QCOMPARE(server.ReadFile("same.txt"), QByteArray("a's"));
    QCOMPARE(server.ReadFile("later.txt"), QByteArray("later"));
    QCOMPARE(QDir(server.Root()).entryList(QDir::Files), QStringList({"later.txt", "same.txt"}));
    QCOMPARE(summary.nSent, 2);
    QCOMPARE(summary.nBytes, qint64(8));
    QCOMPARE(summary.nFailed, 0);
    QCOMPARE(summary.nMissing, 3); // two the plan named, one removed since it was read
    QCOMPARE(summary.nSkipped, 1);
    QCOMPARE(summary.problems.size(), 4);
    QCOMPARE(summary.problems[0].path, Local("docs/b/same.txt"));
    QCOMPARE(summary.problems[0].eSkip, ESkipReason::SameName);
    QCOMPARE(summary.problems[0].sameNameAs, Local("docs/a/same.txt"));
    QCOMPARE(summary.problems[1].path, Local("docs/z-goes.txt"));
    QCOMPARE(summary.problems[1].eOutcome, EFileOutcome::Missing);
    QCOMPARE(summary.problems[2].path, Local("gone-folder"));
    QCOMPARE(summary.problems[3].path, Local("gone.txt"));

    // The history holds the run as the summary tells it, its problems in the same order.
    CBackupHistory history(SessionOf(server)->AccountKey());
    const std::optional<BackupRunRecord> last = history.LastRun();
    QVERIFY(last);
    QCOMPARE(last->nId, run.HistoryId());
    QCOMPARE(last->eState, BackupRunRecord::EState::Finished);
    QCOMPARE(last->eTrigger, EBackupTrigger::CommandLine);
    QCOMPARE(last->nSent, 2);
    QCOMPARE(last->nMissing, 3);
    QCOMPARE(last->nBytes, qint64(8));
    const QList<BackupFileReport> problems = history.Files(last->nId);
    QCOMPARE(problems.size(), 4);
    for (int i = 0; i < problems.size(); ++i) {
        QCOMPARE(problems[i].path, summary.problems[i].path);
        QCOMPARE(problems[i].eOutcome, summary.problems[i].eOutcome);
    }
    QCOMPARE(history.Files(last->nId, true).size(), 6);

    // A dry run names what it would send and sends nothing, nor goes into the history.
    QVERIFY(QFile::remove(server.FilePath("later.txt")));
    CBackupRun dry(plan, SessionOf(server), {2, EBackupTrigger::CommandLine, true});
    QSignalSpy wouldSend(&dry, &CBackupRun::fileStarted);
    QVERIFY(RunToEnd(dry));
    QCOMPARE(wouldSend.size(), 2);
    QCOMPARE(dry.Summary().nPlanned, 2);
    QVERIFY(!QFile::exists(server.FilePath("later.txt")));
    QCOMPARE(history.LastRun()->nId, run.HistoryId());

    // Nothing ticked: nothing starts.
    CBackupRun empty(CBackupPlan(), SessionOf(server), {});
    QCOMPARE(empty.Start(), CBackupRun::EStart::EmptyPlan);
}

void TestBackupRun::failuresInTheOrderTaken()
{
    // Two at a time on a slow server; the first file fails last, after the fifo behind it was
    // reported, yet the failures read in the order the files were taken.
    CFtpTestServer slow;
    START_OR_SKIP(slow, CFtpTestServer::Pyftpdlib, {"slow"});
    QVERIFY(slow.MakeFolder("1-big.bin")); // in the way of its rename, once it has arrived
    QVERIFY(WriteFile(Local("1-big.bin"), QByteArray(480 << 10, 'b')));
    QVERIFY(WriteFile(Local("2-one.bin"), QByteArray(160 << 10, '1')));
    QVERIFY(WriteFile(Local("3-two.bin"), QByteArray(160 << 10, '2')));
    QVERIFY(::mkfifo(Local("4-fifo").constData(), 0600) == 0);
    CBackupPlan plan;
    plan.TickFolder(QFile::encodeName(m_pLocal->path()));

    int nMostAtOnce = 0;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this,
            [&] { nMostAtOnce = qMax(nMostAtOnce, CJobPool::Get().RunningTransfers()); });
    watch.start(5);
    CBackupRun run(plan, SessionOf(slow), {2});
    QList<BackupFileReport> done;
    QVERIFY(RunToEnd(run, &done));
    QCOMPARE(nMostAtOnce, 2);
    QCOMPARE(slow.ReadFile("3-two.bin"), QByteArray(160 << 10, '2'));
    QCOMPARE(done.first().path, Local("4-fifo")); // known as soon as the folder was read
    const BackupSummary& summary = run.Summary();
    QCOMPARE(summary.nSent, 2);
    QCOMPARE(summary.nSpecialFiles, 1);
    QCOMPARE(summary.problems.size(), 2);
    QCOMPARE(summary.problems[0].path, Local("1-big.bin"));
    QCOMPARE(summary.problems[0].eOutcome, EFileOutcome::Failed);
    QVERIFY(summary.problems[0].eFailure != FAILURE_NONE);
    QCOMPARE(summary.problems[1].eSkip, ESkipReason::SpecialFile);
}

void TestBackupRun::changedFileTriedOnceMore()
{
    CFtpTestServer slow;
    START_OR_SKIP(slow, CFtpTestServer::Pyftpdlib, {"slow"});
    QVERIFY(WriteFile(Local("moving.bin"), QByteArray(320 << 10, 'o')));
    QVERIFY(WriteFile(Local("still.txt"), "still"));
    CBackupPlan plan;
    plan.TickFile(Local("moving.bin"));
    plan.TickFile(Local("still.txt"));
    CBackupRun run(plan, SessionOf(slow), {1});
    QSignalSpy started(&run, &CBackupRun::fileStarted);
    // Rewritten in place under the reader once its first bytes have gone.
    bool bRewritten = false;
    QFile moving(QFile::decodeName(Local("moving.bin")));
    QVERIFY(moving.open(QIODevice::ReadWrite));
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        const BackupProgress now = run.Progress();
        if (!bRewritten && now.currentPath.endsWith("moving.bin") && now.nCurrentBytes > 0)
            bRewritten =
                WriteFile(QFile::decodeName(Local("moving.bin")), QByteArray(320 << 10, 'n'));
    });
    watch.start(5);
    QVERIFY(RunToEnd(run));
    QVERIFY(bRewritten);
    QCOMPARE(run.Summary().nSent, 2);
    QCOMPARE(run.Summary().nFailed, 0);
    QCOMPARE(started.size(), 3); // moving.bin again, after still.txt
    QCOMPARE(started.last().first().toByteArray(), Local("moving.bin"));
    QCOMPARE(slow.ReadFile("moving.bin"), QByteArray(320 << 10, 'n'));
}

void TestBackupRun::cancelStopsAndNamesTheRest()
{
    CFtpTestServer slow;
    START_OR_SKIP(slow, CFtpTestServer::Pyftpdlib, {"slow"});
    CBackupPlan plan;
    for (const char* pszName : {"a.bin", "b.bin", "c.bin", "d.bin"}) {
        QVERIFY(WriteFile(Local(pszName), QByteArray(480 << 10, *pszName)));
        plan.TickFile(Local(pszName));
    }
    const auto pSession = SessionOf(slow);
    CBackupRun run(plan, pSession, {2});
    QSignalSpy finished(&run, &CBackupRun::finished);
    QCOMPARE(run.Start(), CBackupRun::EStart::Started);
    // One backup per account at a time.
    CBackupRun second(plan, SessionOf(slow), {2});
    QCOMPARE(second.Start(), CBackupRun::EStart::AlreadyRunning);
    QTRY_VERIFY_WITH_TIMEOUT(run.Progress().nCurrentBytes > 0, 20000);
    run.Cancel();
    QVERIFY(finished.wait(20000));
    const BackupSummary& summary = run.Summary();
    QVERIFY(summary.bCancelled);
    QCOMPARE(summary.nSent, 0);
    QCOMPARE(summary.nNotSent, 4);
    QCOMPARE(summary.problems.size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(summary.problems[i].path, Local(QString(QChar('a' + i)) + ".bin"));
    QCOMPARE(summary.problems[0].eFailure, FAILURE_CANCELLED); // stopped while it went out
    QCOMPARE(summary.problems[3].eFailure, FAILURE_NONE);      // never started
    QCOMPARE(QDir(slow.Root()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(CBackupHistory(pSession->AccountKey()).LastRun()->eState,
             BackupRunRecord::EState::Cancelled);
    QCOMPARE(second.Start(), CBackupRun::EStart::Started); // the lock is free again
    second.Cancel();
    QTRY_VERIFY(!second.IsRunning());
}

void TestBackupRun::folderChangingWhileRead()
{
    // Files come and go while the run reads the folder and sends it: whatever it found and
    // could not open any more is missing, never a failure, and what stayed arrives.
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    QDir local(m_pLocal->path());
    for (int i = 0; i < 20; ++i) {
        const QString strName = QString("stays/%1/f%2.txt").arg(i % 4).arg(i);
        QVERIFY(local.mkpath(QString("stays/%1").arg(i % 4)));
        QVERIFY(WriteFile(local.filePath(strName), strName.toUtf8()));
    }
    QVERIFY(local.mkpath("churn"));
    CBackupPlan plan;
    plan.TickFolder(QFile::encodeName(local.path()));
    CBackupRun run(plan, SessionOf(server), {4});
    std::atomic<bool> bStop{false};
    std::thread churn([&] {
        for (int i = 0; !bStop; i = (i + 1) % 200) {
            const QByteArray path = Local(QString("churn/c%1.txt").arg(i));
            if (i % 2 == 0)
                WriteRawFile(path, path);
            else
                ::unlink(Local(QString("churn/c%1.txt").arg(i - 1)).constData());
        }
    });
    const bool bEnded = RunToEnd(run);
    bStop = true;
    churn.join();
    QVERIFY(bEnded);
    const BackupSummary& summary = run.Summary();
    QCOMPARE(summary.nFailed, 0);
    QCOMPARE(summary.nSent + summary.nMissing, summary.nPlanned); // gone since it was read
    for (int i = 0; i < 20; ++i)
        QCOMPARE(server.ReadFile(QString("f%1.txt").arg(i)),
                 QString("stays/%1/f%2.txt").arg(i % 4).arg(i).toUtf8());
}

QTEST_GUILESS_MAIN(TestBackupRun)
#include "tst_backuprun.moc"
