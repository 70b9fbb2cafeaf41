#include "BackupLock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>

#include <cerrno>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// QLockFile lets one process take its own lock again; a second run in the same process must
// be refused all the same.
QSet<QString>& HeldHere()
{
    static QSet<QString> held;
    return held;
}

QString RuntimeFolder()
{
    const QString strRuntime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!strRuntime.isEmpty() && QFileInfo(strRuntime).isDir())
        return strRuntime + QStringLiteral("/mossvale");
    // Owned by the user and closed to others, so no one else can hold or remove our locks.
    return QDir::tempPath() + QStringLiteral("/mossvale-%1").arg(::getuid());
}

} // namespace

QString CBackupLock::FilePath(const QString& strAccountKey)
{
    return RuntimeFolder() + QLatin1Char('/') + strAccountKey + QStringLiteral(".lock");
}

CBackupLock::CBackupLock(const QString& strAccountKey)
{
    const QString strPath = FilePath(strAccountKey);
    const QByteArray folder = QFile::encodeName(QFileInfo(strPath).path());
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        qWarning("cannot make the lock folder %s", folder.constData());
    m_pLock = std::make_unique<QLockFile>(strPath);
    // Stale only when its process is gone: a long backup is no reason to take it over.
    m_pLock->setStaleLockTime(0);
}

CBackupLock::~CBackupLock()
{
    Unlock();
}

bool CBackupLock::TryLock()
{
    const QString strPath = m_pLock->fileName();
    if (m_pLock->isLocked())
        return true;
    if (HeldHere().contains(strPath) || !m_pLock->tryLock(0))
        return false;
    HeldHere().insert(strPath);
    return true;
}

void CBackupLock::Unlock()
{
    if (!m_pLock->isLocked())
        return;
    HeldHere().remove(m_pLock->fileName());
    m_pLock->unlock();
}

bool CBackupLock::IsLocked() const
{
    return m_pLock->isLocked();
}

qint64 CBackupLock::HolderPid(const QString& strAccountKey)
{
    QLockFile lock(FilePath(strAccountKey));
    qint64 nPid = 0;
    QString strHost;
    QString strApp;
    if (!lock.getLockInfo(&nPid, &strHost, &strApp) || nPid <= 0)
        return 0;
    if (nPid == ::getpid())
        return HeldHere().contains(lock.fileName()) ? nPid : 0;
    return ::kill(static_cast<pid_t>(nPid), 0) == 0 || errno == EPERM ? nPid : 0;
}
