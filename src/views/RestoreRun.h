#pragma once
// One RESTORE of several entries or of folders: the folders are walked on the server first,
// then every local file that differs from the server's copy is settled with the user (replace,
// keep both, skip; the same for all when asked so), then the files are fetched side by side
// into the chosen folder, each into its own folder below it, the tree kept as the server
// holds it. A file arrives whole or not at all and gets the server's time (the download's
// promises). Nothing is fetched from a folder that could not be read whole.
//
// Window thread only. It never blocks: the walk and the downloads are jobs of CJobPool.
#include "ReplaceQuestionDlg.h"
#include "transfer/JobReports.h"
#include "transfer/JobState.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVector>

#include <memory>

class CBackupSession;
class QWidget;

class CRestoreRun : public QObject
{
    Q_OBJECT
public:
    // entries: names in remoteFolder, as the list shows them; localFolder: where they go.
    CRestoreRun(std::shared_ptr<CBackupSession> pSession, QByteArray remoteFolder,
                RemoteItems entries, QByteArray localFolder, int nParallel);
    ~CRestoreRun() override;

    // Where the replace question comes up, and who answers it (null: the dialog).
    void SetAsker(QWidget* pParent, CReplaceQuestionDlg::AskFn pfnAsk);
    void Start();
    // Stops the running downloads (each keeps the local copy it would have replaced) and
    // starts no more; the files left are named as cancelled.
    void Cancel();
    bool IsRunning() const { return m_bRunning; }

    // The file the wait dialog shows: its label, its job's state, its listed size.
    QString CurrentLabel() const { return m_strCurrent; }
    std::shared_ptr<CJobState> CurrentState() const;
    qint64 CurrentSize() const { return m_nCurrentSize; }
    qint64 CurrentElapsedMs() const { return m_currentClock.elapsed(); }

    // After finished: the files fetched, and those that were not, with why.
    int Restored() const { return m_nRestored; }
    const QStringList& Failures() const { return m_failures; }
    const QStringList& Cancelled() const { return m_cancelled; }

signals:
    void fileStarted(const QString& strLabel, int nIndex, int nCount);
    void finished();

private:
    struct Task {
        QByteArray remoteFolder; // the server folder that holds the file
        QByteArray name;         // its name there
        QByteArray localFolder;
        QByteArray localName;
        QByteArray path; // below the chosen folder, as the user reads it
        qint64 nSize = -1;
        qint64 tModified = 0;
        unsigned nJobId = 0;
        std::shared_ptr<CJobState> pState;
    };

    void OnWalkEnded(const ListingReport& report);
    void Settle();
    void StartNext();
    void OnTransferDone(const TransferReport& report);
    void Finish();

    std::shared_ptr<CBackupSession> m_pSession;
    QByteArray m_remoteFolder;
    RemoteItems m_entries;
    QByteArray m_localFolder;
    int m_nParallel;
    QPointer<QWidget> m_pAskParent;
    CReplaceQuestionDlg::AskFn m_pfnAsk;

    RemoteItems m_walked;
    unsigned m_nWalkJob = 0;
    std::shared_ptr<CJobState> m_pWalkState;
    QVector<Task> m_tasks;
    int m_nNext = 0;                // the next task to start
    QHash<unsigned, int> m_running; // job id -> task
    int m_nLatest = -1;             // the task started last
    bool m_bRunning = false;
    bool m_bCancelled = false;
    int m_nRestored = 0;
    QStringList m_failures;
    QStringList m_cancelled;
    QString m_strCurrent;
    qint64 m_nCurrentSize = -1;
    QElapsedTimer m_currentClock;
};
