// Transfer engine figures against curl's command line on the same vsftpd and files, in
// the same run. Prints "name: value (target)" lines. Not part of the test suite.
#include "FtpTestServer.h"
#include "transfer/ConnectionPool.h"
#include "transfer/FtpConnection.h"
#include "transfer/HostKeyProbe.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "transfer/LibsshSftpConnection.h"
#include "transfer/MyThread.h"
#include "transfer/TrustStore.h"

#include "BenchUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Counts what the jobs report, as the windows would receive it.
struct Counter {
    int m_nDone = 0;
    long m_nEntries = 0;
    int m_nListings = 0;
};

// Connects a job's reports to the counter, on this (the window) thread.
void Count(CMyThread* pJob, Counter& counter, QObject* pContext)
{
    QObject::connect(pJob, &CMyThread::transferDone, pContext,
                     [&counter](const TransferReport&) { ++counter.m_nDone; });
    QObject::connect(
        pJob, &CMyThread::remoteItemsAdded, pContext,
        [&counter](const RemoteItems& items, unsigned) { counter.m_nEntries += items.size(); });
    QObject::connect(pJob, &CMyThread::listingEnded, pContext,
                     [&counter](const ListingReport&) { ++counter.m_nListings; });
}

// The session the bench's jobs connect through; a new one starts without warm connections.
std::shared_ptr<CInternetSession> g_pBenchInternet;

CMyThread::Account AccountOf(const CFtpTestServer& server)
{
    return {server.ServerText().toStdString(), server.User().toStdString(),
            server.Password().toStdString(), 21, g_pBenchInternet};
}

void MakeFile(const QString& strPath, qint64 nSize)
{
    QFile file(strPath);
    file.open(QIODevice::WriteOnly);
    QByteArray block(1 << 20, 'm');
    for (qint64 nLeft = nSize; nLeft > 0; nLeft -= block.size())
        file.write(block.constData(), std::min<qint64>(nLeft, block.size()));
}

// One entry job as the command view launches it: start it on the pool and wait for its end.
void RunJob(CMyThread::EKind eKind, const QString& strLocalDir, const QString& strName,
            const CFtpTestServer& server, Counter& counter, int nExpectedDone)
{
    QObject context;
    auto pJob = std::make_unique<CMyThread>(eKind, AccountOf(server), strLocalDir.toUtf8(), "/",
                                            QList<QByteArray>{strName.toUtf8()});
    Count(pJob.get(), counter, &context);
    CJobPool::Get().Start(std::move(pJob));
    WaitFor(
        [&] { return counter.m_nDone >= nExpectedDone || CJobPool::Get().RunningCount() == 0; });
    CJobPool::Get().WaitForAll(60000);
}

// The chain's local files: f0000.dat to f0999.dat.
QString ChainFileName(int i)
{
    return QString("f%1.dat").arg(i, 4, 10, QChar('0'));
}

// A backup one file at a time, as the command view chains it: the next upload starts when
// the last one reports, with no poll in between.
double RunChain(const QString& strLocalDir, int nFiles, const CFtpTestServer& server)
{
    return Seconds([&] {
        QObject context;
        int nNext = 0;
        std::function<void()> startNext = [&] {
            if (nNext == nFiles)
                return;
            auto pJob = std::make_unique<CMyThread>(
                CMyThread::EKind::Upload, AccountOf(server), strLocalDir.toUtf8(), "/",
                QList<QByteArray>{ChainFileName(nNext++).toUtf8()});
            QObject::connect(pJob.get(), &CMyThread::transferDone, &context,
                             [&](const TransferReport&) { startNext(); });
            CJobPool::Get().Start(std::move(pJob));
        };
        startNext();
        WaitFor([&] { return nNext == nFiles && CJobPool::Get().RunningCount() == 0; });
    });
}

// What a safe restore adds to a plain download: the file on disk before it is used.
double SyncFile(const QString& strPath)
{
    return Seconds([&] {
        const int fd = open(QFile::encodeName(strPath).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || fsync(fd) != 0)
            std::fprintf(stderr, "fsync of %s failed\n", qPrintable(strPath));
        if (fd >= 0)
            close(fd);
    });
}

// The same start for each side of an upload: the source in the page cache (read through
// once), no copy on the server, and nothing an earlier run wrote still waiting to go to
// disk, where its write-back would fall on whichever side runs next.
void SettleUpload(const QString& strSource, const QStringList& serverCopies)
{
    for (const QString& strCopy : serverCopies)
        QFile::remove(strCopy);
    sync();
    QFile source(strSource);
    if (source.open(QIODevice::ReadOnly)) {
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        while (source.read(buffer.data(), buffer.size()) > 0) {
        }
    }
}

// The 512 MiB transfers write 1 GiB per pair: seven pairs, not more.
constexpr int kBigPairs = 7;
constexpr int kPairs = 9;

// A listing of the root as the remote view launches it, on the session in g_pBenchInternet.
double RunListing(const CFtpTestServer& server, Counter& counter)
{
    return Seconds([&] {
        const int nBefore = counter.m_nListings;
        counter.m_nEntries = 0;
        QObject context;
        auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::List, AccountOf(server),
                                                QByteArray(), "/");
        Count(pJob.get(), counter, &context);
        CJobPool::Get().Start(std::move(pJob));
        WaitFor([&] { return counter.m_nListings > nBefore; });
        if (counter.m_nEntries < 20000)
            std::fprintf(stderr, "listing delivered only %ld entries\n", counter.m_nEntries);
    });
}

// SFTP at a distance: 64 MiB each way through the delay relay (25 ms each way, a 50 ms round
// trip) to Debian's sshd, ours (connect and login included) against OpenSSH's sftp, which logs
// in by password through SSH_ASKPASS. Three ways: "libssh_plain", the plain sshd as every server
// libssh agrees keys with is reached (through libssh); "libssh", one hardened as ssh-audit's
// guide has it; "libssh2", the plain sshd through libcurl's path, which servers that libssh
// cannot agree keys with take.
void SftpFigures(const QTemporaryDir& work, const std::function<bool(const char*)>& wanted,
                 const std::string& strWay)
{
    const std::string strUpload = "sftp_upload_64MiB_rtt50ms_vs_openssh_" + strWay;
    const std::string strDownload = "sftp_download_64MiB_rtt50ms_vs_openssh_" + strWay;
    if (!wanted(strUpload.c_str()) && !wanted(strDownload.c_str()))
        return;
    const bool bLibssh = strWay != "libssh2";
    CFtpTestServer sshd;
    if (!sshd.Start(CFtpTestServer::OpenSsh,
                    strWay == "libssh" ? QStringList{QStringLiteral("hardened")} : QStringList{})) {
        std::fprintf(stderr, "sshd: %s\n", qPrintable(sshd.LastError()));
        return;
    }
    QProcess relay;
    relay.start("/usr/bin/python3", {QStringLiteral(MOSSVALE_BENCH_DIR "/delayproxy.py"),
                                     "--target", QString::number(sshd.Port()), "--delay-ms", "25"});
    if (!relay.waitForReadyRead(10000))
        return;
    const int nRelay = relay.readLine().trimmed().toInt();
    HostKeyInfo key;
    std::string strError;
    if (!CHostKeyProbe::Probe("127.0.0.1", nRelay, g_pBenchInternet->KnownHostsPath(), 20, key,
                              strError) ||
        !CHostKeyProbe::Trust(g_pBenchInternet->KnownHostsPath(), key)) {
        std::fprintf(stderr, "host key: %s\n", strError.c_str());
        return;
    }
    if (!bLibssh)
        CLibsshSftpConnection::NoteCannotReach(CTrustStore::ServerKey("127.0.0.1", nRelay));
    const QString strAskPass = work.filePath("askpass");
    QFile askPass(strAskPass);
    askPass.open(QIODevice::WriteOnly);
    askPass.write("#!/bin/sh\necho '" + sshd.Password().toUtf8() + "'\n");
    askPass.close();
    askPass.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    // Commands on standard input, not -b: a batch file turns password logins off.
    const auto openSsh = [&](const QString& strCommand) {
        return Seconds([&] {
            QProcess sftp;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("SSH_ASKPASS", strAskPass);
            environment.insert("SSH_ASKPASS_REQUIRE", "force");
            sftp.setProcessEnvironment(environment);
            sftp.start("sftp",
                       {"-q", "-P", QString::number(nRelay), "-o", "StrictHostKeyChecking=no", "-o",
                        "UserKnownHostsFile=/dev/null", "-o", "PreferredAuthentications=password",
                        sshd.User() + "@127.0.0.1"});
            sftp.write(strCommand.toUtf8() + "\nquit\n");
            sftp.closeWriteChannel();
            sftp.waitForFinished(-1);
            const QByteArray errors = sftp.readAllStandardError();
            if (sftp.exitCode() != 0 || !errors.isEmpty())
                std::fprintf(stderr, "sftp: %s\n", errors.constData());
        });
    };
    const std::string strServer = "sftp://127.0.0.1:" + std::to_string(nRelay);
    const auto ours = [&](const std::function<bool(CFtpConnection&)>& transfer) {
        return Seconds([&] {
            std::unique_ptr<CFtpConnection> pConnection(
                CFtpConnection::Connect(g_pBenchInternet.get(), strServer, 22,
                                        sshd.User().toStdString(), sshd.Password().toStdString()));
            if (!pConnection || !transfer(*pConnection))
                std::fprintf(stderr, "our SFTP transfer failed\n");
            else if (bLibssh !=
                     (dynamic_cast<CLibsshSftpConnection*>(pConnection.get()) != nullptr))
                std::fprintf(stderr, "not the path of %s\n", strWay.c_str());
            g_pBenchInternet->Pool()->Close(); // each round logs in anew, as sftp does
        });
    };
    const QString strLocal = work.filePath("sftp64.bin");
    MakeFile(strLocal, 64LL << 20);
    constexpr int kRounds = 3;
    if (wanted(strUpload.c_str())) {
        const auto rounds = TakeInTurn(
            kRounds, {[&] { return openSsh("put " + strLocal + " " + sshd.FilePath("peer.bin")); },
                      [&] {
                          return ours([&](CFtpConnection& connection) {
                              return connection.PutFile(strLocal.toStdString(),
                                                        sshd.RemotePath("ours.bin"));
                          });
                      }});
        PrintFigure(strUpload.c_str(),
                    Pairs(rounds,
                          [](const Round& r) {
                              return TimePair{r[1], r[0]};
                          }),
                    Ratio::PeerOverOurs, "target >= 1.0", "OpenSSH sftp");
    }
    if (wanted(strDownload.c_str())) {
        MakeFile(sshd.FilePath("down.bin"), 64LL << 20);
        const auto rounds = TakeInTurn(
            kRounds,
            {[&] {
                 return openSsh("get " + sshd.FilePath("down.bin") + " " + work.filePath("p.bin"));
             },
             [&] {
                 return ours([&](CFtpConnection& connection) {
                     return connection.GetFile(sshd.RemotePath("down.bin"),
                                               work.filePath("o.bin").toStdString());
                 });
             }});
        PrintFigure(strDownload.c_str(),
                    Pairs(rounds,
                          [](const Round& r) {
                              return TimePair{r[1], r[0]};
                          }),
                    Ratio::PeerOverOurs, "target >= 1.5", "OpenSSH sftp");
    }
    relay.terminate();
    relay.waitForFinished();
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
    g_pBenchInternet = std::make_shared<CInternetSession>();
    Counter counter;
    const QString strUrl = "ftp://" + server.ServerText() + "/";
    const QStringList login{"--user", server.User() + ":" + server.Password()};
    QTemporaryDir work(QDir::tempPath() + "/mossvale-bench-XXXXXX");

    const bool bDownload =
        wanted("download_512MiB_vs_curl_fsync") || wanted("download_512MiB_vs_curl");
    if (wanted("upload_512MiB_vs_curl") || bDownload) {
        const QString strBig = work.filePath("big.bin");
        MakeFile(strBig, 512LL << 20);
        if (wanted("upload_512MiB_vs_curl")) {
            const QStringList serverCopies{server.FilePath("big.bin"), server.FilePath("curl.bin")};
            const auto rounds = TakeInTurn(
                kBigPairs,
                {
                    [&] {
                        SettleUpload(strBig, serverCopies);
                        return RunCurl(login + QStringList{"-T", strBig, strUrl + "curl.bin"});
                    },
                    [&] {
                        SettleUpload(strBig, serverCopies);
                        return Seconds([&] {
                            RunJob(CMyThread::EKind::Upload, work.path(), "big.bin", server,
                                   counter, counter.m_nDone + 1);
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
        if (bDownload) {
            MakeFile(server.FilePath("down.bin"), 512LL << 20);
            QDir().mkpath(work.filePath("restore"));
            const QString strOurs = work.filePath("restore/down.bin");
            const QString strCurl = work.filePath("restore/curl.bin");
            // Rounds of curl, the fsync of curl's file, then ours, which syncs its own.
            const auto rounds = TakeInTurn(
                kBigPairs, {
                               [&] {
                                   sync();
                                   return RunCurl(login + QStringList{strUrl + "down.bin"},
                                                  strCurl);
                               },
                               [&] {
                                   const double seconds = SyncFile(strCurl);
                                   QFile::remove(strCurl);
                                   return seconds;
                               },
                               [&] {
                                   sync();
                                   const double seconds = Seconds([&] {
                                       RunJob(CMyThread::EKind::Download, work.filePath("restore"),
                                              "down.bin", server, counter, counter.m_nDone + 1);
                                   });
                                   QFile::remove(strOurs);
                                   return seconds;
                               },
                           });
            PrintFigure("download_512MiB_vs_curl_fsync",
                        Pairs(rounds,
                              [](const Round& r) {
                                  return TimePair{r[2], r[0] + r[1]};
                              }),
                        Ratio::PeerOverOurs, "target >= 0.95", "curl and fsync");
            PrintFigure("download_512MiB_vs_curl",
                        Pairs(rounds,
                              [](const Round& r) {
                                  return TimePair{r[2], r[0]};
                              }),
                        Ratio::PeerOverOurs, "target >= 0.85", "curl");
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
        auto runOurs = [&] { return RunChain(strDir + "/", 1000, server); };
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
                                       g_pBenchInternet = std::make_shared<CInternetSession>();
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

    for (const char* pszWay : {"libssh_plain", "libssh", "libssh2"})
        SftpFigures(work, wanted, pszWay);

    return 0;
}
