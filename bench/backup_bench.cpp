// A backup to a distant server: 200 files of 4 KiB through bench/delayproxy.py, which holds
// every chunk back 25 ms each way (a 50 ms round trip) on the control and the data
// connections. Ours is the command view's BACKUP as the user presses it; the peers are curl
// sending the same files one after another over one connection with the same safety
// commands, and lftp's parallel mirror. Prints "name: value (target)" lines; not a test.
#include "FtpTestServer.h"
#include "transfer/ClearTextAccounts.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "backup/BackupRun.h"
#include "backup/BackupSession.h"
#include "transfer/TrustStore.h"
#include "tree/LeftView.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"

#include "BenchUtil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr int kFiles = 200;
constexpr int kDelayMs = 25; // each way
constexpr int kPairs = 5;

QString FileName(int i)
{
    return QString("f%1.dat").arg(i, 3, 10, QChar('0'));
}

// The relay in front of the server; its port, or 0.
int StartProxy(QProcess& proxy, int nServerPort)
{
    proxy.start("/usr/bin/python3",
                {QStringLiteral(MOSSVALE_BENCH_DIR "/delayproxy.py"), "--target",
                 QString::number(nServerPort), "--delay-ms", QString::number(kDelayMs)});
    if (!proxy.waitForReadyRead(10000))
        return 0;
    return proxy.readLine().trimmed().toInt();
}

// The main window's views as a user meets them, logged in to the server behind the proxy.
// The account the views back up to, as a login makes it.
std::shared_ptr<CBackupSession> g_pBenchSession;

void LogIn(const QString& strServer, const QString& strUser, const QString& strPassword)
{
    g_pBenchSession = std::make_shared<CBackupSession>(
        strServer.toStdString(), strUser.toStdString(), strPassword.toStdString());
}

struct CViews {
    QSplitter window{Qt::Vertical};
    CMossvaleView* pCommand = new CMossvaleView(&window);
    QSplitter* pLower = new QSplitter(&window);
    CLeftView* pLeft = new CLeftView(pLower);
    CRightView* pRight = new CRightView(pLower);

    CViews()
    {
        pCommand->SetRemoteView(pRight);
        pCommand->SetLeftView(pLeft);
        pCommand->SetSession(g_pBenchSession);
        pRight->SetSession(g_pBenchSession);
        pCommand->OnInitialUpdate();
        pLeft->OnInitialUpdate();
        pRight->OnInitialUpdate();
    }

    // Ticks the files and presses BACKUP; returns once the backup and its relisting ended.
    double Backup(const QString& strDir, int nParallel, int nFiles = kFiles)
    {
        pCommand->SetParallelUploads(nParallel);
        CBackupPlan plan;
        for (int i = 0; i < nFiles; ++i)
            plan.TickFile(QFile::encodeName(strDir + "/" + FileName(i)));
        pLeft->m_treeCtrl.SetPlan(plan);
        return Seconds([&] {
            pCommand->OnButtonBackup();
            WaitFor([&] { return !pCommand->HasRunningWork(); });
            CJobPool::Get().WaitForAll(60000);
        });
    }
};

// Every command a client may send, as the server's journal counts them.
int AllCommands(const CFtpTestServer& server)
{
    int nCount = 0;
    for (const char* pszVerb :
         {"USER", "PASS", "PWD",  "CWD",  "MKD",  "EPSV", "PASV", "TYPE", "STOR", "SIZE", "MDTM",
          "MFMT", "SITE", "RNFR", "RNTO", "DELE", "NOOP", "FEAT", "MLSD", "LIST", "OPTS", "QUIT"})
        nCount += server.CommandCount(pszVerb);
    return nCount;
}

// The FTP commands a safe upload spends per file, each a round trip (the data connection's
// opening is one more), counted by a pyftpdlib server's journal over a backup of 20 files.
double CommandsPerFile(const QString& strDir)
{
    CFtpTestServer counting;
    if (!counting.Start(CFtpTestServer::Pyftpdlib))
        return 0;
    const auto sum = [&] { return AllCommands(counting); };
    const std::shared_ptr<CBackupSession> pSaved = g_pBenchSession;
    LogIn(counting.ServerText(), counting.User(), counting.Password());
    CViews views;
    views.Backup(strDir, 1, 20); // logs in once and lists at its end
    const int nBefore = sum();
    views.Backup(strDir, 1, 20);
    g_pBenchSession = pSaved;
    return double(sum() - nBefore) / 20;
}

// The same for lftp's mirror, one file at a time: the commands of a 40-file mirror less those
// of a 20-file one, so that its login and listing drop out.
double LftpCommandsPerFile(const QString& strDir)
{
    CFtpTestServer counting;
    if (!counting.Start(CFtpTestServer::Pyftpdlib))
        return 0;
    const auto mirror = [&](int nFiles) {
        const QString strFrom = strDir + QString("-%1").arg(nFiles);
        QDir().mkpath(strFrom);
        for (int i = 0; i < nFiles; ++i)
            QFile::copy(strDir + "/" + FileName(i), strFrom + "/" + FileName(i));
        const int nBefore = AllCommands(counting);
        QProcess lftp;
        lftp.start("lftp", {"-u", counting.User() + "," + counting.Password(), "-e",
                            "set ftp:ssl-allow no; mirror -R --no-perms " + strFrom +
                                QString(" /m%1; quit").arg(nFiles),
                            "ftp://" + counting.ServerText() + "/"});
        lftp.waitForFinished(-1);
        return AllCommands(counting) - nBefore;
    };
    const int nTwenty = mirror(20);
    return double(mirror(40) - nTwenty) / 20;
}

// What keeping the replaced copy costs: a folder of 20 files, each changed and backed up again
// with versions kept and with them off (the versions folder already made), counted by the
// pyftpdlib journal. Renames per file and every command per file; bytes sent beyond the new
// files' own.
void PrintVersionKeptCommands(const QString& strDir)
{
    constexpr int nFiles = 20;
    CFtpTestServer counting;
    if (!counting.Start(CFtpTestServer::Pyftpdlib))
        return;
    const QString strFolder = strDir + "-versions";
    QDir().mkpath(strFolder);
    CBackupPlan plan;
    plan.TickFolder(QFile::encodeName(strFolder));
    const auto session = std::make_shared<CBackupSession>(counting.ServerText().toStdString(),
                                                          counting.User().toStdString(),
                                                          counting.Password().toStdString());
    int nRound = 0;
    const auto backUp = [&](int nKeep) {
        ++nRound;
        for (int i = 0; i < nFiles; ++i) { // one byte longer each round: every file differs
            QFile file(strFolder + "/" + FileName(i));
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray(4096 + nRound, char('a' + i % 26)));
        }
        CBackupRun::Options options{1, EBackupTrigger::CommandLine};
        options.bRecordHistory = false;
        options.versionLimits = CServerVersions::Limits{30, nKeep};
        CBackupRun run(plan, session, options);
        bool bEnded = false;
        QObject::connect(&run, &CBackupRun::finished, [&] { bEnded = true; });
        if (run.Start() == CBackupRun::EStart::Started)
            WaitFor([&] { return bEnded; });
        return run.Summary().nBytes - qint64(nFiles) * (4096 + nRound);
    };
    const auto renames = [&] {
        return counting.CommandCount("RNFR") + counting.CommandCount("RNTO");
    };
    backUp(10); // sends
    backUp(10); // the versions folder made
    int nRenames = renames(), nAll = AllCommands(counting);
    backUp(0);
    const int nRenamesOff = renames() - nRenames, nAllOff = AllCommands(counting) - nAll;
    nRenames = renames();
    nAll = AllCommands(counting);
    const qint64 nAgain = backUp(10);
    std::printf("version_kept_commands: %.2f (target 2; renames per replaced file, %.2f commands "
                "per file in all with the versions folder's listing; bytes sent again: %lld, "
                "target 0)\n",
                double(renames() - nRenames - nRenamesOff) / nFiles,
                double(AllCommands(counting) - nAll - nAllOff) / nFiles,
                static_cast<long long>(nAgain));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // "backup_bench version_kept_commands": that figure alone, on a small folder.
    if (argc > 1 && qstrcmp(argv[1], "version_kept_commands") == 0) {
        QTemporaryDir work(QDir::tempPath() + "/mossvale-bench-XXXXXX");
        PrintVersionKeptCommands(work.filePath("backup"));
        return 0;
    }
    CFtpTestServer server;
    if (!server.Start(CFtpTestServer::Vsftpd)) {
        std::fprintf(stderr, "vsftpd: %s\n", qPrintable(server.LastError()));
        return 1;
    }
    QProcess proxy;
    const int nPort = StartProxy(proxy, server.Port());
    if (nPort == 0) {
        std::fprintf(stderr, "the delay proxy did not start\n");
        return 1;
    }
    const QString strServer = "127.0.0.1:" + QString::number(nPort);
    const QString strUrl = "ftp://" + strServer + "/";
    // The test server offers no TLS; its account goes in clear, as the user agreed.
    CClearTextAccounts::Allow(CTrustStore::ServerKey("127.0.0.1", nPort),
                              server.User().toStdString());
    LogIn(strServer, server.User(), server.Password());

    QTemporaryDir work(QDir::tempPath() + "/mossvale-bench-XXXXXX");
    const QString strDir = work.filePath("backup");
    QDir().mkpath(strDir);
    QStringList safeArgs;
    const QStringList login{"--user", server.User() + ":" + server.Password()};
    for (int i = 0; i < kFiles; ++i) {
        QFile file(strDir + "/" + FileName(i));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(4096, char('a' + i % 26)));
        // What our safe upload sends: a temporary, SIZE, the rename over the target.
        if (i > 0)
            safeArgs << "--next"
                     << "-o"
                     << "/dev/null";
        safeArgs << login << "-T" << strDir + "/" + FileName(i) << strUrl + "s.part"
                 << "-Q"
                 << "-SIZE /s.part"
                 << "-Q"
                 << "-RNFR /s.part"
                 << "-Q"
                 << "-RNTO /c" + FileName(i);
    }
    const auto lftp = [&] {
        return Seconds([&] {
            QProcess mirror;
            mirror.start("lftp", {"-u", server.User() + "," + server.Password(), "-e",
                                  "set ftp:ssl-allow no; set net:max-retries 1; "
                                  "mirror -R --parallel=4 --no-perms " +
                                      strDir + " /lftp; quit",
                                  strUrl});
            mirror.waitForFinished(-1);
            if (mirror.exitCode() != 0)
                std::fprintf(stderr, "lftp failed: %s\n",
                             mirror.readAllStandardError().constData());
        });
    };
    const auto clearServer = [&] {
        // The files only: the root belongs to the server's account.
        for (const QString& strName : QDir(server.Root()).entryList(QDir::Files))
            QFile::remove(server.Root() + "/" + strName);
        QDir(server.Root() + "/lftp").removeRecursively();
    };
    // A message box would wait for a user: say what it says and go on.
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [] {
        if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "message: %s\n", qPrintable(pBox->text()));
            pBox->done(QMessageBox::Ok);
        }
    });
    boxes.start(50);
    CViews views;
    // Ours with the default of two uploads at once and with the most, curl, lftp.
    const auto rounds = TakeInTurn(
        kPairs, {
                    [&] {
                        clearServer();
                        return views.Backup(strDir, CMossvaleView::kDefaultParallelUploads);
                    },
                    [&] {
                        clearServer();
                        return views.Backup(strDir, CMossvaleView::kMaxParallelUploads);
                    },
                    [&] { return RunCurl(safeArgs); },
                    lftp,
                });
    PrintFigure("backup_chain_200x4KiB_rtt50ms_4_uploads_vs_curl",
                Pairs(rounds,
                      [](const Round& r) {
                          return TimePair{r[1], r[2]};
                      }),
                Ratio::PeerOverOurs, "target >= 2.5", "curl one connection, safe-upload commands");
    PrintFigure("backup_chain_200x4KiB_rtt50ms_4_uploads_vs_lftp",
                Pairs(rounds,
                      [](const Round& r) {
                          return TimePair{r[1], r[3]};
                      }),
                Ratio::PeerOverOurs, "target >= 1.0", "lftp mirror -R --parallel=4");
    PrintFigure("backup_chain_200x4KiB_rtt50ms_2_uploads_vs_curl",
                Pairs(rounds,
                      [](const Round& r) {
                          return TimePair{r[0], r[2]};
                      }),
                Ratio::PeerOverOurs, "reported; the default setting", "curl one connection");
    std::printf("safe_upload_commands_per_file: %.2f (reported; the relisting's included, "
                "and one round trip more for each data connection)\n",
                CommandsPerFile(strDir));
    std::printf("lftp_mirror_commands_per_file: %.2f (reported; plain STOR over the name, and "
                "the file's time set after it)\n",
                LftpCommandsPerFile(strDir));
    PrintVersionKeptCommands(strDir);
    g_pBenchSession.reset();
    proxy.kill();
    proxy.waitForFinished();
    return 0;
}
