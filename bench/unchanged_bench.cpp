// A daily backup with nothing changed: a plan of g_nFiles small files in g_nFolders folders, sent
// once, then backed up again as `mossvale --backup` does (a login check, then the run). Prints
// the FTP commands the second backup sent, login included, as pyftpdlib's journal counts them,
// and the files it uploaded. Counts, not times: the machine may be shared.
#include "FtpTestServer.h"
#include "backup/BackupRun.h"
#include "backup/BackupSession.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"

#include "BenchUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// The plan's size; "unchanged_bench FILES FOLDERS" for another (the is 10000 500).
int g_nFiles = 1000;
int g_nFolders = 50;

int AllCommands(const CFtpTestServer& server)
{
    int nCount = 0;
    for (const char* pszVerb : {"USER", "PASS", "PWD",  "CWD",  "MKD",  "EPSV", "PASV", "TYPE",
                                "STOR", "SIZE", "MDTM", "MFMT", "SITE", "RNFR", "RNTO", "DELE",
                                "NOOP", "FEAT", "MLSD", "LIST", "OPTS", "QUIT", "AUTH"})
        nCount += server.CommandCount(pszVerb);
    return nCount;
}

// As the command line does before its run: the login proven once.
void CheckLogin(const std::shared_ptr<CBackupSession>& pSession)
{
    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::LoginCheck, pSession->MakeAccount(),
                                            QByteArray(), LOGIN_CHECK_FOLDER);
    QEventLoop loop;
    QObject::connect(pJob.get(), &CMyThread::loginChecked, &loop, [&loop] { loop.quit(); });
    CJobPool::Get().Start(std::move(pJob));
    loop.exec();
}

BackupSummary Backup(const CBackupPlan& plan, const std::shared_ptr<CBackupSession>& pSession)
{
    CBackupRun run(plan, pSession, {CBackupRun::kMaxParallelUploads});
    QEventLoop loop;
    QObject::connect(&run, &CBackupRun::finished, &loop, [&loop] { loop.quit(); });
    if (run.Start() == CBackupRun::EStart::Started)
        loop.exec();
    CJobPool::Get().WaitForAll(60000);
    return run.Summary();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3) {
        g_nFiles = std::max(1, std::atoi(argv[1]));
        g_nFolders = std::max(1, std::atoi(argv[2]));
    }
    QTemporaryDir home;
    UseFoldersBelow(home.path());
    CFtpTestServer server;
    if (!server.Start(CFtpTestServer::Pyftpdlib)) {
        std::fprintf(stderr, "pyftpdlib: %s\n", qPrintable(server.LastError()));
        return 1;
    }
    const QString strTop = home.path() + "/Documents";
    for (int i = 0; i < g_nFiles; ++i) {
        const QString strFolder = strTop + QString("/f%1").arg(i % g_nFolders);
        QDir().mkpath(strFolder);
        QFile file(strFolder + QString("/file%1.txt").arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(i)) < 1)
            return 1;
    }
    CBackupPlan plan;
    plan.TickFolder(QFile::encodeName(strTop));
    const auto pSession = std::make_shared<CBackupSession>(server.ServerText().toStdString(),
                                                           server.User().toStdString(),
                                                           server.Password().toStdString());
    CheckLogin(pSession);
    const BackupSummary first = Backup(plan, pSession);
    if (first.nSent != g_nFiles) {
        std::fprintf(stderr, "the first backup sent %d of %d files\n", first.nSent, g_nFiles);
        return 1;
    }
    // The next backup is another process: a session of its own, no live connection.
    const auto pNext = std::make_shared<CBackupSession>(pSession->Server(), pSession->UserName(),
                                                        pSession->Password());
    const int nBefore = AllCommands(server);
    const int nStoredBefore = server.CommandCount("STOR");
    CheckLogin(pNext);
    const BackupSummary second = Backup(plan, pNext);
    std::printf("daily_nothing_changed_commands: %d commands, %d uploads, %d unchanged "
                "(%d files in %d folders; target at most 15 commands and 0 uploads)\n",
                AllCommands(server) - nBefore, server.CommandCount("STOR") - nStoredBefore,
                second.nUnchanged, g_nFiles, g_nFolders);
    return 0;
}
