#pragma once
// An "sftp://" account's connection through libssh. CFtpConnection::Connect makes one for every
// SFTP server: libssh reaches the servers that libssh2 (libcurl's SFTP) cannot agree keys with,
// an OpenSSH with only an RSA host key (rsa-sha2 signatures only) or one hardened to
// encrypt-then-MAC, and its transfers here are the faster at a distance. Only a server that
// libssh shares no key exchange with goes through libcurl's CSftpConnection.
//
// The same promises as CSftpConnection: no password before the host key matches the one the
// user trusted in the program's known-hosts file; uploads to a temporary whose size is
// checked before it takes the target's name (an existing file is renamed aside first where
// the server's rename will not replace it); restores into a local temporary, compared with
// the server's size; a cancel stops every call within a second; a broken transfer tried again
// as CInternetSession::Resume says.
//
// libssh 0.10 waits for each write's reply, and opens a receive window of 1.28 MB: at 50 ms
// round trip both are far slower than libssh2. So while libssh has no request open, transfers
// send SFTP requests of their own on libssh's channel, 2 MiB of writes or 6 MiB of reads in
// flight, and read the replies in large pieces, which widen libssh's window.
#include "FtpConnection.h"

#include <memory>
#include <string>

class CConnectionPool;
class CLibsshSession;
class CServerRefusals;
class CWriteBehindFile;

class CLibsshSftpConnection : public CFtpConnection
{
public:
    // Null, with eFailure, when the server cannot be reached, shares no key exchange with
    // libssh either, shows a host key not trusted, or refuses the login.
    // A logged-in session of the account (strKey) idle in the pool is used again.
    static CFtpConnection* Connect(const CFtpAddress& address, const std::string& strUser,
                                   const std::string& strPassword, const std::string& strKnownHosts,
                                   std::shared_ptr<CServerRefusals> pRefusals,
                                   std::shared_ptr<CConnectionPool> pPool,
                                   const std::string& strKey, ETransferFailure& eFailure,
                                   const std::atomic<bool>* pCancel);
    // The servers ("host:port") that libssh2 could not agree keys with, for the process: their
    // host key is probed through libssh.
    static bool IsNeededFor(const std::string& strServerKey);
    static void NoteNeededFor(const std::string& strServerKey);
    // The servers that libssh could not agree keys with, for the process: libcurl's libssh2
    // reaches them.
    static bool CannotReach(const std::string& strServerKey);
    static void NoteCannotReach(const std::string& strServerKey);

    // Gives a session that still works back to the pool.
    ~CLibsshSftpConnection() override;

    bool PutFile(const std::string& strLocalPath, const std::string& strRemotePath,
                 const ProgressFn& onProgress = nullptr) override;
    bool GetFile(const std::string& strRemotePath, const std::string& strLocalPath,
                 const ProgressFn& onProgress = nullptr) override;
    bool DeleteFile(const std::string& strRemotePath) override;
    bool RemoveFolder(const std::string& strRemotePath) override;
    std::int64_t FreeSpace(const std::string& strFolder) override;
    bool MakeFolders(const std::string& strRemoteFolder) override;
    bool SetModificationTime(const std::string& strRemotePath, std::time_t tModified) override;

private:
    CLibsshSftpConnection(const CFtpAddress& address, const std::string& strUser,
                          const std::string& strPassword, const std::string& strKnownHosts,
                          std::shared_ptr<CServerRefusals> pRefusals);

    bool ListFolder(const EntriesFn& onEntries) override;
    std::time_t ModificationTime(const std::string& strPath) override;
    void RemoveQuietly(const std::string& strPath) override;

    // A logged-in session, or null with the failure; pCancel null and a short time for the
    // clean-up after a cancel or a break.
    std::unique_ptr<CLibsshSession> OpenSession(const std::atomic<bool>* pCancel,
                                                int nConnectSeconds, int nStallSeconds,
                                                ETransferFailure& eFailure) const;
    // The session, opened again if the server dropped it; false with the failure recorded.
    bool Ready();
    // Before try nTry again of a broken transfer: the pause, then a fresh session; false (with
    // why in eFailure and strWords) when Cancel ended the pause or the server cannot be reached.
    bool PauseAndReconnect(int nTry, ETransferFailure& eFailure, std::string& strWords);
    // Records the session's last failure with its words; false.
    bool FailSession();
    bool FailWith(ETransferFailure eFailure, const std::string& strWords = std::string());
    // Sends the file from byte nFrom on to strTemp (emptied first when nFrom is 0), each write
    // acknowledged by the server: FAILURE_NONE, or why not with the server's words. After a
    // break nFrom is where the bytes the server surely has end.
    ETransferFailure Send(std::FILE* pFile, std::int64_t nSize, const std::string& strTemp,
                          std::int64_t& nFrom, const ProgressFn& onProgress, std::string& strWords);
    // Where a broken upload to strTemp goes on: at most nSurely, or 0 (noted as a restart) when
    // the server tells no size that fits.
    std::int64_t ResumePoint(const std::string& strTemp, std::int64_t nSize, std::int64_t nSurely);
    // Reads strSource from byte nFrom on into target: nReceived, the bytes the temporary then
    // holds; nExpected, the server's size for the file (-1: none told).
    ETransferFailure Receive(const std::string& strSource, CWriteBehindFile& target,
                             std::int64_t nFrom, std::int64_t& nExpected, std::int64_t& nReceived,
                             std::time_t& tModified, bool& bWriteFailed, std::string& strWords,
                             const ProgressFn& onProgress);
    // The checked temporary takes strTarget's name; the copy it replaces moves to strKeep first
    // when that is set (a version kept), else it goes once the new copy has the name.
    bool Replace(const std::string& strTemp, const std::string& strTarget,
                 const std::string& strKeep);
    // Moves strTarget's copy to strOld, then strTemp to strTarget; a failure puts the old copy
    // back and removes strTemp. bDropOld: the old copy goes once the new one has the name.
    // strRefusal: the words to give when the first move is refused (empty: its own).
    bool SwapIn(const std::string& strTemp, const std::string& strTarget, const std::string& strOld,
                bool bDropOld, const std::string& strRefusal);
    // Removes strTemp after a failure (on a fresh session after a break or a cancel); false.
    bool Abandon(const std::string& strTemp, ETransferFailure eFailure,
                 const std::string& strWords = std::string());
    // OpenSSH's posix-rename: strTo is replaced in one step. SSH_FX_OK, the server's status
    // code with its words, or -1 when the connection broke first.
    int PosixRename(const std::string& strFrom, const std::string& strTo, std::string& strWords);
    // The rename was cut off before its reply: true when the new copy took the name.
    bool SettleCutRename(const std::string& strTemp);
    bool Stat(const std::string& strPath, std::int64_t& nSize, std::time_t& tModified,
              bool& bFolder);

    std::unique_ptr<CLibsshSession> m_pSession;
    std::string m_strUserName;
    std::string m_strSecret;
    std::string m_strKnownHosts;
    std::shared_ptr<CConnectionPool> m_pSessionPool;
    std::string m_strPoolKey;
};
