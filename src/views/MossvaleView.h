#pragma once
// The command strip across the top of the main window: BACKUP and RESTORE, and the wait
// dialog they share.
//
// BACKUP sends the files of the backup selection (the folder tree's m_backupList, taken from
// its tail) one upload job after another into the server's root, then relists the server.
// RESTORE fetches the remote list's first selected entry into a folder the user picks.
// Jobs report with WM_TRANSFER_DONE; a backup that lost files and a restore that failed say
// so in a message box once the wait dialog has closed.
#include "WaitDlg.h"
#include "platform/MsgWnd.h"

#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include <functional>

class CWinThread;

class CMossvaleView : public QWidget, public CMsgWnd
{
    Q_OBJECT
public:
    explicit CMossvaleView(QWidget* pParent = nullptr);
    // Does not wait for running jobs: a thread object whose job still runs is deleted once
    // that job has ended.
    ~CMossvaleView() override;

    // Sets g_pCommandView and g_pWaitDlg and builds the button icons. Repeatable: it also
    // forgets the previous backup and restore threads, so the next job of each kind does
    // not wait for them.
    virtual void OnInitialUpdate();
    void OnButtonBackup();
    void OnButtonRestore();
    // WM_TRANSFER_DONE: wParam non-zero when a job ended (TRANSFER_FAILED when it failed),
    // lParam TRANSFER_UPLOAD or TRANSFER_DOWNLOAD. 1 when it acted, else 0.
    LRESULT OnTransferDone(WPARAM wParam, LPARAM lParam);
    // WM_TRANSFER_PROGRESS: bytes done of the current file, and its size (-1 unknown).
    LRESULT OnTransferProgress(WPARAM wParam, LPARAM lParam);
    // Starts the upload of one local file into "/"; true when its thread runs.
    bool StartBackup(QString strPath);
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    QSize sizeHint() const override; // the form's size

    // The folder browser of RESTORE; "" means cancelled. Tests replace it.
    std::function<QString()> m_pfnChooseFolder;

    CWinThread* m_pBackupThread = nullptr;  // owned; the latest upload's thread
    CWinThread* m_pRestoreThread = nullptr; // owned; the latest download's thread
    CWaitDlg m_dlgWait;
    QPushButton m_btnBackup;
    QPushButton m_btnRestore;

private:
    // Starts the next file of the selection, or ends the backup when none is left.
    void ContinueBackupQueue();
    void EndBackup();
    void RestoreFailed(const QString& strName);

    // Started uploads and downloads, oldest first, until their reports arrive: each job
    // reports once, and jobs of a kind run one after the other, so reports come in order.
    QStringList m_uploadsRunning;
    QStringList m_downloadsRunning;
    QStringList m_failedBackups; // paths whose upload failed in the current backup
    int m_nBackupStarted = 0;    // files started in the current backup, for "n / total"
};
