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
#include "backup/BackupSession.h"
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

} // namespace

QString CMossvaleView::ProblemText(const BackupFileReport& report)
{
    const QString strPath = DisplayName(report.path);
    switch (report.eOutcome) {
    case EFileOutcome::Missing:
        return Texts::NameWithReason(strPath, Texts::MissingReason());
    case EFileOutcome::NotSent:
        return Texts::NameWithReason(strPath, Texts::NotSent());
    case EFileOutcome::Skipped:
        switch (report.eSkip) {
        case ESkipReason::SameName:
            return Texts::NameWithReason(strPath,
                                         Texts::SameNameReason(DisplayName(report.sameNameAs)));
        case ESkipReason::SpecialFile:
            return Texts::NameWithFailure(strPath, FAILURE_NOT_REGULAR_FILE);
        case ESkipReason::Unreadable:
            return Texts::NameWithFailure(strPath, FAILURE_LOCAL_UNREADABLE);
        case ESkipReason::None:
            break;
        }
        return strPath;
    default:
        return Texts::NameWithFailure(strPath, report.eFailure, report.replyLine);
    }
}

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
                                                 RestoreStartFolder());
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

void CMossvaleView::SetRemoteView(CRightView* pView)
{
    m_pRemoteView = pView;
    if (pView)
        pView->m_pfnChooseRestoreFolder = [this] { return ChooseRestoreFolder(); };
}

QString CMossvaleView::ChooseRestoreFolder()
{
    const QString strFolder = m_pfnChooseFolder ? m_pfnChooseFolder() : QString();
    if (!strFolder.isEmpty()) {
        m_strLastRestoreFolder = strFolder;
        emit restoreFolderChosen(strFolder);
    }
    return strFolder;
}

void CMossvaleView::SetLeftView(CLeftView* pView)
{
    m_pLeftView = pView;
}

void CMossvaleView::SetSession(std::shared_ptr<CBackupSession> pSession)
{
    m_pSession = std::move(pSession);
}

void CMossvaleView::OnButtonBackup()
{
    StartBackup(false);
}

void CMossvaleView::OnCheckServerCopies()
{
    StartBackup(true);
}

void CMossvaleView::StartBackup(bool bCheckServer)
{
    if (!CheckLoggedIn(m_pSession.get(), this))
        return;
    // A backup already running goes on; the press only shows its dialog again.
    if (m_pRun && m_pRun->IsRunning()) {
        m_dlgWait.Open(this);
        return;
    }
    // The plan as the tree shows it now; the run works on its own copy.
    const CBackupPlan plan = m_pLeftView ? m_pLeftView->m_treeCtrl.Plan() : CBackupPlan();
    CBackupRun::Options options;
    options.nParallelUploads = m_nParallelUploads;
    options.bCheckServer = bCheckServer;
    auto pRun = std::make_unique<CBackupRun>(plan, m_pSession, options);
    connect(pRun.get(), &CBackupRun::fileStarted, this,
            [this](const QByteArray& path) { OnBackupFileStarted(path); });
    connect(pRun.get(), &CBackupRun::finished, this, &CMossvaleView::OnBackupFinished);
    switch (pRun->Start()) {
    case CBackupRun::EStart::EmptyPlan:
        QMessageBox::information(window(), Texts::AppName(), Texts::NothingToBackUp());
        return;
    case CBackupRun::EStart::AlreadyRunning:
        QMessageBox::information(window(), Texts::AppName(), Texts::BackupAlreadyRunning());
        return;
    case CBackupRun::EStart::Started:
        break;
    }
    m_pRun = std::move(pRun);
    m_nBackupStarted = 0;
    m_strBackupFile.clear();
    m_backupClock.start();
    m_dlgWait.Open(this);
    m_tmrProgress.start();
}

void CMossvaleView::OnBackupFileStarted(const QByteArray& path)
{
    ++m_nBackupStarted;
    m_strBackupFile = DisplayName(SplitPath(path).name);
    // A restore running beside it keeps the dialog until it ends.
    if (m_running.isEmpty()) {
        m_nShownJob = 0;
        m_dlgWait.SetProgressFile(m_strBackupFile, m_nBackupStarted,
                                  m_pRun ? m_pRun->Progress().nFilesTotal : 0);
    }
}

void CMossvaleView::OnBackupFinished(const BackupSummary& summary)
{
    for (const BackupFileReport& report : summary.problems) {
        const bool bStopped =
            report.eOutcome == EFileOutcome::NotSent ||
            (report.eOutcome == EFileOutcome::Failed && report.eFailure == FAILURE_CANCELLED);
        if (bStopped)
            (report.eOutcome == EFileOutcome::NotSent ? m_notSent : m_cancelled)
                << ProblemText(report);
        else
            AddFailedBackup(report.nPlace, ProblemText(report));
    }
    // What the patterns left out is said with what was sent, never dropped unseen.
    QStringList status;
    if (summary.nSent > 0)
        status << Texts::FilesBackedUp(summary.nSent);
    if (summary.nLeftOut > 0)
        status << Texts::LeftOutByPatterns(summary.nLeftOut);
    if (!status.isEmpty())
        ShowStatus(status.join(QStringLiteral(", ")));
    if (m_pRemoteView && !m_bQuitting)
        m_pRemoteView->StartListing();
    emit backupEnded(summary);
    ShowLatestJob();
    FinishIfIdle();
}

void CMossvaleView::OnButtonRestore()
{
    if (!CheckLoggedIn(m_pSession.get(), this))
        return;
    const QString strFolder = ChooseRestoreFolder();
    if (strFolder.isEmpty())
        return;
    const RemoteItems selected = m_pRemoteView ? m_pRemoteView->SelectedItems() : RemoteItems();
    const bool bSeveral =
        selected.size() > 1 || std::any_of(selected.begin(), selected.end(),
                                           [](const RemoteItem& item) { return item.bFolder; });
    const QByteArray remoteFolder = m_pRemoteView ? m_pRemoteView->CurrentFolder() : "/";
    if (bSeveral) {
        if (m_pRestore && m_pRestore->IsRunning()) {
            // One restore of many at a time; this one waits for nothing and says so.
            QMessageBox::information(window(), Texts::AppName(), Texts::RestoreAlreadyRunning());
            return;
        }
        m_pRestore = std::make_unique<CRestoreRun>(
            m_pSession, remoteFolder, selected, QFile::encodeName(strFolder), m_nParallelUploads);
        m_pRestore->SetAsker(window(), m_pfnAskReplace);
        connect(m_pRestore.get(), &CRestoreRun::fileStarted, this,
                [this](const QString& strLabel, int nIndex, int nCount) {
                    if (!m_running.isEmpty())
                        return; // a single restore beside it keeps the dialog
                    m_nShownJob = 0;
                    m_dlgWait.SetProgressFile(strLabel, nIndex, nCount);
                });
        connect(m_pRestore.get(), &CRestoreRun::finished, this, &CMossvaleView::OnRestoreFinished);
        m_dlgWait.Open(this);
        m_tmrProgress.start();
        m_pRestore->Start();
        return;
    }
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
    StartJob(ETransferDirection::Download, folder, remoteFolder.toStdString(), name, strLabel,
             strLabel, 0, localName);
    // Many servers do not say a download's size when it starts; the listing did.
    m_running.last().nSize = nListedSize;
}

unsigned CMossvaleView::StartJob(ETransferDirection eDirection, const QByteArray& localDir,
                                 const std::string& strRemoteDir, const QByteArray& name,
                                 const QString& strName, const QString& strLabel, int nPlace,
                                 const QByteArray& localName)
{
    const auto eKind = eDirection == ETransferDirection::Upload ? CMyThread::EKind::Upload
                                                                : CMyThread::EKind::Download;
    auto pJob = std::make_unique<CMyThread>(eKind, m_pSession->MakeAccount(), localDir,
                                            strRemoteDir, QList<QByteArray>{name});
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

QString CMossvaleView::RestoreStartFolder() const
{
    return !m_strLastRestoreFolder.isEmpty() && QDir(m_strLastRestoreFolder).exists()
               ? m_strLastRestoreFolder
               : QDir::homePath();
}

void CMossvaleView::OnRestoreFinished()
{
    const int nRestored = m_pRestore->Restored();
    m_cancelled << m_pRestore->Cancelled();
    m_failedRestores << m_pRestore->Failures();
    if (nRestored > 0)
        ShowStatus(Texts::FilesRestored(nRestored));
    ShowLatestJob();
    FinishIfIdle();
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

void CMossvaleView::ShowLatestJob()
{
    if (m_running.isEmpty()) {
        // Back to the backup's file once the restores beside it have ended.
        if (m_nShownJob != 0 && m_pRun && m_pRun->IsRunning())
            m_dlgWait.SetProgressFile(m_strBackupFile, m_nBackupStarted,
                                      m_pRun->Progress().nFilesTotal);
        m_nShownJob = 0;
        return;
    }
    const RunningJob& job = m_running.last();
    if (job.nJobId == m_nShownJob)
        return;
    m_nShownJob = job.nJobId;
    m_dlgWait.SetProgressFile(job.strLabel, 0, 0);
}

void CMossvaleView::OnProgressTimer()
{
    for (const RunningJob& job : m_running) {
        if (job.nJobId != m_nShownJob)
            continue;
        const qint64 nDone = job.pState->nDone;
        const qint64 nElapsedMs = job.clock.elapsed();
        const qint64 nTotal = job.pState->nTotal;
        m_dlgWait.SetProgressBytes(nDone, nTotal >= 0 ? nTotal : job.nSize,
                                   nElapsedMs > 0 ? nDone * 1000 / nElapsedMs : 0);
    }
    if (m_running.isEmpty() && m_pRestore && m_pRestore->IsRunning()) {
        if (const std::shared_ptr<CJobState> pState = m_pRestore->CurrentState()) {
            const qint64 nDone = pState->nDone;
            const qint64 nTotal = pState->nTotal;
            const qint64 nElapsedMs = m_pRestore->CurrentElapsedMs();
            m_dlgWait.SetProgressBytes(nDone, nTotal >= 0 ? nTotal : m_pRestore->CurrentSize(),
                                       nElapsedMs > 0 ? nDone * 1000 / nElapsedMs : 0);
        }
    }
    if (!m_pRun || !m_pRun->IsRunning()) {
        m_dlgWait.SetBackupProgress(QString());
        return;
    }
    const BackupProgress progress = m_pRun->Progress();
    if (m_nShownJob == 0)
        m_dlgWait.SetProgressBytes(progress.nCurrentBytes, progress.nCurrentSize,
                                   qint64(progress.dBytesPerSecond));
    const qint64 nDone = progress.nBytesDone;
    const qint64 nTotal = progress.nBytesTotal;
    const qint64 nElapsedMs = m_backupClock.elapsed();
    // Time left from the backup's own average so far: one slow file does not make it jump.
    // Not while folders are still read: the total is not known yet.
    const qint64 nSecondsLeft =
        !progress.bExpanding && nDone > 0 && nElapsedMs >= 1000 && nTotal >= nDone
            ? (nTotal - nDone) * nElapsedMs / nDone / 1000
            : -1;
    m_dlgWait.SetBackupProgress(
        Texts::BackupProgress(m_nBackupStarted, progress.nFilesTotal, nDone, nTotal, nSecondsLeft));
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
        m_cancelled.append(Texts::NameWithFailure(job.strName, FAILURE_CANCELLED));

    ShowLatestJob();
    if (report.eOutcome == EJobOutcome::Failed)
        return RestoreFailed(job.strName, report.eFailure, report.replyLine);
    if (report.eOutcome == EJobOutcome::Succeeded)
        ShowStatus(report.bUnchecked ? Texts::SentUnchecked(job.strName)
                                     : Texts::FileRestored(job.strName));
    FinishIfIdle();
}

void CMossvaleView::OnCancel()
{
    if (!HasRunningWork()) {
        m_dlgWait.Close();
        return;
    }
    if (m_pRun && m_pRun->IsRunning())
        m_pRun->Cancel(); // its files stopped and never sent come with its end
    if (m_pRestore)
        m_pRestore->Cancel();
    for (const RunningJob& job : m_running)
        job.pState->bCancel = true;
}

void CMossvaleView::CancelForQuit()
{
    m_bQuitting = true;
    OnCancel();
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
    if (m_bQuitting)
        return;
    QMessageBox::warning(window(), Texts::AppName(),
                         Texts::RestoreFailedHeading() +
                             Texts::NameWithFailure(strName, eFailure, replyLine));
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
    if (!m_failedRestores.isEmpty())
        lines << Texts::RestoreFailedHeading() << m_failedRestores;
    m_failedRestores.clear();
    m_cancelled.clear();
    m_notSent.clear();
    m_failedBackups.clear();
    // A box now would hold up the end of the program the user asked for.
    if (!lines.isEmpty() && !m_bQuitting)
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
