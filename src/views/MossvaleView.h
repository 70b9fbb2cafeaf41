#pragma once
// The command strip across the top of the main window: BACKUP and RESTORE, and the wait
// dialog they share.
//
// BACKUP sends the files of the backup selection (the folder tree's m_backupList, taken from
// its tail) one upload job after another into the server's root, then relists the server.
// RESTORE fetches the remote list's first selected entry into a folder the user picks.
// Jobs report with WM_TRANSFER_DONE; a backup that lost files and a restore that failed say
// so in a message box once the wait dialog has closed, what arrived is said in the status
// bar. Both need a login first.
#include "WaitDlg.h"
#include "platform/MsgWnd.h"
#include "transfer/TransferFailure.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <string>

class CMossvaleView : public QWidget, public CMsgWnd
{
    Q_OBJECT
public:
    explicit CMossvaleView(QWidget* pParent = nullptr);
    // Does not wait for running jobs: their threads belong to CJobThreads.
    ~CMossvaleView() override;

    // Sets g_pCommandView and g_pWaitDlg and builds the button icons. Repeatable: it also
    // forgets the previous backup and restore threads, so the next job of each kind does
    // not wait for them.
    virtual void OnInitialUpdate();
    void OnButtonBackup();
    void OnButtonRestore();
    // WM_TRANSFER_DONE: wParam non-zero when a job ended (its outcome, reason and job id,
    // Messages.h), lParam TRANSFER_UPLOAD or TRANSFER_DOWNLOAD. 1 when it acted, else 0.
    LRESULT OnTransferDone(WPARAM wParam, LPARAM lParam);
    // WM_TRANSFER_PROGRESS: bytes done of the current file and the job's id, and the file's
    // size (-1 unknown). Only the job whose file the wait dialog shows moves its bar.
    LRESULT OnTransferProgress(WPARAM wParam, LPARAM lParam);
    // Starts the upload of one local file (its path's bytes) into "/", under the bytes of
    // its name; true when its thread runs.
    bool StartBackup(QByteArray path);
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

    // The folder browser of RESTORE; "" means cancelled. Tests replace it.
    std::function<QString()> m_pfnChooseFolder;

    // The latest upload's and download's threads in CJobThreads, waited for before the next
    // job of the kind starts; 0 for none.
    unsigned m_nBackupThread = 0;
    unsigned m_nRestoreThread = 0;
    unsigned m_nShownJob = 0; // the job whose file and progress the wait dialog shows
    CWaitDlg m_dlgWait;
    QPushButton m_btnBackup;
    QPushButton m_btnRestore;

private:
    // A started upload or download until its report arrives, found by the id it echoes.
    struct RunningJob {
        unsigned nJobId;
        QString strName; // as the user reads it: an upload's local path, a download's name
        QByteArray path; // its bytes: the local path of an upload, the remote name of a download
    };
    // The running job that a report names, taken off the list; an empty name when none.
    static RunningJob TakeRunning(QList<RunningJob>& running, unsigned nJobId);

    // Before a backup starts: every ticked file whose name an earlier ticked one has is taken
    // off the selection and named in the failure message.
    void LeaveOutSameNames();
    // True (and the file named in the failure message when it is another file) when a file of
    // path's name was already sent in this backup; otherwise notes the name as sent.
    bool TakeSameName(const QByteArray& path);

    // Starts the next file of the selection, or ends the backup when none is left.
    void ContinueBackupQueue();
    // The server could not be reached or refused the login: the files still queued would
    // each wait for the same answer, so they fail at once with the same reason.
    void FailQueuedBackups(ETransferFailure eFailure);
    void EndBackup();
    void RestoreFailed(const QString& strName, ETransferFailure eFailure = FAILURE_NONE,
                       const std::string& strReplyLine = std::string());
    // What went well, in the main window's status bar.
    void ShowStatus(const QString& strText);
    // Notes the job whose file the wait dialog now shows; only its progress moves the bar.
    void ShowJob(unsigned nJobId, const QString& strName, int nPlace, int nCount);

    QList<RunningJob> m_uploadsRunning;
    QList<RunningJob> m_downloadsRunning;
    QStringList m_failedBackups; // paths whose upload failed in the current backup, with why
    int m_nBackupStarted = 0;    // files started in the current backup, for "n / total"
    int m_nBackedUp = 0;         // files of the current backup that arrived
    // The names sent in the current backup, each with the path it was sent from.
    QHash<QByteArray, QByteArray> m_sentNames;
    // Files that changed while they were read, for one more try at the end of the backup,
    // and those already given it.
    QList<QByteArray> m_retryBackups;
    QSet<QByteArray> m_retried;
};
