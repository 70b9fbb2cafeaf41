#pragma once
// One logged-in FTP connection, used by one thread at a time: passive mode, binary
// transfers, absolute remote paths. An "sftp://" account gets a CSftpConnection, which keeps
// the same promises over SSH. Built on a libcurl easy handle; a connection that the
// server has dropped in between is opened and logged in again by the next operation.
#include "FtpAddress.h"
#include "FtpFileInfo.h"
#include "TransferFailure.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <time.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CConnectionPool;
class CCurlHandle;
struct ProgressContext;
class CInternetSession;
class CServerRefusals;

class CFtpConnection
{
public:
    using ProgressFn = std::function<void(std::int64_t nDone, std::int64_t nTotal)>;
    using EntriesFn = std::function<void(const std::vector<FtpFileInfo>& entries)>;
    // Cut: some entries arrived, then the listing broke; Failed: none arrived.
    enum class ListResult { Listed, Empty, Cut, Failed };

    // Connects and logs in at once, reusing an idle logged-in connection of the same
    // account when the session has one. Null when the server cannot be reached, refuses
    // the login, does not answer in time, or a text holds CR, LF or NUL; pFailure, when
    // given, then tells which (FAILURE_LOGIN_REFUSED or FAILURE_NO_CONNECTION, or why an
    // encrypted connection was not had: a certificate or an SFTP host key not trusted).
    // Once *pCancel is set, the connect and every later operation stop within milliseconds
    // and fail with FAILURE_CANCELLED; the flag must outlive the connection.
    static CFtpConnection* Connect(CInternetSession* pSession, const std::string& strServer,
                                   int nPort, const std::string& strUser,
                                   const std::string& strPassword,
                                   ETransferFailure* pFailure = nullptr,
                                   const std::atomic<bool>* pCancel = nullptr);
    // Gives the connection back to the session for the next job of the same account.
    virtual ~CFtpConnection();
    CFtpConnection(const CFtpConnection&) = delete;
    CFtpConnection& operator=(const CFtpConnection&) = delete;

    // The folder that relative paths and List() start from ("/" after connecting).
    bool SetCurrentDirectory(const std::string& strFolder);

    // Lists the current folder with MLSD where the server has it, else "LIST -a" or LIST.
    // Entries are handed over in batches in server order as they arrive; our upload
    // temporaries are left out, and those older than an hour are deleted after the listing.
    // A listing that receives nothing for the stall time fails. (libcurl's check measures the
    // rate after onEntries returns, when the kernel has the next bytes waiting, so a receiver
    // that is slow to take a batch is not taken for a silent server.)
    ListResult List(const EntriesFn& onEntries);

    // Sends a local regular file. The server's copy of the target is replaced only once the
    // whole file has arrived: it goes to a temporary name in the same folder, its size is
    // checked, then it is renamed over the target. A refused or broken rename fails that file
    // (the server's words kept, our temporary removed) and keeps the old copy. A server that
    // will not rename at all (it refuses to rename our temporary to a second fresh name too)
    // fails its files with FAILURE_RENAME_REFUSED, unless the user agreed, for that account,
    // to have them stored directly (CDirectStoreAccounts). A file that changes while it is
    // read fails (FAILURE_FILE_CHANGED). The size is read with SIZE, or where the server has
    // none (FEAT does not name it, or it answers 500/502) from MLST or a LIST of the name;
    // any other answer fails the file. Only where none of these tells a size is the file
    // taken as sent, and LastSentUnchecked() says so.
    // A transfer that breaks is tried again after a pause (CInternetSession::Resume): a large
    // file goes on from the size the server reports for the temporary, a small one starts
    // again. Where the server refuses to append, or reports a size that cannot be ours, a large
    // one is sent again from its start and LastRestarted() says so.
    virtual bool PutFile(const std::string& strLocalPath, const std::string& strRemotePath,
                         const ProgressFn& onProgress = nullptr);
    // The next PutFile keeps the copy it replaces: once the new one is checked, the old one is
    // renamed to strPath (whose folder must be there, and which nothing may hold) before the new
    // one takes its name. Where the server refuses that rename the file fails with its words
    // and the old copy stays; a copy moved aside is never deleted. Empty: nothing is kept.
    void KeepReplacedCopyAt(std::string strPath) { m_strKeepNext = std::move(strPath); }
    // The next PutFile's target is not on the server: a listing of its folder has just shown
    // nothing of that name. A file of at most kDirectNewBytes then goes straight to its name,
    // with no temporary and rename, as sync tools do with small files: there is no old copy
    // for a broken transfer to spoil, and what did arrive is removed when the file fails.
    void NextTargetIsNew() { m_bNextIsNew = true; }
    static constexpr std::int64_t kDirectNewBytes = 100 * 1024;
    // Fetches a remote file into a temporary file beside the local path and renames it
    // over the local path once every byte has arrived and is on disk; on failure the local file
    // is as it was. Every byte: as many as the server's size for the file (SIZE, the count in
    // its 150 reply, else MLST or a LIST of the name), or FAILURE_DOWNLOAD_SHORT. A replaced
    // file keeps its mode (and owner and group where permitted), a new one gets the umask's;
    // both get the server's modification time where MDTM tells it. A transfer that breaks is
    // tried again as PutFile's is, a large file going on from the temporary's size on disk.
    virtual bool GetFile(const std::string& strRemotePath, const std::string& strLocalPath,
                         const ProgressFn& onProgress = nullptr);
    virtual bool DeleteFile(const std::string& strRemotePath);
    // Removes an empty remote folder.
    virtual bool RemoveFolder(const std::string& strRemotePath);
    // Makes a remote folder and those above it, one command each; a folder that is already
    // there is no failure. False only for a path that could not be sent.
    virtual bool MakeFolders(const std::string& strRemoteFolder);
    // Gives a remote file a modification time (UTC) with the first of MFMT, vsftpd's
    // two-argument MDTM and SITE UTIME that the server takes; the ones it refuses are not
    // tried again in the session. False when none took it; the file is as it was.
    virtual bool SetModificationTime(const std::string& strRemotePath, std::time_t tModified);
    // The bytes the server says the account may still write in the folder; -1 where it does
    // not tell (FTP has no command for it).
    virtual std::int64_t FreeSpace(const std::string& /*strFolder*/) { return -1; }

    // Why the last operation that failed did so, and the server's reply line when it refused
    // ("550 Permission denied."); empty where the failure was not the server's answer.
    ETransferFailure LastFailure() const { return m_eLastFailure; }
    // Whether the login ran over TLS: an account let go in clear text whose server offers TLS
    // again uses it, and then loses that consent for the rest of the process.
    bool IsEncrypted() const { return m_bEncrypted; }
    const std::string& LastReplyLine() const { return m_strLastReply; }
    // The last file that PutFile or GetFile took as complete was so without a size to check
    // it by: the server offered no way to read one.
    bool LastSentUnchecked() const { return m_bUnchecked; }
    // The last PutFile moved the copy it replaced among the versions (KeepReplacedCopyAt); a
    // direct store, the user's choice for a server that renames nothing, keeps none.
    bool LastKeptVersion() const { return m_bKeptVersion; }
    // The last PutFile or GetFile was resumed after a break, but the server would not go on
    // from where it stopped: the file was moved again from its start. RestartReplyLine(): the
    // server's refusal, empty when it was the size it reported that would not do.
    bool LastRestarted() const { return m_bRestarted; }
    const std::string& RestartReplyLine() const { return m_strRestartReply; }

protected:
    CFtpConnection(std::unique_ptr<CCurlHandle> pHandle, const CFtpAddress& address,
                   std::string strKey, std::shared_ptr<CConnectionPool> pPool, std::string strUser,
                   std::string strPassword, std::shared_ptr<CServerRefusals> pRefusals);

public:
    // What the server answered last, from the reply lines libcurl hands to the header
    // callback, libcurl's own words for a failure, and what libcurl made of the request
    // (a CURLcode).
    struct Reply {
        std::string strLastLine;
        std::vector<std::string>* pLines = nullptr; // every line, when a caller wants them
        char szError[256] = {};                     // CURL_ERROR_SIZE
        int nResult = 0;
        int Code() const; // of strLastLine; 0 when it has none
    };

protected:
    // What differs between FTP and SFTP; FTP's forms here, SFTP's in CSftpConnection.
    virtual void PrepareSecurity();           // the last of every request's set-up
    virtual const char* AliveCommand() const; // a command that only proves the connection
    virtual ETransferFailure SecurityFailureOf(int nResult) const; // FAILURE_NONE: not one
    virtual ETransferFailure FailureOfReply(const Reply& reply, bool bStore) const;
    virtual std::string RefusalText(const Reply& reply) const; // "" when it is no refusal
    virtual bool ListFolder(const EntriesFn& onEntries);       // every entry, "." and ".." too
    virtual std::time_t ModificationTime(const std::string& strPath); // 0 when unknown
    virtual std::string DeleteCommand(const std::string& strPath) const;
    virtual std::string MakeFolderCommand(const std::string& strPath) const;
    // A remote file's size as the server tells it now; false when it tells none.
    virtual bool RemoteSize(const std::string& strPath, std::int64_t& nSize);
    virtual std::vector<std::string> RenameCommands(const std::string& strFrom,
                                                    const std::string& strTo) const;
    virtual std::string RemoveFolderCommand(const std::string& strPath) const;
    // modified: the file's time when it was opened, to notice a rewrite of the same size.
    virtual bool StoreViaTemporary(std::FILE* pFile, std::int64_t nSize, const timespec& modified,
                                   const std::string& strTarget, const ProgressFn& onProgress);
    // Deletes a left-over temporary; a failure is left for a later listing.
    virtual void RemoveQuietly(const std::string& strPath);

    // The local side of transfers, shared by the connections that do not go through libcurl.
    static std::FILE* OpenLocalUpload(const std::string& strPath, std::int64_t& nSize,
                                      timespec& modified, ETransferFailure& eFailure);
    static bool LocalFileChanged(std::FILE* pFile, const timespec& modified);
    static bool IsLocalFolder(const std::string& strPath);
    static ETransferFailure LocalWriteFailureOf(int nErrno);
    static void TakeLocalModeOf(int fd, const std::string& strLocalPath);
    static void SyncLocalFolder(const std::string& strFolder);
    std::string AbsolutePath(const std::string& strPath) const;
    const std::string& CurrentDirectory() const { return m_strCurrentDir; }

    void PrepareRequest(const std::string& strUrl, Reply* pReply);
    // nRefusedWith: the 5xx reply of a listing that failed before it delivered anything.
    // A null command lists by the URL alone.
    bool ListWith(const char* pszCommand, const EntriesFn& onEntries, long& nRefusedWith);
    // nFrom: the bytes the server already has; the rest is appended to them.
    int Store(std::FILE* pFile, std::int64_t nSize, const std::string& strRemotePath,
              bool bSizeCheck, Reply& reply, std::int64_t& nSent, const ProgressFn& onProgress,
              std::int64_t nFrom = 0);
    // Store() to a temporary, failed (the temporary abandoned) when the store fails or the file
    // changed meanwhile. A break is resumed, as PutFile says.
    bool StoreTemporary(std::FILE* pFile, std::int64_t nSize, const timespec& modified,
                        const std::string& strTemp, bool bSizeCheck, Reply& reply,
                        std::int64_t& nSent, const ProgressFn& onProgress);
    ETransferFailure StoreFailure(const Reply& reply) const;
    // Removes strTemp after a failed upload; always false.
    bool Abandon(const std::string& strTemp, ETransferFailure eFailure,
                 const Reply* pReply = nullptr);
    // Runs commands that undo a failed operation: after a break or a cancel on a fresh
    // connection, which a cancel does not stop but a short time limit does.
    void CleanUp(const std::vector<std::string>& commands, ETransferFailure eFailure);
    // Records the failure, and the reply's words when it is the server's refusal; false.
    bool Fail(ETransferFailure eFailure, const Reply* pReply = nullptr);
    // Whether a transfer that failed so, after nTry tries again, is worth another.
    static bool MayTryAgain(ETransferFailure eFailure, int nTry);
    // Whether a broken transfer of nSize bytes goes on from where it stopped; a smaller one
    // starts again from its beginning, which costs it little.
    static bool IsResumable(std::int64_t nSize);
    // The pause before try nTry (from 0) again; false when the user cancelled meanwhile.
    bool WaitBeforeTrying(int nTry);
    // A resume the server would not go on with (pRefusal: its answer, or null when it was the
    // size it reported): the file moves again from its start.
    void NoteRestart(const Reply* pRefusal);
    void ClearRestart();
    bool RunCommands(const std::vector<std::string>& commands, Reply* pReply = nullptr);
    // Moves strTarget to m_strKeepOld (when set) before strTemp takes its name; false with the
    // reply in aside when it did not move.
    bool MoveOldCopyAside(const std::string& strTarget, Reply& aside);
    // The rename to strTarget failed after the old copy went aside: it is put back, strTemp
    // removed; always false.
    // bMoved: it may have gone aside (not when that rename was refused).
    bool PutOldCopyBack(const std::string& strTemp, const std::string& strTarget, bool bMoved,
                        ETransferFailure eFailure, const Reply* pReply);

    std::unique_ptr<CCurlHandle> m_pHandle;
    void* m_pEasy; // m_pHandle's libcurl handle, which every request sets up
    CFtpAddress m_address;
    std::string m_strPinnedKey; // "sha256//..." of a certificate the user trusted; or empty
    // The user agreed to clear text while the server offered no TLS: AUTH TLS is still sent,
    // and TLS used whenever the server takes it.
    bool m_bTlsOptional = false;
    bool m_bEncrypted = false;
    std::string m_strServerKey; // "host:port"
    const std::atomic<bool>* m_pCancel = nullptr;
    ETransferFailure m_eLastFailure = FAILURE_NONE;
    std::string m_strLastReply;
    bool m_bUnchecked = false;
    bool m_bKeptVersion = false;
    std::string m_strKeepOld;  // where the PutFile under way moves the copy it replaces
    std::string m_strKeepNext; // where the next PutFile moves the copy it replaces
    bool m_bNextIsNew = false; // nothing holds the next PutFile's target (NextTargetIsNew)

private:
    bool CheckLogin(bool bPooled);
    // WaitBeforeTrying, on a fresh connection after it.
    bool PauseBeforeResume(int nTry);
    // Where an upload to strTemp goes on: the server's size for it, or 0 (noted as a restart)
    // when it tells none that fits. reply: the size's own answer, where it came from SIZE.
    std::int64_t ResumePoint(const std::string& strTemp, std::int64_t nSize, Reply& reply);
    void RemoveStaleTemporaries(const std::vector<FtpFileInfo>& temporaries);
    void PrepareTls();
    bool StoreDirectly(std::FILE* pFile, std::int64_t nSize, const timespec& modified,
                       const std::string& strTarget, const ProgressFn& onProgress);
    // StoreTemporary() to strPath, then its size checked; a failure removes what arrived. The
    // temporary of a safe upload, or a small file's own name where nothing holds it.
    bool StoreChecked(std::FILE* pFile, std::int64_t nSize, const timespec& modified,
                      const std::string& strPath, const ProgressFn& onProgress);
    // Whether the server kept nSent bytes under strPath: the reply to the SIZE that followed
    // the store when bAsked, else (or when the server has no SIZE) a listing of the name.
    // pWhy: the server's answer behind a failure.
    ETransferFailure CheckSize(bool bAsked, const Reply& reply, std::int64_t nSent,
                               const std::string& strPath, Reply& why);
    enum class SizeFound { Known, NoWay, Failed };
    // A file's size from MLST, else from a LIST of its name; Failed with the reply in why.
    SizeFound SizeFromListing(const std::string& strPath, std::int64_t& nSize, Reply& why);
    bool FeaturesNameSize(); // FEAT names SIZE (asked once per session)
    // Whether the server renames at all, found by renaming strTemp to a second fresh name
    // (strTemp then names it). Asked anew each time: a refusal may pass (a file in use).
    bool RenamesAtAll(std::string& strTemp);
    // The rename was cancelled before its reply: a fresh connection finds out whether the
    // server made it. True when the new copy took the name.
    bool SettleCancelledRename(const std::string& strTemp);
    void RenewHandle();

    std::string m_strKey;
    std::shared_ptr<CConnectionPool> m_pPool;
    std::string m_strUser;
    std::string m_strPassword;
    std::string m_strCurrentDir = "/";
    std::shared_ptr<CServerRefusals> m_pRefusals;
    std::string m_strAccount; // server URL and user: the key of m_pRefusals
    bool m_bRestarted = false;
    std::string m_strRestartReply;
    // When set, every request gives up after this many seconds whatever the server does:
    // the clean-up after a cancel must not hold a job that the user has let go of.
    long m_nTimeLimitSeconds = 0;
    const std::atomic<bool>* CancelFlag() const;    // what requests are stopped by now
    std::unique_ptr<ProgressContext> m_pCancelOnly; // the progress callback of other requests
};
