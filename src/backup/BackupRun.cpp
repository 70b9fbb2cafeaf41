#include "BackupRun.h"

#include "BackupHistory.h"
#include "BackupLock.h"
#include "BackupSession.h"
#include "platform/Path.h"
#include "transfer/JobPool.h"
#include "transfer/JobState.h"
#include "transfer/MyThread.h"

#include <QFileInfo>
#include <QDateTime>
#include <QFutureWatcher>
#include <QHash>
#include <QPromise>
#include <QSet>
#include <QSettings>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <deque>

#include <dirent.h>
#include <sys/stat.h>

namespace {

constexpr int kProgressMs = 100;
constexpr int kCheckDays = 7;

// An FTP server's 4xx to a listing: it cannot list the folder now, which tells nothing of
// whether the folder is there.
bool IsRefusedForNow(const ListingReport& report)
{
    return report.eOutcome == EListingOutcome::Refused && report.replyLine.startsWith('4');
}

// What reading the plan's folders found at one path.
struct FoundEntry {
    enum class EKind { File, Special, Missing, Unreadable, LeftOut };
    QByteArray path;
    EKind eKind = EKind::File;
    qint64 nSize = 0;
    QByteArray root; // the ticked file or folder it was found under
    bool bRootIsFolder = false;
    qint64 nMtimeNs = 0;
};

qint64 NanosecondsOf(const timespec& time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}
using FoundEntries = QList<FoundEntry>;

class CPlanReader
{
public:
    CPlanReader(const CBackupPlan& plan, const std::atomic<bool>& bStop)
        : m_plan(plan), m_bStop(bStop)
    {
    }

    FoundEntries Read()
    {
        QList<QByteArray> roots = m_plan.Files() + m_plan.Folders();
        std::sort(roots.begin(), roots.end());
        for (const QByteArray& root : roots) {
            struct stat info;
            m_root = root;
            m_bRootIsFolder = false;
            // Ticked again below a ticked folder (under a part left out): it keeps its place
            // in that folder's tree on the server.
            for (const QByteArray& outer : std::as_const(m_folderRoots))
                if (root.startsWith(outer == "/" ? outer : outer + '/')) {
                    m_root = outer;
                    m_bRootIsFolder = true;
                    break;
                }
            // A file ticked by itself is what the user chose, even through a link; its upload
            // says so when it is not a file that can be sent.
            if (::stat(root.constData(), &info) != 0 && ::lstat(root.constData(), &info) != 0) {
                Add(root, FoundEntry::EKind::Missing);
                continue;
            }
            if (S_ISDIR(info.st_mode) && m_root == root) {
                m_bRootIsFolder = true;
                m_folderRoots.append(root);
            }
            if (S_ISDIR(info.st_mode))
                ReadFolder(root);
            else
                Add(root, FoundEntry::EKind::File, qint64(info.st_size),
                    NanosecondsOf(info.st_mtim));
        }
        // One order for the whole plan, whatever root a file came from.
        std::sort(m_found.begin(), m_found.end(),
                  [](const FoundEntry& a, const FoundEntry& b) { return a.path < b.path; });
        return m_found;
    }

private:
    void Add(const QByteArray& path, FoundEntry::EKind eKind, qint64 nSize = 0, qint64 nMtimeNs = 0)
    {
        if (!m_seen.contains(path)) {
            m_seen.insert(path);
            m_found.append({path, eKind, nSize, m_root, m_bRootIsFolder, nMtimeNs});
        }
    }

    void ReadFolder(const QByteArray& folder)
    {
        DIR* pDir = ::opendir(folder.constData());
        if (!pDir) {
            // Gone since it was listed is nothing to report; unreadable is.
            if (errno != ENOENT)
                Add(folder, FoundEntry::EKind::Unreadable);
            return;
        }
        QList<QByteArray> names;
        while (const dirent* pEntry = ::readdir(pDir)) {
            const QByteArray name(pEntry->d_name);
            if (name != "." && name != "..")
                names.append(name);
        }
        ::closedir(pDir);
        std::sort(names.begin(), names.end());
        const QByteArray prefix = folder == "/" ? folder : folder + '/';
        for (const QByteArray& name : names) {
            if (m_bStop)
                return;
            const QByteArray path = prefix + name;
            // Left out; what is ticked again below it is a root of its own.
            if (!m_plan.Contains(path))
                continue;
            struct stat info;
            if (::lstat(path.constData(), &info) != 0)
                continue; // removed while we read
            // Counted, so that a pattern never hides what it leaves out.
            if (m_plan.IsLeftOutByPattern(path, S_ISDIR(info.st_mode)))
                Add(path, FoundEntry::EKind::LeftOut);
            else if (S_ISDIR(info.st_mode))
                ReadFolder(path);
            else if (S_ISREG(info.st_mode))
                Add(path, FoundEntry::EKind::File, qint64(info.st_size),
                    NanosecondsOf(info.st_mtim));
            else if (!S_ISLNK(info.st_mode)) // links are not followed, nor counted
                Add(path, FoundEntry::EKind::Special);
        }
    }

    const CBackupPlan& m_plan;
    const std::atomic<bool>& m_bStop;
    FoundEntries m_found;
    QSet<QByteArray> m_seen;
    QByteArray m_root;
    bool m_bRootIsFolder = false;
    QList<QByteArray> m_folderRoots; // in the order read, outer ones first
};

// The root-level name a ticked file or folder has on the server.
QByteArray ServerNameOf(const QByteArray& root)
{
    return root == "/" ? QByteArray() : SplitPath(root).name;
}

// Where a file goes on the server: a file ticked by itself into the root, a file of a ticked
// folder into a folder of that folder's name, with the same tree below it.
QByteArray RemotePathOf(const FoundEntry& entry)
{
    if (!entry.bRootIsFolder)
        return '/' + SplitPath(entry.path).name;
    const QByteArray below = entry.path.mid(entry.root == "/" ? 0 : entry.root.size());
    const QByteArray name = ServerNameOf(entry.root);
    return name.isEmpty() ? below : '/' + name + below;
}

// A server refuses, or shortens into another file's name, a part longer than this.
bool PartsFit(const QByteArray& remotePath)
{
    for (const QByteArray& part : remotePath.split('/'))
        if (part.size() > kMaxItemNameBytes)
            return false;
    return true;
}

// The server could not be reached, or would not let us in: every later file would wait for
// the same answer.
bool IsLoginFailure(ETransferFailure eFailure)
{
    switch (eFailure) {
    case FAILURE_LOGIN_REFUSED:
    case FAILURE_NO_CONNECTION:
    case FAILURE_NO_TLS:
    case FAILURE_CERTIFICATE_UNTRUSTED:
    case FAILURE_CERTIFICATE_CHANGED:
    case FAILURE_HOST_KEY_UNKNOWN:
    case FAILURE_HOST_KEY_CHANGED:
        return true;
    default:
        return false;
    }
}

// The folder of the server's root that a server folder lies in ("/Documents/" for
// "/Documents/letters/" and for "/Documents/"), or "/" for the root itself.
QByteArray TopFolderOf(const QByteArray& folder)
{
    const int nSlash = folder.indexOf('/', 1);
    return nSlash > 0 ? folder.left(nSlash + 1) : folder;
}

bool IsGone(const QByteArray& path)
{
    struct stat info;
    return ::lstat(path.constData(), &info) != 0 && errno == ENOENT;
}

} // namespace

struct CBackupRun::Private {
    // A file to send, at its place in the run.
    struct Item {
        int nPlace = 0;
        QByteArray path;
        QByteArray name; // the server's path
        qint64 nSize = 0;
        qint64 nMtimeNs = 0;
        qint64 tReplacedCopy = -1; // the time of the server's copy it replaces; -1: none
        QByteArray keepAt;         // where that copy goes among the versions
        bool bNewOnServer = false; // its folder was listed, or is not there, without it
    };
    struct Running {
        unsigned nJobId = 0;
        Item item;
        std::shared_ptr<CJobState> pState;
        QByteArray making; // the server folder this upload makes first, or empty
    };

    static BackupFileReport ReportOf(const Item& item, EFileOutcome eOutcome)
    {
        BackupFileReport report;
        report.nPlace = item.nPlace;
        report.path = item.path;
        report.name = item.name;
        report.eOutcome = eOutcome;
        report.nBytes = item.nSize;
        return report;
    }

    std::unique_ptr<CBackupLock> pLock;
    std::unique_ptr<CBackupHistory> pHistory;
    QFutureWatcher<FoundEntries> watcher;
    std::shared_ptr<std::atomic<bool>> pStopReading = std::make_shared<std::atomic<bool>>(false);
    bool bExpanding = false;
    QList<Item> queue;   // in the order they are taken
    QList<Item> retries; // changed while read: one more try at the end
    QSet<QByteArray> retried;
    QSet<QByteArray> madeFolders; // server folders an upload went into, or listed
    // Folders that a running upload makes: the other files for them wait until it has, rather
    // than each send the same MKDs.
    QSet<QByteArray> makingFolders;
    // Listings not started yet; no more run at once than uploads do, as a server may limit the
    // connections from one address.
    std::deque<std::unique_ptr<CMyThread>> listingJobs;
    int nListingsRunning = 0;

    // The server folder an item's upload makes first, or empty. (A versions folder is made by
    // each upload that needs it: those are the few files that replace a copy, often all in
    // one folder, and they had better not wait for one another.)
    QByteArray FolderToMake(const Item& item) const
    {
        const QByteArray folder = SplitPath(item.name).folder;
        return folder != "/" && !madeFolders.contains(folder) ? folder : QByteArray();
    }
    QHash<QByteArray, SentRecord> records;
    // The file is as the record says it was sent.
    bool MatchesRecord(const Item& item) const
    {
        const auto it = records.constFind(item.path);
        return it != records.constEnd() && it->nSize == item.nSize &&
               it->nMtimeNs == item.nMtimeNs && it->remote == item.name;
    }
    // The time of the server's copy of an item: where the listing tells it less exactly than to
    // the second, the time we gave it when we sent it, if that is the copy there.
    qint64 TimeOfCopy(const Item& item, const RemoteItem& copy) const
    {
        const auto it = records.constFind(item.path);
        const qint64 tSent = it != records.constEnd() ? it->nMtimeNs / 1000000000 : 0;
        if (copy.eTimeKind != TIME_EXACT && it != records.constEnd() && it->remote == item.name &&
            it->nRemoteSize == copy.nSize && std::abs(copy.tLastWrite - tSent) < 2 * 86400)
            return tSent;
        return copy.tLastWrite > 0 ? copy.tLastWrite : QDateTime::currentSecsSinceEpoch();
    }
    // The server folders being listed (by their listing tag), and what they hold: name, size.
    QList<QByteArray> listedFolders;
    QHash<QByteArray, QHash<QByteArray, RemoteItem>> listings;
    int nListingsLeft = 0;
    bool bAllListed = true;           // every listing was had (or the folder was not there)
    QSet<QByteArray> unlistedFolders; // whose listing broke off or never came
    QSet<QByteArray> absentFolders;   // the server said they are not there
    QSet<QByteArray> foundHere;       // the local paths read
    // Listings that wait for that of their top folder (by top folder: their listing tags), and
    // the subfolders that top folder's listing showed.
    QHash<QByteArray, QList<int>> listingsBelow;
    QHash<QByteArray, QSet<QByteArray>> subfolders;
    CServerVersions::Limits limits;
    // Each listed server folder's files by name: the time of the copy there.
    QHash<QByteArray, QHash<QByteArray, qint64>> currentTimes;
    // Versions folders listed (by tag), their versions, and those listed whole.
    QList<QByteArray> versionFolders; // listed, or being listed
    int nVersionListingsLeft = 0;
    bool bSendingDecided = false; // what to send is known: versions can be named once listed
    QHash<QByteArray, QList<CServerVersions::Version>> versions;
    QSet<QByteArray> wholeVersionFolders;
    QSet<QByteArray> versionFoldersThere; // found, or made by an upload
    int nPruningsLeft = 0;
    bool bPruned = false;
    QList<Running> running;
    // Connections logging in ahead of the uploads (by job id: the job's state).
    QHash<unsigned, std::shared_ptr<CJobState>> loggingIn;
    bool bUploading = false; // the uploads have begun
    void CancelJobs() const
    {
        for (const Running& job : running)
            job.pState->bCancel = true;
        for (const std::shared_ptr<CJobState>& pState : loggingIn)
            pState->bCancel = true;
    }
    QTimer progressTimer;
    QElapsedTimer clock;
    int nFilesDone = 0;
    int nFilesTotal = 0;
    qint64 nBytesDone = 0; // of files with an outcome
    qint64 nBytesTotal = 0;
};

int CBackupRun::ParallelUploadsSetting()
{
    const int nCount =
        CBackupPlan::OpenProfile()
            ->value(QStringLiteral("Settings/ParallelUploads"), kDefaultParallelUploads)
            .toInt();
    return std::clamp(nCount, 1, kMaxParallelUploads);
}

CBackupRun::CBackupRun(CBackupPlan plan, std::shared_ptr<CBackupSession> pSession, Options options,
                       QObject* pParent)
    : QObject(pParent), m_plan(std::move(plan)), m_pSession(std::move(pSession)),
      m_options(options), m_p(std::make_unique<Private>())
{
    m_options.nParallelUploads = std::clamp(m_options.nParallelUploads, 1, kMaxParallelUploads);
    m_p->progressTimer.setInterval(kProgressMs);
    connect(&m_p->progressTimer, &QTimer::timeout, this, [this] { emit progress(Progress()); });
    connect(&m_p->watcher, &QFutureWatcher<FoundEntries>::finished, this, [this] { OnExpanded(); });
}

CBackupRun::~CBackupRun()
{
    if (!m_bRunning)
        return;
    // Going without waiting: the jobs stop on their own, and their reports find no one.
    *m_p->pStopReading = true;
    m_p->CancelJobs();
    m_summary.bCancelled = true;
    m_summary.dSeconds = m_p->clock.elapsed() / 1000.0;
    if (m_p->pHistory)
        m_p->pHistory->EndRun(m_nHistoryId, m_summary);
}

CBackupRun::EStart CBackupRun::Start()
{
    if (m_bRunning)
        return EStart::AlreadyRunning;
    if (m_plan.IsEmpty())
        return EStart::EmptyPlan;
    // A dry run sends nothing, so it may look while another backup runs.
    if (!m_options.bDryRun) {
        m_p->pLock = std::make_unique<CBackupLock>(m_pSession->AccountKey());
        if (!m_p->pLock->TryLock()) {
            m_p->pLock.reset();
            return EStart::AlreadyRunning;
        }
    }
    m_bRunning = true;
    m_summary = {};
    m_p->clock.start();
    if (m_options.bRecordHistory && !m_options.bDryRun) {
        m_p->pHistory = std::make_unique<CBackupHistory>(m_pSession->AccountKey());
        m_nHistoryId = m_p->pHistory->BeginRun(m_options.eTrigger);
    }

    // Read on a worker: a ticked home folder can take a while, and the window goes on.
    m_p->bExpanding = true;
    auto pPromise = std::make_shared<QPromise<FoundEntries>>();
    m_p->watcher.setFuture(pPromise->future());
    QThreadPool::globalInstance()->start([pPromise, plan = m_plan, pStop = m_p->pStopReading] {
        pPromise->start();
        pPromise->addResult(CPlanReader(plan, *pStop).Read());
        pPromise->finish();
    });
    m_p->progressTimer.start();
    return EStart::Started;
}

void CBackupRun::OnExpanded()
{
    m_p->bExpanding = false;
    const QFuture<FoundEntries> future = m_p->watcher.future();
    const FoundEntries found = future.resultCount() > 0 ? future.result() : FoundEntries();
    if (m_bCancelling) // before anything was taken: nothing to name
        return Finish();

    // Each ticked file or folder takes its name in the server's root; two of one name would
    // overwrite each other there: the first (in the order of their paths) has it, and the
    // files of a later one are skipped, naming the first.
    QList<QByteArray> roots;
    QSet<QByteArray> seenRoots;
    for (const FoundEntry& entry : found)
        if (entry.eKind == FoundEntry::EKind::File && !seenRoots.contains(entry.root)) {
            seenRoots.insert(entry.root);
            roots.append(entry.root);
        }
    std::sort(roots.begin(), roots.end());
    QHash<QByteArray, QByteArray> firstOfName; // a root-level name: the root that has it
    QHash<QByteArray, QByteArray> ownerOfRoot; // a root: the root that has its name
    for (const QByteArray& root : std::as_const(roots)) {
        const QByteArray name = ServerNameOf(root);
        const auto it = firstOfName.constFind(name);
        ownerOfRoot.insert(root, it != firstOfName.constEnd() ? *it : root);
        if (it == firstOfName.constEnd())
            firstOfName.insert(name, root);
    }

    QList<BackupFileReport> early;
    int nPlace = 0;
    for (const FoundEntry& entry : found)
        m_p->foundHere.insert(entry.path);
    for (const FoundEntry& entry : found) {
        if (entry.eKind == FoundEntry::EKind::LeftOut) {
            ++m_summary.nLeftOut;
            continue;
        }
        BackupFileReport report;
        report.nPlace = ++nPlace;
        report.path = entry.path;
        report.name = RemotePathOf(entry);
        report.nBytes = entry.nSize;
        switch (entry.eKind) {
        case FoundEntry::EKind::Missing:
            report.eOutcome = EFileOutcome::Missing;
            early.append(report);
            continue;
        case FoundEntry::EKind::Special:
        case FoundEntry::EKind::Unreadable:
            report.eOutcome = EFileOutcome::Skipped;
            report.eSkip = entry.eKind == FoundEntry::EKind::Special ? ESkipReason::SpecialFile
                                                                     : ESkipReason::Unreadable;
            early.append(report);
            continue;
        case FoundEntry::EKind::File:
        case FoundEntry::EKind::LeftOut:
            break;
        }
        const QByteArray owner = ownerOfRoot.value(entry.root);
        if (owner != entry.root) {
            report.eOutcome = EFileOutcome::Skipped;
            report.eSkip = ESkipReason::SameName;
            report.sameNameAs = owner;
            early.append(report);
            continue;
        }
        m_p->queue.append(
            {report.nPlace, entry.path, report.name, entry.nSize, entry.nMtimeNs, -1, {}});
        m_p->nBytesTotal += entry.nSize;
    }
    m_summary.nPlanned = static_cast<int>(m_p->queue.size());
    m_p->nFilesTotal = static_cast<int>(m_p->queue.size() + early.size());
    emit expanded(m_summary.nPlanned);
    for (const BackupFileReport& report : std::as_const(early))
        AddOutcome(report);

    if (m_options.bDryRun)
        return ReportWhatWouldBeSent();
    ListFoldersWrittenTo();
}

void CBackupRun::ReportWhatWouldBeSent()
{
    // The server is not asked: a file the record says was sent as it is now counts as
    // unchanged, as the real run would find it unless its copy was lost on the server.
    const QString strHistory = CBackupHistory::FilePath(m_pSession->AccountKey());
    if (QFileInfo::exists(strHistory))
        m_p->records = CBackupHistory(m_pSession->AccountKey()).SentRecords();
    m_summary.nPlanned = 0;
    for (const Private::Item& item : std::as_const(m_p->queue)) {
        if (m_p->MatchesRecord(item)) {
            AddOutcome(Private::ReportOf(item, EFileOutcome::Unchanged));
            continue;
        }
        ++m_summary.nPlanned;
        m_summary.nBytes += item.nSize;
        emit fileStarted(item.path, item.nSize);
    }
    m_p->queue.clear();
    Finish();
}

void CBackupRun::ListFoldersWrittenTo()
{
    m_p->limits = m_options.versionLimits.value_or(CServerVersions::LimitsSetting());
    if (m_p->pHistory) {
        m_p->records = m_p->pHistory->SentRecords();
        // A copy lost on the server, in a folder no run writes to, is found within a week.
        const QDateTime lastCheck = m_p->pHistory->LastCheck();
        if (!lastCheck.isValid() || lastCheck.daysTo(QDateTime::currentDateTime()) >= kCheckDays)
            m_options.bCheckServer = true;
    }
    // A file as the record has it is not sent, nor is its folder listed, unless another file
    // goes there (or every copy is checked): one listing then tells whether the server still
    // holds each copy with its size.
    QSet<QByteArray> folders;
    for (const Private::Item& item : std::as_const(m_p->queue))
        if (m_options.bCheckServer || !m_p->MatchesRecord(item))
            folders.insert(SplitPath(item.name).folder);
    // A top folder nothing was ever sent to (a first backup of it) is most likely not on the
    // server at all: it is listed first, and what lies below it only if it is there, rather
    // than every folder of it answering "not there" one by one.
    QSet<QByteArray> sentTops;
    for (const SentRecord& record : std::as_const(m_p->records))
        sentTops.insert(TopFolderOf(SplitPath(record.remote).folder));
    for (const QByteArray& folder : QSet<QByteArray>(folders)) {
        const QByteArray top = TopFolderOf(folder);
        if (top != "/" && !sentTops.contains(top))
            folders.insert(top);
    }
    m_p->listedFolders = folders.values();
    std::sort(m_p->listedFolders.begin(), m_p->listedFolders.end());
    m_p->nListingsLeft = static_cast<int>(m_p->listedFolders.size());
    if (m_p->nListingsLeft == 0)
        return DecideWhatToSend();
    for (int i = 0; i < m_p->listedFolders.size(); ++i) {
        const QByteArray top = TopFolderOf(m_p->listedFolders[i]);
        if (top != m_p->listedFolders[i] && top != "/" && !sentTops.contains(top))
            m_p->listingsBelow[top].append(i);
        else
            m_p->listingJobs.push_back(MakeFolderListing(i));
    }
    // A file sent before that changed most likely replaces its copy: the versions folder it
    // will go to is listed now, beside its folder, not after.
    if (!m_p->limits.IsOff()) {
        QSet<QByteArray> versionFolders;
        for (const Private::Item& item : std::as_const(m_p->queue))
            if (m_p->records.contains(item.path) && !m_p->MatchesRecord(item))
                versionFolders.insert(CServerVersions::FolderOf(SplitPath(item.name).folder));
        QueueVersionListings(versionFolders);
    }
    const int nListingsAtOnce = std::min(int(m_p->listingJobs.size()), m_options.nParallelUploads);
    StartListings();
    LogInAhead(nListingsAtOnce);
}

void CBackupRun::LogInAhead(int nListingsAtOnce)
{
    // The connections the uploads will want log in while the server is listed, rather than
    // one after another once it has been: a login costs a handful of round trips.
    // Each counts as a listing, then as an upload, until it ends: together they never use
    // more connections than uploads run at once, as a server may limit those from one address.
    int nUploads = 0;
    for (const Private::Item& item : std::as_const(m_p->queue))
        if (!m_p->MatchesRecord(item) && ++nUploads == m_options.nParallelUploads)
            break;
    if (nUploads > nListingsAtOnce)
        connect(&CJobPool::Get(), &CJobPool::jobEnded, this, &CBackupRun::OnLoggedInAhead,
                Qt::UniqueConnection);
    for (int i = nListingsAtOnce; i < nUploads; ++i) {
        auto pJob = std::make_unique<CMyThread>(
            CMyThread::EKind::Connect, m_pSession->MakeAccount(), QByteArray(), std::string());
        const std::shared_ptr<CJobState> pState = pJob->State();
        ++m_p->nListingsRunning;
        m_p->loggingIn.insert(CJobPool::Get().Start(std::move(pJob)), pState);
    }
}

void CBackupRun::OnLoggedInAhead(unsigned nJobId)
{
    if (!m_p->loggingIn.remove(nJobId))
        return;
    ListingEnded();
    if (m_p->bUploading)
        ContinueQueue();
}

std::unique_ptr<CMyThread> CBackupRun::MakeFolderListing(int nIndex)
{
    const QByteArray folder = m_p->listedFolders[nIndex];
    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::List, m_pSession->MakeAccount(),
                                            QByteArray(), folder.toStdString());
    pJob->m_nListingTag = unsigned(nIndex);
    connect(pJob.get(), &CMyThread::remoteItemsAdded, this,
            [this](const RemoteItems& items, unsigned nTag) {
                const QByteArray listed = m_p->listedFolders.value(int(nTag));
                QHash<QByteArray, RemoteItem>& listing = m_p->listings[listed];
                for (const RemoteItem& remote : items) {
                    if (!remote.bFolder)
                        listing.insert(remote.name, remote);
                    else if (m_p->listingsBelow.contains(listed))
                        m_p->subfolders[listed].insert(remote.name);
                }
            });
    // A folder that is not there, or could not be listed, holds nothing we can trust. A
    // listing refused for a break, not by the server, says nothing of the folder either,
    // nor does a refusal for now (a 4xx: "try again later"), which is no "not there".
    connect(pJob.get(), &CMyThread::listingEnded, this, [this](const ListingReport& report) {
        const QByteArray folder = m_p->listedFolders.value(int(report.nListingTag));
        if (report.eOutcome == EListingOutcome::Cut ||
            report.eOutcome == EListingOutcome::NotConnected ||
            (report.eOutcome == EListingOutcome::Refused &&
             (report.eFailure != FAILURE_SERVER_REFUSED || IsRefusedForNow(report)))) {
            m_p->bAllListed = false;
            m_p->unlistedFolders.insert(folder);
        }
        // Listed with something in it: the uploads need not make it.
        if (report.eOutcome == EListingOutcome::Complete)
            m_p->madeFolders.insert(folder);
        else if (report.eOutcome == EListingOutcome::Refused)
            m_p->absentFolders.insert(folder);
        ListFoldersBelow(folder, report.eOutcome == EListingOutcome::Complete ||
                                     report.eOutcome == EListingOutcome::Empty);
        ListingEnded();
        FolderListingEnded();
    });
    return pJob;
}

void CBackupRun::ListFoldersBelow(const QByteArray& top, bool bListedWhole)
{
    const QList<int> below = m_p->listingsBelow.take(top);
    const QSet<QByteArray> subfolders = m_p->subfolders.take(top);
    const bool bTopAbsent = m_p->absentFolders.contains(top) && !m_p->unlistedFolders.contains(top);
    for (const int nIndex : below) {
        const QByteArray folder = m_p->listedFolders[nIndex];
        // The first folder below the top names the branch the top's listing tells of.
        const QByteArray branch = folder.mid(top.size()).split('/').value(0);
        if (bTopAbsent || (bListedWhole && !subfolders.contains(branch))) {
            m_p->absentFolders.insert(folder);
            FolderListingEnded();
        } else {
            m_p->listingJobs.push_back(MakeFolderListing(nIndex));
        }
    }
    StartListings();
}

void CBackupRun::FolderListingEnded()
{
    if (--m_p->nListingsLeft == 0)
        DecideWhatToSend();
}

void CBackupRun::DecideWhatToSend()
{
    if (!m_bRunning)
        return;
    QList<Private::Item> toSend;
    if (m_p->pHistory)
        m_p->pHistory->BeginBatch();
    for (const Private::Item& item : std::as_const(m_p->queue)) {
        const PathParts<QByteArray> remote = SplitPath(item.name);
        const auto itListing = m_p->listings.constFind(remote.folder);
        const bool bListed = m_p->listedFolders.contains(remote.folder);
        const RemoteItem* pCopy = nullptr;
        if (itListing != m_p->listings.constEnd()) {
            const auto itCopy = itListing->constFind(remote.name);
            if (itCopy != itListing->constEnd())
                pCopy = &*itCopy;
        }
        bool bUnchanged = false;
        if (m_p->MatchesRecord(item)) {
            bUnchanged =
                !bListed || (pCopy && pCopy->nSize == m_p->records.value(item.path).nRemoteSize);
        } else if (!m_p->records.contains(item.path) && pCopy && pCopy->nSize == item.nSize &&
                   pCopy->eTimeKind == TIME_EXACT &&
                   pCopy->tLastWrite == item.nMtimeNs / 1000000000) {
            // Sent before this record was kept (another machine, a reinstall): a copy of the
            // same size and time to the second is this file.
            bUnchanged = true;
            if (m_p->pHistory)
                m_p->pHistory->RecordSent(item.path,
                                          {item.nSize, item.nMtimeNs, item.name, pCopy->nSize});
        }
        if (bUnchanged) {
            m_p->madeFolders.insert(remote.folder);
            AddOutcome(Private::ReportOf(item, EFileOutcome::Unchanged));
            continue;
        }
        // Whether the server holds a copy to keep is unknown where the listing broke off: the
        // file waits for the next run rather than replace a copy that no version would keep.
        if (!pCopy && !m_p->limits.IsOff() && m_p->unlistedFolders.contains(remote.folder)) {
            BackupFileReport report = Private::ReportOf(item, EFileOutcome::Failed);
            report.eFailure = FAILURE_CONNECTION_BROKEN;
            AddOutcome(report);
            continue;
        }
        toSend.append(item);
        toSend.last().bNewOnServer =
            !pCopy && bListed && !m_p->unlistedFolders.contains(remote.folder);
        // A copy that differs in size or time is another content: it is kept.
        if (pCopy && !m_p->limits.IsOff() &&
            (pCopy->nSize != item.nSize || pCopy->tLastWrite != item.nMtimeNs / 1000000000))
            toSend.last().tReplacedCopy = m_p->TimeOfCopy(item, *pCopy);
    }
    if (m_p->pHistory)
        m_p->pHistory->EndBatch();
    m_p->queue = toSend;
    for (auto it = m_p->listings.cbegin(); it != m_p->listings.cend(); ++it)
        for (const RemoteItem& remote : it.value())
            m_p->currentTimes[it.key()].insert(remote.name, remote.tLastWrite);
    m_p->listings.clear();
    ListVersionFolders();
}

void CBackupRun::ListVersionFolders()
{
    QSet<QByteArray> folders;
    if (!m_p->limits.IsOff()) {
        for (const Private::Item& item : std::as_const(m_p->queue))
            if (item.tReplacedCopy >= 0)
                folders.insert(CServerVersions::FolderOf(SplitPath(item.name).folder));
        // The weekly check prunes in every folder of the plan that is there (a first backup's
        // folders are not).
        if (m_options.bCheckServer)
            for (const QByteArray& folder : std::as_const(m_p->listedFolders))
                if (!m_p->absentFolders.contains(folder))
                    folders.insert(CServerVersions::FolderOf(folder));
    }
    QueueVersionListings(folders);
    StartListings();
    m_p->bSendingDecided = true;
    if (m_p->nVersionListingsLeft == 0)
        NameVersions();
}

void CBackupRun::QueueVersionListings(const QSet<QByteArray>& folders)
{
    QList<QByteArray> sorted = folders.values();
    std::sort(sorted.begin(), sorted.end());
    for (const QByteArray& folder : std::as_const(sorted)) {
        if (m_p->versionFolders.contains(folder))
            continue; // listed already, or being listed
        auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::List, m_pSession->MakeAccount(),
                                                QByteArray(), folder.toStdString());
        pJob->m_nListingTag = unsigned(m_p->versionFolders.size());
        m_p->versionFolders.append(folder);
        ++m_p->nVersionListingsLeft;
        connect(pJob.get(), &CMyThread::remoteItemsAdded, this,
                [this](const RemoteItems& items, unsigned nTag) {
                    m_p->versions[m_p->versionFolders.value(int(nTag))] +=
                        CServerVersions::ParseAll(items);
                });
        connect(pJob.get(), &CMyThread::listingEnded, this, [this](const ListingReport& report) {
            const QByteArray folder = m_p->versionFolders.value(int(report.nListingTag));
            // Some servers list a folder that is not there as empty.
            if (report.eOutcome == EListingOutcome::Complete)
                m_p->versionFoldersThere.insert(folder);
            // Only what was seen whole is pruned; a folder not there holds nothing.
            if (report.eOutcome != EListingOutcome::Cut &&
                report.eOutcome != EListingOutcome::NotConnected && !IsRefusedForNow(report))
                m_p->wholeVersionFolders.insert(folder);
            else
                m_p->bAllListed = false;
            ListingEnded();
            if (--m_p->nVersionListingsLeft == 0 && m_p->bSendingDecided)
                NameVersions();
        });
        m_p->listingJobs.push_back(std::move(pJob));
    }
}

void CBackupRun::StartListings()
{
    while (m_bRunning && !m_p->listingJobs.empty() &&
           m_p->nListingsRunning < m_options.nParallelUploads) {
        ++m_p->nListingsRunning;
        CJobPool::Get().Start(std::move(m_p->listingJobs.front()));
        m_p->listingJobs.pop_front();
    }
}

void CBackupRun::ListingEnded()
{
    --m_p->nListingsRunning;
    StartListings();
}

void CBackupRun::NameVersions()
{
    if (!m_bRunning)
        return;
    QHash<QByteArray, QSet<QByteArray>> taken;
    for (auto it = m_p->versions.cbegin(); it != m_p->versions.cend(); ++it)
        for (const CServerVersions::Version& version : it.value())
            taken[it.key()].insert(version.versionName);
    for (Private::Item& item : m_p->queue) {
        if (item.tReplacedCopy < 0)
            continue;
        const PathParts<QByteArray> remote = SplitPath(item.name);
        const QByteArray folder = CServerVersions::FolderOf(remote.folder);
        const QByteArray name =
            CServerVersions::FreeName(remote.name, item.tReplacedCopy, taken[folder]);
        taken[folder].insert(name);
        item.keepAt = folder + name;
    }
    ContinueQueue();
}

void CBackupRun::ContinueQueue()
{
    if (!m_bRunning)
        return;
    // A file that changed while it was read gets one more try once the others are sent.
    if (!m_bCancelling && m_p->queue.isEmpty()) {
        m_p->queue = m_p->retries;
        m_p->retries.clear();
    }
    m_p->bUploading = true;
    while (!m_bCancelling &&
           m_p->running.size() + m_p->loggingIn.size() < m_options.nParallelUploads) {
        const int nNext = NextToStart();
        if (nNext < 0)
            break;
        StartUpload(nNext);
    }
    if (m_p->running.isEmpty() && (m_p->queue.isEmpty() || m_p->loggingIn.isEmpty()))
        Finish();
}

int CBackupRun::NextToStart() const
{
    // The first file in the queue whose folder is there or made by no upload running now.
    for (int i = 0; i < m_p->queue.size(); ++i) {
        if (!m_p->makingFolders.contains(m_p->FolderToMake(m_p->queue[i])))
            return i;
    }
    return -1;
}

void CBackupRun::StartUpload(int nIndex)
{
    const Private::Item item = m_p->queue.takeAt(nIndex);
    if (!PartsFit(item.name)) {
        // The server would refuse it, or take a shortened name for another file.
        BackupFileReport report = Private::ReportOf(item, EFileOutcome::Failed);
        report.eFailure = FAILURE_SERVER_REFUSED;
        return AddOutcome(report);
    }
    // The server's name is the local name; only the folder differs.
    const PathParts<QByteArray> remote = SplitPath(item.name);
    auto pJob = std::make_unique<CMyThread>(
        CMyThread::EKind::Upload, m_pSession->MakeAccount(), SplitPath(item.path).folder,
        remote.folder.toStdString(), QList<QByteArray>{remote.name});
    // Until an upload into it has worked, a folder may not be there yet.
    pJob->m_bMakeRemoteFolder = remote.folder != "/" && !m_p->madeFolders.contains(remote.folder);
    pJob->m_bKeepRemoteTime = true;
    pJob->m_bTargetIsNew = item.bNewOnServer;
    if (!item.keepAt.isEmpty()) {
        pJob->m_strKeepReplacedAt = item.keepAt.toStdString();
        pJob->m_bMakeKeepFolder = !m_p->versionFoldersThere.contains(SplitPath(item.keepAt).folder);
    }
    connect(pJob.get(), &CMyThread::transferDone, this, &CBackupRun::OnUploadDone);
    Private::Running running{0, item, pJob->State(), m_p->FolderToMake(item)};
    if (!running.making.isEmpty())
        m_p->makingFolders.insert(running.making);
    running.nJobId = CJobPool::Get().Start(std::move(pJob));
    m_p->running.append(running);
    emit fileStarted(item.path, item.nSize);
}

void CBackupRun::OnUploadDone(const TransferReport& report)
{
    const auto it = std::find_if(
        m_p->running.begin(), m_p->running.end(),
        [&report](const Private::Running& job) { return job.nJobId == report.nJobId; });
    if (it == m_p->running.end())
        return;
    const Private::Item item = it->item;
    m_p->makingFolders.remove(it->making);
    m_p->running.erase(it);

    BackupFileReport outcome = Private::ReportOf(item, EFileOutcome::Sent);
    if (report.eOutcome == EJobOutcome::Succeeded) {
        outcome.nBytes = report.nBytes;
        if (report.bRestarted) {
            outcome.eFailure = FAILURE_RESTARTED;
            outcome.replyLine = report.replyLine;
        }
        const PathParts<QByteArray> remote = SplitPath(item.name);
        m_p->madeFolders.insert(remote.folder);
        m_p->currentTimes[remote.folder].insert(remote.name, item.nMtimeNs / 1000000000);
        if (!item.keepAt.isEmpty() && report.bVersionKept) {
            const PathParts<QByteArray> kept = SplitPath(item.keepAt);
            m_p->versionFoldersThere.insert(kept.folder);
            if (std::optional<CServerVersions::Version> version = CServerVersions::Parse(kept.name))
                m_p->versions[kept.folder].append(*version);
            ++m_summary.nVersionsKept;
        }
        if (m_p->pHistory)
            m_p->pHistory->RecordSent(item.path,
                                      {item.nSize, item.nMtimeNs, item.name, report.nBytes});
    } else if (report.eOutcome == EJobOutcome::Cancelled) {
        outcome.eOutcome = EFileOutcome::NotSent;
        outcome.eFailure = FAILURE_CANCELLED;
    } else if (report.eFailure == FAILURE_FILE_CHANGED && !m_p->retried.contains(item.path) &&
               !m_bCancelling) {
        m_p->retried.insert(item.path);
        Private::Item again = item;
        struct stat info;
        const bool bThere = ::stat(item.path.constData(), &info) == 0;
        again.nSize = bThere ? qint64(info.st_size) : 0;
        again.nMtimeNs = bThere ? NanosecondsOf(info.st_mtim) : 0;
        m_p->nBytesDone += item.nSize; // what the first try read is done with
        m_p->nBytesTotal += again.nSize;
        m_p->retries.append(again);
        return ContinueQueue();
    } else if (report.eFailure == FAILURE_LOCAL_UNREADABLE && IsGone(item.path)) {
        outcome.eOutcome = EFileOutcome::Missing; // removed since the folder was read
    } else {
        outcome.eOutcome = EFileOutcome::Failed;
        outcome.eFailure = report.eFailure;
        outcome.replyLine = report.replyLine;
    }
    AddOutcome(outcome);
    if (outcome.eOutcome == EFileOutcome::Failed && IsLoginFailure(report.eFailure)) {
        if (m_summary.eConnectFailure == FAILURE_NONE) {
            m_summary.eConnectFailure = report.eFailure;
            m_summary.connectReplyLine = report.replyLine;
        }
        EndQueued(EFileOutcome::Failed, report.eFailure, report.replyLine);
    }
    ContinueQueue();
}

void CBackupRun::AddOutcome(const BackupFileReport& report)
{
    ++m_p->nFilesDone;
    m_p->nBytesDone += report.eOutcome == EFileOutcome::Skipped ? 0 : report.nBytes;
    switch (report.eOutcome) {
    case EFileOutcome::Sent:
        ++m_summary.nSent;
        m_summary.nBytes += report.nBytes;
        break;
    case EFileOutcome::Unchanged:
        ++m_summary.nUnchanged;
        break;
    case EFileOutcome::Failed:
        ++m_summary.nFailed;
        break;
    case EFileOutcome::Skipped:
        ++m_summary.nSkipped;
        m_summary.nSpecialFiles += report.eSkip == ESkipReason::SpecialFile;
        break;
    case EFileOutcome::Missing:
        ++m_summary.nMissing;
        break;
    case EFileOutcome::NotSent:
        ++m_summary.nNotSent;
        break;
    }
    if (report.eOutcome != EFileOutcome::Sent && report.eOutcome != EFileOutcome::Unchanged)
        m_summary.problems.append(report);
    if (m_p->pHistory)
        m_p->pHistory->AddFile(m_nHistoryId, report);
    emit fileDone(report);
}

void CBackupRun::EndQueued(EFileOutcome eOutcome, ETransferFailure eFailure,
                           const QByteArray& replyLine)
{
    QList<Private::Item> left = m_p->queue + m_p->retries;
    m_p->queue.clear();
    m_p->retries.clear();
    std::stable_sort(left.begin(), left.end(), [](const Private::Item& a, const Private::Item& b) {
        return a.nPlace < b.nPlace;
    });
    for (const Private::Item& item : std::as_const(left)) {
        BackupFileReport report = Private::ReportOf(item, eOutcome);
        report.eFailure = eFailure;
        report.replyLine = replyLine;
        AddOutcome(report);
    }
}

void CBackupRun::Cancel()
{
    if (!m_bRunning || m_bCancelling)
        return;
    m_bCancelling = true;
    m_summary.bCancelled = true;
    *m_p->pStopReading = true;
    if (m_p->bExpanding)
        return; // ends once the reader has stopped
    EndQueued(EFileOutcome::NotSent, FAILURE_NONE, QByteArray());
    m_p->CancelJobs();
    if (m_p->running.isEmpty())
        Finish();
}

bool CBackupRun::StartPruning()
{
    if (m_summary.bCancelled || m_summary.eConnectFailure != FAILURE_NONE || m_options.bDryRun)
        return false;
    const qint64 tNow = QDateTime::currentSecsSinceEpoch();
    for (const QByteArray& folder : std::as_const(m_p->versionFolders)) {
        if (!m_p->wholeVersionFolders.contains(folder))
            continue;
        const QByteArray serverFolder = folder.mid(CServerVersions::Root().size());
        const QList<QByteArray> doomed = CServerVersions::ToPrune(
            m_p->versions.value(folder), m_p->currentTimes.value(serverFolder), tNow, m_p->limits);
        if (doomed.isEmpty())
            continue;
        auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::Delete, m_pSession->MakeAccount(),
                                                QByteArray(), folder.toStdString(), doomed);
        connect(pJob.get(), &CMyThread::remoteDeleted, this, [this](const DeletionReport& report) {
            m_summary.nVersionsPruned += report.bDeleted;
        });
        const unsigned nJobId = CJobPool::Get().Start(std::move(pJob));
        ++m_p->nPruningsLeft;
        connect(&CJobPool::Get(), &CJobPool::jobEnded, this, [this, nJobId](unsigned nEnded) {
            if (nEnded == nJobId && --m_p->nPruningsLeft == 0)
                Finish();
        });
    }
    return m_p->nPruningsLeft > 0;
}

void CBackupRun::Finish()
{
    if (!m_bRunning || m_p->nPruningsLeft > 0)
        return;
    if (!m_p->bPruned) {
        m_p->bPruned = true;
        if (StartPruning())
            return;
    }
    // Files an earlier run sent from within the plan, and no longer here: their copies stay.
    for (auto it = m_p->records.cbegin(); it != m_p->records.cend(); ++it)
        m_summary.nGoneHere +=
            !m_p->foundHere.contains(it.key()) && m_plan.Contains(it.key()) && IsGone(it.key());
    m_bRunning = false;
    m_p->progressTimer.stop();
    m_summary.dSeconds = m_p->clock.elapsed() / 1000.0;
    // In the order the files were taken, whichever upload ended first.
    std::stable_sort(
        m_summary.problems.begin(), m_summary.problems.end(),
        [](const BackupFileReport& a, const BackupFileReport& b) { return a.nPlace < b.nPlace; });
    if (m_p->pHistory) {
        // Only a check that saw every folder counts as one.
        if (m_options.bCheckServer && !m_summary.bCancelled &&
            m_summary.eConnectFailure == FAILURE_NONE && m_p->bAllListed)
            m_p->pHistory->NoteCheck();
        m_p->pHistory->EndRun(m_nHistoryId, m_summary);
    }
    m_p->pHistory.reset();
    m_p->pLock.reset();
    emit progress(Progress());
    emit finished(m_summary);
}

BackupProgress CBackupRun::Progress() const
{
    BackupProgress now;
    now.bExpanding = m_p->bExpanding;
    now.nFilesDone = m_p->nFilesDone;
    now.nFilesTotal = m_p->nFilesTotal;
    now.nBytesDone = m_p->nBytesDone;
    now.nBytesTotal = m_p->nBytesTotal;
    for (const Private::Running& job : m_p->running)
        now.nBytesDone += job.pState->nDone;
    if (!m_p->running.isEmpty()) {
        const Private::Running& latest = m_p->running.last();
        now.currentPath = latest.item.path;
        now.nCurrentBytes = latest.pState->nDone;
        const qint64 nTotal = latest.pState->nTotal;
        now.nCurrentSize = nTotal >= 0 ? nTotal : latest.item.nSize;
    }
    const qint64 nElapsedMs = m_p->clock.isValid() ? m_p->clock.elapsed() : 0;
    now.dBytesPerSecond = nElapsedMs > 0 ? now.nBytesDone * 1000.0 / nElapsedMs : 0;
    return now;
}
