#include "MossvaleView.h"

#include "EntryJobs.h"
#include "RightView.h"
#include "platform/DialogUnits.h"
#include "platform/Path.h"
#include "transfer/FailureText.h"
#include "transfer/Messages.h"
#include "transfer/MyThread.h"
#include "transfer/TransferGlobals.h"
#include "tree/LeftView.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QScreen>
#include <QMessageBox>
#include <QStyle>

#include <system_error>
#include <thread>

namespace {

// Form 101 ("MS Sans Serif" 8) in template units.
constexpr int kFormWidth = 530;
constexpr int kFormHeight = 52;

const char kBackupFailed[] = "以下文件未能备份：";
const char kRestoreFailed[] = "无法恢复文件：";

// A failure box names this many files in its text; the rest are in its details, so the
// box fits on a screen however many files failed.
constexpr int kMaxNamedFailures = 20;
// What a message box adds around its text: icon, margins, buttons, title bar and border.
constexpr int kBoxChromeWidth = 120;
constexpr int kBoxChromeHeight = 160;

// Lets go of a kept thread object without waiting for its job: it is deleted once the job
// has ended, by a helper thread when it has not ended yet.
void ReleaseWhenEnded(CWinThread* pThread)
{
    if (!pThread)
        return;
    if (pThread->HasEnded()) {
        delete pThread;
        return;
    }
    try {
        std::thread([pThread] {
            pThread->WaitForEnd();
            delete pThread;
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the object is left behind rather than waited for.
    }
}

// Waits for the previous job of a kind to end and deletes its thread object.
void EndPrevious(CWinThread*& pThread)
{
    if (!pThread)
        return;
    pThread->WaitForEnd();
    delete pThread;
    pThread = nullptr;
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

// A failed file as its failure message names it: the name, then why, when that is known.
QString WithReason(const QString& strName, ETransferFailure eFailure)
{
    const QString strReason = QString::fromUtf8(FailureText(eFailure));
    return strReason.isEmpty() ? strName : strName + QString::fromUtf8("（") + strReason +
                                               QString::fromUtf8("）");
}

} // namespace

CMossvaleView::CMossvaleView(QWidget* pParent)
    : QWidget(pParent), m_btnBackup(QStringLiteral("BACKUP"), this),
      m_btnRestore(QStringLiteral("RESTORE"), this)
{
    const CDialogUnits units(QStringLiteral("MS Sans Serif"), 8);
    setFont(units.Font());
    units.Place(&m_btnBackup, 125, 21, 94, 24);
    units.Place(&m_btnRestore, 419, 19, 85, 26);
    for (QPushButton* pButton : {&m_btnBackup, &m_btnRestore}) {
        pButton->setIconSize(QSize(24, 24));
        QFont font = pButton->font();
        font.setBold(true);
        pButton->setFont(font);
    }
    connect(&m_btnBackup, &QPushButton::clicked, this, [this] { OnButtonBackup(); });
    connect(&m_btnRestore, &QPushButton::clicked, this, [this] { OnButtonRestore(); });

    m_pfnChooseFolder = [this] {
        return QFileDialog::getExistingDirectory(window(), QString::fromUtf8("选择路径"),
                                                 QDir::homePath());
    };
}

CMossvaleView::~CMossvaleView()
{
    if (g_pWaitDlg.load() == &m_dlgWait)
        g_pWaitDlg = nullptr;
    if (g_pCommandView.load() == this)
        g_pCommandView = nullptr;
    ReleaseWhenEnded(m_pBackupThread);
    ReleaseWhenEnded(m_pRestoreThread);
}

QSize CMossvaleView::sizeHint() const
{
    return CDialogUnits(QStringLiteral("MS Sans Serif"), 8)
        .ToPixels(QSize(kFormWidth, kFormHeight));
}

void CMossvaleView::OnInitialUpdate()
{
    g_pCommandView = this;
    g_pWaitDlg = &m_dlgWait;
    // A job still running is no longer waited for by the next job of its kind.
    ReleaseWhenEnded(m_pRestoreThread);
    ReleaseWhenEnded(m_pBackupThread);
    m_pRestoreThread = nullptr;
    m_pBackupThread = nullptr;

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
    m_dlgWait.Open(this);
    // A backup already running takes the queue to its end: a second chain would end the
    // backup while the other's upload still runs.
    if (!m_uploadsRunning.isEmpty())
        return;
    m_nBackupStarted = 0;
    ContinueBackupQueue();
}

void CMossvaleView::ContinueBackupQueue()
{
    CBackupList* pList = BackupList();
    while (pList && !pList->IsEmpty()) {
        const QByteArray path = pList->RemoveTail();
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
    if (m_failedBackups.isEmpty())
        return;
    // At most kMaxNamedFailures paths in the text, fewer when the box would not fit on the
    // screen (long paths wrap); the details keep every one.
    const int nScreenHeight = screen()->availableGeometry().height();
    const int nTextWidth = screen()->availableGeometry().width() / 2 - kBoxChromeWidth;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Mossvale"), QString(), QMessageBox::Ok,
                    window());
    box.setDetailedText(m_failedBackups.join(QLatin1Char('\n')));
    for (int nNamed = qMin(kMaxNamedFailures, int(m_failedBackups.size())); nNamed >= 1; --nNamed) {
        QString strText = QString::fromUtf8(kBackupFailed) + QLatin1Char('\n') +
                          m_failedBackups.mid(0, nNamed).join(QLatin1Char('\n'));
        if (m_failedBackups.size() > nNamed)
            strText += QString::asprintf("\n... (%lld)", qlonglong(m_failedBackups.size()));
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
    EndPrevious(m_pBackupThread);
    m_pBackupThread =
        StartEntryJob(UploadThreadProc, pRequest, THREAD_PRIORITY_BELOW_NORMAL, false);
    if (!m_pBackupThread)
        return false;

    m_uploadsRunning.append({nJobId, DisplayName(path)});
    ++m_nBackupStarted;
    const CBackupList* pList = BackupList();
    ShowJob(nJobId, DisplayName(name), m_nBackupStarted,
            m_nBackupStarted + (pList ? pList->GetCount() : 0));
    return true;
}

void CMossvaleView::OnButtonRestore()
{
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
    EndPrevious(m_pRestoreThread);
    m_pRestoreThread =
        StartEntryJob(DownloadThreadProc, pRequest, THREAD_PRIORITY_ABOVE_NORMAL, false);
    if (!m_pRestoreThread)
        return RestoreFailed(strLabel);
    m_downloadsRunning.append({nJobId, strLabel});
    ShowJob(nJobId, strLabel, 0, 0);
}

void CMossvaleView::ShowJob(unsigned nJobId, const QString& strName, int nPlace, int nCount)
{
    m_nShownJob = nJobId;
    m_dlgWait.SetProgressFile(strName, nPlace, nCount);
}

QString CMossvaleView::TakeRunning(QList<RunningJob>& running, unsigned nJobId)
{
    for (int i = 0; i < running.size(); ++i) {
        // A report that names no job is taken as the oldest one's, as jobs of a kind end in turn.
        if (nJobId == 0 || running[i].nJobId == nJobId)
            return running.takeAt(i).strName;
    }
    return QString();
}

LRESULT CMossvaleView::OnTransferDone(WPARAM wParam, LPARAM lParam)
{
    if (wParam == 0)
        return 0;
    const bool bFailed = TransferOutcome(wParam) == TRANSFER_FAILED;
    const ETransferFailure eFailure = TransferFailureOf(wParam);
    if (lParam == TRANSFER_UPLOAD) {
        const QString strPath = TakeRunning(m_uploadsRunning, TransferJobOf(wParam));
        if (bFailed && !strPath.isEmpty())
            m_failedBackups.append(WithReason(strPath, eFailure));
        if (bFailed && (eFailure == FAILURE_NO_CONNECTION || eFailure == FAILURE_LOGIN_REFUSED))
            FailQueuedBackups(eFailure);
        ContinueBackupQueue();
        return 1;
    }
    if (lParam == TRANSFER_DOWNLOAD) {
        const QString strName = TakeRunning(m_downloadsRunning, TransferJobOf(wParam));
        if (bFailed)
            RestoreFailed(strName, eFailure);
        else
            m_dlgWait.Close();
        return 1;
    }
    return 0;
}

void CMossvaleView::RestoreFailed(const QString& strName, ETransferFailure eFailure)
{
    m_dlgWait.Close();
    QMessageBox::warning(window(), QStringLiteral("Mossvale"),
                         QString::fromUtf8(kRestoreFailed) + WithReason(strName, eFailure));
}

LRESULT CMossvaleView::OnTransferProgress(WPARAM wParam, LPARAM lParam)
{
    // A restore during a backup, or an upload of an earlier chain, must not drive the bar of
    // the file the dialog names.
    if (m_dlgWait.IsOpen() && ProgressJobOf(wParam) == m_nShownJob)
        m_dlgWait.SetProgressBytes(ProgressBytes(wParam), static_cast<qint64>(lParam));
    return 0;
}
