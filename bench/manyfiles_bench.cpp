// Many small files to a distant server: a plan of g_nFiles files in g_nFolders folders through
// bench/delayproxy.py (25 ms each way, a 50 ms round trip) to one pyftpdlib server. The first
// backup, then a daily one after 20 files changed, each against lftp's reverse mirror and
// rclone's copy, four transfers at once on every side. Ours runs as `mossvale --backup` does:
// a login check, then the run, in a process that starts with no connection. Prints the time
// ratio to the faster peer and the FTP commands each side sent, as the server's journal counts
// them. One round each: a full-size round takes minutes.
//   manyfiles_bench [FILES FOLDERS [daily]]     (the size, 10000 500, by default)
// With "daily" the first backups are not timed: the server is given every side's copies, with
// the files' times, as a first backup leaves them (ours learns them in a run that finds them
// there, as after a reinstall), and only the daily round is measured.
#include "FtpTestServer.h"
#include "backup/BackupRun.h"
#include "backup/BackupSession.h"
#include "transfer/ClearTextAccounts.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"
#include "transfer/TrustStore.h"

#include "BenchUtil.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

int g_nFiles = 10000;
int g_nFolders = 500;
constexpr int kChanged = 20;
constexpr int kDelayMs = 25; // each way

int AllCommands(const CFtpTestServer& server)
{
    int nCount = 0;
    for (const char* pszVerb :
         {"USER", "PASS", "PWD",  "CWD",  "CDUP", "MKD",  "EPSV", "PASV", "TYPE", "STOR", "SIZE",
          "MDTM", "MFMT", "SITE", "RNFR", "RNTO", "DELE", "NOOP", "FEAT", "MLSD", "MLST", "LIST",
          "NLST", "OPTS", "SYST", "STAT", "REST", "RETR", "APPE", "QUIT", "AUTH"})
        nCount += server.CommandCount(pszVerb);
    return nCount;
}

int StartProxy(QProcess& proxy, int nServerPort)
{
    proxy.start("/usr/bin/python3",
                {QStringLiteral(MOSSVALE_BENCH_DIR "/delayproxy.py"), "--target",
                 QString::number(nServerPort), "--delay-ms", QString::number(kDelayMs)});
    if (!proxy.waitForReadyRead(10000))
        return 0;
    return proxy.readLine().trimmed().toInt();
}

// Ours: the login proven once, then the run, in a session of its own as a new process has
// (no live connection, nothing learnt about the server), whose pool keeps connections for
// the run's next jobs as the program's does.
double OurBackup(const CBackupPlan& plan, const CBackupSession& account, BackupSummary& summary)
{
    const auto pSession =
        std::make_shared<CBackupSession>(account.Server(), account.UserName(), account.Password());
    return Seconds([&] {
        auto pJob =
            std::make_unique<CMyThread>(CMyThread::EKind::LoginCheck, pSession->MakeAccount(),
                                        QByteArray(), LOGIN_CHECK_FOLDER);
        bool bChecked = false;
        QObject::connect(pJob.get(), &CMyThread::loginChecked, [&bChecked] { bChecked = true; });
        CJobPool::Get().Start(std::move(pJob));
        WaitFor([&] { return bChecked; });
        CBackupRun run(plan, pSession, {CBackupRun::kMaxParallelUploads});
        bool bFinished = false;
        QObject::connect(&run, &CBackupRun::finished, [&bFinished] { bFinished = true; });
        if (run.Start() == CBackupRun::EStart::Started)
            WaitFor([&] { return bFinished; });
        CJobPool::Get().WaitForAll(60000);
        summary = run.Summary();
    });
}

double RunPeer(const char* pszProgram, const QStringList& args)
{
    return Seconds([&] {
        QProcess peer;
        peer.start(pszProgram, args);
        peer.waitForFinished(-1);
        if (peer.exitCode() != 0)
            std::fprintf(stderr, "%s failed: %s\n", pszProgram,
                         peer.readAllStandardError().left(2000).constData());
    });
}

struct Side {
    double dSeconds = 0;
    int nCommands = 0;
};

Side Measure(const CFtpTestServer& server, const std::function<double()>& run)
{
    const int nBefore = AllCommands(server);
    Side side;
    side.dSeconds = run();
    side.nCommands = AllCommands(server) - nBefore;
    return side;
}

void Print(const char* pszName, const Side& ours, const Side& lftp, const Side& rclone,
           const char* pszTarget)
{
    const double dFaster = std::min(lftp.dSeconds, rclone.dSeconds);
    std::printf("%s: %.2f (ours over the faster peer; %s) ours %.1f s, lftp %.1f s, rclone %.1f "
                "s; FTP commands: ours %d, lftp %d, rclone %d (%d files in %d folders)\n",
                pszName, ours.dSeconds / dFaster, pszTarget, ours.dSeconds, lftp.dSeconds,
                rclone.dSeconds, ours.nCommands, lftp.nCommands, rclone.nCommands, g_nFiles,
                g_nFolders);
    std::fflush(stdout);
}

// The server's copies of a tree as a finished backup leaves them: same bytes, same times.
bool SeedServerCopies(const QString& strFrom, const QString& strTo)
{
    QProcess copy;
    copy.start("cp", {"-a", "-T", strFrom, strTo});
    return copy.waitForFinished(-1) && copy.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool bDailyOnly = argc == 4 && std::strcmp(argv[3], "daily") == 0;
    if (argc >= 3) {
        g_nFiles = std::max(kChanged, std::atoi(argv[1]));
        g_nFolders = std::max(1, std::atoi(argv[2]));
    }
    QTemporaryDir home(QDir::tempPath() + "/mossvale-bench-XXXXXX");
    UseFoldersBelow(home.path());
    CFtpTestServer server;
    if (!server.Start(CFtpTestServer::Pyftpdlib)) {
        std::fprintf(stderr, "pyftpdlib: %s\n", qPrintable(server.LastError()));
        return 1;
    }
    QProcess proxy;
    const int nPort = StartProxy(proxy, server.Port());
    if (nPort == 0) {
        std::fprintf(stderr, "the delay proxy did not start\n");
        return 1;
    }
    const QString strServer = "127.0.0.1:" + QString::number(nPort);
    // The test server offers no TLS; its account goes in clear, as the user agreed.
    CClearTextAccounts::Allow(CTrustStore::ServerKey("127.0.0.1", nPort),
                              server.User().toStdString());

    const QString strTop = home.path() + "/Documents";
    const auto fileOf = [&](int i) {
        return strTop + QString("/f%1/file%2.txt").arg(i % g_nFolders).arg(i);
    };
    for (int i = 0; i < g_nFiles; ++i) {
        QDir().mkpath(QFileInfo(fileOf(i)).path());
        QFile file(fileOf(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(100 + i % 900, 'a')) < 1)
            return 1;
    }
    CBackupPlan plan;
    plan.TickFolder(QFile::encodeName(strTop));
    const auto pDistant = std::make_shared<CBackupSession>(
        strServer.toStdString(), server.User().toStdString(), server.Password().toStdString());

    QProcess obscure;
    obscure.start("rclone", {"obscure", server.Password()});
    obscure.waitForFinished(-1);
    const QString strRclone = QString(":ftp,host=127.0.0.1,port=%1,user=%2,pass=%3:/rclone")
                                  .arg(nPort)
                                  .arg(server.User(), obscure.readAllStandardOutput().trimmed());
    const auto lftp = [&](const QString& strOptions) {
        return RunPeer("lftp", {"-u", server.User() + "," + server.Password(), "-e",
                                "set ftp:ssl-allow no; set net:max-retries 1; mirror -R " +
                                    strOptions + " --parallel=4 " + strTop + " /lftp; quit",
                                "ftp://" + strServer + "/"});
    };
    const auto rclone = [&] {
        return RunPeer("rclone", {"copy", "--transfers", "4", "--checkers", "8", strTop, strRclone,
                                  "--config", "/dev/null"});
    };

    // rclone takes pyftpdlib's 501 for a folder not there as an error: its root exists.
    if (!server.MakeFolder("rclone"))
        return 1;
    BackupSummary summary;
    if (bDailyOnly) {
        for (const char* pszSide : {"Documents", "lftp", "rclone"})
            if (!SeedServerCopies(strTop, server.FilePath(pszSide)))
                return 1;
        const Side reinstall = Measure(server, [&] { return OurBackup(plan, *pDistant, summary); });
        std::printf(
            "reinstall_%d_files_rtt50ms: ours %.1f s, %d FTP commands, %d sent, %d unchanged\n",
            g_nFiles, reinstall.dSeconds, reinstall.nCommands, summary.nSent, summary.nUnchanged);
    } else {
        const Side firstOurs = Measure(server, [&] { return OurBackup(plan, *pDistant, summary); });
        if (summary.nSent != g_nFiles) {
            std::fprintf(stderr, "our first backup sent %d of %d files\n", summary.nSent, g_nFiles);
            return 1;
        }
        const Side firstLftp = Measure(server, [&] { return lftp(QString()); });
        const Side firstRclone = Measure(server, rclone);
        Print("first_backup_10000_files_rtt50ms", firstOurs, firstLftp, firstRclone,
              "target at most 1.0");
    }

    // 20 files changed, spread over the folders, a minute newer than every copy.
    const QDateTime later = QDateTime::currentDateTime().addSecs(60);
    for (int n = 0; n < kChanged; ++n) {
        QFile file(fileOf(n * (g_nFiles / kChanged)));
        if (!file.open(QIODevice::WriteOnly) || file.write("changed, and longer than before") < 1 ||
            !file.setFileTime(later, QFileDevice::FileModificationTime))
            return 1;
    }
    const Side dailyOurs = Measure(server, [&] { return OurBackup(plan, *pDistant, summary); });
    const Side dailyLftp = Measure(server, [&] { return lftp("--only-newer"); });
    const Side dailyRclone = Measure(server, rclone);
    Print("daily_10000_files_20_changed_rtt50ms", dailyOurs, dailyLftp, dailyRclone,
          "target at most 0.3; ours at most 250 commands");
    std::printf("daily_10000_files_20_changed_rtt50ms_uploads: ours %d sent, %d unchanged\n",
                summary.nSent, summary.nUnchanged);
    proxy.kill();
    proxy.waitForFinished();
    return 0;
}
