#pragma once
// The history of an account's backups: one SQLite database per account in the user's state
// folder ($XDG_STATE_HOME/Mossvale, by default ~/.local/state/Mossvale), written as a run goes
// (a WAL journal, so a run killed half-way leaves it whole) and bounded to the last kMaxRuns
// runs. A run with no end whose process is gone reads as interrupted.
//
// Each object has a connection of its own, used on the thread that made it: the run writes
// through one, the window reads through another.
#include "BackupRun.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// One run as the history keeps it.
struct BackupRunRecord {
    enum class EState { Running, Finished, Cancelled, Interrupted };

    qint64 nId = 0;
    QDateTime started; // local time
    QDateTime ended;   // invalid while running or when interrupted
    EBackupTrigger eTrigger = EBackupTrigger::Window;
    EState eState = EState::Running;
    // So far, for a run that is still going or was interrupted.
    int nSent = 0;
    int nUnchanged = 0;
    int nFailed = 0;
    int nSkipped = 0;
    int nMissing = 0;
    int nNotSent = 0;
    int nLeftOut = 0; // left out by the plan's patterns
    qint64 nBytes = 0;
    int nGoneHere = 0; // files sent before from within the plan, gone here, kept on the server
    ETransferFailure eConnectFailure = FAILURE_NONE; // the server's login-level refusal
    QByteArray connectReplyLine;
};

// What the last backup of a local file sent.
struct SentRecord {
    qint64 nSize = 0;
    qint64 nMtimeNs = 0; // the local modification time, ns since the epoch (UTC)
    QByteArray remote;   // the server's path
    qint64 nRemoteSize = 0;
};

class CBackupHistory
{
public:
    static constexpr int kMaxRuns = 200;

    explicit CBackupHistory(const QString& strAccountKey);
    ~CBackupHistory();
    CBackupHistory(const CBackupHistory&) = delete;
    CBackupHistory& operator=(const CBackupHistory&) = delete;

    // False when the database could not be opened or made; every call then does nothing.
    bool IsOpen() const { return m_bOpen; }
    static QString Folder();
    static QString FilePath(const QString& strAccountKey);

    // Writing, as the run goes. BeginRun gives the run's id (0 when it could not be written).
    qint64 BeginRun(EBackupTrigger eTrigger);
    void AddFile(qint64 nRun, const BackupFileReport& report);
    void EndRun(qint64 nRun, const BackupSummary& summary);
    // Between these, AddFile and RecordSent go into one transaction: thousands of unchanged
    // files written one transaction each would hold up the run for a second.
    void BeginBatch();
    void EndBatch();

    // The record of what was sent, by local path; written as each file arrives.
    QHash<QByteArray, SentRecord> SentRecords() const;
    void RecordSent(const QByteArray& path, const SentRecord& record);
    // When a run last checked every server copy (invalid: never), and noting one now.
    QDateTime LastCheck() const;
    void NoteCheck();

    // Reading.
    std::optional<BackupRunRecord> LastRun() const;
    QList<BackupRunRecord> Runs() const; // newest first
    // The files of a run that were not sent (failed, skipped, missing, not sent), and those sent
    // with a note (sent again from their start), in the order the run took them; with bAll
    // every file of it.
    QList<BackupFileReport> Files(qint64 nRun, bool bAll = false) const;
    // What the newest run made of a local file, and when that run began; nothing when the
    // newest run did not take it.
    std::optional<BackupFileReport> LastRunOutcome(const QByteArray& path,
                                                   QDateTime* pStarted = nullptr) const;
    // When the file was last sent (invalid: the record knows of no copy on the server).
    QDateTime SentAt(const QByteArray& path) const;

private:
    QList<BackupRunRecord> ReadRuns(const QString& strWhere) const;

    QString m_strAccountKey;
    QString m_strConnection;
    bool m_bOpen = false;
    bool m_bBatch = false; // in BeginBatch's transaction
};
