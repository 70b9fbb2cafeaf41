#pragma once
// The command strip across the top of the main window: BACKUP and RESTORE, and the wait
// dialog they share.
//
// BACKUP sends the files of the backup selection (the folder tree's m_backupList, taken from
// its tail) into the server's root, a few upload jobs at once (each on a connection of its
// own: a distant server's round trips then overlap), then relists the server.
// RESTORE fetches the remote list's first selected entry into a folder the user picks; it runs
// beside a backup or another restore at once. The wait dialog shows the latest job still
// running and the whole backup, and closes when the last job has ended; Cancel in it stops
// them all. Failures and cancelled files are named in one message box at that end; a failed
// restore says so at once. What arrived is said in the status bar. Both need a login first.
#include "ReplaceQuestionDlg.h"
#include "WaitDlg.h"
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
    void SetRemoteView(CRightView* pView) { m_pRemoteView = pView; }
    void OnButtonBackup();
    void OnButtonRestore();
    // An upload's or download's end; reports of jobs this view did not start are ignored.
    void OnTransferDone(const TransferReport& report);
    // Cancel or Esc in the wait dialog: stops every running transfer and the rest of the
    // backup; the files are named once the jobs have ended.
    void OnCancel();
    // Transfers running or files queued.
    bool HasRunningWork() const { return !m_running.isEmpty() || m_bBackupRunning; }
    // Starts the upload of one local file (its path's bytes) into "/", under the bytes of
    // its name; true when the job was started.
    bool StartBackup(QByteArray path);

    // The folder browser of RESTORE; "" means cancelled. Tests replace it.
    std::function<QString()> m_pfnChooseFolder;
    // Asks whether a restore may replace a local file that differs; null shows the question.
    CReplaceQuestionDlg::AskFn m_pfnAskReplace;

    // How many files a backup sends at once: 1 to kMaxParallelUploads.
    static constexpr int kDefaultParallelUploads = 2;
    static constexpr int kMaxParallelUploads = 4;
    void SetParallelUploads(int nCount);

    unsigned m_nShownJob = 0; // the job whose file and progress the wait dialog shows
    CWaitDlg m_dlgWait;
    QPushButton m_btnBackup;
    QPushButton m_btnRestore;
    QTimer m_tmrProgress; // reads the shown job's progress while jobs run

signals:
    // The last running transfer has ended and its messages have been read.
    void workEnded();

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

    // Before a backup starts: every ticked file whose name an earlier ticked one has is taken
    // off the selection and named in the failure message.
    void LeaveOutSameNames();
    // True (and the file named in the failure message when it is another file) when a file of
    // path's name was already sent in this backup; otherwise notes the name as sent.
    bool TakeSameName(const QByteArray& path);
    // An upload's end within the backup: counted, retried once when the file changed while it
    // was read, or named with why it failed.
    void OnUploadDone(const TransferReport& report, const RunningJob& job);
    unsigned StartJob(ETransferDirection eDirection, const QByteArray& localDir,
                      const QByteArray& name, const QString& strName, const QString& strLabel,
                      int nPlace, const QByteArray& localName = {});
    // Starts the next file of the selection, or ends the backup when none is left.
    void ContinueBackupQueue();
    // The server could not be reached or refused the login: the files still queued would
    // each wait for the same answer, so they fail at once with the same reason.
    void FailQueuedBackups(ETransferFailure eFailure);
    void EndBackup();
    void RestoreFailed(const QString& strName, ETransferFailure eFailure = FAILURE_NONE,
                       const QByteArray& replyLine = QByteArray());
    // What went well, in the main window's status bar.
    void ShowStatus(const QString& strText);
    // Shows the latest running job in the wait dialog.
    void ShowLatestJob();
    void OnProgressTimer();
    int RunningUploads() const;
    // A file the backup could not send, at its place in the backup: the message lists them
    // in the order they were taken from the selection, whichever upload ended first.
    void AddFailedBackup(int nPlace, const QString& strText);
    // When nothing runs any more: closes the wait dialog and names what failed or was
    // cancelled.
    void FinishIfIdle();
    void ShowEndMessage(const QStringList& lines);

    QPointer<CRightView> m_pRemoteView;
    QList<RunningJob> m_running;
    bool m_bBackupRunning = false;
    bool m_bCancelling = false;
    // Paths whose upload failed in the current backup, with why, by their place in it.
    QList<QPair<int, QString>> m_failedBackups;
    int m_nParallelUploads = kDefaultParallelUploads;
    QStringList m_cancelled;   // files stopped by the last Cancel
    QStringList m_notSent;     // files of the backup it left unsent
    int m_nBackupStarted = 0;  // files started in the current backup, for "n / total"
    qint64 m_nBackupBytes = 0; // the sizes of the files of the current backup
    qint64 m_nBackupBytesDone = 0;
    QElapsedTimer m_backupClock;
    int m_nBackedUp = 0; // files of the current backup that arrived
    // The names sent in the current backup, each with the path it was sent from.
    QHash<QByteArray, QByteArray> m_sentNames;
    // Files that changed while they were read, for one more try at the end of the backup,
    // and those already given it.
    QList<QByteArray> m_retryBackups;
    QSet<QByteArray> m_retried;
};
