#include "RestoreRun.h"

#include "backup/BackupSession.h"
#include "platform/Path.h"
#include "resources/Texts.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"

#include <QDir>
#include <QFile>

namespace {

QByteArray Join(const QByteArray& folder, const QByteArray& path)
{
    return path.isEmpty() ? folder : JoinPath(folder, path);
}

} // namespace

CRestoreRun::CRestoreRun(std::shared_ptr<CBackupSession> pSession, QByteArray remoteFolder,
                         RemoteItems entries, QByteArray localFolder, int nParallel)
    : m_pSession(std::move(pSession)), m_remoteFolder(std::move(remoteFolder)),
      m_entries(std::move(entries)), m_localFolder(std::move(localFolder)),
      m_nParallel(qMax(1, nParallel))
{
}

CRestoreRun::~CRestoreRun()
{
    // Jobs still running report to nobody; they are stopped rather than left to write.
    Cancel();
}

void CRestoreRun::SetAsker(QWidget* pParent, CReplaceQuestionDlg::AskFn pfnAsk)
{
    m_pAskParent = pParent;
    m_pfnAsk = std::move(pfnAsk);
}

std::shared_ptr<CJobState> CRestoreRun::CurrentState() const
{
    return m_nLatest >= 0 ? m_tasks[m_nLatest].pState : nullptr;
}

void CRestoreRun::Start()
{
    m_bRunning = true;
    QList<QByteArray> folders;
    for (const RemoteItem& entry : m_entries)
        if (entry.bFolder)
            folders.append(entry.name);
    if (folders.isEmpty()) {
        Settle();
        return;
    }
    // Every folder is read whole before anything is fetched.
    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::Walk, m_pSession->MakeAccount(),
                                            QByteArray(), m_remoteFolder.toStdString(), folders);
    m_pWalkState = pJob->State();
    connect(pJob.get(), &CMyThread::remoteItemsAdded, this,
            [this](const RemoteItems& items, unsigned) { m_walked += items; });
    connect(pJob.get(), &CMyThread::listingEnded, this, &CRestoreRun::OnWalkEnded);
    m_nWalkJob = CJobPool::Get().Start(std::move(pJob));
}

void CRestoreRun::OnWalkEnded(const ListingReport& report)
{
    m_pWalkState.reset();
    if (m_bCancelled) {
        Finish();
        return;
    }
    if (report.eOutcome != EListingOutcome::Complete) {
        // Part of a folder is no restore of it: nothing is fetched, and the user is told why.
        QStringList names;
        for (const RemoteItem& entry : m_entries)
            if (entry.bFolder)
                names << DisplayName(entry.name);
        m_failures << Texts::NameWithFailure(
            Texts::FolderUnreadable(names.join(QStringLiteral(", "))), report.eFailure,
            report.replyLine);
        Finish();
        return;
    }
    Settle();
}

void CRestoreRun::Settle()
{
    // The files in the order the user reads them: the entries chosen, then what the folders
    // hold, each folder before what is below it.
    RemoteItems files;
    for (const RemoteItem& entry : m_entries)
        if (!entry.bFolder)
            files.append(entry);
    for (const RemoteItem& item : m_walked) {
        if (!item.bFolder) {
            files.append(item);
            continue;
        }
        // Empty folders are part of the tree too.
        if (!QDir().mkpath(QFile::decodeName(Join(m_localFolder, item.name))))
            m_failures << Texts::NameWithFailure(DisplayName(item.name), FAILURE_LOCAL_UNWRITABLE);
    }
    struct Clash {
        int nTask;
        CReplaceQuestionDlg::FileFacts local;
    };
    QVector<Clash> clashes;
    for (const RemoteItem& file : files) {
        Task task;
        const auto parts = SplitPath(file.name);
        task.remoteFolder = Join(m_remoteFolder, parts.folder);
        task.name = parts.name;
        task.localFolder = Join(m_localFolder, parts.folder);
        task.localName = parts.name;
        task.path = file.name;
        task.nSize = file.nSize;
        task.tModified = file.eTimeKind == TIME_EXACT ? file.tLastWrite : 0;
        CReplaceQuestionDlg::FileFacts local;
        if (CReplaceQuestionDlg::Differs(JoinPath(task.localFolder, task.localName),
                                         {task.nSize, task.tModified}, local))
            clashes.append({int(m_tasks.size()), local});
        m_tasks.append(task);
    }
    // A local file that differs is replaced only with the user's word, given once for all
    // when asked so.
    QVector<bool> skipped(m_tasks.size(), false);
    bool bForAll = false;
    auto eAnswer = CReplaceQuestionDlg::EAnswer::Skip;
    for (int i = 0; i < clashes.size(); ++i) {
        Task& task = m_tasks[clashes[i].nTask];
        if (!bForAll)
            eAnswer = CReplaceQuestionDlg::Ask(m_pAskParent, DisplayName(task.path),
                                               clashes[i].local, {task.nSize, task.tModified},
                                               m_pfnAsk, int(clashes.size()) - i - 1, bForAll);
        if (eAnswer == CReplaceQuestionDlg::EAnswer::Skip)
            skipped[clashes[i].nTask] = true;
        else if (eAnswer == CReplaceQuestionDlg::EAnswer::KeepBoth)
            task.localName = CReplaceQuestionDlg::FreeName(task.localFolder, task.name);
    }
    QVector<Task> kept;
    for (int i = 0; i < m_tasks.size(); ++i)
        if (!skipped[i])
            kept.append(m_tasks[i]);
    m_tasks = kept;
    for (int i = 0; i < m_nParallel; ++i)
        StartNext();
    if (m_running.isEmpty())
        Finish();
}

void CRestoreRun::StartNext()
{
    if (m_bCancelled || m_nNext >= m_tasks.size())
        return;
    const int nTask = m_nNext++;
    Task& task = m_tasks[nTask];
    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::Download, m_pSession->MakeAccount(),
                                            task.localFolder, task.remoteFolder.toStdString(),
                                            QList<QByteArray>{task.name});
    if (task.localName != task.name)
        pJob->SetLocalNames({task.localName});
    connect(pJob.get(), &CMyThread::transferDone, this, &CRestoreRun::OnTransferDone);
    task.pState = pJob->State();
    task.nJobId = CJobPool::Get().Start(std::move(pJob));
    m_running.insert(task.nJobId, nTask);
    m_nLatest = nTask;
    m_strCurrent = DisplayName(task.path);
    m_nCurrentSize = task.nSize;
    m_currentClock.start();
    emit fileStarted(m_strCurrent, nTask + 1, int(m_tasks.size()));
}

void CRestoreRun::OnTransferDone(const TransferReport& report)
{
    const auto it = m_running.constFind(report.nJobId);
    if (it == m_running.constEnd())
        return;
    const Task& task = m_tasks[it.value()];
    m_running.erase(it);
    switch (report.eOutcome) {
    case EJobOutcome::Succeeded:
        ++m_nRestored;
        break;
    case EJobOutcome::Cancelled:
        m_cancelled << Texts::NameWithFailure(DisplayName(task.path), FAILURE_CANCELLED);
        break;
    case EJobOutcome::Failed:
        m_failures << Texts::NameWithFailure(DisplayName(task.path), report.eFailure,
                                             report.replyLine);
        break;
    }
    StartNext();
    if (m_running.isEmpty())
        Finish();
}

void CRestoreRun::Cancel()
{
    if (!m_bRunning)
        return;
    m_bCancelled = true;
    if (m_pWalkState)
        m_pWalkState->bCancel = true;
    for (int nTask : m_running)
        if (m_tasks[nTask].pState)
            m_tasks[nTask].pState->bCancel = true;
}

void CRestoreRun::Finish()
{
    if (!m_bRunning)
        return;
    // Files never started are named too: the user must not take the folder for restored.
    for (int i = m_nNext; i < m_tasks.size(); ++i)
        m_cancelled << Texts::NameWithFailure(DisplayName(m_tasks[i].path), FAILURE_CANCELLED);
    m_nNext = int(m_tasks.size());
    m_bRunning = false;
    emit finished();
}
