#include "BackupHistory.h"

#include "BackupLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <atomic>

namespace {

const char* const SCHEMA[] = {
    "CREATE TABLE IF NOT EXISTS runs ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " started INTEGER NOT NULL," // UTC milliseconds since the epoch
    " ended INTEGER,"            // NULL until the run ends
    " trigger INTEGER NOT NULL,"
    " pid INTEGER NOT NULL,"
    " sent INTEGER NOT NULL DEFAULT 0, unchanged INTEGER NOT NULL DEFAULT 0,"
    " failed INTEGER NOT NULL DEFAULT 0, skipped INTEGER NOT NULL DEFAULT 0,"
    " missing INTEGER NOT NULL DEFAULT 0, not_sent INTEGER NOT NULL DEFAULT 0,"
    " bytes INTEGER NOT NULL DEFAULT 0, cancelled INTEGER NOT NULL DEFAULT 0,"
    " connect_failure INTEGER NOT NULL DEFAULT 0, connect_reply BLOB,"
    " left_out INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS files ("
    " run INTEGER NOT NULL, place INTEGER NOT NULL, path BLOB NOT NULL, name BLOB,"
    " outcome INTEGER NOT NULL, failure INTEGER NOT NULL DEFAULT 0, reply BLOB,"
    " skip INTEGER NOT NULL DEFAULT 0, same_name_as BLOB, bytes INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS files_of_run ON files (run, place)",
    // What the last backup of each file sent: an unchanged file is not sent again.
    "CREATE TABLE IF NOT EXISTS sent ("
    " path BLOB PRIMARY KEY, size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL,"
    " remote BLOB NOT NULL, remote_size INTEGER NOT NULL,"
    " sent_at INTEGER NOT NULL)", // UTC milliseconds since the epoch
    // When every server copy was last checked, UTC milliseconds since the epoch.
    "CREATE TABLE IF NOT EXISTS checks (at INTEGER NOT NULL)",
};

const char* CounterOf(EFileOutcome eOutcome)
{
    switch (eOutcome) {
    case EFileOutcome::Sent:
        return "sent";
    case EFileOutcome::Unchanged:
        return "unchanged";
    case EFileOutcome::Failed:
        return "failed";
    case EFileOutcome::Skipped:
        return "skipped";
    case EFileOutcome::Missing:
        return "missing";
    case EFileOutcome::NotSent:
        break;
    }
    return "not_sent";
}

QDateTime FromMs(const QVariant& value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(value.toLongLong());
}

} // namespace

QString CBackupHistory::Folder()
{
    QString strState = qEnvironmentVariable("XDG_STATE_HOME");
    if (strState.isEmpty() || QDir::isRelativePath(strState))
        strState = QDir::homePath() + QStringLiteral("/.local/state");
    return strState + QStringLiteral("/Mossvale");
}

QString CBackupHistory::FilePath(const QString& strAccountKey)
{
    return Folder() + QLatin1Char('/') + strAccountKey + QStringLiteral(".sqlite");
}

CBackupHistory::CBackupHistory(const QString& strAccountKey) : m_strAccountKey(strAccountKey)
{
    static std::atomic<int> s_nConnections{0};
    m_strConnection = QStringLiteral("mossvale-history-%1").arg(++s_nConnections);
    if (!QDir().mkpath(Folder()))
        return;
    QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strConnection);
    db.setDatabaseName(FilePath(strAccountKey));
    // A writer of another process (the command line beside the window) waits its turn.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        qWarning("the backup history cannot be opened: %s", qPrintable(db.lastError().text()));
        return;
    }
    QSqlQuery query(db);
    m_bOpen = query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
              query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    for (const char* pszStatement : SCHEMA)
        m_bOpen = m_bOpen && query.exec(QString::fromLatin1(pszStatement));
    // A history from before patterns has no count of what they left out.
    if (m_bOpen && !db.record(QStringLiteral("runs")).contains(QStringLiteral("left_out")))
        m_bOpen = query.exec(
            QStringLiteral("ALTER TABLE runs ADD COLUMN left_out INTEGER NOT NULL DEFAULT 0"));
    // Added later: a database that has it already refuses, which is no failure.
    if (m_bOpen)
        QSqlQuery(db).exec(
            QStringLiteral("ALTER TABLE runs ADD COLUMN gone_here INTEGER NOT NULL DEFAULT 0"));
    if (!m_bOpen)
        qWarning("the backup history cannot be written: %s", qPrintable(query.lastError().text()));
}

CBackupHistory::~CBackupHistory()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_strConnection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_strConnection);
}

qint64 CBackupHistory::BeginRun(EBackupTrigger eTrigger)
{
    if (!m_bOpen)
        return 0;
    QSqlDatabase db = QSqlDatabase::database(m_strConnection);
    db.transaction();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO runs (started, trigger, pid) VALUES (?, ?, ?)"));
    query.addBindValue(QDateTime::currentMSecsSinceEpoch());
    query.addBindValue(static_cast<int>(eTrigger));
    query.addBindValue(QCoreApplication::applicationPid());
    if (!query.exec()) {
        db.rollback();
        return 0;
    }
    const qint64 nRun = query.lastInsertId().toLongLong();
    // Bounded: the oldest runs go with their files.
    query.prepare(QStringLiteral("DELETE FROM files WHERE run <= ?"));
    query.addBindValue(nRun - kMaxRuns);
    query.exec();
    query.prepare(QStringLiteral("DELETE FROM runs WHERE id <= ?"));
    query.addBindValue(nRun - kMaxRuns);
    query.exec();
    db.commit();
    return nRun;
}

void CBackupHistory::AddFile(qint64 nRun, const BackupFileReport& report)
{
    if (!m_bOpen || nRun == 0)
        return;
    QSqlDatabase db = QSqlDatabase::database(m_strConnection);
    if (!m_bBatch)
        db.transaction();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO files (run, place, path, name, outcome, failure,"
                                 " reply, skip, same_name_as, bytes)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant& value :
         {QVariant(nRun), QVariant(report.nPlace), QVariant(report.path), QVariant(report.name),
          QVariant(static_cast<int>(report.eOutcome)), QVariant(static_cast<int>(report.eFailure)),
          QVariant(report.replyLine), QVariant(static_cast<int>(report.eSkip)),
          QVariant(report.sameNameAs), QVariant(report.nBytes)})
        query.addBindValue(value);
    query.exec();
    const QString strCounter = QString::fromLatin1(CounterOf(report.eOutcome));
    query.prepare(QStringLiteral("UPDATE runs SET %1 = %1 + 1, bytes = bytes + ? WHERE id = ?")
                      .arg(strCounter));
    query.addBindValue(report.eOutcome == EFileOutcome::Sent ? report.nBytes : 0);
    query.addBindValue(nRun);
    query.exec();
    if (!m_bBatch)
        db.commit();
}

void CBackupHistory::BeginBatch()
{
    if (m_bOpen && !m_bBatch)
        m_bBatch = QSqlDatabase::database(m_strConnection).transaction();
}

void CBackupHistory::EndBatch()
{
    if (m_bBatch)
        QSqlDatabase::database(m_strConnection).commit();
    m_bBatch = false;
}

void CBackupHistory::EndRun(qint64 nRun, const BackupSummary& summary)
{
    if (!m_bOpen || nRun == 0)
        return;
    QSqlQuery query(QSqlDatabase::database(m_strConnection));
    // The counts as the run summed them: they also hold what was never written file by file.
    query.prepare(QStringLiteral(
        "UPDATE runs SET ended = ?, sent = ?, unchanged = ?, failed = ?, skipped = ?,"
        " missing = ?, not_sent = ?, bytes = ?, cancelled = ?, connect_failure = ?,"
        " connect_reply = ?, left_out = ?, gone_here = ? WHERE id = ?"));
    for (const QVariant& value :
         {QVariant(QDateTime::currentMSecsSinceEpoch()), QVariant(summary.nSent),
          QVariant(summary.nUnchanged), QVariant(summary.nFailed), QVariant(summary.nSkipped),
          QVariant(summary.nMissing), QVariant(summary.nNotSent), QVariant(summary.nBytes),
          QVariant(summary.bCancelled ? 1 : 0), QVariant(static_cast<int>(summary.eConnectFailure)),
          QVariant(summary.connectReplyLine), QVariant(summary.nLeftOut),
          QVariant(summary.nGoneHere), QVariant(nRun)})
        query.addBindValue(value);
    query.exec();
}

QList<BackupRunRecord> CBackupHistory::ReadRuns(const QString& strTail) const
{
    QList<BackupRunRecord> runs;
    if (!m_bOpen)
        return runs;
    QSqlQuery query(QSqlDatabase::database(m_strConnection));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, started, ended, trigger, pid, sent, unchanged,"
                                   " failed, skipped, missing, not_sent, bytes, cancelled,"
                                   " connect_failure, connect_reply, left_out, gone_here"
                                   " FROM runs ") +
                    strTail))
        return runs;
    const qint64 nHolder = CBackupLock::HolderPid(m_strAccountKey);
    qint64 nNewestOpen = -1; // only the newest run without an end can be the one running
    while (query.next()) {
        BackupRunRecord run;
        run.nId = query.value(0).toLongLong();
        run.started = FromMs(query.value(1));
        run.ended = FromMs(query.value(2));
        run.eTrigger = static_cast<EBackupTrigger>(query.value(3).toInt());
        const qint64 nPid = query.value(4).toLongLong();
        run.nSent = query.value(5).toInt();
        run.nUnchanged = query.value(6).toInt();
        run.nFailed = query.value(7).toInt();
        run.nSkipped = query.value(8).toInt();
        run.nMissing = query.value(9).toInt();
        run.nNotSent = query.value(10).toInt();
        run.nBytes = query.value(11).toLongLong();
        run.eConnectFailure = static_cast<ETransferFailure>(query.value(13).toInt());
        run.connectReplyLine = query.value(14).toByteArray();
        run.nLeftOut = query.value(15).toInt();
        run.nGoneHere = query.value(16).toInt();
        if (run.ended.isValid())
            run.eState = query.value(12).toInt() != 0 ? BackupRunRecord::EState::Cancelled
                                                      : BackupRunRecord::EState::Finished;
        else if (nNewestOpen < 0 && nHolder != 0 && nHolder == nPid)
            run.eState = BackupRunRecord::EState::Running;
        else
            run.eState = BackupRunRecord::EState::Interrupted;
        if (!run.ended.isValid())
            nNewestOpen = run.nId;
        runs.append(run);
    }
    return runs;
}

std::optional<BackupRunRecord> CBackupHistory::LastRun() const
{
    const QList<BackupRunRecord> runs = ReadRuns(QStringLiteral("ORDER BY id DESC LIMIT 1"));
    if (runs.isEmpty())
        return std::nullopt;
    return runs.first();
}

QList<BackupRunRecord> CBackupHistory::Runs() const
{
    return ReadRuns(QStringLiteral("ORDER BY id DESC LIMIT %1").arg(kMaxRuns));
}

QList<BackupFileReport> CBackupHistory::Files(qint64 nRun, bool bAll) const
{
    QList<BackupFileReport> files;
    if (!m_bOpen)
        return files;
    QSqlQuery query(QSqlDatabase::database(m_strConnection));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT place, path, name, outcome, failure, reply, skip,"
                                 " same_name_as, bytes FROM files WHERE run = ?%1"
                                 " ORDER BY place, rowid")
                      .arg(bAll ? QString()
                                : QStringLiteral(" AND (outcome NOT IN (0, 1) OR failure <> 0)")));
    query.addBindValue(nRun);
    if (!query.exec())
        return files;
    while (query.next()) {
        BackupFileReport file;
        file.nPlace = query.value(0).toInt();
        file.path = query.value(1).toByteArray();
        file.name = query.value(2).toByteArray();
        file.eOutcome = static_cast<EFileOutcome>(query.value(3).toInt());
        file.eFailure = static_cast<ETransferFailure>(query.value(4).toInt());
        file.replyLine = query.value(5).toByteArray();
        file.eSkip = static_cast<ESkipReason>(query.value(6).toInt());
        file.sameNameAs = query.value(7).toByteArray();
        file.nBytes = query.value(8).toLongLong();
        files.append(file);
    }
    return files;
}

std::optional<BackupFileReport> CBackupHistory::LastRunOutcome(const QByteArray& path,
                                                               QDateTime* pStarted) const
{
    if (!m_bOpen)
        return std::nullopt;
    // The newest run only: its rows are found through their index, whatever the history holds.
    QSqlQuery query(QSqlDatabase::database(m_strConnection));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT f.outcome, f.failure, f.reply, f.skip, f.same_name_as,"
                                 " f.bytes, f.name, r.started FROM runs r JOIN files f"
                                 " ON f.run = r.id WHERE r.id = (SELECT MAX(id) FROM runs)"
                                 " AND f.path = ? ORDER BY f.rowid DESC LIMIT 1"));
    query.addBindValue(path);
    if (!query.exec() || !query.next())
        return std::nullopt;
    BackupFileReport file;
    file.path = path;
    file.eOutcome = static_cast<EFileOutcome>(query.value(0).toInt());
    file.eFailure = static_cast<ETransferFailure>(query.value(1).toInt());
    file.replyLine = query.value(2).toByteArray();
    file.eSkip = static_cast<ESkipReason>(query.value(3).toInt());
    file.sameNameAs = query.value(4).toByteArray();
    file.nBytes = query.value(5).toLongLong();
    file.name = query.value(6).toByteArray();
    if (pStarted)
        *pStarted = FromMs(query.value(7));
    return file;
}

QDateTime CBackupHistory::SentAt(const QByteArray& path) const
{
    if (!m_bOpen)
        return {};
    QSqlQuery query(QSqlDatabase::database(m_strConnection));
    query.prepare(QStringLiteral("SELECT sent_at FROM sent WHERE path = ?"));
    query.addBindValue(path);
    if (!query.exec() || !query.next())
        return {};
    return FromMs(query.value(0));
}

QHash<QByteArray, SentRecord> CBackupHistory::SentRecords() const
{
    QHash<QByteArray, SentRecord> records;
    if (!m_bOpen)
        return records;
    QSqlQuery query(QSqlDatabase::database(m_strConnection));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT path, size, mtime_ns, remote, remote_size FROM sent")))
        return records;
    while (query.next()) {
        SentRecord record;
        record.nSize = query.value(1).toLongLong();
        record.nMtimeNs = query.value(2).toLongLong();
        record.remote = query.value(3).toByteArray();
        record.nRemoteSize = query.value(4).toLongLong();
        records.insert(query.value(0).toByteArray(), record);
    }
    return records;
}

void CBackupHistory::RecordSent(const QByteArray& path, const SentRecord& record)
{
    if (!m_bOpen)
        return;
    QSqlQuery query(QSqlDatabase::database(m_strConnection));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO sent (path, size, mtime_ns, remote,"
                                 " remote_size, sent_at) VALUES (?, ?, ?, ?, ?, ?)"));
    for (const QVariant& value : {QVariant(path), QVariant(record.nSize), QVariant(record.nMtimeNs),
                                  QVariant(record.remote), QVariant(record.nRemoteSize),
                                  QVariant(QDateTime::currentMSecsSinceEpoch())})
        query.addBindValue(value);
    query.exec();
}

QDateTime CBackupHistory::LastCheck() const
{
    QSqlQuery query(QSqlDatabase::database(m_strConnection));
    if (!m_bOpen || !query.exec(QStringLiteral("SELECT MAX(at) FROM checks")) || !query.next())
        return {};
    return FromMs(query.value(0));
}

void CBackupHistory::NoteCheck()
{
    if (!m_bOpen)
        return;
    QSqlQuery query(QSqlDatabase::database(m_strConnection));
    query.exec(QStringLiteral("DELETE FROM checks"));
    query.prepare(QStringLiteral("INSERT INTO checks (at) VALUES (?)"));
    query.addBindValue(QDateTime::currentMSecsSinceEpoch());
    query.exec();
}
