// Large transfers broken half-way and resumed, and the bandwidth limit held by two uploads
// at once, on pyftpdlib on loopback (it can cut a connection on request and counts the bytes
// it moves). These figures are counts and ratios of the program against its own settings,
// not speeds against a peer.
#include "FtpTestServer.h"
#include "transfer/BandwidthLimit.h"
#include "transfer/FtpConnection.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "transfer/JobState.h"
#include "transfer/MyThread.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>

namespace {

constexpr qint64 kGiB = 1LL << 30;

// A file of nSize bytes that takes no room until it is read: its bytes read as zeros.
bool MakeSparse(const QString& strPath, qint64 nSize)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.resize(nSize);
}

std::unique_ptr<CFtpConnection> Connect(CInternetSession& session, const CFtpTestServer& server)
{
    return std::unique_ptr<CFtpConnection>(
        CFtpConnection::Connect(&session, server.ServerText().toStdString(), 21,
                                server.User().toStdString(), server.Password().toStdString()));
}

// GiB moved in all by a 1 GiB transfer cut once at its half, less the half before the cut.
double CutAtHalf(bool bUpload, const QString& strWork)
{
    CFtpTestServer server;
    if (!server.Start(CFtpTestServer::Pyftpdlib, {QStringLiteral("cut-once=%1").arg(kGiB / 2)})) {
        std::fprintf(stderr, "pyftpdlib: %s\n", qPrintable(server.LastError()));
        return -1;
    }
    const QString strLocal = strWork + "/big.bin";
    if (!MakeSparse(bUpload ? strLocal : server.FilePath("big.bin"), kGiB))
        return -1;
    CInternetSession session;
    auto pConnection = Connect(session, server);
    const bool bDone =
        pConnection && (bUpload ? pConnection->PutFile(strLocal.toStdString(), "/big.bin")
                                : pConnection->GetFile("/big.bin", strLocal.toStdString()));
    pConnection.reset();
    const qint64 nMoved = server.FileBytes(bUpload);
    QFile::remove(strLocal);
    QFile::remove(server.FilePath("big.bin"));
    if (!bDone) {
        std::fprintf(stderr, "the transfer failed\n");
        return -1;
    }
    return double(nMoved) / double(kGiB) - 0.5;
}

// The bytes the server's upload temporaries hold now.
qint64 TemporaryBytes(const CFtpTestServer& server)
{
    qint64 nBytes = 0;
    for (const QFileInfo& info :
         QDir(server.Root())
             .entryInfoList({".mossvale-*.part"}, QDir::Files | QDir::Hidden | QDir::System))
        nBytes += info.size();
    return nBytes;
}

void Wait(int nMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < nMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// The rate two uploads at once reach over 20 s, measured by what arrives on the server, over
// the limit they share.
double LimitRatio(const QString& strWork)
{
    constexpr std::int64_t nLimit = 2 << 20;
    CFtpTestServer server;
    if (!server.Start(CFtpTestServer::Pyftpdlib)) {
        std::fprintf(stderr, "pyftpdlib: %s\n", qPrintable(server.LastError()));
        return -1;
    }
    CBandwidthLimit::Set(CBandwidthLimit::Upload, nLimit);
    auto pSession = std::make_shared<CInternetSession>();
    std::vector<std::shared_ptr<CJobState>> states;
    for (const char* pszName : {"a.bin", "b.bin"}) {
        MakeSparse(strWork + '/' + pszName, 256LL << 20);
        CMyThread::Account account{server.ServerText().toStdString(), server.User().toStdString(),
                                   server.Password().toStdString(), 21, pSession};
        auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::Upload, account,
                                                QFile::encodeName(strWork), "/",
                                                QList<QByteArray>{pszName});
        states.push_back(pJob->State());
        CJobPool::Get().Start(std::move(pJob));
    }
    Wait(2000); // both under way
    const qint64 nBefore = TemporaryBytes(server);
    QElapsedTimer timer;
    timer.start();
    Wait(20000);
    const qint64 nAfter = TemporaryBytes(server);
    const double dSeconds = timer.nsecsElapsed() / 1e9;
    for (const auto& pState : states)
        pState->bCancel = true;
    CJobPool::Get().WaitForAll(10000);
    CBandwidthLimit::Set(CBandwidthLimit::Upload, 0);
    QFile::remove(strWork + "/a.bin");
    QFile::remove(strWork + "/b.bin");
    return double(nAfter - nBefore) / dSeconds / double(nLimit);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList only = app.arguments().mid(1);
    auto wanted = [&](const char* pszName) { return only.isEmpty() || only.contains(pszName); };
    QTemporaryDir work(QDir::tempPath() + "/mossvale-bench-XXXXXX");
    if (wanted("resume_1GiB_cut_at_half"))
        std::printf("resume_1GiB_cut_at_half: %.3f (target <= 0.52)\n",
                    CutAtHalf(true, work.path()));
    if (wanted("resume_restore_1GiB_cut_at_half"))
        std::printf("resume_restore_1GiB_cut_at_half: %.3f (target <= 0.52)\n",
                    CutAtHalf(false, work.path()));
    if (wanted("bandwidth_limit_2MBps_ratio"))
        std::printf("bandwidth_limit_2MBps_ratio: %.3f (target 0.90..1.05)\n",
                    LimitRatio(work.path()));
    std::fflush(stdout);
    return 0;
}
