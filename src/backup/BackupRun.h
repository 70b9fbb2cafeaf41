#pragma once
// One backup: the plan sent to the server with an account's session. The window's command
// view and `mossvale --backup` are two thin views of it.
//
// A run lives on the thread that starts it (the window thread, or the command line's main
// thread) and never blocks it: ticked folders are expanded on a worker (recursively, files
// added since the plan was made included, symbolic links not followed, special files skipped
// and counted, what the plan's patterns name left out and counted), then the files are sent a
// few at once through CJobPool. A ticked folder keeps its tree under its own name in the
// server's root; a file ticked by itself goes into the root. Two roots of one name would
// overwrite each other there: the first is sent and the later one's files are skipped, naming
// the first. A file the record of sent copies knows as it is now is not sent again (nor its
// folder listed, unless another file goes there). A file that changed while it was read gets
// one more try at the end. Each file's outcome, progress and a summary come as typed signals;
// the run is recorded in the account's history as it goes.
//
// Only one run per account at a time, in any process: Start() refuses while another holds the
// account's lock.
#include "BackupPlan.h"
#include "ServerVersions.h"
#include "transfer/TransferFailure.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSet>

#include <memory>
#include <optional>

class CBackupSession;
class CMyThread;
struct TransferReport;

// How a run was started, as the history shows it.
enum class EBackupTrigger { Window = 0, CommandLine = 1, Timer = 2 };

enum class EFileOutcome {
    Sent = 0,
    Unchanged = 1, // already on the server as it is here; not sent again
    Failed = 2,    // eFailure and replyLine say why
    Skipped = 3,   // eSkip says why
    Missing = 4,   // the plan names it, but it no longer exists here
    NotSent = 5    // the run was cancelled before it was sent
};

enum class ESkipReason {
    None = 0,
    SameName = 1,    // another file of its name was sent in this run (sameNameAs)
    SpecialFile = 2, // a device, pipe or socket
    Unreadable = 3   // a folder that could not be read (its files are unknown)
};

// One file's end in a run (fileDone), and a row of the history.
struct BackupFileReport {
    int nPlace = 0;  // its place in the order files were taken, from 1
    QByteArray path; // the local path's bytes
    QByteArray name; // the name it has (or would have) on the server
    EFileOutcome eOutcome = EFileOutcome::Sent;
    // With Sent: FAILURE_RESTARTED when it was sent again from its start after a break.
    ETransferFailure eFailure = FAILURE_NONE;
    QByteArray replyLine; // the server's own words when it refused
    ESkipReason eSkip = ESkipReason::None;
    QByteArray sameNameAs; // with ESkipReason::SameName: the path that was sent under the name
    qint64 nBytes = 0;     // the file's size (sent: bytes that arrived)
};

// Where a run stands (progress, at most every 100 ms, and Progress()).
struct BackupProgress {
    bool bExpanding = false; // ticked folders are still being read
    QByteArray currentPath;  // the file most recently started, or empty
    qint64 nCurrentBytes = 0;
    qint64 nCurrentSize = 0;
    int nFilesDone = 0;  // files with an outcome
    int nFilesTotal = 0; // files known so far
    qint64 nBytesDone = 0;
    qint64 nBytesTotal = 0; // the sizes of the files known so far
    double dBytesPerSecond = 0;
};

// A run's end (finished).
struct BackupSummary {
    int nPlanned = 0; // files the run took to send (in a dry run: would have sent)
    int nSent = 0;
    int nUnchanged = 0;
    int nFailed = 0;
    int nSkipped = 0;
    int nSpecialFiles = 0; // of nSkipped: devices, pipes, sockets
    int nMissing = 0;
    int nNotSent = 0;        // left unsent by a Cancel
    int nLeftOut = 0;        // files and folders of ticked folders that a pattern left out
    int nVersionsKept = 0;   // replaced copies moved among the versions
    int nVersionsPruned = 0; // versions deleted as beyond the limits
    // Files an earlier run sent from within the plan that are gone here; their server copies
    // stay (a backup deletes nothing).
    int nGoneHere = 0;
    qint64 nBytes = 0;
    double dSeconds = 0;
    bool bCancelled = false;
    // The server could not be reached, or refused the login or its certificate or key: the run
    // sent nothing after it. FAILURE_NONE when the server was there.
    ETransferFailure eConnectFailure = FAILURE_NONE;
    QByteArray connectReplyLine;
    // The files that failed, were skipped, missing or not sent, in the order they were taken,
    // whichever upload ended first.
    QList<BackupFileReport> problems;
};

class CBackupRun : public QObject
{
    Q_OBJECT
public:
    struct Options {
        int nParallelUploads = 2; // 1 to kMaxParallelUploads
        EBackupTrigger eTrigger = EBackupTrigger::Window;
        bool bDryRun = false;       // expand and report, send nothing
        bool bRecordHistory = true; // record in the account's history (off for a dry run)
        // List every server folder the plan has files in, and send what is missing there or
        // differs, even files the record says were sent as they are.
        bool bCheckServer = false;
        // How long and how many earlier copies are kept; none given: the user's setting.
        std::optional<CServerVersions::Limits> versionLimits = std::nullopt;
    };
    static constexpr int kDefaultParallelUploads = 2;
    static constexpr int kMaxParallelUploads = 4;
    // The user's choice of uploads at once ("Settings/ParallelUploads" in the profile).
    static int ParallelUploadsSetting();

    enum class EStart {
        Started,
        EmptyPlan,     // nothing is ticked: nothing to do
        AlreadyRunning // another backup of the account runs, here or in another process
    };

    CBackupRun(CBackupPlan plan, std::shared_ptr<CBackupSession> pSession, Options options,
               QObject* pParent = nullptr);
    // Cancels what still runs; its jobs' reports are dropped.
    ~CBackupRun() override;

    // Takes the account's lock (not for a dry run) and begins; anything but Started means
    // nothing happened and no signal follows.
    EStart Start();
    // Stops the uploads within a second; the files never sent end as NotSent, and finished
    // follows once the running jobs have ended.
    void Cancel();
    bool IsRunning() const { return m_bRunning; }
    bool IsCancelling() const { return m_bCancelling; }
    BackupProgress Progress() const;
    const BackupSummary& Summary() const { return m_summary; }
    // The history row of this run, 0 when it is not recorded.
    qint64 HistoryId() const { return m_nHistoryId; }

signals:
    // The ticked folders have been read: nFiles files in all so far.
    void expanded(int nFiles);
    // A file's upload begins (in a dry run: one that would be sent; no fileDone follows).
    void fileStarted(const QByteArray& path, qint64 nSize);
    void fileDone(const BackupFileReport& report);
    void progress(const BackupProgress& progress);
    // The last one; the lock is free again when it is emitted.
    void finished(const BackupSummary& summary);

private:
    struct Private;
    // The plan's folders have been read (on the worker).
    void OnExpanded();
    void OnUploadDone(const TransferReport& report);
    // A dry run's end: what would be sent, as the record of sent copies tells.
    void ReportWhatWouldBeSent();
    // Lists the server folders that files go to, once each, then decides.
    void ListFoldersWrittenTo();
    std::unique_ptr<CMyThread> MakeFolderListing(int nIndex);
    // The top folder's listing ended: the folders waiting below it are listed, or taken as
    // not there when it is not, or showed no branch of theirs.
    void ListFoldersBelow(const QByteArray& top, bool bListedWhole);
    void FolderListingEnded();
    // Logs in the connections the uploads will need beyond those nListingsAtOnce listings use.
    void LogInAhead(int nListingsAtOnce);
    void OnLoggedInAhead(unsigned nJobId);
    // Lists the versions folders not listed yet (by tag: their place in versionFolders).
    void QueueVersionListings(const QSet<QByteArray>& folders);
    // Each queued file: unchanged (as the record and the listings tell), or to be sent.
    void DecideWhatToSend();
    // Lists the versions folders of the files that replace a copy (every one the run listed,
    // in a check), then names each replaced copy's version.
    void ListVersionFolders();
    void NameVersions();
    // Starts queued listings while fewer run than uploads may; ListingEnded after each.
    void StartListings();
    void ListingEnded();
    // Deletes the versions beyond the limits in the folders listed; false when there are none.
    bool StartPruning();

    // Starts files while places are free; ends the run when nothing is left.
    void ContinueQueue();
    // The place in the queue of the next file that may start, or -1: a file waits while
    // another upload makes its folder.
    int NextToStart() const;
    void StartUpload(int nIndex);
    // A file's outcome: counted, recorded, reported.
    void AddOutcome(const BackupFileReport& report);
    // Every file still queued ends with the same failure, or as not sent.
    void EndQueued(EFileOutcome eOutcome, ETransferFailure eFailure, const QByteArray& replyLine);
    void Finish();

    CBackupPlan m_plan;
    std::shared_ptr<CBackupSession> m_pSession;
    Options m_options;
    std::unique_ptr<Private> m_p;
    BackupSummary m_summary;
    bool m_bRunning = false;
    bool m_bCancelling = false;
    qint64 m_nHistoryId = 0;
};

Q_DECLARE_METATYPE(BackupFileReport)
Q_DECLARE_METATYPE(BackupProgress)
Q_DECLARE_METATYPE(BackupSummary)
