// Transfer engine figures against curl's command line on the same vsftpd and files, in
// the same run. Prints "name: value (target)" lines. Not part of the test suite.
#include "platform/MsgWnd.h"
#include "platform/WinThread.h"
#include "FtpTestServer.h"
#include "transfer/InternetSession.h"
#include "transfer/Messages.h"
#include "transfer/MyThread.h"
#include "transfer/TransferGlobals.h"

#include "BenchUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Counts what the jobs report, as the windows would receive it.
class CCounter : public CMsgWnd
{
public:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM) override
    {
        if (nMsg == WM_TRANSFER_DONE)
            ++m_nDone;
        else if (nMsg == WM_ADD_REMOTE_ITEMS)
            m_nEntries += reinterpret_cast<const RemoteEntryBatch*>(wParam)->nCount;
        else if (nMsg == WM_USAGE_UPDATE)
            ++m_nListings;
        return 0;
    }
    int m_nDone = 0;
    long m_nEntries = 0;
    int m_nListings = 0;
};

void MakeFile(const QString& strPath, qint64 nSize)
{
    QFile file(strPath);
    file.open(QIODevice::WriteOnly);
    QByteArray block(1 << 20, 'm');
    for (qint64 nLeft = nSize; nLeft > 0; nLeft -= block.size())
        file.write(block.constData(), std::min<qint64>(nLeft, block.size()));
}

// One entry job as the command view launches it: connect on this thread, start, wait.
void RunJob(AFX_THREADPROC pfnProc, const QString& strLocalDir, const QString& strName,
            const CFtpTestServer& server, CCounter& counter, int nExpectedDone)
{
    auto* pJob = new CMyThread(strLocalDir.toUtf8().constData(), server.ServerText().toStdString(),
                               server.User().toStdString(), server.Password().toStdString(), 21,
                               "/", true, 1);
    auto* pItems = new JobItem[1];
    std::snprintf(pItems[0].szName, sizeof pItems[0].szName, "%s", strName.toUtf8().constData());
    pItems[0].bFolder = 0;
    CWinThread* pThread = AfxBeginThread(pfnProc, new JobRequest{pItems, pJob},
                                         THREAD_PRIORITY_BELOW_NORMAL, CREATE_SUSPENDED);
    pThread->m_bAutoDelete = false;
    ++g_nPendingJobs;
    pThread->ResumeThread();
    WaitFor([&] { return counter.m_nDone >= nExpectedDone || pThread->HasEnded(); });
    pThread->WaitForEnd();
    delete pThread;
}

// The chain's local files: f0000.dat to f0999.dat.
QString ChainFileName(int i)
{
    return QString("f%1.dat").arg(i, 4, 10, QChar('0'));
}

// The 512 MiB transfers write 1 GiB per pair: seven pairs, not more.
constexpr int kBigPairs = 7;
constexpr int kPairs = 9;

// A listing of the root as the remote view launches it, on the session in g_hInternet.
double RunListing(const CFtpTestServer& server, CCounter& counter)
{
    return Seconds([&] {
        const int nBefore = counter.m_nListings;
        counter.m_nEntries = 0;
        auto* pJob =
            new CMyThread(nullptr, server.ServerText().toStdString(), server.User().toStdString(),
                          server.Password().toStdString(), 21, "/", true, 0);
        if (!pJob->m_hConnect) { // nobody would be told: the bench has no login dialog
            std::fprintf(stderr, "listing: could not log in\n");
            delete pJob;
            return;
        }
        CWinThread* pThread =
            AfxBeginThread(ListThreadProc, pJob, THREAD_PRIORITY_BELOW_NORMAL, CREATE_SUSPENDED);
        pThread->ResumeThread();
        WaitFor([&] { return counter.m_nListings > nBefore; });
        if (counter.m_nEntries < 20000)
            std::fprintf(stderr, "listing delivered only %ld entries\n", counter.m_nEntries);
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList only = app.arguments().mid(1);
    auto wanted = [&](const char* pszName) { return only.isEmpty() || only.contains(pszName); };

    CFtpTestServer server;
    if (!server.Start(CFtpTestServer::Vsftpd)) {
        std::fprintf(stderr, "vsftpd: %s\n", qPrintable(server.LastError()));
        return 1;
    }
    g_hInternet = new CInternetSession;
    CCounter counter;
    g_pCommandView = &counter;
    g_pRemoteView = &counter;
    const QString strUrl = "ftp://" + server.ServerText() + "/";
    const QStringList login{"--user", server.User() + ":" + server.Password()};
    QTemporaryDir work(QDir::tempPath() + "/mossvale-bench-XXXXXX");

    if (wanted("upload_512MiB_vs_curl") || wanted("download_512MiB_vs_curl")) {
        const QString strBig = work.filePath("big.bin");
        MakeFile(strBig, 512LL << 20);
        if (wanted("upload_512MiB_vs_curl")) {
            const auto rounds = TakeInTurn(
                kBigPairs,
                {
                    [&] {
                        return RunCurl(login + QStringList{"-T", strBig, strUrl + "curl.bin"});
                    },
                    [&] {
                        return Seconds([&] {
                            RunJob(UploadThreadProc, work.path(), "big.bin", server, counter,
                                   counter.m_nDone + 1);
                        });
                    },
                });
            PrintFigure("upload_512MiB_vs_curl",
                        Pairs(rounds,
                              [](const Round& r) {
                                  return TimePair{r[1], r[0]};
                              }),
                        Ratio::PeerOverOurs, "target >= 0.95", "curl");
            QFile::remove(server.FilePath("big.bin"));
            QFile::remove(server.FilePath("curl.bin"));
        }
        if (wanted("download_512MiB_vs_curl")) {
            MakeFile(server.FilePath("down.bin"), 512LL << 20);
            QDir().mkpath(work.filePath("restore"));
            const QString strOurs = work.filePath("restore/down.bin");
            const QString strCurl = work.filePath("restore/curl.bin");
            const auto rounds = TakeInTurn(
                kBigPairs, {
                               [&] {
                                   const double seconds =
                                       RunCurl(login + QStringList{strUrl + "down.bin"}, strCurl);
                                   QFile::remove(strCurl);
                                   return seconds;
                               },
                               [&] {
                                   const double seconds = Seconds([&] {
                                       RunJob(DownloadThreadProc, work.filePath("restore"),
                                              "down.bin", server, counter, counter.m_nDone + 1);
                                   });
                                   QFile::remove(strOurs);
                                   return seconds;
                               },
                           });
            PrintFigure("download_512MiB_vs_curl",
                        Pairs(rounds,
                              [](const Round& r) {
                                  return TimePair{r[1], r[0]};
                              }),
                        Ratio::PeerOverOurs, "target >= 0.95", "curl");
        }
        QFile::remove(strBig);
        QFile::remove(server.FilePath("down.bin"));
    }

    if (wanted("backup_chain_1000x4KiB_vs_curl")) {
        const QString strDir = work.filePath("chain");
        QDir().mkpath(strDir);
        QStringList curlArgs = login;
        for (int i = 0; i < 1000; ++i) {
            const QString strName = ChainFileName(i);
            MakeFile(strDir + "/" + strName, 4096);
            curlArgs << "-T" << strDir + "/" + strName << strUrl + "c" + strName;
        }
        // The same peer made to send what a safe upload sends: the file under a temporary
        // name, SIZE, then the rename over the target. What is left is our own overhead.
        QStringList safeArgs;
        for (int i = 0; i < 1000; ++i) {
            const QString strName = ChainFileName(i);
            if (i > 0)
                safeArgs << "--next"
                         << "-o"
                         << "/dev/null";
            safeArgs << login << "-T" << strDir + "/" + strName << strUrl + "s.part"
                     << "-Q"
                     << "-SIZE /s.part"
                     << "-Q"
                     << "-RNFR /s.part"
                     << "-Q"
                     << "-RNTO /s" + strName;
        }
        auto runOurs = [&] {
            return Seconds([&] {
                for (int i = 0; i < 1000; ++i)
                    RunJob(UploadThreadProc, strDir + "/", ChainFileName(i), server, counter,
                           counter.m_nDone + 1);
            });
        };
        const auto rounds = TakeInTurn(kPairs, {
                                                   [&] { return RunCurl(curlArgs); },
                                                   [&] { return RunCurl(safeArgs); },
                                                   runOurs,
                                               });
        PrintFigure("backup_chain_1000x4KiB_vs_curl_same_commands",
                    Pairs(rounds,
                          [](const Round& r) {
                              return TimePair{r[2], r[1]};
                          }),
                    Ratio::OursOverPeer, "target <= 1.1", "curl safe-upload commands");
        PrintFigure("backup_chain_1000x4KiB_vs_curl",
                    Pairs(rounds,
                          [](const Round& r) {
                              return TimePair{r[2], r[0]};
                          }),
                    Ratio::OursOverPeer, "target <= 1.5", "curl plain uploads");
    }

    if (wanted("list_20000_vs_curl")) {
        for (int i = 0; i < 20000; ++i)
            QFile(QString("%1/entry-%2.txt").arg(server.Root()).arg(i)).open(QIODevice::WriteOnly);
        // Both sides with a login each run (ours on a new session, so its pool is empty),
        // and both without: ours on a warm pool, curl less its login-only request. The warm
        // run goes first in a round, so the connection the last listing gives back after
        // its report is surely in the pool by then.
        RunListing(server, counter);
        const auto rounds =
            TakeInTurn(kPairs, {
                                   [&] { return RunCurl(login + QStringList{strUrl}); },
                                   [&] {
                                       return RunCurl(login + QStringList{"--head", strUrl});
                                   },
                                   [&] { return RunListing(server, counter); },
                                   [&] {
                                       delete g_hInternet;
                                       g_hInternet = new CInternetSession;
                                       return RunListing(server, counter);
                                   },
                               });
        PrintFigure("list_20000_vs_curl_fresh_login",
                    Pairs(rounds,
                          [](const Round& r) {
                              return TimePair{r[3], r[0]};
                          }),
                    Ratio::OursOverPeer, "target <= 2", "curl");
        PrintFigure("list_20000_vs_curl_without_login",
                    Pairs(rounds,
                          [](const Round& r) {
                              return TimePair{r[2], r[0] - r[1]};
                          }),
                    Ratio::OursOverPeer, "target <= 2", "curl less --head");
    }

    g_pCommandView = nullptr;
    g_pRemoteView = nullptr;
    return 0;
}
