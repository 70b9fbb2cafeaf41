#pragma once
// The command strip across the top of the main window: BACKUP and RESTORE, and the wait
// dialog they share.
//
// BACKUP sends the backup plan as the folder tree shows it now: it is a thin view of one
// CBackupRun (folders expanded, same names, parallel uploads, retries are the run's), which
// shows its progress in the wait dialog and names its problems at the end, then relists the
// server. The plan is never used up: BACKUP again sends it again. A plan with nothing in it,
// or another backup of the account running (here or from the command line), is said in a box.
// RESTORE fetches the remote list's selected entries, folders with all they hold, into a
// folder the user picks (the one of the last restore at first); it runs beside a backup or
// another restore at once. The wait dialog shows the latest job still
// running and the whole backup, and closes when the last job has ended; Cancel in it stops
// them all. Failures and cancelled files are named in one message box at that end; a failed
// restore says so at once. What arrived is said in the status bar. Both need a login first.
#include "ReplaceQuestionDlg.h"
#include "RestoreRun.h"
#include "WaitDlg.h"
#include "backup/BackupRun.h"
#include "transfer/JobReports.h"
#include "transfer/JobState.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class CBackupSession;
class CLeftView;
class CRightView;

class CMossvaleView : public QWidget
{
    Q_OBJECT
public:
    explicit CMossvaleView(QWidget* pParent = nullptr);
    // Does not wait for running jobs: they belong to CJobPool, and their reports to a view
    // that has gone are dropped.
    ~CMossvaleView() override;

    // Builds the button icons; repeatable.
    virtual void OnInitialUpdate();
    // The list that RESTORE takes its entry from and that a backup's end relists.
    void SetRemoteView(CRightView* pView);
    // The tree whose plan BACKUP sends.
    void SetLeftView(CLeftView* pView);
    // The logged-in account's session; null logs out.
    void SetSession(std::shared_ptr<CBackupSession> pSession);
    const std::shared_ptr<CBackupSession>& Session() const { return m_pSession; }
    void OnButtonBackup();
    // A backup that also lists every folder of the plan on the server and sends what is
    // missing there or differs.
    void OnCheckServerCopies();
    void OnButtonRestore();
    // A download's end; reports of jobs this view did not start are ignored.
    void OnTransferDone(const TransferReport& report);
    // Cancel or Esc in the wait dialog: stops every running transfer and the rest of the
    // backup; the files are named once the jobs have ended.
    void OnCancel();
    // The same as the program ends: what ends after it is recorded, not shown, and the server
    // is not listed again.
    void CancelForQuit();
    // A restore or a backup running.
    bool HasRunningWork() const
    {
        return !m_running.isEmpty() || (m_pRun && m_pRun->IsRunning()) ||
               (m_pRestore && m_pRestore->IsRunning());
    }
    // A file a backup did not send, with why, as its end message and the history name it.
    static QString ProblemText(const BackupFileReport& report);
    // The backup running or last run in this window; null before the first.
    CBackupRun* Run() const { return m_pRun.get(); }

    // The folder browser of RESTORE, opened at RestoreStartFolder(); "" means cancelled.
    // Tests replace it.
    std::function<QString()> m_pfnChooseFolder;
    QString RestoreStartFolder() const;
    // Asks for the folder of a restore (RESTORE, Versions..., Restore As Of...) and remembers
    // it for the next; "" when the user gave up.
    QString ChooseRestoreFolder();
    // Where the folder browser opens: the folder the last restore went to.
    QString m_strLastRestoreFolder;
    // Asks whether a restore may replace a local file that differs; null shows the question.
    CReplaceQuestionDlg::AskFn m_pfnAskReplace;

    // How many files a backup sends at once: 1 to kMaxParallelUploads.
    static constexpr int kDefaultParallelUploads = CBackupRun::kDefaultParallelUploads;
    static constexpr int kMaxParallelUploads = CBackupRun::kMaxParallelUploads;
    void SetParallelUploads(int nCount);

    unsigned m_nShownJob = 0; // the job whose file and progress the wait dialog shows
    CWaitDlg m_dlgWait;
    QPushButton m_btnBackup;
    QPushButton m_btnRestore;
    QTimer m_tmrProgress; // reads the shown job's progress while jobs run

signals:
    // The last running transfer has ended and its messages have been read.
    void workEnded();
    // A backup has ended (its history is written), before its end message.
    void backupEnded(const BackupSummary& summary);
    // RESTORE was given this folder, for the next one to open at.
    void restoreFolderChosen(const QString& strFolder);

private:
    // A started upload or download until its report arrives, found by its id.
    struct RunningJob {
        unsigned nJobId;
        QString strName;  // as the user reads it: an upload's local path, a download's name
        QString strLabel; // the wait dialog's file line
        QByteArray path;  // an upload's local path, for its one more try
        int nPlace;       // an upload's place in the backup, 0 for a restore
        qint64 nSize;     // an upload's size as the backup counted it, a download's as listed
        std::shared_ptr<CJobState> pState;
        QElapsedTimer clock; // since it started, for its speed
    };

    unsigned StartJob(ETransferDirection eDirection, const QByteArray& localDir,
                      const std::string& strRemoteDir, const QByteArray& name,
                      const QString& strName, const QString& strLabel, int nPlace,
                      const QByteArray& localName = {});
    void StartBackup(bool bCheckServer);
    void OnRestoreFinished();
    void OnBackupFileStarted(const QByteArray& path);
    void OnBackupFinished(const BackupSummary& summary);
    void RestoreFailed(const QString& strName, ETransferFailure eFailure = FAILURE_NONE,
                       const QByteArray& replyLine = QByteArray());
    // What went well, in the main window's status bar.
    void ShowStatus(const QString& strText);
    // Shows the latest running job in the wait dialog.
    void ShowLatestJob();
    void OnProgressTimer();
    // A file the backup could not send, at its place in the backup: the message lists them
    // in the order they were taken from the selection, whichever upload ended first.
    void AddFailedBackup(int nPlace, const QString& strText);
    // When nothing runs any more: closes the wait dialog and names what failed or was
    // cancelled.
    void FinishIfIdle();
    void ShowEndMessage(const QStringList& lines);

    QPointer<CRightView> m_pRemoteView;
    QPointer<CLeftView> m_pLeftView;
    std::shared_ptr<CBackupSession> m_pSession;
    QList<RunningJob> m_running;
    // The files the last backup could not send, with why, by their place in it.
    QList<QPair<int, QString>> m_failedBackups;
    int m_nParallelUploads = kDefaultParallelUploads;
    QStringList m_cancelled; // files stopped by the last Cancel
    QStringList m_notSent;   // files of the backup it left unsent
    std::unique_ptr<CBackupRun> m_pRun;
    std::unique_ptr<CRestoreRun> m_pRestore; // of several entries or folders
    QStringList m_failedRestores;
    QString m_strBackupFile;  // the backup's file the wait dialog shows
    int m_nBackupStarted = 0; // files the backup has started, for "n / total"
    QElapsedTimer m_backupClock;
    bool m_bQuitting = false;
};
