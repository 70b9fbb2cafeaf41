#include "MossvaleView.h"

#include "EntryJobs.h"
#include "RightView.h"
#include "platform/DialogUnits.h"
#include "transfer/Messages.h"
#include "transfer/MyThread.h"
#include "transfer/TransferGlobals.h"
#include "tree/LeftView.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
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
        const QString strPath = pList->RemoveTail();
        if (StartBackup(strPath))
            return;
        // A file that cannot even be started is lost like one whose upload failed; the
        // backup goes on instead of waiting for a report that will never come.
        m_failedBackups.append(strPath);
    }
    EndBackup();
}

void CMossvaleView::EndBackup()
{
    m_dlgWait.Close();
    PostMessage(g_pRemoteView.load(), WM_REFRESH_REMOTE, 0, 0);
    m_nBackupStarted = 0;
    if (m_failedBackups.isEmpty())
        return;
    const QStringList named = m_failedBackups.mid(0, kMaxNamedFailures);
    QString strText = QString::fromUtf8(kBackupFailed) + QLatin1Char('\n') +
                      named.join(QLatin1Char('\n'));
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Mossvale"), QString(), QMessageBox::Ok,
                    window());
    if (m_failedBackups.size() > named.size())
        strText += QString::asprintf("\n... (%lld)", qlonglong(m_failedBackups.size()));
    box.setDetailedText(m_failedBackups.join(QLatin1Char('\n')));
    m_failedBackups.clear();
    box.setText(strText);
    box.exec();
}

bool CMossvaleView::StartBackup(QString strPath)
{
    // The folder keeps its separator; a path without one is all name.
    const int nSlash = strPath.lastIndexOf(QLatin1Char('/'));
    const QString strName = strPath.mid(nSlash + 1);
    JobRequest* pRequest =
        NewEntryRequest(QFile::encodeName(strPath.left(nSlash + 1)), QFile::encodeName(strName));
    if (!pRequest)
        return false;
    EndPrevious(m_pBackupThread);
    m_pBackupThread =
        StartEntryJob(UploadThreadProc, pRequest, THREAD_PRIORITY_BELOW_NORMAL, false);
    if (!m_pBackupThread)
        return false;

    m_uploadsRunning.append(strPath);
    ++m_nBackupStarted;
    const CBackupList* pList = BackupList();
    m_dlgWait.SetProgressFile(strName, m_nBackupStarted,
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
    EndPrevious(m_pRestoreThread);
    m_pRestoreThread =
        StartEntryJob(DownloadThreadProc, pRequest, THREAD_PRIORITY_ABOVE_NORMAL, false);
    if (!m_pRestoreThread)
        return RestoreFailed(strLabel);
    m_downloadsRunning.append(strLabel);
    m_dlgWait.SetProgressFile(strLabel, 0, 0);
}

LRESULT CMossvaleView::OnTransferDone(WPARAM wParam, LPARAM lParam)
{
    if (wParam == 0)
        return 0;
    const bool bFailed = wParam == TRANSFER_FAILED;
    if (lParam == TRANSFER_UPLOAD) {
        const QString strPath =
            m_uploadsRunning.isEmpty() ? QString() : m_uploadsRunning.takeFirst();
        if (bFailed && !strPath.isEmpty())
            m_failedBackups.append(strPath);
        ContinueBackupQueue();
        return 1;
    }
    if (lParam == TRANSFER_DOWNLOAD) {
        const QString strName =
            m_downloadsRunning.isEmpty() ? QString() : m_downloadsRunning.takeFirst();
        if (bFailed)
            RestoreFailed(strName);
        else
            m_dlgWait.Close();
        return 1;
    }
    return 0;
}

void CMossvaleView::RestoreFailed(const QString& strName)
{
    m_dlgWait.Close();
    QMessageBox::warning(window(), QStringLiteral("Mossvale"),
                         QString::fromUtf8(kRestoreFailed) + strName);
}

LRESULT CMossvaleView::OnTransferProgress(WPARAM wParam, LPARAM lParam)
{
    if (m_dlgWait.IsOpen())
        m_dlgWait.SetProgressBytes(static_cast<qint64>(wParam), static_cast<qint64>(lParam));
    return 0;
}
