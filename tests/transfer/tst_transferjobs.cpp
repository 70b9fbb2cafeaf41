// Transfer jobs on worker threads, as the windows launch them: what they report, in which
// order, the end barrier, and that a crafted server listing cannot make them misbehave.
#include "TransferTestUtil.h"
#include "FtpTestServer.h"
#include "platform/MsgWnd.h"
#include "platform/WinThread.h"
#include "transfer/InternetSession.h"
#include "transfer/Messages.h"
#include "transfer/MyThread.h"
#include "transfer/TransferGlobals.h"

#include <QtTest>

#include <QTemporaryDir>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace {

struct Report {
    UINT nMsg;
    WPARAM wParam;
    LPARAM lParam;
};

// Stands in for a window: records what the jobs say to it.
class CRecorder : public CMsgWnd
{
public:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override
    {
        if (nMsg == WM_ADD_REMOTE_ITEMS) {
            const auto* pBatch = reinterpret_cast<const RemoteEntryBatch*>(wParam);
            m_entries.insert(m_entries.end(), pBatch->pEntries, pBatch->pEntries + pBatch->nCount);
            ++m_nBatches;
            return 0;
        }
        if (nMsg == WM_LOGIN_RESULT)
            m_texts.push_back(QString::fromUtf8(reinterpret_cast<const char*>(lParam)));
        if (nMsg != WM_TRANSFER_PROGRESS)
            m_reports.push_back({nMsg, wParam, lParam});
        else
            m_nLastProgress = static_cast<qint64>(wParam);
        return 0;
    }

    int Count(UINT nMsg) const
    {
        int n = 0;
        for (const Report& report : m_reports)
            n += report.nMsg == nMsg;
        return n;
    }
    const RemoteEntry* Entry(const char* pszName) const
    {
        for (const RemoteEntry& entry : m_entries)
            if (std::strcmp(entry.szName, pszName) == 0)
                return &entry;
        return nullptr;
    }

    std::vector<Report> m_reports;
    std::vector<RemoteEntry> m_entries;
    std::vector<QString> m_texts;
    int m_nBatches = 0;
    qint64 m_nLastProgress = -1;
};

// What a launcher does, in its order: construct (connects), request, suspended thread,
// count raised, resumed. The thread object is kept so a test can see when it ended.
CWinThread* Launch(AFX_THREADPROC pfnProc, CMyThread* pJob, const std::vector<std::string>& names,
                   int nPriority = THREAD_PRIORITY_NORMAL)
{
    auto* pItems = new JobItem[names.size()];
    for (size_t i = 0; i < names.size(); ++i) {
        std::snprintf(pItems[i].szName, sizeof pItems[i].szName, "%s", names[i].c_str());
        pItems[i].bFolder = 0;
    }
    auto* pRequest = new JobRequest{pItems, pJob};
    CWinThread* pThread = AfxBeginThread(pfnProc, pRequest, nPriority, CREATE_SUSPENDED);
    pThread->m_bAutoDelete = false;
    ++g_nPendingJobs;
    pThread->ResumeThread();
    return pThread;
}

} // namespace

class TestTransferJobs : public QObject
{
    Q_OBJECT

    CRecorder* m_pCommand = nullptr;
    CRecorder* m_pRemote = nullptr;
    CRecorder* m_pLogin = nullptr;
    CRecorder* m_pWait = nullptr;

    CMyThread* NewJob(const CFtpTestServer& server, const QString& strLocalDir, int nItems,
                      const std::string& strPassword = {})
    {
        return new CMyThread(strLocalDir.isEmpty() ? nullptr : strLocalDir.toUtf8().constData(),
                             Utf8(server.ServerText()), Utf8(server.User()),
                             strPassword.empty() ? Utf8(server.Password()) : strPassword, 21, "/",
                             true, nItems);
    }

    void Finish(CWinThread* pThread)
    {
        QVERIFY(pThread->WaitForEnd(60000));
        delete pThread;
        QCoreApplication::processEvents(); // let the posted reports arrive
    }

private slots:
    void initTestCase()
    {
        CInternetSession::SetTimeouts({3, 3});
        g_hInternet = new CInternetSession;
    }
    void cleanupTestCase()
    {
        delete g_hInternet;
        g_hInternet = nullptr;
    }

    void init()
    {
        m_pCommand = new CRecorder;
        m_pRemote = new CRecorder;
        m_pLogin = new CRecorder;
        m_pWait = new CRecorder;
        g_pCommandView = m_pCommand;
        g_pRemoteView = m_pRemote;
        g_pLoginDlg = m_pLogin;
        g_pWaitDlg = m_pWait;
    }
    void cleanup()
    {
        QCOMPARE(g_nPendingJobs.load(), 0);
        g_pCommandView = g_pRemoteView = g_pLoginDlg = g_pWaitDlg = nullptr;
        delete m_pCommand;
        delete m_pRemote;
        delete m_pLogin;
        delete m_pWait;
    }

    void uploadReportsSuccessOrFailureAfterTheBarrier()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Vsftpd);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "alpha"));

        Finish(Launch(UploadThreadProc, NewJob(server, local.path() + "/", 1), {"a.txt"}));
        QCOMPARE(ReadFile(server.FilePath("a.txt")), QByteArray("alpha"));
        QCOMPARE(m_pCommand->m_reports.size(), size_t(1));
        QCOMPARE(m_pCommand->m_reports[0].nMsg, WM_TRANSFER_DONE);
        QCOMPARE(TransferOutcome(m_pCommand->m_reports[0].wParam), TRANSFER_SUCCEEDED);
        QCOMPARE(m_pCommand->m_reports[0].lParam, TRANSFER_UPLOAD);
        QCOMPARE(m_pCommand->m_nLastProgress, qint64(5));

        // A missing local file: the report says the backup of it failed.
        Finish(Launch(UploadThreadProc, NewJob(server, local.path(), 1), {"gone.txt"}));
        QCOMPARE(TransferOutcome(m_pCommand->m_reports.back().wParam), TRANSFER_FAILED);
        QCOMPARE(m_pCommand->m_reports.back().lParam, TRANSFER_UPLOAD);

        // No items: nothing touched, the count still goes down and the report is made.
        Finish(Launch(UploadThreadProc, NewJob(server, local.path(), 0), {}));
        QCOMPARE(TransferOutcome(m_pCommand->m_reports.back().wParam), TRANSFER_SUCCEEDED);
        QCOMPARE(m_pCommand->Count(WM_TRANSFER_DONE), 3);
    }

    void jobsWithoutConnectionStillPassTheBarrierAndReport()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "alpha"));

        CMyThread* pJob = NewJob(server, local.path(), 1, "wrong password");
        QVERIFY(!pJob->m_hConnect);
        Finish(Launch(UploadThreadProc, pJob, {"a.txt"}));
        Finish(Launch(DownloadThreadProc, NewJob(server, local.path(), 1, "wrong"), {"a.txt"}));
        Finish(Launch(DeleteThreadProc, NewJob(server, "", 1, "wrong"), {"a.txt"}));
        QCOMPARE(g_nPendingJobs.load(), 0);
        QCOMPARE(m_pCommand->m_reports.size(), size_t(2));
        QCOMPARE(TransferOutcome(m_pCommand->m_reports[0].wParam), TRANSFER_FAILED);
        QCOMPARE(TransferOutcome(m_pCommand->m_reports[1].wParam), TRANSFER_FAILED);
        QCOMPARE(m_pCommand->m_reports[1].lParam, TRANSFER_DOWNLOAD);
        QCOMPARE(m_pRemote->m_reports.size(), size_t(1));
        QCOMPARE(DeleteOutcome(m_pRemote->m_reports[0].lParam), DELETE_FAILED);
        QCOMPARE(ReadFile(local.filePath("a.txt")), QByteArray("alpha"));
    }

    void theFirstJobDoneWaitsAtTheBarrierForTheOther()
    {
        // A delete and a download finish at once; an upload to a stalling server takes until
        // the stall time-out. The delete and the download report their files at once, but
        // end only with the upload.
        CFtpTestServer stalling;
        START_OR_SKIP(stalling, CFtpTestServer::Pyftpdlib, {"stall-stor"});
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QVERIFY(WriteFile(server.FilePath("old.txt"), "x"));
        QVERIFY(WriteFile(server.FilePath("wanted.txt"), "restored"));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("big.bin"), PatternBytes(8 << 20)));

        CWinThread* pUpload = Launch(UploadThreadProc, NewJob(stalling, local.path(), 1),
                                     {"big.bin"}, THREAD_PRIORITY_BELOW_NORMAL);
        CWinThread* pDelete = Launch(DeleteThreadProc, NewJob(server, "", 1), {"old.txt"},
                                     THREAD_PRIORITY_ABOVE_NORMAL);
        CWinThread* pDownload = Launch(DownloadThreadProc, NewJob(server, local.path(), 1),
                                       {"wanted.txt"}, THREAD_PRIORITY_ABOVE_NORMAL);
        QTRY_COMPARE(m_pRemote->Count(WM_REMOTE_DELETED), 1);
        QVERIFY(!QFile::exists(server.FilePath("old.txt")));
        // The restore's report comes while the upload still holds the barrier shut.
        QTRY_COMPARE(m_pCommand->Count(WM_TRANSFER_DONE), 1);
        QVERIFY(g_nPendingJobs.load() >= 1);
        QCOMPARE(m_pCommand->m_reports[0].lParam, TRANSFER_DOWNLOAD);
        QCOMPARE(TransferOutcome(m_pCommand->m_reports[0].wParam), TRANSFER_SUCCEEDED);
        QCOMPARE(ReadFile(local.filePath("wanted.txt")), QByteArray("restored"));
        QVERIFY(!pDelete->HasEnded()); // held at the barrier by the upload
        QVERIFY(!pDownload->HasEnded());
        QVERIFY(!pUpload->HasEnded());

        for (CWinThread* pThread : {pUpload, pDelete, pDownload}) {
            QVERIFY(pThread->WaitForEnd(60000));
            delete pThread;
        }
        QTRY_COMPARE(m_pCommand->Count(WM_TRANSFER_DONE), 2);
        QCOMPARE(m_pCommand->m_reports[1].lParam, TRANSFER_UPLOAD);
        QCOMPARE(TransferOutcome(m_pCommand->m_reports[1].wParam), TRANSFER_FAILED);
        QCOMPARE(m_pRemote->m_reports[0].wParam, WPARAM(RemoteNameKey("old.txt")));
        QCOMPARE(DeleteOutcome(m_pRemote->m_reports[0].lParam), DELETE_SUCCEEDED);
    }

    void anUploadDoneWaitsForARunningDelete()
    {
        // The delete's server hangs once the job has connected, so its DELE gets no answer
        // until the server goes on; the upload's file is on the server meanwhile, but its
        // report waits for the delete.
        CFtpTestServer hanging;
        START_OR_SKIP(hanging, CFtpTestServer::Pyftpdlib);
        QVERIFY(WriteFile(hanging.FilePath("old.txt"), "x"));
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "alpha"));

        CInternetSession::SetTimeouts({3, 30}); // the DELE waits for the server to go on
        auto restore = qScopeGuard([] { CInternetSession::SetTimeouts({3, 3}); });
        CMyThread* pDeleteJob = NewJob(hanging, "", 1);
        QVERIFY(pDeleteJob->m_hConnect);
        QVERIFY(hanging.Freeze(true));
        auto thaw = qScopeGuard([&] { hanging.Freeze(false); });
        CWinThread* pDelete = Launch(DeleteThreadProc, pDeleteJob, {"old.txt"});
        CWinThread* pUpload = Launch(UploadThreadProc, NewJob(server, local.path(), 1), {"a.txt"});
        QTRY_COMPARE(ReadFile(server.FilePath("a.txt")), QByteArray("alpha"));
        QTRY_COMPARE(g_nPendingJobs.load(), 1); // the upload is at the barrier
        QCoreApplication::processEvents();
        QCOMPARE(m_pCommand->Count(WM_TRANSFER_DONE), 0);
        QVERIFY(!pUpload->HasEnded());

        QVERIFY(hanging.Freeze(false));
        for (CWinThread* pThread : {pDelete, pUpload}) {
            QVERIFY(pThread->WaitForEnd(60000));
            delete pThread;
        }
        QTRY_COMPARE(m_pCommand->Count(WM_TRANSFER_DONE), 1);
        QCOMPARE(TransferOutcome(m_pCommand->m_reports[0].wParam), TRANSFER_SUCCEEDED);
        QCOMPARE(DeleteOutcome(m_pRemote->m_reports[0].lParam), DELETE_SUCCEEDED);
        QVERIFY(!QFile::exists(hanging.FilePath("old.txt")));
    }

    void theBarrierOpensForAJobThatSleptThroughZero()
    {
        // A waits; B's pass brings the count to 0 and a new job raises it again before A
        // has looked. A must still pass: the count did read 0.
        g_nPendingJobs = 2;
        std::atomic<bool> bPassed{false};
        std::thread waiter([&] {
            PassEndBarrier();
            bPassed = true;
        });
        QTRY_COMPARE(g_nPendingJobs.load(), 1); // A is waiting
        PassEndBarrier();
        ++g_nPendingJobs;
        const bool bInTime = QTest::qWaitFor([&] { return bPassed.load(); }, 5000);
        PassEndBarrier(); // the new job ends, so A is let go whatever happened
        waiter.join();
        QVERIFY2(bInTime, "a job that slept while the count read 0 was held");
        QCOMPARE(g_nPendingJobs.load(), 0);
    }

    void downloadReportsItsFirstFileAndEveryFailure()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Vsftpd);
        QVERIFY(WriteFile(server.FilePath("a.txt"), "from server"));
        QVERIFY(QDir(server.Root()).mkdir("folder"));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "mine"));

        // ".." is skipped, the file arrives over the local one, one report.
        Finish(Launch(DownloadThreadProc, NewJob(server, local.path(), 2), {"..", "a.txt"}));
        QCOMPARE(ReadFile(local.filePath("a.txt")), QByteArray("from server"));
        QCOMPARE(m_pCommand->m_reports.size(), size_t(1));
        QCOMPARE(TransferOutcome(m_pCommand->m_reports[0].wParam), TRANSFER_SUCCEEDED);
        QCOMPARE(m_pCommand->m_reports[0].lParam, TRANSFER_DOWNLOAD);

        // "." is attempted, refused, and ends the loop before a.txt.
        QVERIFY(WriteFile(local.filePath("a.txt"), "mine"));
        Finish(Launch(DownloadThreadProc, NewJob(server, local.path(), 2), {".", "a.txt"}));
        QCOMPARE(ReadFile(local.filePath("a.txt")), QByteArray("mine"));
        QCOMPARE(TransferOutcome(m_pCommand->m_reports.back().wParam), TRANSFER_FAILED);

        // A folder on the server cannot be restored as a file.
        Finish(Launch(DownloadThreadProc, NewJob(server, local.path(), 1), {"folder"}));
        QCOMPARE(TransferOutcome(m_pCommand->m_reports.back().wParam), TRANSFER_FAILED);
        QCOMPARE(m_pCommand->m_reports.size(), size_t(3));
        QCOMPARE(Leftovers(local.path()), QStringList());

        // No items: nothing fetched and nothing to report, but the count still goes down.
        Finish(Launch(DownloadThreadProc, NewJob(server, local.path(), 0), {}));
        QCOMPARE(m_pCommand->m_reports.size(), size_t(3));
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

        for (const std::string& strName :
             {std::string("../victim"), std::string("/victim"), std::string("a\r\nDELE victim"),
              std::string(""), std::string("x/../../victim")}) {
            Finish(Launch(DownloadThreadProc, NewJob(server, strRestore, 1), {strName}));
            QCOMPARE(TransferOutcome(m_pCommand->m_reports.back().wParam), TRANSFER_FAILED);
            Finish(Launch(DeleteThreadProc, NewJob(server, "", 1), {strName}));
            QCOMPARE(DeleteOutcome(m_pRemote->m_reports.back().lParam), DELETE_FAILED);
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
        Finish(Launch(DeleteThreadProc, NewJob(server, "", 1), {"b c.txt"}));
        QVERIFY(!QFile::exists(server.FilePath("b c.txt")));
        QCOMPARE(m_pRemote->m_reports.size(), size_t(1));
        QCOMPARE(m_pRemote->m_reports[0].nMsg, WM_REMOTE_DELETED);
        QCOMPARE(m_pRemote->m_reports[0].wParam, WPARAM(RemoteNameKey("b c.txt")));
        QCOMPARE(DeleteOutcome(m_pRemote->m_reports[0].lParam), DELETE_SUCCEEDED);
        // Gone already: the failure is reported too, for the same name.
        Finish(Launch(DeleteThreadProc, NewJob(server, "", 1), {"b c.txt"}));
        QCOMPARE(m_pRemote->m_reports[1].wParam, WPARAM(RemoteNameKey("b c.txt")));
        QCOMPARE(DeleteOutcome(m_pRemote->m_reports[1].lParam), DELETE_FAILED);

        // A folder is never deleted: the failure is reported and the folder stays.
        QVERIFY(server.MakeFolder("folder"));
        QVERIFY(server.PutFile("folder/inside.txt", "i"));
        Finish(Launch(DeleteThreadProc, NewJob(server, "", 1), {"folder"}));
        QCOMPARE(m_pRemote->m_reports[2].wParam, WPARAM(RemoteNameKey("folder")));
        QCOMPARE(DeleteOutcome(m_pRemote->m_reports[2].lParam), DELETE_FAILED);
        QCOMPARE(server.ReadFile("folder/inside.txt"), QByteArray("i"));

        // No items: nothing deleted, nothing reported, the count still goes down.
        Finish(Launch(DeleteThreadProc, NewJob(server, "", 0), {}));
        QCOMPARE(m_pRemote->m_reports.size(), size_t(3));
    }

    void listingHandsOverEveryEntryThenUpdatesTheMeter()
    {
        for (auto kind : {CFtpTestServer::Pyftpdlib, CFtpTestServer::Vsftpd}) {
            CFtpTestServer server;
            START_OR_SKIP(server, kind);
            for (int i = 0; i < 3000; ++i)
                QVERIFY(WriteFile(server.FilePath(QString("file%1").arg(i)), QByteArray(i, 'x')));
            QVERIFY(QDir(server.Root()).mkdir("dir"));
            m_pRemote->m_entries.clear();
            m_pRemote->m_reports.clear();

            auto* pJob = NewJob(server, "", 0);
            pJob->m_nListingTag = 7;
            CWinThread* pThread = AfxBeginThread(ListThreadProc, pJob, THREAD_PRIORITY_BELOW_NORMAL,
                                                 CREATE_SUSPENDED);
            pThread->ResumeThread(); // auto-delete, as the list view starts it
            QTRY_COMPARE(m_pRemote->Count(WM_USAGE_UPDATE), 1);
            QCOMPARE(m_pRemote->m_reports.back().wParam, WPARAM(7));
            QCOMPARE(m_pWait->Count(WM_CLOSE), kind == CFtpTestServer::Pyftpdlib ? 1 : 2);
            QCOMPARE(m_pRemote->m_entries.size(), size_t(3001));
            QVERIFY(m_pRemote->m_nBatches < 3001); // handed over in batches
            QCOMPARE(QByteArray(m_pRemote->Entry("dir")->szSize), QByteArray("<DIR>"));
            QCOMPARE(m_pRemote->Entry("dir")->bFolder, 1);
            QCOMPARE(QByteArray(m_pRemote->Entry("file1024")->szSize), QByteArray("1024"));
            QCOMPARE(QByteArray(m_pRemote->Entry("file1025")->szSize), QByteArray("1KB"));
            QCOMPARE(QByteArray(m_pRemote->Entry("file2047")->szSize), QByteArray("1KB"));
            QCOMPARE(QByteArray(m_pRemote->Entry("file2048")->szSize), QByteArray("2KB"));
            QCOMPARE(QByteArray(m_pRemote->Entry("file0")->szSize), QByteArray("0"));
            QCOMPARE(m_pRemote->Entry("file0")->bFolder, 0);
            QVERIFY(std::strlen(m_pRemote->Entry("file0")->szDate) > 0);
        }
    }

    void emptyFolderAsksForTheMessageOnceAndStillEnds()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Vsftpd);
        CWinThread* pThread = AfxBeginThread(ListThreadProc, NewJob(server, "", 0),
                                             THREAD_PRIORITY_BELOW_NORMAL, CREATE_SUSPENDED);
        pThread->ResumeThread();
        QTRY_COMPARE(m_pRemote->Count(WM_USAGE_UPDATE), 1);
        QCOMPARE(m_pRemote->Count(WM_REMOTE_FOLDER_EMPTY), 1);
        // The message box comes before the meter is updated.
        QCOMPARE(m_pRemote->m_reports[0].nMsg, WM_REMOTE_FOLDER_EMPTY);
        QCOMPARE(m_pWait->Count(WM_CLOSE), 1);
    }

    void listingWithoutConnectionSaysSo()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        CWinThread* pThread = AfxBeginThread(ListThreadProc, NewJob(server, "", 0, "wrong"),
                                             THREAD_PRIORITY_BELOW_NORMAL, CREATE_SUSPENDED);
        pThread->ResumeThread();
        QTRY_COMPARE(m_pLogin->m_texts.size(), size_t(1));
        QCOMPARE(m_pLogin->m_texts[0], server.ServerText());
        // The list learns that it could not be read, and why: not an empty account.
        QTRY_COMPARE(m_pRemote->Count(WM_USAGE_UPDATE), 1);
        QCOMPARE(ListingOutcomeOf(m_pRemote->m_reports.back().lParam), LISTING_FAILED);
        QTRY_COMPARE(m_pWait->Count(WM_CLOSE), 1);

        // With the login dialog gone, nobody is told and nothing breaks.
        g_pLoginDlg = nullptr;
        pThread = AfxBeginThread(ListThreadProc, NewJob(server, "", 0, "wrong"),
                                 THREAD_PRIORITY_BELOW_NORMAL, CREATE_SUSPENDED);
        pThread->m_bAutoDelete = false;
        pThread->ResumeThread();
        Finish(pThread);
        QCOMPARE(m_pLogin->m_texts.size(), size_t(1));
    }

    void craftedListingIsHandedOverSafely()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"crafted-list"});
        CWinThread* pThread = AfxBeginThread(ListThreadProc, NewJob(server, "", 0),
                                             THREAD_PRIORITY_BELOW_NORMAL, CREATE_SUSPENDED);
        pThread->ResumeThread();
        QTRY_COMPARE(m_pRemote->Count(WM_USAGE_UPDATE), 1);
        // 255 bytes fit a name field; 256 do not, and a shortened name would be another file.
        QVERIFY(m_pRemote->Entry((std::string(251, 'x') + ".txt").c_str()));
        for (const RemoteEntry& entry : m_pRemote->m_entries)
            QVERIFY2(entry.szName[0] != 'y', entry.szName);
        // The 4 GiB file keeps its high bits.
        bool bSawHuge = false;
        for (const RemoteEntry& entry : m_pRemote->m_entries)
            bSawHuge |= QByteArray(entry.szSize) == "4194306KB";
        QVERIFY(bSawHuge);
    }

    void aFileReplacedByAPipeFailsAtOnceAndLaterJobsRun()
    {
        // The file was ticked as a regular file; by the time the backup reaches it, it is a
        // FIFO. A blocking open would hold this job, and through the barrier every later one.
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("b.txt"), "beta"));
        QVERIFY(::mkfifo(QFile::encodeName(local.filePath("a.txt")).constData(), 0600) == 0);
        Finish(Launch(UploadThreadProc, NewJob(server, local.path(), 1), {"a.txt"}));
        QCOMPARE(TransferOutcome(m_pCommand->m_reports.back().wParam), TRANSFER_FAILED);
        QCOMPARE(TransferFailureOf(m_pCommand->m_reports.back().wParam), FAILURE_NOT_REGULAR_FILE);
        Finish(Launch(UploadThreadProc, NewJob(server, local.path(), 1), {"b.txt"}));
        QCOMPARE(TransferOutcome(m_pCommand->m_reports.back().wParam), TRANSFER_SUCCEEDED);
        QCOMPARE(ReadFile(server.FilePath("b.txt")), QByteArray("beta"));
        QVERIFY(!QFile::exists(server.FilePath("a.txt")));
    }
};

QTEST_GUILESS_MAIN(TestTransferJobs)
#include "tst_transferjobs.moc"
