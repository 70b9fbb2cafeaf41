#include "MossvaleView.h"

#include "EntryJobs.h"
#include "LoginFirst.h"
#include "RightView.h"
#include "widgets/DialogUnits.h"
#include "widgets/TemplateLayout.h"
#include "platform/JobThreads.h"
#include "platform/Path.h"
#include "resources/Texts.h"
#include "transfer/Messages.h"
#include "transfer/MyThread.h"
#include "transfer/ReplyLines.h"
#include "transfer/TransferGlobals.h"
#include "tree/LeftView.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHash>
#include <QMainWindow>
#include <QScreen>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>

namespace {

// Form 101 ("MS Sans Serif" 8) in template units.
constexpr int kFormWidth = 530;
constexpr int kFormHeight = 52;

// A failure box names this many files in its text; the rest are in its details, so the
// box fits on a screen however many files failed.
constexpr int kMaxNamedFailures = 20;
// What a message box adds around its text: icon, margins, buttons, title bar and border.
constexpr int kBoxChromeWidth = 120;
constexpr int kBoxChromeHeight = 160;

// Waits for the previous job of a kind to end; its thread is the registry's to free.
void EndPrevious(unsigned& nThread)
{
    CJobThreads::Get().WaitFor(nThread);
    nThread = 0;
}

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
                   const std::string& strReplyLine = std::string())
{
    const QString strReason = Texts::ReasonWithReply(Texts::FailureReason(eFailure),
                                                     QString::fromStdString(strReplyLine));
    return strReason.isEmpty() ? strName : Texts::NameWithReason(strName, strReason);
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

    m_pfnChooseFolder = [this] {
        return QFileDialog::getExistingDirectory(window(), Texts::ChooseFolderTitle(),
                                                 QDir::homePath());
    };
}

CMossvaleView::~CMossvaleView()
{
    if (g_pWaitDlg.load() == &m_dlgWait)
        g_pWaitDlg = nullptr;
    if (g_pCommandView.load() == this)
        g_pCommandView = nullptr;
}

void CMossvaleView::OnInitialUpdate()
{
    g_pCommandView = this;
    g_pWaitDlg = &m_dlgWait;
    // A job still running is no longer waited for by the next job of its kind.
    m_nRestoreThread = 0;
    m_nBackupThread = 0;

    m_btnBackup.setIcon(
        ResourceIcon(QStringLiteral(":/views/backup.png"), QStyle::SP_DialogSaveButton, style()));
    m_btnRestore.setIcon(ResourceIcon(QStringLiteral(":/views/restore.png"),
                                      QStyle::SP_FileDialogContentsView, style()));
}

LRESULT CMossvaleView::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_TRANSFER_DONE:
        return OnTransferDone(wParam, lParam);
    case WM_TRANSFER_PROGRESS:
        return OnTransferProgress(wParam, lParam);
    default:
        return 0;
    }
}

void CMossvaleView::OnButtonBackup()
{
    if (!CheckLoggedIn(this))
        return;
    m_dlgWait.Open(this);
    // A backup already running takes the queue to its end: a second chain would end the
    // backup while the other's upload still runs.
    if (!m_uploadsRunning.isEmpty())
        return;
    m_nBackupStarted = 0;
    m_nBackedUp = 0;
    m_sentNames.clear();
    m_retried.clear();
    LeaveOutSameNames();
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
            m_failedBackups.append(
                Texts::NameWithReason(DisplayName(path), Texts::SameNameReason(DisplayName(*it))));
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
        m_failedBackups.append(
            Texts::NameWithReason(DisplayName(path), Texts::SameNameReason(DisplayName(*it))));
    return true;
}

void CMossvaleView::ContinueBackupQueue()
{
    CBackupList* pList = BackupList();
    // A file that changed while it was read gets one more try once the others are sent.
    if (pList && pList->IsEmpty())
        while (!m_retryBackups.isEmpty())
            pList->AddTail(m_retryBackups.takeLast());
    while (pList && !pList->IsEmpty()) {
        const QByteArray path = pList->RemoveTail();
        if (TakeSameName(path))
            continue;
        if (StartBackup(path))
            return;
        // A file that cannot even be started is lost like one whose upload failed; the
        // backup goes on instead of waiting for a report that will never come.
        m_failedBackups.append(DisplayName(path));
    }
    EndBackup();
}

void CMossvaleView::FailQueuedBackups(ETransferFailure eFailure)
{
    CBackupList* pList = BackupList();
    while (pList && !pList->IsEmpty())
        m_failedBackups.append(WithReason(DisplayName(pList->RemoveTail()), eFailure));
}

void CMossvaleView::EndBackup()
{
    m_dlgWait.Close();
    PostMessage(g_pRemoteView.load(), WM_REFRESH_REMOTE, 0, 0);
    m_nBackupStarted = 0;
    if (m_nBackedUp > 0)
        ShowStatus(Texts::FilesBackedUp(m_nBackedUp));
    m_nBackedUp = 0;
    m_sentNames.clear();
    m_retried.clear();
    if (m_failedBackups.isEmpty())
        return;
    // At most kMaxNamedFailures paths in the text, fewer when the box would not fit on the
    // screen (long paths wrap); the details keep every one.
    const int nScreenHeight = screen()->availableGeometry().height();
    const int nTextWidth = screen()->availableGeometry().width() / 2 - kBoxChromeWidth;
    QMessageBox box(QMessageBox::Warning, Texts::AppName(), QString(), QMessageBox::Ok, window());
    box.setDetailedText(m_failedBackups.join(QLatin1Char('\n')));
    for (int nNamed = qMin(kMaxNamedFailures, int(m_failedBackups.size())); nNamed >= 1; --nNamed) {
        QString strText = Texts::BackupFailedHeading() + QLatin1Char('\n') +
                          m_failedBackups.mid(0, nNamed).join(QLatin1Char('\n'));
        if (m_failedBackups.size() > nNamed)
            strText += Texts::MoreFailures(m_failedBackups.size());
        box.setText(strText);
        // Measured as the box will wrap it: a box is seldom wider than half the screen.
        const QRect textArea = box.fontMetrics().boundingRect(
            QRect(0, 0, nTextWidth, nScreenHeight * 4), Qt::TextWordWrap, strText);
        if (textArea.height() + kBoxChromeHeight <= nScreenHeight)
            break;
    }
    m_failedBackups.clear();
    box.exec();
}

bool CMossvaleView::StartBackup(QByteArray path)
{
    // The server stores the name's bytes as they are, whatever they were encoded in.
    const PathParts<QByteArray> parts = SplitPath(path);
    const QByteArray& name = parts.name;
    JobRequest* pRequest = NewEntryRequest(parts.folder, name);
    if (!pRequest)
        return false;
    const unsigned nJobId = pRequest->pJob->m_nJobId; // the job is the worker's once it runs
    EndPrevious(m_nBackupThread);
    m_nBackupThread = StartEntryJob(UploadThreadProc, pRequest, THREAD_PRIORITY_BELOW_NORMAL);
    if (!m_nBackupThread)
        return false;

    m_uploadsRunning.append({nJobId, DisplayName(path), path});
    ++m_nBackupStarted;
    const CBackupList* pList = BackupList();
    ShowJob(nJobId, DisplayName(name), m_nBackupStarted,
            m_nBackupStarted + (pList ? pList->GetCount() : 0));
    return true;
}

void CMossvaleView::OnButtonRestore()
{
    if (!CheckLoggedIn(this))
        return;
    const QString strFolder = m_pfnChooseFolder ? m_pfnChooseFolder() : QString();
    if (strFolder.isEmpty())
        return;
    m_dlgWait.Open(this);

    const auto* pRemote = dynamic_cast<const CRightView*>(g_pRemoteView.load());
    const QByteArray name = pRemote ? pRemote->GetFirstSelectedName() : QByteArray();
    const QString strLabel = QString::fromUtf8(name);
    JobRequest* pRequest = NewEntryRequest(QFile::encodeName(strFolder), name);
    if (!pRequest)
        return RestoreFailed(strLabel);
    const unsigned nJobId = pRequest->pJob->m_nJobId;
    EndPrevious(m_nRestoreThread);
    m_nRestoreThread = StartEntryJob(DownloadThreadProc, pRequest, THREAD_PRIORITY_ABOVE_NORMAL);
    if (!m_nRestoreThread)
        return RestoreFailed(strLabel);
    m_downloadsRunning.append({nJobId, strLabel, name});
    ShowJob(nJobId, strLabel, 0, 0);
}

void CMossvaleView::ShowJob(unsigned nJobId, const QString& strName, int nPlace, int nCount)
{
    m_nShownJob = nJobId;
    m_dlgWait.SetProgressFile(strName, nPlace, nCount);
}

CMossvaleView::RunningJob CMossvaleView::TakeRunning(QList<RunningJob>& running, unsigned nJobId)
{
    for (int i = 0; i < running.size(); ++i) {
        // A report that names no job is taken as the oldest one's, as jobs of a kind end in turn.
        if (nJobId == 0 || running[i].nJobId == nJobId)
            return running.takeAt(i);
    }
    return RunningJob{0, QString(), QByteArray()};
}

LRESULT CMossvaleView::OnTransferDone(WPARAM wParam, LPARAM lParam)
{
    if (wParam == 0)
        return 0;
    const bool bFailed = TransferOutcome(wParam) == TRANSFER_FAILED;
    const ETransferFailure eFailure = TransferFailureOf(wParam);
    const unsigned nJobId = TransferJobOf(wParam);
    const std::string strReply =
        bFailed ? g_replyLines.Take(CReplyLines::JobKey(nJobId)) : std::string();
    if (lParam == TRANSFER_UPLOAD) {
        const RunningJob job = TakeRunning(m_uploadsRunning, nJobId);
        if (bFailed && eFailure == FAILURE_FILE_CHANGED && !job.path.isEmpty() &&
            !m_retried.contains(job.path)) {
            m_retried.insert(job.path);
            m_sentNames.remove(SplitPath(job.path).name);
            m_retryBackups.append(job.path);
        } else if (bFailed && !job.strName.isEmpty()) {
            m_failedBackups.append(WithReason(job.strName, eFailure, strReply));
        } else if (!bFailed) {
            ++m_nBackedUp;
        }
        if (bFailed && (eFailure == FAILURE_NO_CONNECTION || eFailure == FAILURE_LOGIN_REFUSED))
            FailQueuedBackups(eFailure);
        ContinueBackupQueue();
        return 1;
    }
    if (lParam == TRANSFER_DOWNLOAD) {
        const QString strName = TakeRunning(m_downloadsRunning, nJobId).strName;
        if (bFailed) {
            RestoreFailed(strName, eFailure, strReply);
            return 1;
        }
        m_dlgWait.Close();
        ShowStatus(Texts::FileRestored(strName));
        return 1;
    }
    return 0;
}

void CMossvaleView::ShowStatus(const QString& strText)
{
    // The frame's status bar; a screen reader hears its message change.
    if (auto* pFrame = qobject_cast<QMainWindow*>(window()))
        pFrame->statusBar()->showMessage(strText);
}

void CMossvaleView::RestoreFailed(const QString& strName, ETransferFailure eFailure,
                                  const std::string& strReplyLine)
{
    m_dlgWait.Close();
    QMessageBox::warning(window(), Texts::AppName(),
                         Texts::RestoreFailedHeading() +
                             WithReason(strName, eFailure, strReplyLine));
}

LRESULT CMossvaleView::OnTransferProgress(WPARAM wParam, LPARAM lParam)
{
    // A restore during a backup, or an upload of an earlier chain, must not drive the bar of
    // the file the dialog names.
    if (m_dlgWait.IsOpen() && ProgressJobOf(wParam) == m_nShownJob)
        m_dlgWait.SetProgressBytes(ProgressBytes(wParam), static_cast<qint64>(lParam));
    return 0;
}
