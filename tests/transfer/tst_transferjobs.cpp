// Transfer jobs on the pool's worker threads, as the windows launch them: what they report,
// that no job waits for another, cancelling, and that a crafted server listing cannot make
// them misbehave.
#include "TransferTestUtil.h"
#include "FtpTestServer.h"
#include "transfer/BandwidthLimit.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"

#include <QtTest>

#include <QTemporaryDir>

#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

// Stands in for the windows: records what the jobs report to it.
class CRecorder : public QObject
{
public:
    void Attach(CMyThread* pJob)
    {
        connect(pJob, &CMyThread::transferDone, this,
                [this](const TransferReport& report) { m_transfers.push_back(report); });
        connect(pJob, &CMyThread::remoteDeleted, this,
                [this](const DeletionReport& report) { m_deletions.push_back(report); });
        connect(pJob, &CMyThread::remoteItemsAdded, this,
                [this](const RemoteItems& items, unsigned) {
                    m_items += items;
                    ++m_nBatches;
                });
        connect(pJob, &CMyThread::listingEnded, this,
                [this](const ListingReport& report) { m_listings.push_back(report); });
    }
    const RemoteItem* Item(const QByteArray& name) const
    {
        for (const RemoteItem& item : m_items)
            if (item.name == name)
                return &item;
        return nullptr;
    }

    std::vector<TransferReport> m_transfers;
    std::vector<DeletionReport> m_deletions;
    std::vector<ListingReport> m_listings;
    RemoteItems m_items;
    int m_nBatches = 0;
};

} // namespace

class TestTransferJobs : public QObject
{
    Q_OBJECT

    std::unique_ptr<CRecorder> m_pRecorder;

    std::unique_ptr<CMyThread> NewJob(CMyThread::EKind eKind, const CFtpTestServer& server,
                                      const QString& strLocalDir, QList<QByteArray> items = {},
                                      const std::string& strPassword = {})
    {
        CMyThread::Account account{Utf8(server.ServerText()), Utf8(server.User()),
                                   strPassword.empty() ? Utf8(server.Password()) : strPassword, 21,
                                   m_pSession};
        auto pJob = std::make_unique<CMyThread>(eKind, account, QFile::encodeName(strLocalDir), "/",
                                                std::move(items));
        m_pRecorder->Attach(pJob.get());
        return pJob;
    }
    // Starts a job and gives its shared state, for a test that cancels it or reads progress.
    std::shared_ptr<CJobState> Start(std::unique_ptr<CMyThread> pJob)
    {
        std::shared_ptr<CJobState> pState = pJob->State();
        CJobPool::Get().Start(std::move(pJob));
        return pState;
    }
    void Run(std::unique_ptr<CMyThread> pJob)
    {
        Start(std::move(pJob));
        QVERIFY(CJobPool::Get().WaitForAll(60000));
    }
    const TransferReport& LastTransfer() const { return m_pRecorder->m_transfers.back(); }

    std::shared_ptr<CInternetSession> m_pSession;
    QTemporaryDir m_state; // the sightings of server temporaries

private slots:
    void initTestCase()
    {
        QVERIFY(m_state.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_state.path()));
        CInternetSession::SetTimeouts({5, 3});
        CInternetSession::SetResume({0, 10, 100, 1 << 20}); // a broken transfer fails at once
        m_pSession = std::make_shared<CInternetSession>();
    }
    void cleanupTestCase() { m_pSession.reset(); }

    void init() { m_pRecorder = std::make_unique<CRecorder>(); }
    void cleanup()
    {
        QVERIFY(CJobPool::Get().WaitForAll(60000));
        m_pRecorder.reset();
    }

    void uploadReportsSuccessOrFailure()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Vsftpd);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "alpha"));

        std::unique_ptr<CMyThread> pJob =
            NewJob(CMyThread::EKind::Upload, server, local.path() + "/", {"a.txt"});
        const std::shared_ptr<CJobState> pState = pJob->State();
        Run(std::move(pJob));
        QCOMPARE(ReadFile(server.FilePath("a.txt")), QByteArray("alpha"));
        QCOMPARE(m_pRecorder->m_transfers.size(), size_t(1));
        QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Succeeded);
        QCOMPARE(LastTransfer().eDirection, ETransferDirection::Upload);
        QCOMPARE(LastTransfer().file, QByteArray("a.txt"));
        QCOMPARE(LastTransfer().nBytes, qint64(5));
        QCOMPARE(pState->nDone.load(), std::int64_t(5));

        // A missing local file: the report says the backup of it failed, and why.
        Run(NewJob(CMyThread::EKind::Upload, server, local.path(), {"gone.txt"}));
        QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Failed);
        QCOMPARE(LastTransfer().eFailure, FAILURE_LOCAL_UNREADABLE);
        QCOMPARE(LastTransfer().file, QByteArray("gone.txt"));
    }

    void jobsWithoutConnectionReportWhy()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "alpha"));

        Run(NewJob(CMyThread::EKind::Upload, server, local.path(), {"a.txt"}, "wrong"));
        Run(NewJob(CMyThread::EKind::Download, server, local.path(), {"a.txt"}, "wrong"));
        Run(NewJob(CMyThread::EKind::Delete, server, "", {"a.txt"}, "wrong"));
        QCOMPARE(m_pRecorder->m_transfers.size(), size_t(2));
        for (const TransferReport& report : m_pRecorder->m_transfers) {
            QCOMPARE(report.eOutcome, EJobOutcome::Failed);
            QCOMPARE(report.eFailure, FAILURE_LOGIN_REFUSED);
        }
        QCOMPARE(m_pRecorder->m_deletions.size(), size_t(1));
        QVERIFY(!m_pRecorder->m_deletions[0].bDeleted);
        QCOMPARE(m_pRecorder->m_deletions[0].eFailure, FAILURE_LOGIN_REFUSED);
        QCOMPARE(ReadFile(local.filePath("a.txt")), QByteArray("alpha"));
    }

    void noJobWaitsForAnother()
    {
        // An upload stalls on one server; a delete and a download on another report and end
        // meanwhile, and the pool counts only the upload as running.
        CFtpTestServer stalling;
        START_OR_SKIP(stalling, CFtpTestServer::Pyftpdlib, {"stall-stor"});
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QVERIFY(WriteFile(server.FilePath("old.txt"), "x"));
        QVERIFY(WriteFile(server.FilePath("wanted.txt"), "restored"));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("big.bin"), PatternBytes(8 << 20)));

        CJobPool& pool = CJobPool::Get();
        QSignalSpy ended(&pool, &CJobPool::jobEnded);
        Start(NewJob(CMyThread::EKind::Upload, stalling, local.path(), {"big.bin"}));
        Start(NewJob(CMyThread::EKind::Delete, server, "", {"old.txt"}));
        Start(NewJob(CMyThread::EKind::Download, server, local.path(), {"wanted.txt"}));
        QCOMPARE(pool.RunningCount(), 3);
        QCOMPARE(pool.RunningTransfers(), 2);
        QTRY_COMPARE(ended.count(), 2);
        QCOMPARE(pool.RunningCount(), 1);
        QCOMPARE(m_pRecorder->m_transfers.size(), size_t(1));
        QCOMPARE(LastTransfer().eDirection, ETransferDirection::Download);
        QCOMPARE(ReadFile(local.filePath("wanted.txt")), QByteArray("restored"));
        QVERIFY(m_pRecorder->m_deletions.at(0).bDeleted);

        QVERIFY(pool.WaitForAll(60000));
        QCOMPARE(LastTransfer().eDirection, ETransferDirection::Upload);
        QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Failed);
    }

    void theNextJobFindsTheConnectionIdle()
    {
        // The window starts the next file the moment a job reports its end, so by then the
        // job has given its connection back: a login taken at that moment, here on the
        // job's own thread while it reports, is the same connection. A new login per file
        // costs a distant server several round trips.
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "alpha"));
        int nTaken = 0;
        const auto takeConnection = [&] {
            std::unique_ptr<CFtpConnection> pConnection(
                CFtpConnection::Connect(m_pSession.get(), Utf8(server.ServerText()), 21,
                                        Utf8(server.User()), Utf8(server.Password())));
            nTaken += pConnection != nullptr;
        };
        auto pUpload = NewJob(CMyThread::EKind::Upload, server, local.path(), {"a.txt"});
        connect(pUpload.get(), &CMyThread::transferDone, this, takeConnection,
                Qt::DirectConnection);
        Run(std::move(pUpload));
        auto pListing = NewJob(CMyThread::EKind::List, server, "");
        connect(pListing.get(), &CMyThread::listingEnded, this, takeConnection,
                Qt::DirectConnection);
        Run(std::move(pListing));
        QCOMPARE(nTaken, 2);
        QCOMPARE(server.CommandCount("USER"), 1);
    }

    void bandwidthLimitHoldsForAllConnectionsTogether_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::newRow("uploads") << true;
        QTest::newRow("restores") << false;
    }

    void bandwidthLimitHoldsForAllConnectionsTogether()
    {
        // Two transfers at once under one limit take at least as long as their bytes at the
        // limit allow (less the short burst a start may take); both arrive whole. Only the
        // lower bound is checked: a busy machine can only make them slower.
        QFETCH(bool, upload);
        const auto eDirection = upload ? CBandwidthLimit::Upload : CBandwidthLimit::Download;
        const std::int64_t nLimit = 2 << 20;
        CBandwidthLimit::Set(eDirection, nLimit);
        const auto restore = qScopeGuard([eDirection] { CBandwidthLimit::Set(eDirection, 0); });
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        const QByteArray first = PatternBytes(3 << 20, 1);
        const QByteArray second = PatternBytes(3 << 20, 2);
        QVERIFY(WriteFile((upload ? local.path() : server.Root()) + "/1.bin", first));
        QVERIFY(WriteFile((upload ? local.path() : server.Root()) + "/2.bin", second));
        const auto eKind = upload ? CMyThread::EKind::Upload : CMyThread::EKind::Download;
        QElapsedTimer timer;
        timer.start();
        Start(NewJob(eKind, server, local.path(), {"1.bin"}));
        Start(NewJob(eKind, server, local.path(), {"2.bin"}));
        QVERIFY(CJobPool::Get().WaitForAll(60000));
        const double dSeconds = timer.elapsed() / 1000.0;
        const double dAtLimit = double(first.size() + second.size()) / double(nLimit);
        QVERIFY2(dSeconds >= 0.8 * dAtLimit, qPrintable(QString::number(dSeconds)));
        const QString strTo = upload ? server.Root() : local.path();
        QCOMPARE(ReadFile(strTo + "/1.bin"), first);
        QCOMPARE(ReadFile(strTo + "/2.bin"), second);
    }

    void cancelKeepsBothCopies_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("upload");
        QTest::newRow("upload stalled") << "stall-stor" << true;
        QTest::newRow("download stalled") << "stall-retr" << false;
        QTest::newRow("no greeting") << "slow-login" << true;
    }

    void cancelKeepsBothCopies()
    {
        // Every wait is far longer than the test waits for the report: only the cancel can
        // end these jobs in time.
        QFETCH(QString, fault);
        QFETCH(bool, upload);
        CInternetSession::SetTimeouts({60, 60});
        const auto restore = qScopeGuard([] { CInternetSession::SetTimeouts({5, 3}); });
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {fault});
        QVERIFY(server.PutFile("big.bin", QByteArray(1 << 20, 'o')));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("big.bin"), PatternBytes(4 << 20)));

        const std::shared_ptr<CJobState> pState =
            Start(NewJob(upload ? CMyThread::EKind::Upload : CMyThread::EKind::Download, server,
                         local.path(), {"big.bin"}));
        if (fault != "slow-login")
            QTRY_VERIFY_WITH_TIMEOUT(pState->nDone > 0, 20000);
        pState->bCancel = true;
        QTRY_COMPARE_WITH_TIMEOUT(m_pRecorder->m_transfers.size(), size_t(1), 5000);
        QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Cancelled);
        QCOMPARE(LastTransfer().eFailure, FAILURE_CANCELLED);
        QCOMPARE(server.ReadFile("big.bin"), QByteArray(1 << 20, 'o'));
        QCOMPARE(ReadFile(local.filePath("big.bin")), PatternBytes(4 << 20));
        QCOMPARE(Leftovers(local.path()), QStringList());
        if (fault == "stall-stor") // the server still answers commands on a new connection
            QTRY_COMPARE(Leftovers(server.Root()), QStringList());
    }

    void downloadReportsItsFileAndEveryFailure()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Vsftpd);
        QVERIFY(WriteFile(server.FilePath("a.txt"), "from server"));
        QVERIFY(QDir(server.Root()).mkdir("folder"));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "mine"));

        // ".." is skipped, the file arrives over the local one, one report.
        Run(NewJob(CMyThread::EKind::Download, server, local.path(), {"..", "a.txt"}));
        QCOMPARE(ReadFile(local.filePath("a.txt")), QByteArray("from server"));
        QCOMPARE(m_pRecorder->m_transfers.size(), size_t(1));
        QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Succeeded);
        QCOMPARE(LastTransfer().nBytes, qint64(11));

        // "." is attempted, refused, and ends the loop before a.txt.
        QVERIFY(WriteFile(local.filePath("a.txt"), "mine"));
        Run(NewJob(CMyThread::EKind::Download, server, local.path(), {".", "a.txt"}));
        QCOMPARE(ReadFile(local.filePath("a.txt")), QByteArray("mine"));
        QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Failed);

        // A folder on the server cannot be restored as a file.
        Run(NewJob(CMyThread::EKind::Download, server, local.path(), {"folder"}));
        QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Failed);
        QCOMPARE(m_pRecorder->m_transfers.size(), size_t(3));
        QCOMPARE(Leftovers(local.path()), QStringList());
    }

    void craftedNamesAreRefused()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir base;
        QVERIFY(QDir(base.path()).mkdir("restore"));
        QVERIFY(WriteFile(base.filePath("victim"), "keep me"));
        QVERIFY(WriteFile(server.FilePath("victim"), "server"));
        const QString strRestore = base.filePath("restore");

        for (const QByteArray& name :
             {QByteArray("../victim"), QByteArray("/victim"), QByteArray("a\r\nDELE victim"),
              QByteArray(""), QByteArray("x/../../victim"), QByteArray("vic\0tim", 7)}) {
            Run(NewJob(CMyThread::EKind::Download, server, strRestore, {name}));
            QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Failed);
            QCOMPARE(LastTransfer().eFailure, FAILURE_UNSAFE_NAME); // said why
            Run(NewJob(CMyThread::EKind::Delete, server, "", {name}));
            QVERIFY(!m_pRecorder->m_deletions.back().bDeleted);
            QCOMPARE(m_pRecorder->m_deletions.back().eFailure, FAILURE_UNSAFE_NAME);
        }
        QCOMPARE(ReadFile(base.filePath("victim")), QByteArray("keep me"));
        QCOMPARE(ReadFile(server.FilePath("victim")), QByteArray("server"));
        QCOMPARE(QDir(strRestore).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void deleteReportsTheNameItDeleted()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Vsftpd);
        QVERIFY(WriteFile(server.FilePath("b c.txt"), "b"));
        Run(NewJob(CMyThread::EKind::Delete, server, "", {"b c.txt"}));
        QVERIFY(!QFile::exists(server.FilePath("b c.txt")));
        QCOMPARE(m_pRecorder->m_deletions.size(), size_t(1));
        QCOMPARE(m_pRecorder->m_deletions[0].name, QByteArray("b c.txt"));
        QVERIFY(m_pRecorder->m_deletions[0].bDeleted);
        // Gone already: the failure is reported too, for the same name.
        Run(NewJob(CMyThread::EKind::Delete, server, "", {"b c.txt"}));
        QCOMPARE(m_pRecorder->m_deletions[1].name, QByteArray("b c.txt"));
        QVERIFY(!m_pRecorder->m_deletions[1].bDeleted);

        // A folder is never deleted: the failure is reported and the folder stays.
        QVERIFY(server.MakeFolder("folder"));
        QVERIFY(server.PutFile("folder/inside.txt", "i"));
        Run(NewJob(CMyThread::EKind::Delete, server, "", {"folder"}));
        QCOMPARE(m_pRecorder->m_deletions[2].name, QByteArray("folder"));
        QVERIFY(!m_pRecorder->m_deletions[2].bDeleted);
        QCOMPARE(server.ReadFile("folder/inside.txt"), QByteArray("i"));
    }

    void listingHandsOverEveryEntryThenEnds()
    {
        for (auto kind : {CFtpTestServer::Pyftpdlib, CFtpTestServer::Vsftpd}) {
            CFtpTestServer server;
            START_OR_SKIP(server, kind);
            for (int i = 0; i < 3000; ++i)
                QVERIFY(WriteFile(server.FilePath(QString("file%1").arg(i)), QByteArray(i, 'x')));
            QVERIFY(QDir(server.Root()).mkdir("dir"));
            m_pRecorder = std::make_unique<CRecorder>();

            std::unique_ptr<CMyThread> pJob = NewJob(CMyThread::EKind::List, server, "");
            pJob->m_nListingTag = 7;
            Run(std::move(pJob));
            QCOMPARE(m_pRecorder->m_listings.size(), size_t(1));
            QCOMPARE(m_pRecorder->m_listings[0].nListingTag, 7u);
            QCOMPARE(m_pRecorder->m_listings[0].eOutcome, EListingOutcome::Complete);
            QCOMPARE(m_pRecorder->m_items.size(), 3001);
            QVERIFY(m_pRecorder->m_nBatches < 3001); // handed over in batches
            QVERIFY(m_pRecorder->Item("dir")->bFolder);
            QCOMPARE(m_pRecorder->Item("file2047")->nSize, qint64(2047));
            QVERIFY(!m_pRecorder->Item("file0")->bFolder);
            QVERIFY(m_pRecorder->Item("file0")->tLastWrite > 0);
        }
    }

    void listingOutcomes()
    {
        // An empty folder, and a login that is refused, each end with their own outcome.
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        Run(NewJob(CMyThread::EKind::List, server, ""));
        QCOMPARE(m_pRecorder->m_listings.back().eOutcome, EListingOutcome::Empty);
        Run(NewJob(CMyThread::EKind::List, server, "", {}, "wrong"));
        QCOMPARE(m_pRecorder->m_listings.back().eOutcome, EListingOutcome::NotConnected);
        QCOMPARE(m_pRecorder->m_listings.back().eFailure, FAILURE_LOGIN_REFUSED);
        QVERIFY(m_pRecorder->m_items.isEmpty());
    }

    void craftedListingIsHandedOverSafely()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"crafted-list"});
        Run(NewJob(CMyThread::EKind::List, server, ""));
        // 255 bytes fit a job's item; 256 do not, and a shortened name would be another file.
        QVERIFY(m_pRecorder->Item(QByteArray(251, 'x') + ".txt"));
        for (const RemoteItem& item : m_pRecorder->m_items)
            QVERIFY2(!item.name.startsWith('y'), item.name.constData());
        // The 4 GiB file keeps its high bits.
        QCOMPARE(m_pRecorder->Item("four-gib-plus-2048.bin")->nSize, qint64(4294969344));
    }

    void aFileReplacedByAPipeFailsAtOnceAndLaterJobsRun()
    {
        // The file was ticked as a regular file; by the time the backup reaches it, it is a
        // FIFO. A blocking open would hold this job for ever.
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("b.txt"), "beta"));
        QVERIFY(::mkfifo(QFile::encodeName(local.filePath("a.txt")).constData(), 0600) == 0);
        Run(NewJob(CMyThread::EKind::Upload, server, local.path(), {"a.txt"}));
        QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Failed);
        QCOMPARE(LastTransfer().eFailure, FAILURE_NOT_REGULAR_FILE);
        Run(NewJob(CMyThread::EKind::Upload, server, local.path(), {"b.txt"}));
        QCOMPARE(LastTransfer().eOutcome, EJobOutcome::Succeeded);
        QCOMPARE(ReadFile(server.FilePath("b.txt")), QByteArray("beta"));
        QVERIFY(!QFile::exists(server.FilePath("a.txt")));
    }
};

QTEST_GUILESS_MAIN(TestTransferJobs)
#include "tst_transferjobs.moc"
