#pragma once
// A transfer job: one account, its own FTP connection, a local and a remote folder and the
// names of the items to work on. A launcher creates it on the window thread, connects to its
// reports with a context object and hands it to CJobPool, which runs Run() on a worker
// thread: connecting, logging in and every FTP command happen there, never on the window
// thread. Reports are queued signals carrying values (JobReports.h). The pool deletes the
// job on the window thread once Run() has returned.
//
// Cancel() may be called from any thread: the job's network work stops within milliseconds,
// and it ends as a failure does (the old copy kept on both sides), reporting
// EJobOutcome::Cancelled.
#include "JobReports.h"
#include "JobState.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <string>

class CFtpConnection;
class CInternetSession;

// The remote folder of a job that only proves a login (the login dialog's check): a single
// space, which names no folder we would list.
constexpr char LOGIN_CHECK_FOLDER[] = " ";

// The longest item name a job takes; a longer one is refused rather than shortened, as a
// shortened name would name another file.
constexpr int kMaxItemNameBytes = 255;

class CMyThread : public QObject
{
    Q_OBJECT
public:
    // Walk: lists the named folders of the remote folder (the folder itself when none are
    // named) and every folder below them; entries are named by their path below the remote
    // folder ("letters/a.txt"), each folder before what it holds.
    // Connect: takes a connection of the pool or logs in, and hands it back to the pool ready
    // for the jobs that follow (made while a run still lists the server); it reports nothing.
    enum class EKind { List, Upload, Download, Delete, LoginCheck, Walk, Connect };

    // The account to connect with and the session it connects through.
    struct Account {
        std::string strServer;
        std::string strUserName;
        std::string strPassword;
        int nPort = 0;
        std::shared_ptr<CInternetSession> pSession;
    };

    CMyThread(EKind eKind, Account account, QByteArray localDir, std::string strRemoteDir,
              QList<QByteArray> items = {});
    ~CMyThread() override;

    // Download only: the local names to write, item by item, where they differ from the
    // server's (a restore that keeps both copies); set before the job starts.
    void SetLocalNames(QList<QByteArray> localNames) { m_localNames = std::move(localNames); }
    // Delete only: the items are paths below the remote folder, and these folders (paths
    // likewise, the deepest first) are removed after them. One report then says how it ended,
    // under the last folder's name, or under the path that could not be deleted.
    void SetFoldersToRemove(QList<QByteArray> folders) { m_foldersToRemove = std::move(folders); }

    // The whole job, on the calling (worker) thread: connect, work, report, disconnect.
    void Run();
    void Cancel() { m_pState->bCancel = true; }
    // For the window's progress timer and Cancel button; shared with the running job.
    const std::shared_ptr<CJobState>& State() const { return m_pState; }
    EKind Kind() const { return m_eKind; }
    bool IsTransfer() const { return m_eKind == EKind::Upload || m_eKind == EKind::Download; }

    // Echoed in the reports so that overlapping jobs' reports are told apart.
    unsigned m_nJobId = 0;
    unsigned m_nListingTag = 0;
    // An upload makes its remote folder first, with the folders above it, where missing.
    bool m_bMakeRemoteFolder = false;
    // An upload gives the server's copy the local file's modification time, where it can.
    bool m_bKeepRemoteTime = false;
    // An upload of one item keeps the copy it replaces under this path (CFtpConnection::
    // KeepReplacedCopyAt), making its folder first when asked; empty: the old copy goes.
    std::string m_strKeepReplacedAt;
    bool m_bMakeKeepFolder = false;
    // An upload of one item whose name the server's folder was just listed without
    // (CFtpConnection::NextTargetIsNew).
    bool m_bTargetIsNew = false;

signals:
    void transferDone(const TransferReport& report);
    void remoteItemsAdded(const RemoteItems& items, unsigned nListingTag);
    void listingEnded(const ListingReport& report);
    void remoteDeleted(const DeletionReport& report);
    void loginChecked(const LoginReport& report);

private:
    struct LoopResult {
        bool bFailed = false; // a step failed (or was cancelled) and ended the loop
        ETransferFailure eFailure = FAILURE_NONE;
        QByteArray failedItem;
        QByteArray replyLine; // the server's words when it refused
    };
    // One item's work, given its local path (empty for delete) and remote path.
    using EntryStep = std::function<bool(const QByteArray& name, const std::string& strLocal,
                                         const std::string& strRemote)>;
    LoopResult RunEntryLoop(bool bLocalPaths, const EntryStep& step);

    void UploadEntries();
    void DownloadEntries();
    void DeleteEntries();
    void ListRemoteFolder();
    void ListRemoteTree();
    // A listing with no connection ends at once, saying why; true when it did.
    bool EndedUnconnected(ListingReport& report);
    void CheckLogin();
    CertificateInfo FetchCertificate() const;
    HostKeyInfo FetchHostKey() const;
    void ReportTransfer(ETransferDirection eDirection, const LoopResult& result);
    // Gives the connection back to the pool before the job's last report: the window may start
    // the next job the moment it reads it, and that job must find the connection idle
    // instead of logging in again.
    void HandBackConnection();
    ETransferFailure Failure() const; // FAILURE_CANCELLED once cancelled, else the last one
    QByteArray ReplyLine() const;     // the server's line behind the last failure, or empty
    void ReportDeletion(const QByteArray& name, bool bDeleted, ETransferFailure eFailure);

    EKind m_eKind;
    Account m_account;
    QByteArray m_localDir;
    std::string m_strRemoteDir;
    QList<QByteArray> m_items;
    QList<QByteArray> m_localNames;
    QList<QByteArray> m_foldersToRemove;
    std::shared_ptr<CJobState> m_pState = std::make_shared<CJobState>();

    // Made, used and freed by Run() on the worker thread only.
    std::unique_ptr<CFtpConnection> m_pConnect;
    ETransferFailure m_eConnectFailure = FAILURE_NONE;
    qint64 m_nBytesMoved = 0;
    bool m_bUnchecked = false;   // a file was taken as complete without a size to check
    bool m_bKeptVersion = false; // the copy an upload replaced went among the versions
    bool m_bRestarted = false;   // a file was moved again from its start after a break
    QByteArray m_restartReply;
    void NoteRestart();                             // after a file that arrived
    ETransferFailure m_eStepFailure = FAILURE_NONE; // a step's own refusal, before any command
};
