#include "MossvaleView.h"

#include "LoginFirst.h"
#include "RightView.h"
#include "widgets/DialogUnits.h"
#include "widgets/TemplateLayout.h"
#include "platform/Path.h"
#include "resources/Texts.h"
#include "widgets/ReportDlg.h"
#include "widgets/StatusOutcome.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"
#include "transfer/TransferGlobals.h"
#include "tree/LeftView.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QMainWindow>
#include <QScreen>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>

#include <algorithm>

#include <sys/stat.h>

namespace {

// Form 101 ("MS Sans Serif" 8) in template units.
constexpr int kFormWidth = 530;
constexpr int kFormHeight = 52;

// A failure box names at most this many files; more go to a report window with a list.
constexpr int kMaxNamedFailures = 20;
// What a message box adds around its text: icon, margins, buttons, title bar and border.
constexpr int kBoxChromeWidth = 120;
constexpr int kBoxChromeHeight = 160;
// How often the wait dialog reads the shown job's progress.
constexpr int kProgressMs = 100;

QIcon ResourceIcon(const QString& strPath, QStyle::StandardPixmap fallback, const QStyle* pStyle)
{
    QIcon icon(strPath);
    return icon.isNull() ? pStyle->standardIcon(fallback) : icon;
}

CBackupList* BackupList()
{
    return g_pLeftView ? &g_pLeftView->m_treeCtrl.m_backupList : nullptr;
}

// A failed file as its failure message names it: the name, then why, when that is known, and
// the server's own words when it refused.
QString WithReason(const QString& strName, ETransferFailure eFailure,
                   const QByteArray& replyLine = QByteArray())
{
    const QString strReason =
        Texts::ReasonWithReply(Texts::FailureReason(eFailure), QString::fromUtf8(replyLine));
    return strReason.isEmpty() ? strName : Texts::NameWithReason(strName, strReason);
}

qint64 LocalFileSize(const QByteArray& path)
{
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) ? qint64(info.st_size) : 0;
}

} // namespace

CMossvaleView::CMossvaleView(QWidget* pParent)
    : QWidget(pParent), m_btnBackup(Texts::BackupButton(), this),
      m_btnRestore(Texts::RestoreButton(), this)
{
    const CDialogUnits units(QStringLiteral("MS Sans Serif"), 8);
    setFont(units.Font());
    for (QPushButton* pButton : {&m_btnBackup, &m_btnRestore}) {
        pButton->setIconSize(QSize(24, 24));
        QFont font = pButton->font();
        font.setBold(true);
        pButton->setFont(font);
    }
    // In a narrow window RESTORE moves back towards BACKUP rather than off the edge.
    auto* pLayout = new CTemplateLayout(this, units.ToPixels(QSize(kFormWidth, kFormHeight)));
    pLayout->AddControl(&m_btnBackup, units.ToPixels(125, 21, 94, 24));
    pLayout->AddControl(&m_btnRestore, units.ToPixels(419, 19, 85, 26), CTemplateLayout::YIELD);
    connect(&m_btnBackup, &QPushButton::clicked, this, [this] { OnButtonBackup(); });
    connect(&m_btnRestore, &QPushButton::clicked, this, [this] { OnButtonRestore(); });
    connect(&m_dlgWait, &CWaitDlg::cancelRequested, this, [this] { OnCancel(); });
    m_tmrProgress.setInterval(kProgressMs);
    connect(&m_tmrProgress, &QTimer::timeout, this, [this] { OnProgressTimer(); });

    m_pfnChooseFolder = [this] {
        return QFileDialog::getExistingDirectory(window(), Texts::ChooseFolderTitle(),
                                                 QDir::homePath());
    };
}

CMossvaleView::~CMossvaleView() = default;

void CMossvaleView::OnInitialUpdate()
{
    m_btnBackup.setIcon(
        ResourceIcon(QStringLiteral(":/views/backup.png"), QStyle::SP_DialogSaveButton, style()));
    m_btnRestore.setIcon(ResourceIcon(QStringLiteral(":/views/restore.png"),
                                      QStyle::SP_FileDialogContentsView, style()));
}

void CMossvaleView::OnButtonBackup()
{
    if (!CheckLoggedIn(this))
        return;
    m_dlgWait.Open(this);
    // A backup already running takes the queue to its end: a second chain would end the
    // backup while the other's upload still runs.
    if (m_bBackupRunning)
        return;
    m_bBackupRunning = true;
    m_nBackupStarted = 0;
    m_nBackupBytes = 0;
    m_nBackupBytesDone = 0;
    m_nBackedUp = 0;
    m_sentNames.clear();
    m_retried.clear();
    LeaveOutSameNames();
    if (const CBackupList* pList = BackupList())
        for (const QByteArray& path : pList->ToList())
            m_nBackupBytes += LocalFileSize(path);
    m_backupClock.start();
    ContinueBackupQueue();
}

void CMossvaleView::LeaveOutSameNames()
{
    // Every file lands in the server's root under its own name, so two ticked files of one
    // name would overwrite each other there: the first ticked is sent, the others are named
    // in the failure message. The same path ticked twice is one file, sent once.
    CBackupList* pList = BackupList();
    if (!pList)
        return;
    QHash<QByteArray, QByteArray> firstOfName;
    for (const QByteArray& path : pList->ToList()) {
        const QByteArray name = SplitPath(path).name;
        const auto it = firstOfName.constFind(name);
        if (it == firstOfName.constEnd()) {
            firstOfName.insert(name, path);
            continue;
        }
        pList->RemoveFirstEqual(path);
        if (*it != path)
            AddFailedBackup(0, Texts::NameWithReason(DisplayName(path),
                                                     Texts::SameNameReason(DisplayName(*it))));
    }
}

bool CMossvaleView::TakeSameName(const QByteArray& path)
{
    // For files ticked while the backup runs: a name already sent in it is not sent again.
    const QByteArray name = SplitPath(path).name;
    const auto it = m_sentNames.constFind(name);
    if (it == m_sentNames.constEnd()) {
        m_sentNames.insert(name, path);
        return false;
    }
    if (*it != path)
        AddFailedBackup(
            m_nBackupStarted,
            Texts::NameWithReason(DisplayName(path), Texts::SameNameReason(DisplayName(*it))));
    return true;
}

void CMossvaleView::ContinueBackupQueue()
{
    CBackupList* pList = BackupList();
    // A file that changed while it was read gets one more try once the others are sent.
    if (!m_bCancelling && pList && pList->IsEmpty())
        while (!m_retryBackups.isEmpty())
            pList->AddTail(m_retryBackups.takeLast());
    while (!m_bCancelling && pList && !pList->IsEmpty() && RunningUploads() < m_nParallelUploads) {
        const QByteArray path = pList->RemoveTail();
        if (TakeSameName(path) || StartBackup(path))
            continue;
        // A file that cannot even be started is lost like one whose upload failed; the
        // backup goes on instead of waiting for a report that will never come.
        AddFailedBackup(++m_nBackupStarted, DisplayName(path));
    }
    if (RunningUploads() == 0)
        EndBackup();
}

int CMossvaleView::RunningUploads() const
{
    int nCount = 0;
    for (const RunningJob& job : m_running)
        nCount += job.nPlace > 0;
    return nCount;
}

void CMossvaleView::SetParallelUploads(int nCount)
{
    m_nParallelUploads = qBound(1, nCount, kMaxParallelUploads);
}

void CMossvaleView::AddFailedBackup(int nPlace, const QString& strText)
{
    // After the failures of its place already noted, before those of later places.
    auto it = std::upper_bound(
        m_failedBackups.begin(), m_failedBackups.end(), nPlace,
        [](int nWanted, const QPair<int, QString>& failure) { return nWanted < failure.first; });
    m_failedBackups.insert(it, qMakePair(nPlace, strText));
}

void CMossvaleView::FailQueuedBackups(ETransferFailure eFailure)
{
    CBackupList* pList = BackupList();
    while (pList && !pList->IsEmpty())
        AddFailedBackup(++m_nBackupStarted, WithReason(DisplayName(pList->RemoveTail()), eFailure));
    while (!m_retryBackups.isEmpty())
        AddFailedBackup(++m_nBackupStarted,
                        WithReason(DisplayName(m_retryBackups.takeLast()), eFailure));
}

void CMossvaleView::EndBackup()
{
    m_bBackupRunning = false;
    m_nBackupStarted = 0;
    if (m_nBackedUp > 0)
        ShowStatus(Texts::FilesBackedUp(m_nBackedUp));
    m_nBackedUp = 0;
    m_sentNames.clear();
    m_retried.clear();
    if (m_pRemoteView)
        m_pRemoteView->StartListing();
    FinishIfIdle();
}

bool CMossvaleView::StartBackup(QByteArray path)
{
    // The server stores the name's bytes as they are, whatever they were encoded in.
    const PathParts<QByteArray> parts = SplitPath(path);
    if (parts.name.size() > kMaxItemNameBytes)
        return false;
    if (!m_bBackupRunning) { // called on its own, outside a BACKUP press
        m_bBackupRunning = true;
        m_backupClock.start();
    }
    ++m_nBackupStarted;
    StartJob(ETransferDirection::Upload, parts.folder, parts.name, DisplayName(path),
             DisplayName(parts.name), m_nBackupStarted);
    m_running.last().nSize = LocalFileSize(path);
    m_running.last().path = path;
    return true;
}

void CMossvaleView::OnButtonRestore()
{
    if (!CheckLoggedIn(this))
        return;
    const QString strFolder = m_pfnChooseFolder ? m_pfnChooseFolder() : QString();
    if (strFolder.isEmpty())
        return;
    const QByteArray name = m_pRemoteView ? m_pRemoteView->GetFirstSelectedName() : QByteArray();
    const QString strLabel = QString::fromUtf8(name);
    const qint64 nListedSize = m_pRemoteView ? m_pRemoteView->GetFirstSelectedSize() : -1;
    // A local file that differs is replaced only with the user's word.
    const QByteArray folder = QFile::encodeName(strFolder);
    QByteArray localName = name;
    const CReplaceQuestionDlg::FileFacts server{
        nListedSize, m_pRemoteView ? m_pRemoteView->GetFirstSelectedExactTime() : 0};
    if (name.size() <= kMaxItemNameBytes && !name.isEmpty() &&
        !CReplaceQuestionDlg::Settle(this, folder, name, server, m_pfnAskReplace, localName))
        return;
    m_dlgWait.Open(this);
    if (name.size() > kMaxItemNameBytes)
        return RestoreFailed(strLabel);
    StartJob(ETransferDirection::Download, folder, name, strLabel, strLabel, 0, localName);
    // Many servers do not say a download's size when it starts; the listing did.
    m_running.last().nSize = nListedSize;
}

unsigned CMossvaleView::StartJob(ETransferDirection eDirection, const QByteArray& localDir,
                                 const QByteArray& name, const QString& strName,
                                 const QString& strLabel, int nPlace, const QByteArray& localName)
{
    const auto eKind = eDirection == ETransferDirection::Upload ? CMyThread::EKind::Upload
                                                                : CMyThread::EKind::Download;
    auto pJob = std::make_unique<CMyThread>(eKind, CurrentAccount(), localDir, "/",
                                            QList<QByteArray>{name});
    if (!localName.isEmpty() && localName != name)
        pJob->SetLocalNames({localName});
    connect(pJob.get(), &CMyThread::transferDone, this, &CMossvaleView::OnTransferDone);
    RunningJob running{0, strName, strLabel, {}, nPlace, 0, pJob->State(), {}};
    running.clock.start();
    running.nJobId = CJobPool::Get().Start(std::move(pJob));
    m_running.append(running);
    ShowLatestJob();
    m_tmrProgress.start();
    return running.nJobId;
}

void CMossvaleView::ShowLatestJob()
{
    if (m_running.isEmpty())
        return;
    const RunningJob& job = m_running.last();
    if (job.nJobId == m_nShownJob)
        return;
    m_nShownJob = job.nJobId;
    const CBackupList* pList = BackupList();
    m_dlgWait.SetProgressFile(job.strLabel, job.nPlace,
                              job.nPlace > 0 ? m_nBackupStarted + (pList ? pList->GetCount() : 0)
                                             : 0);
}

void CMossvaleView::OnProgressTimer()
{
    qint64 nUploading = 0; // of the backup's files being sent
    for (const RunningJob& job : m_running) {
        const qint64 nDone = job.pState->nDone;
        if (job.nPlace > 0)
            nUploading += nDone;
        if (job.nJobId != m_nShownJob)
            continue;
        const qint64 nElapsedMs = job.clock.elapsed();
        const qint64 nTotal = job.pState->nTotal;
        m_dlgWait.SetProgressBytes(nDone, nTotal >= 0 ? nTotal : job.nSize,
                                   nElapsedMs > 0 ? nDone * 1000 / nElapsedMs : 0);
    }
    if (!m_bBackupRunning) {
        m_dlgWait.SetBackupProgress(QString());
        return;
    }
    const CBackupList* pList = BackupList();
    const int nCount = m_nBackupStarted + (pList ? pList->GetCount() : 0);
    const qint64 nDone = m_nBackupBytesDone + nUploading;
    const qint64 nElapsedMs = m_backupClock.elapsed();
    // Time left from the backup's own average so far: one slow file does not make it jump.
    const qint64 nSecondsLeft = nDone > 0 && nElapsedMs >= 1000 && m_nBackupBytes >= nDone
                                    ? (m_nBackupBytes - nDone) * nElapsedMs / nDone / 1000
                                    : -1;
    m_dlgWait.SetBackupProgress(
        Texts::BackupProgress(m_nBackupStarted, nCount, nDone, m_nBackupBytes, nSecondsLeft));
}

void CMossvaleView::OnTransferDone(const TransferReport& report)
{
    int nIndex = -1;
    for (int i = 0; i < m_running.size() && nIndex < 0; ++i)
        if (m_running[i].nJobId == report.nJobId)
            nIndex = i;
    if (nIndex < 0)
        return;
    const RunningJob job = m_running.takeAt(nIndex);
    if (report.eOutcome == EJobOutcome::Cancelled)
        m_cancelled.append(WithReason(job.strName, FAILURE_CANCELLED));

    if (report.eDirection == ETransferDirection::Upload) {
        OnUploadDone(report, job);
        ShowLatestJob();
        ContinueBackupQueue();
        return;
    }
    ShowLatestJob();
    if (report.eOutcome == EJobOutcome::Failed)
        return RestoreFailed(job.strName, report.eFailure, report.replyLine);
    if (report.eOutcome == EJobOutcome::Succeeded)
        ShowStatus(report.bUnchecked ? Texts::SentUnchecked(job.strName)
                                     : Texts::FileRestored(job.strName));
    FinishIfIdle();
}

void CMossvaleView::OnUploadDone(const TransferReport& report, const RunningJob& job)
{
    m_nBackupBytesDone += job.nSize; // done with, whether it arrived or not
    if (report.eOutcome == EJobOutcome::Succeeded) {
        ++m_nBackedUp;
        return;
    }
    if (report.eOutcome != EJobOutcome::Failed)
        return;
    if (report.eFailure == FAILURE_FILE_CHANGED && !job.path.isEmpty() &&
        !m_retried.contains(job.path)) {
        m_retried.insert(job.path);
        m_sentNames.remove(SplitPath(job.path).name);
        m_retryBackups.append(job.path);
        m_nBackupBytes += LocalFileSize(job.path);
        return;
    }
    AddFailedBackup(job.nPlace, WithReason(job.strName, report.eFailure, report.replyLine));
    if (report.eFailure == FAILURE_NO_CONNECTION || report.eFailure == FAILURE_LOGIN_REFUSED)
        FailQueuedBackups(report.eFailure);
}

void CMossvaleView::OnCancel()
{
    if (!HasRunningWork()) {
        m_dlgWait.Close();
        return;
    }
    m_bCancelling = true;
    CBackupList* pList = BackupList();
    while (pList && !pList->IsEmpty())
        m_notSent.append(Texts::NameWithReason(DisplayName(pList->RemoveTail()), Texts::NotSent()));
    while (!m_retryBackups.isEmpty())
        m_notSent.append(
            Texts::NameWithReason(DisplayName(m_retryBackups.takeLast()), Texts::NotSent()));
    for (const RunningJob& job : m_running)
        job.pState->bCancel = true;
}

void CMossvaleView::ShowStatus(const QString& strText)
{
    // The frame's status bar; a screen reader hears its message change.
    CStatusOutcome::Show(this, strText);
}

void CMossvaleView::RestoreFailed(const QString& strName, ETransferFailure eFailure,
                                  const QByteArray& replyLine)
{
    FinishIfIdle();
    ShowStatus(QCoreApplication::translate("CMossvaleView", "未能恢复 %1").arg(strName));
    QMessageBox::warning(window(), Texts::AppName(),
                         Texts::RestoreFailedHeading() + WithReason(strName, eFailure, replyLine));
}

void CMossvaleView::FinishIfIdle()
{
    if (HasRunningWork())
        return;
    m_tmrProgress.stop();
    m_nShownJob = 0;
    m_dlgWait.Close();
    QStringList lines;
    if (!m_cancelled.isEmpty() || !m_notSent.isEmpty())
        lines << Texts::CancelledHeading() << m_cancelled << m_notSent;
    if (!m_failedBackups.isEmpty()) {
        lines << Texts::BackupFailedHeading();
        for (const auto& failure : m_failedBackups)
            lines << failure.second;
    }
    m_cancelled.clear();
    m_notSent.clear();
    m_failedBackups.clear();
    m_bCancelling = false;
    if (!lines.isEmpty())
        ShowEndMessage(lines);
    emit workEnded();
}

void CMossvaleView::ShowEndMessage(const QStringList& lines)
{
    // Every line in a message box while it fits the screen (long paths wrap); a longer report
    // gets a window of its own with a scrolling list.
    const int nScreenHeight = screen()->availableGeometry().height();
    const int nTextWidth = screen()->availableGeometry().width() / 2 - kBoxChromeWidth;
    QMessageBox box(QMessageBox::Warning, Texts::AppName(), lines.join(QLatin1Char('\n')),
                    QMessageBox::Ok, window());
    const QRect textArea = box.fontMetrics().boundingRect(
        QRect(0, 0, nTextWidth, nScreenHeight * 4), Qt::TextWordWrap, box.text());
    if (lines.size() - 1 > kMaxNamedFailures ||
        textArea.height() + kBoxChromeHeight > nScreenHeight) {
        CReportDlg report(Texts::AppName(), lines.first(), lines.mid(1), window());
        report.exec();
        return;
    }
    box.exec();
}
