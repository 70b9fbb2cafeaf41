#pragma once
// An "sftp://" account's connection: CFtpConnection's promises kept over SSH, through
// libcurl's SFTP (libssh2), for the servers that libssh (CLibsshSftpConnection, which takes
// every other) shares no key exchange with. The password goes out only after the server has shown
// the host key that the user trusted for it in the program's own known-hosts file (CHostKeyProbe
// writes it); an unknown or changed key ends the connection before the login.
//
// Replacing a file: libssh2 1.10 speaks SFTP version 3, whose rename never overwrites (OpenSSH
// and asyncssh refuse it when the new name is taken), and libcurl offers no way to OpenSSH's
// posix-rename extension. Deleting the old copy first could lose it, so when the rename is
// refused because a file holds the name, that file is renamed aside (CTemporaries::
// NewAsideName), the checked temporary takes its name, and only then is the old copy deleted.
// At every moment one of the two names holds the old copy; a failure in between renames it
// back. Someone reading the folder at that moment may miss the file for a few milliseconds.
#include "FtpConnection.h"
#include "HostKeyProbe.h"

class CSftpConnection : public CFtpConnection
{
public:
    // Made by CFtpConnection::Connect for "sftp://" accounts.
    CSftpConnection(std::unique_ptr<CCurlHandle> pHandle, const CFtpAddress& address,
                    std::string strKey, std::shared_ptr<CConnectionPool> pPool, std::string strUser,
                    std::string strPassword, std::shared_ptr<CServerRefusals> pRefusals,
                    std::string strKnownHosts);

private:
    void PrepareSecurity() override;
    const char* AliveCommand() const override;
    ETransferFailure SecurityFailureOf(int nResult) const override;
    ETransferFailure FailureOfReply(const Reply& reply, bool bStore) const override;
    std::string RefusalText(const Reply& reply) const override;
    bool ListFolder(const EntriesFn& onEntries) override;
    std::time_t ModificationTime(const std::string& strPath) override;
    std::string DeleteCommand(const std::string& strPath) const override;
    std::string MakeFolderCommand(const std::string& strPath) const override;
    bool RemoteSize(const std::string& strPath, std::int64_t& nSize) override;
    std::vector<std::string> RenameCommands(const std::string& strFrom,
                                            const std::string& strTo) const override;
    std::string RemoveFolderCommand(const std::string& strPath) const override;
    bool SetModificationTime(const std::string& strRemotePath, std::time_t tModified) override;
    std::int64_t FreeSpace(const std::string& strFolder) override;
    bool StoreViaTemporary(std::FILE* pFile, std::int64_t nSize, const timespec& modified,
                           const std::string& strTarget, const ProgressFn& onProgress) override;

    // Asks for a remote file's size and time without reading it; false when that fails.
    // nSize is -1 for an empty file as for one whose size the server does not tell.
    bool Stat(const std::string& strPath, std::int64_t& nSize, std::time_t& tModified,
              Reply& reply);
    bool IsRemoteFolder(const std::string& strPath);
    // The rename of the checked temporary over strTarget was refused: the old copy goes
    // aside first, if it is a file.
    bool ReplaceAside(const std::string& strTemp, const std::string& strTarget,
                      const Reply& refused);

    std::string m_strKnownHosts;
    HostKeyInfo::EMatch m_eHostKey = HostKeyInfo::Known; // what the last key check found
};
