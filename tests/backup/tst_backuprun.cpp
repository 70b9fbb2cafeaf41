// A backup run without windows, against real servers: what the plan turns into on the disk,
// the order of the failures while uploads run side by side, the one retry of a file that
// changed, Cancel, and a folder that changes while it is read.
#include "FtpTestServer.h"
#include "StartOrSkip.h"
#include "TestFiles.h"
#include "backup/AsOfRestore.h"
#include "backup/BackupHistory.h"
#include "backup/BackupLock.h"
#include "backup/BackupRun.h"
#include "backup/BackupSession.h"
#include "transfer/HostKeyProbe.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
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
    void patternsLeaveOutAndCount();
    void failuresInTheOrderTaken();
    void changedFileTriedOnceMore();
    void fileSentAgainFromItsStartIsNoted();
    void cancelStopsAndNamesTheRest();
    void folderChangingWhileRead();
    void onlyWhatChangedIsSent();
    void eachFolderMadeAndListedOnce();
    void vsftpdKeepsTreeAndTimes();
    void earlierCopiesKept_data();
    void earlierCopiesKept();
    void restoreAsOfKeepsToAFewConnections();
    void backupKeepsToItsConnections();
    void refusedVersionKeepsOldCopy_data();
    void refusedVersionKeepsOldCopy();
    void cutListingReplacesNoUnkeptCopy_data();
    void cutListingReplacesNoUnkeptCopy();

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
    // An SFTP server's key trusted, as the user would at the first login.
    bool Trust(const CFtpTestServer& server) const
    {
        if (server.ServerKind() != CFtpTestServer::Sftp)
            return true;
        const std::string strKnownHosts = SessionOf(server)->Internet()->KnownHostsPath();
        HostKeyInfo info;
        std::string strError;
        return CHostKeyProbe::Probe("127.0.0.1", server.Port(), strKnownHosts, 5, info, strError) &&
               CHostKeyProbe::Trust(strKnownHosts, info);
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
    RemoveRawContents(QFile::encodeName(m_pLocal->path()));
    m_pLocal.reset();
}

namespace {

// Every file below a folder, as raw relative paths, sorted.
QList<QByteArray> FilesBelow(const QByteArray& folder, const QByteArray& prefix = {})
{
    QList<QByteArray> files;
    DIR* pDir = ::opendir(folder.constData());
    if (!pDir)
        return files;
    while (const dirent* pEntry = ::readdir(pDir)) {
        const QByteArray name(pEntry->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat info;
        const QByteArray path = folder + '/' + name;
        if (::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode))
            files += FilesBelow(path, prefix + name + '/');
        else
            files.append(prefix + name);
    }
    ::closedir(pDir);
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

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
    QVERIFY(local.mkpath("more/docs"));
    QVERIFY(WriteFile(Local("docs/a/same.txt"), "a's"));
    QVERIFY(WriteFile(Local("docs/b/same.txt"), "b's"));
    const QByteArray latin1 = "docs/b/caf\xe9 \x01.txt"; // not UTF-8, a control byte
    QVERIFY(WriteRawFile(Local(QString()) + latin1, "bytes"));
    QVERIFY(WriteFile(Local("docs/private/secret.txt"), "no"));
    QVERIFY(WriteFile(Local("docs/private/kept.txt"), "kept"));
    QVERIFY(WriteFile(Local("more/docs/clash.txt"), "a second docs"));
    QVERIFY(WriteFile(Local("loose.txt"), "alone"));
    QVERIFY(WriteFile(Local("outside.txt"), "through a link"));
    QVERIFY(::symlink(Local("outside.txt").constData(), Local("docs/link.txt").constData()) == 0);
    QVERIFY(WriteFile(Local("docs/z-goes.txt"), "removed before its turn"));

    CBackupPlan plan;
    plan.TickFolder(Local("docs"));
    plan.Untick(Local("docs/private"));
    plan.TickFile(Local("docs/private/kept.txt")); // keeps its place in the tree
    plan.TickFolder(Local("more/docs"));
    plan.TickFile(Local("loose.txt"));
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
    // The ticked folder is a folder of its name on the server, its tree kept byte for byte.
    const QList<QByteArray> tree = {"docs/a/same.txt",       "docs/b/" + latin1.mid(7),
                                    "docs/b/same.txt",       "docs/new/deeper/later.txt",
                                    "docs/private/kept.txt", "loose.txt"};
    QCOMPARE(FilesBelow(QFile::encodeName(server.Root())), tree);
    QCOMPARE(server.ReadFile("docs/b/same.txt"), QByteArray("b's"));
    QCOMPARE(server.ReadFile("loose.txt"), QByteArray("alone"));
    QCOMPARE(summary.nSent, 6);
    QCOMPARE(summary.nBytes, qint64(3 + 5 + 3 + 5 + 4 + 5));
    QCOMPARE(summary.nFailed, 0);
    QCOMPARE(summary.nMissing, 3); // two the plan named, one removed since it was read
    QCOMPARE(summary.nSkipped, 1);
    QCOMPARE(summary.problems.size(), 4);
    QCOMPARE(summary.problems[0].path, Local("docs/z-goes.txt"));
    QCOMPARE(summary.problems[0].eOutcome, EFileOutcome::Missing);
    QCOMPARE(summary.problems[1].path, Local("gone-folder"));
    QCOMPARE(summary.problems[2].path, Local("gone.txt"));
    // A second ticked folder of the same name would mix into the first one's.
    QCOMPARE(summary.problems[3].path, Local("more/docs/clash.txt"));
    QCOMPARE(summary.problems[3].eSkip, ESkipReason::SameName);
    QCOMPARE(summary.problems[3].sameNameAs, Local("docs"));
    RemoveRawContents(QFile::encodeName(server.Root() + "/docs/b"));

    // The history holds the run as the summary tells it, its problems in the same order.
    CBackupHistory history(SessionOf(server)->AccountKey());
    const std::optional<BackupRunRecord> last = history.LastRun();
    QVERIFY(last);
    QCOMPARE(last->nId, run.HistoryId());
    QCOMPARE(last->eState, BackupRunRecord::EState::Finished);
    QCOMPARE(last->eTrigger, EBackupTrigger::CommandLine);
    QCOMPARE(last->nSent, 6);
    QCOMPARE(last->nMissing, 3);
    QCOMPARE(last->nBytes, qint64(25));
    const QList<BackupFileReport> problems = history.Files(last->nId);
    QCOMPARE(problems.size(), 4);
    for (int i = 0; i < problems.size(); ++i) {
        QCOMPARE(problems[i].path, summary.problems[i].path);
        QCOMPARE(problems[i].eOutcome, summary.problems[i].eOutcome);
    }
    QCOMPARE(history.Files(last->nId, true).size(), 10);

    // A dry run names what it would send, as the record of what was sent tells, and sends
    // nothing, nor goes into the history.
    QVERIFY(WriteFile(Local("docs/a/same.txt"), "a's, changed"));
    CBackupRun dry(plan, SessionOf(server), {2, EBackupTrigger::CommandLine, true});
    QSignalSpy wouldSend(&dry, &CBackupRun::fileStarted);
    QVERIFY(RunToEnd(dry));
    QCOMPARE(wouldSend.size(), 1);
    QCOMPARE(wouldSend.first().first().toByteArray(), Local("docs/a/same.txt"));
    QCOMPARE(dry.Summary().nPlanned, 1);
    QCOMPARE(dry.Summary().nUnchanged, 5);
    QCOMPARE(server.ReadFile("docs/a/same.txt"), QByteArray("a's"));
    QCOMPARE(history.LastRun()->nId, run.HistoryId());

    // Nothing ticked: nothing starts.
    CBackupRun empty(CBackupPlan(), SessionOf(server), {});
    QCOMPARE(empty.Start(), CBackupRun::EStart::EmptyPlan);
}

void TestBackupRun::patternsLeaveOutAndCount()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    QVERIFY(QDir(m_pLocal->path()).mkpath("work/node_modules/lib"));
    QVERIFY(QDir(m_pLocal->path()).mkpath("work/src/.cache"));
    for (const char* pszName :
         {"work/a.txt", "work/scratch.tmp", "work/node_modules/lib/x.js", "work/src/main.c",
          "work/src/old.TMP", "work/src/.cache/blob", "work/src/node_modules", "kept.tmp"})
        QVERIFY(WriteFile(Local(pszName), "x"));
    CBackupPlan plan;
    plan.TickFolder(Local("work"));
    plan.TickFile(Local("kept.tmp"));
    plan.SetPatterns({"*.tmp", "node_modules/", ".cache/"});

    CBackupRun run(plan, SessionOf(server), {2, EBackupTrigger::Window});
    QVERIFY(RunToEnd(run));
    // Left out at any depth; a file named like a folder pattern, another case, and a file
    // ticked by itself are kept.
    const QList<QByteArray> sent = {"kept.tmp", "work/a.txt", "work/src/main.c",
                                    "work/src/node_modules", "work/src/old.TMP"};
    QCOMPARE(FilesBelow(QFile::encodeName(server.Root())), sent);
    // Counted, a folder as one: nothing disappears silently.
    QCOMPARE(run.Summary().nLeftOut, 3);
    QCOMPARE(run.Summary().nSent, 5);
    QCOMPARE(CBackupHistory(SessionOf(server)->AccountKey()).LastRun()->nLeftOut, 3);
}

void TestBackupRun::failuresInTheOrderTaken()
{
    // Two at a time on a slow server; the first file fails last, after the fifo behind it was
    // reported, yet the failures read in the order the files were taken.
    CFtpTestServer slow;
    START_OR_SKIP(slow, CFtpTestServer::Pyftpdlib, {"slow"});
    // The ticked folder is a folder of its name on the server.
    const QString strTop = QFileInfo(m_pLocal->path()).fileName() + '/';
    QVERIFY(slow.MakeFolder(strTop + "1-big.bin")); // in the way of its rename, once arrived
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
    QCOMPARE(slow.ReadFile(strTop + "3-two.bin"), QByteArray(160 << 10, '2'));
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

void TestBackupRun::fileSentAgainFromItsStartIsNoted()
{
    // Cut half-way, and the server will not append: the file arrives whole all the same, and
    // the history keeps why it went twice, in the server's words.
    const CInternetSession::Resume saved = CInternetSession::GetResume();
    const auto restore = qScopeGuard([saved] { CInternetSession::SetResume(saved); });
    CInternetSession::SetResume({5, 10, 100, 1 << 20});
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"cut-once=1048576", "refuse-resume"});
    QVERIFY(WriteFile(Local("big.bin"), QByteArray(2 << 20, 'g')));
    CBackupPlan plan;
    plan.TickFile(Local("big.bin"));
    CBackupRun run(plan, SessionOf(server), {1});
    QVERIFY(RunToEnd(run));
    QCOMPARE(run.Summary().nSent, 1);
    QCOMPARE(server.ReadFile("big.bin"), QByteArray(2 << 20, 'g'));
    CBackupHistory history(SessionOf(server)->AccountKey());
    const QList<BackupFileReport> noted = history.Files(run.HistoryId());
    QCOMPARE(noted.size(), 1);
    QCOMPARE(noted[0].eOutcome, EFileOutcome::Sent);
    QCOMPARE(noted[0].eFailure, FAILURE_RESTARTED);
    QVERIFY(noted[0].replyLine.startsWith("502"));
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
        QCOMPARE(server.ReadFile(local.dirName() + QString("/stays/%1/f%2.txt").arg(i % 4).arg(i)),
                 QString("stays/%1/f%2.txt").arg(i % 4).arg(i).toUtf8());
}

void TestBackupRun::onlyWhatChangedIsSent()
{
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    QDir local(m_pLocal->path());
    QVERIFY(local.mkpath("docs/a") && local.mkpath("docs/b") && local.mkpath("docs/c"));
    for (const char* pszName : {"docs/a/1.txt", "docs/a/2.txt", "docs/b/3.txt", "docs/c/4.txt"})
        QVERIFY(WriteFile(Local(pszName), pszName));
    CBackupPlan plan;
    plan.TickFolder(Local("docs"));
    const auto runOnce = [&](bool bCheck = false) {
        CBackupRun::Options options{2, EBackupTrigger::CommandLine};
        options.bCheckServer = bCheck;
        CBackupRun run(plan, SessionOf(server), options);
        BackupSummary ended;
        ended.nSent = -1; // the run did not end
        return RunToEnd(run) ? run.Summary() : ended;
    };
    QCOMPARE(runOnce().nSent, 4);
    QCOMPARE(server.CommandCount("STOR"), 4);

    // A file rewritten with the same size but a new time, and a new file: only these go, and
    // only their folder is listed.
    QVERIFY(WriteFile(Local("docs/a/1.txt"), "DOCS/A/1.TXT"));
    const timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 5}};
    QVERIFY(::utimensat(AT_FDCWD, Local("docs/a/1.txt").constData(), later, 0) == 0);
    QVERIFY(WriteFile(Local("docs/a/new.txt"), "new"));
    const int nListings = server.CommandCount("MLSD");
    BackupSummary second = runOnce();
    QCOMPARE(second.nSent, 2);
    QCOMPARE(second.nUnchanged, 3);
    QCOMPARE(server.CommandCount("STOR"), 6);
    // The folder, and the versions folder of the file replaced there.
    QCOMPARE(server.CommandCount("MLSD"), nListings + 2);
    QCOMPARE(server.ReadFile("docs/a/1.txt"), QByteArray("DOCS/A/1.TXT"));

    // Copies lost behind our back: deleted in b, cut short in c. A run that writes nothing
    // there trusts the record; one that writes to b finds b's; the check finds c's.
    QVERIFY(QFile::remove(server.FilePath("docs/b/3.txt")));
    QVERIFY(server.PutFile("docs/c/4.txt", "cut"));
    QCOMPARE(runOnce().nSent, 0);
    QVERIFY(WriteFile(Local("docs/b/5.txt"), "five"));
    QCOMPARE(runOnce().nSent, 2);
    QCOMPARE(server.ReadFile("docs/b/3.txt"), QByteArray("docs/b/3.txt"));
    const BackupSummary checked = runOnce(true);
    QCOMPARE(checked.nSent, 1);
    QCOMPARE(checked.nUnchanged, 5);
    QCOMPARE(server.ReadFile("docs/c/4.txt"), QByteArray("docs/c/4.txt"));

    // The server's copies have the local times, so a reinstall (no record) sends nothing.
    for (const char* pszName : {"docs/a/1.txt", "docs/b/5.txt"})
        QCOMPARE(QFileInfo(server.FilePath(pszName)).lastModified().toSecsSinceEpoch(),
                 QFileInfo(QFile::decodeName(Local(pszName))).lastModified().toSecsSinceEpoch());
    const QString strRecord = CBackupHistory::FilePath(SessionOf(server)->AccountKey());
    for (const char* pszEnd : {"", "-wal", "-shm"})
        QFile::remove(strRecord + pszEnd);
    const int nStored = server.CommandCount("STOR");
    const BackupSummary reinstalled = runOnce();
    QCOMPARE(reinstalled.nUnchanged, 6);
    QCOMPARE(server.CommandCount("STOR"), nStored);
    QCOMPARE(runOnce(true).nSent, 0); // and the record is back
}

void TestBackupRun::eachFolderMadeAndListedOnce()
{
    // Four uploads at once into folders not there yet: each is made once, not once per
    // upload. A first backup of docs lists docs first (with MLSD, which a folder not there
    // does not switch off), then only the folder its listing shows: b and c are not there.
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
    QVERIFY(server.PutFile("docs/a/other.txt", "on the server only"));
    QDir local(m_pLocal->path());
    for (const char* pszFolder : {"docs/a", "docs/b", "docs/c"}) {
        QVERIFY(local.mkpath(pszFolder));
        for (int i = 0; i < 4; ++i)
            QVERIFY(WriteFile(Local(QString("%1/%2.txt").arg(pszFolder).arg(i)), pszFolder));
    }
    CBackupPlan plan;
    plan.TickFolder(Local("docs"));
    CBackupRun::Options options{CBackupRun::kMaxParallelUploads, EBackupTrigger::CommandLine};
    CBackupRun first(plan, SessionOf(server), options);
    QVERIFY(RunToEnd(first));
    QCOMPARE(first.Summary().nSent, 12);
    QCOMPARE(server.CommandCount("MKD"), 2 * 2); // "/docs" and its subfolder
    // docs and a, and their versions folders (a first run is the first check of every copy)
    QCOMPARE(server.CommandCount("MLSD"), 2 * 2);
    QCOMPARE(server.CommandCount("LIST"), 0);

    // Two copies in b replaced: b was listed, so only its versions folder is made, by each.
    for (const char* pszName : {"docs/b/0.txt", "docs/b/1.txt"})
        QVERIFY(WriteFile(Local(pszName), "longer than before"));
    CBackupRun second(plan, SessionOf(server), options);
    QVERIFY(RunToEnd(second));
    QCOMPARE(second.Summary().nVersionsKept, 2);
    QCOMPARE(server.CommandCount("MKD"), 2 * 2 + 2 * 3);
    QCOMPARE(server.ReadFile("docs/b/1.txt"), QByteArray("longer than before"));
}

void TestBackupRun::vsftpdKeepsTreeAndTimes()
{
    // vsftpd has no MFMT: its two-argument MDTM sets the time.
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Vsftpd);
    QVERIFY(QDir(m_pLocal->path()).mkpath("docs/sub"));
    QVERIFY(WriteFile(Local("docs/sub/deep.txt"), "deep"));
    QVERIFY(WriteFile(Local("docs/top.txt"), "top"));
    const timespec old[2] = {{0, UTIME_OMIT}, {1500000000, 700000000}};
    QVERIFY(::utimensat(AT_FDCWD, Local("docs/sub/deep.txt").constData(), old, 0) == 0);
    CBackupPlan plan;
    plan.TickFolder(Local("docs"));
    CBackupRun run(plan, SessionOf(server), {2, EBackupTrigger::CommandLine});
    QVERIFY(RunToEnd(run));
    QCOMPARE(run.Summary().nSent, 2);
    QCOMPARE(FilesBelow(QFile::encodeName(server.Root())),
             QList<QByteArray>({"docs/sub/deep.txt", "docs/top.txt"}));
    QCOMPARE(QFileInfo(server.FilePath("docs/sub/deep.txt")).lastModified().toSecsSinceEpoch(),
             qint64(1500000000));
}

void TestBackupRun::earlierCopiesKept_data()
{
    QTest::addColumn<int>("nKind");
    QTest::newRow("pyftpdlib") << int(CFtpTestServer::Pyftpdlib);
    QTest::newRow("sftp") << int(CFtpTestServer::Sftp);
    QTest::newRow("vsftpd") << int(CFtpTestServer::Vsftpd);
}

void TestBackupRun::earlierCopiesKept()
{
    QFETCH(int, nKind);
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Kind(nKind));
    QVERIFY(Trust(server));
    QVERIFY(QDir(m_pLocal->path()).mkpath("docs/sub"));
    CBackupPlan plan;
    plan.TickFolder(Local("docs"));
    const auto write = [&](const char* pszName, const QByteArray& content, qint64 tModified) {
        const timespec times[2] = {{0, UTIME_OMIT}, {time_t(tModified), 0}};
        return WriteFile(Local(pszName), content) &&
               ::utimensat(AT_FDCWD, Local(pszName).constData(), times, 0) == 0;
    };
    // f.txt changes every time; sub/g.txt is new at the first backup and changes at the third.
    const auto backUp = [&](const QByteArray& content, qint64 tModified,
                            CServerVersions::Limits limits, bool bCheck = false) {
        const bool bSub = content == "one" || content == "three";
        if (!content.isEmpty() &&
            (!write("docs/f.txt", content, tModified) ||
             (bSub && !write("docs/sub/g.txt", content == "one" ? "g1" : "g3", tModified))))
            return BackupSummary();
        CBackupRun::Options options{2, EBackupTrigger::CommandLine};
        options.bCheckServer = bCheck;
        options.versionLimits = limits;
        CBackupRun run(plan, SessionOf(server), options);
        const bool bEnded = RunToEnd(run);
        return bEnded ? run.Summary() : BackupSummary();
    };
    const CServerVersions::Limits keepAll{CServerVersions::kMaxDays, 10};
    const qint64 t1 = 1600000000, t2 = 1700000000, t3 = 1750000000;
    QCOMPARE(backUp("one", t1, keepAll).nSent, 2);
    QCOMPARE(backUp("two!!", t2, keepAll).nVersionsKept, 1);
    QCOMPARE(backUp("three", t3, keepAll).nVersionsKept, 2);
    // Named by the copy's time to the second, even where the listing tells only its day.
    const QString v1 = "f.txt~20200913T122640Z", v2 = "f.txt~20231114T221320Z";
    const QString strVersions = ".mossvale-versions/docs/";
    QCOMPARE(FilesBelow(QFile::encodeName(server.Root())),
             QList<QByteArray>({".mossvale-versions/docs/" + v1.toUtf8(),
                                ".mossvale-versions/docs/" + v2.toUtf8(),
                                ".mossvale-versions/docs/sub/g.txt~20200913T122640Z", "docs/f.txt",
                                "docs/sub/g.txt"}));
    QCOMPARE(server.ReadFile("docs/f.txt"), QByteArray("three"));
    QCOMPARE(server.ReadFile(strVersions + v1), QByteArray("one"));
    QCOMPARE(server.ReadFile(strVersions + v2), QByteArray("two!!"));

    // As of a time between the first two backups: the first content.
    QTemporaryDir restored;
    CAsOfRestore restore(SessionOf(server), "/docs", (t1 + t2) / 2);
    QSignalSpy listed(&restore, &CAsOfRestore::listed);
    restore.List();
    QVERIFY(listed.wait(20000));
    QVERIFY(listed[0][0].toBool());
    QSignalSpy fetched(&restore, &CAsOfRestore::finished);
    restore.Fetch(QFile::encodeName(restored.path()));
    QVERIFY(fetched.wait(20000));
    QCOMPARE(fetched[0][0].toInt(), 2);
    QCOMPARE(ReadFile(restored.path() + "/f.txt"), QByteArray("one"));
    QCOMPARE(ReadFile(restored.path() + "/sub/g.txt"), QByteArray("g1"));

    // The limits prune the oldest first: by count, then by the age since it was replaced.
    QCOMPARE(backUp({}, 0, {CServerVersions::kMaxDays, 1}, true).nVersionsPruned, 1);
    QCOMPARE(server.ReadFile(strVersions + v2), QByteArray("two!!"));
    QVERIFY(!QFile::exists(server.FilePath(strVersions + v1)));
    QCOMPARE(backUp({}, 0, {365, 1}, true).nVersionsPruned, 2);
    QCOMPARE(FilesBelow(QFile::encodeName(server.Root())),
             QList<QByteArray>({"docs/f.txt", "docs/sub/g.txt"}));
}

void TestBackupRun::backupKeepsToItsConnections()
{
    // A server that takes two connections from one address, and a first backup of two uploads
    // at once: its listings, the logins made ahead of the uploads and the uploads share two.
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"max-cons=2"});
    QDir local(m_pLocal->path());
    for (const char* pszFolder : {"docs/a", "docs/b", "docs/c"}) {
        QVERIFY(local.mkpath(pszFolder));
        for (int i = 0; i < 3; ++i)
            QVERIFY(WriteFile(Local(QString("%1/%2.txt").arg(pszFolder).arg(i)), pszFolder));
    }
    CBackupPlan plan;
    plan.TickFolder(Local("docs"));
    CBackupRun run(plan, SessionOf(server), {2, EBackupTrigger::CommandLine});
    QVERIFY(RunToEnd(run));
    QCOMPARE(run.Summary().nFailed, 0);
    QCOMPARE(run.Summary().nSent, 9);
}

void TestBackupRun::restoreAsOfKeepsToAFewConnections()
{
    // A tree of many files, from a server that takes 6 connections from one address: the
    // restore lists and fetches a few at a time, so every file arrives.
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"max-cons=6"});
    QList<QByteArray> expected;
    for (const char* pszFolder : {"a", "a/b", "c"})
        for (int i = 0; i < 10; ++i) {
            const QString strPath = QStringLiteral("docs/%1/f%2.txt").arg(pszFolder).arg(i);
            QVERIFY(server.PutFile(strPath, strPath.toUtf8()));
            expected.append(strPath.mid(5).toUtf8());
        }
    std::sort(expected.begin(), expected.end());
    CAsOfRestore restore(SessionOf(server), "/docs", QDateTime::currentSecsSinceEpoch() + 60);
    QSignalSpy listed(&restore, &CAsOfRestore::listed);
    restore.List();
    QVERIFY(listed.wait(20000));
    QVERIFY(listed[0][0].toBool());
    QTemporaryDir restored;
    QSignalSpy fetched(&restore, &CAsOfRestore::finished);
    restore.Fetch(QFile::encodeName(restored.path()));
    QVERIFY(fetched.wait(20000));
    QCOMPARE(fetched[0][1].toInt(), 0);
    QCOMPARE(FilesBelow(QFile::encodeName(restored.path())), expected);
}

void TestBackupRun::refusedVersionKeepsOldCopy_data()
{
    QTest::addColumn<int>("nKind");
    QTest::addColumn<QString>("strFault");
    QTest::newRow("pyftpdlib") << int(CFtpTestServer::Pyftpdlib) << "rnfr-busy=1";
    QTest::newRow("sftp") << int(CFtpTestServer::Sftp) << "refuse-rename-versions";
}

void TestBackupRun::refusedVersionKeepsOldCopy()
{
    QFETCH(int, nKind);
    QFETCH(QString, strFault);
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Kind(nKind), {strFault});
    QVERIFY(Trust(server));
    QVERIFY(server.PutFile("docs/f.txt", "old copy"));
    QVERIFY(QDir(m_pLocal->path()).mkpath("docs"));
    QVERIFY(WriteFile(Local("docs/f.txt"), "new"));
    QVERIFY(WriteFile(Local("docs/g.txt"), "g"));
    CBackupPlan plan;
    plan.TickFolder(Local("docs"));
    CBackupRun run(plan, SessionOf(server), {1, EBackupTrigger::CommandLine});
    QVERIFY(RunToEnd(run));
    QCOMPARE(run.Summary().nFailed, 1);
    QCOMPARE(run.Summary().problems[0].path, Local("docs/f.txt"));
    QVERIFY(!run.Summary().problems[0].replyLine.isEmpty());
    QCOMPARE(server.ReadFile("docs/f.txt"), QByteArray("old copy"));
    const QList<QByteArray> files = FilesBelow(QFile::encodeName(server.Root() + "/docs"));
    QCOMPARE(files, QList<QByteArray>({"f.txt", "g.txt"})); // no temporary left

    // A file deleted here stays on the server, and the run says how many are gone.
    QVERIFY(QFile::remove(QFile::decodeName(Local("docs/g.txt"))));
    CBackupRun again(plan, SessionOf(server), {1, EBackupTrigger::CommandLine});
    QVERIFY(RunToEnd(again));
    QCOMPARE(again.Summary().nGoneHere, 1);
    QCOMPARE(CBackupHistory(SessionOf(server)->AccountKey()).LastRun()->nGoneHere, 1);
    QCOMPARE(server.ReadFile("docs/g.txt"), QByteArray("g"));
}

void TestBackupRun::cutListingReplacesNoUnkeptCopy_data()
{
    QTest::addColumn<QString>("strFault");
    QTest::newRow("cut after 4 KiB") << "cut-list";
    QTest::newRow("refused for a while (451)") << "refuse-list";
}

void TestBackupRun::cutListingReplacesNoUnkeptCopy()
{
    // The folder's listing breaks off after 4 KiB, or the server cannot list it for now: a
    // file it did not show may still have a copy there, which must not be replaced unkept.
    // Every server copy ends either as it was, its file failed, or among the versions, the new
    // one in its place.
    QFETCH(QString, strFault);
    CFtpTestServer server;
    START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {strFault});
    QVERIFY(QDir(m_pLocal->path()).mkpath("docs"));
    const int nFiles = 80;
    auto nameOf = [](int i) {
        return QStringLiteral("a-rather-long-file-name-to-fill-the-listing-%1.txt").arg(i);
    };
    for (int i = 0; i < nFiles; ++i) {
        QVERIFY(server.PutFile("docs/" + nameOf(i), "old copy"));
        QVERIFY(WriteFile(Local("docs/" + nameOf(i)), "new"));
    }
    CBackupPlan plan;
    plan.TickFolder(Local("docs"));
    CBackupRun run(plan, SessionOf(server), {2, EBackupTrigger::CommandLine});
    QVERIFY(RunToEnd(run));
    QVERIFY(run.Summary().nFailed > 0);
    const QList<QByteArray> versions =
        FilesBelow(QFile::encodeName(server.Root() + "/.mossvale-versions/docs"));
    for (int i = 0; i < nFiles; ++i) {
        const QString strName = nameOf(i);
        if (server.ReadFile("docs/" + strName) == "old copy")
            continue;
        QCOMPARE(server.ReadFile("docs/" + strName), QByteArray("new"));
        const auto itKept =
            std::find_if(versions.begin(), versions.end(),
                         [&](const QByteArray& v) { return v.startsWith(strName.toUtf8() + '~'); });
        QVERIFY2(itKept != versions.end(), qPrintable(strName));
        QCOMPARE(server.ReadFile(".mossvale-versions/docs/" + QString::fromUtf8(*itKept)),
                 QByteArray("old copy"));
    }
}

QTEST_GUILESS_MAIN(TestBackupRun)
#include "tst_backuprun.moc"
