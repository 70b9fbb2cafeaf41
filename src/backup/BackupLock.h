#pragma once
// One backup at a time per account, in the window or on the command line: a lock file in the
// runtime folder ($XDG_RUNTIME_DIR, else a folder of the user's own under the temporary
// folder). A lock left by a process that is gone (killed, crashed) is taken over.
#include <QString>

#include <memory>

class QLockFile;

class CBackupLock
{
public:
    explicit CBackupLock(const QString& strAccountKey);
    ~CBackupLock();

    // False when another live process, or another run of this one, holds it.
    bool TryLock();
    void Unlock();
    bool IsLocked() const;

    static QString FilePath(const QString& strAccountKey);
    // The process that holds the account's lock, or 0 when none that is still alive does.
    static qint64 HolderPid(const QString& strAccountKey);

private:
    std::unique_ptr<QLockFile> m_pLock;
};
