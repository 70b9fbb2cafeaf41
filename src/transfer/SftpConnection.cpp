#include "SftpConnection.h"

#include "CurlHandle.h"
#include "Temporaries.h"
#include "platform/Path.h"

#include <algorithm>

#include <curl/curl.h>

#include <cstdint>
#include <cstdio>
#include <sstream>

namespace {

// Records what the check found; only the key the user trusted lets the login go on.
int OnHostKey(CURL*, const curl_khkey*, const curl_khkey*, curl_khmatch eMatch, void* pUser)
{
    *static_cast<HostKeyInfo::EMatch*>(pUser) = eMatch == CURLKHMATCH_OK ? HostKeyInfo::Known
                                                : eMatch == CURLKHMATCH_MISMATCH
                                                    ? HostKeyInfo::Changed
                                                    : HostKeyInfo::Unknown;
    return eMatch == CURLKHMATCH_OK ? CURLKHSTAT_FINE : CURLKHSTAT_REJECT;
}

size_t OnDiscard(char*, size_t nSize, size_t nCount, void*)
{
    return nSize * nCount;
}

// A path as libcurl's SFTP commands read one: in double quotes, so that blanks stay part of
// the name, with '"' and '\' escaped.
std::string Quoted(const std::string& strPath)
{
    std::string strQuoted = "\"";
    for (char c : strPath) {
        if (c == '"' || c == '\\')
            strQuoted += '\\';
        strQuoted += c;
    }
    return strQuoted + '"';
}

std::string RenameCommand(const std::string& strFrom, const std::string& strTo)
{
    return "rename " + Quoted(strFrom) + ' ' + Quoted(strTo);
}

} // namespace

CSftpConnection::CSftpConnection(std::unique_ptr<CCurlHandle> pHandle, const CFtpAddress& address,
                                 std::string strKey, std::shared_ptr<CConnectionPool> pPool,
                                 std::string strUser, std::string strPassword,
                                 std::shared_ptr<CServerRefusals> pRefusals,
                                 std::string strKnownHosts)
    : CFtpConnection(std::move(pHandle), address, std::move(strKey), std::move(pPool),
                     std::move(strUser), std::move(strPassword), std::move(pRefusals)),
      m_strKnownHosts(std::move(strKnownHosts))
{
}

void CSftpConnection::PrepareSecurity()
{
    curl_easy_setopt(m_pEasy, CURLOPT_PROTOCOLS_STR, "sftp");
    // The password only: libcurl would otherwise also offer the user's own SSH keys.
    curl_easy_setopt(m_pEasy, CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PASSWORD));
    curl_easy_setopt(m_pEasy, CURLOPT_SSH_KNOWNHOSTS, m_strKnownHosts.c_str());
    curl_easy_setopt(m_pEasy, CURLOPT_SSH_KEYFUNCTION, OnHostKey);
    curl_easy_setopt(m_pEasy, CURLOPT_SSH_KEYDATA, &m_eHostKey);
    // libssh2 keeps as many SFTP requests in flight as the buffer holds: at 50 ms round trip
    // 64 MiB took 8.2 s up with 512 KiB and 3.1 s with 2 MiB, 4.2 s down with 256 KiB and
    // 1.5 s with 2 MiB (OpenSSH's sftp: about 3 s each way).
    curl_easy_setopt(m_pEasy, CURLOPT_UPLOAD_BUFFERSIZE, 2L * 1024L * 1024L);
    curl_easy_setopt(m_pEasy, CURLOPT_BUFFERSIZE, 2L * 1024L * 1024L);
}

const char* CSftpConnection::AliveCommand() const
{
    return "pwd";
}

ETransferFailure CSftpConnection::SecurityFailureOf(int nResult) const
{
    if (nResult != CURLE_PEER_FAILED_VERIFICATION)
        return FAILURE_NONE;
    return m_eHostKey == HostKeyInfo::Changed ? FAILURE_HOST_KEY_CHANGED : FAILURE_HOST_KEY_UNKNOWN;
}

ETransferFailure CSftpConnection::FailureOfReply(const Reply& reply, bool bStore) const
{
    // SFTP answers with status codes, which libcurl turns into its own results.
    switch (reply.nResult) {
    case CURLE_QUOTE_ERROR:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_EXISTS:
    case CURLE_UPLOAD_FAILED:
        return FAILURE_SERVER_REFUSED;
    case CURLE_REMOTE_DISK_FULL:
        return FAILURE_DISK_FULL;
    case CURLE_PEER_FAILED_VERIFICATION:
        return SecurityFailureOf(reply.nResult);
    default:
        return CFtpConnection::FailureOfReply(reply, bStore);
    }
}

std::string CSftpConnection::RefusalText(const Reply& reply) const
{
    // libcurl's words for the server's status ("rm command failed: No such file or
    // directory"): SFTP has no reply line of its own.
    const ETransferFailure eFailure = FailureOfReply(reply, false);
    return eFailure == FAILURE_SERVER_REFUSED || eFailure == FAILURE_DISK_FULL
               ? std::string(reply.szError)
               : std::string();
}

bool CSftpConnection::ListFolder(const EntriesFn& onEntries)
{
    // A folder's URL lists it, with "ls -l" lines that hide no name beginning with a dot.
    long nRefusedWith = 0;
    return ListWith(nullptr, onEntries, nRefusedWith);
}

bool CSftpConnection::Stat(const std::string& strPath, std::int64_t& nSize, std::time_t& tModified,
                           Reply& reply)
{
    PrepareRequest(m_address.UrlOf(strPath), &reply);
    curl_easy_setopt(m_pEasy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(m_pEasy, CURLOPT_FILETIME, 1L);
    reply.nResult = m_pHandle->Perform();
    curl_off_t nLength = -1;
    curl_off_t tTime = -1;
    curl_easy_getinfo(m_pEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &nLength);
    curl_easy_getinfo(m_pEasy, CURLINFO_FILETIME_T, &tTime);
    nSize = static_cast<std::int64_t>(nLength);
    tModified = tTime > 0 ? static_cast<std::time_t>(tTime) : 0;
    return reply.nResult == CURLE_OK;
}

std::time_t CSftpConnection::ModificationTime(const std::string& strPath)
{
    std::int64_t nSize = -1;
    std::time_t tModified = 0;
    Reply reply;
    return Stat(strPath, nSize, tModified, reply) ? tModified : 0;
}

bool CSftpConnection::RemoteSize(const std::string& strPath, std::int64_t& nSize)
{
    std::time_t tModified = 0;
    Reply reply;
    if (!Stat(strPath, nSize, tModified, reply))
        return false;
    nSize = std::max<std::int64_t>(nSize, 0); // libcurl gives an empty file's size as -1
    return true;
}

std::int64_t CSftpConnection::FreeSpace(const std::string& strFolder)
{
    // OpenSSH's statvfs extension; libcurl hands back its fields as one block of header
    // lines ("statvfs:", "f_frsize: 4096", ...).
    std::vector<std::string> blocks;
    Reply reply;
    reply.pLines = &blocks;
    if (!RunCommands({"statvfs " + Quoted(strFolder)}, &reply))
        return -1;
    std::int64_t nAvailable = -1;
    std::int64_t nBlockSize = -1;
    for (const std::string& strBlock : blocks) {
        std::istringstream lines(strBlock);
        for (std::string strLine; std::getline(lines, strLine);) {
            if (strLine.rfind("statvfs.", 0) == 0)
                strLine.erase(0, 8);
            unsigned long long nValue = 0;
            if (std::sscanf(strLine.c_str(), "f_bavail: %llu", &nValue) == 1)
                nAvailable = static_cast<std::int64_t>(nValue);
            else if (std::sscanf(strLine.c_str(), "f_frsize: %llu", &nValue) == 1)
                nBlockSize = static_cast<std::int64_t>(nValue);
        }
    }
    if (nAvailable < 0 || nBlockSize <= 0 || nAvailable > INT64_MAX / nBlockSize)
        return -1;
    return nAvailable * nBlockSize;
}

std::string CSftpConnection::DeleteCommand(const std::string& strPath) const
{
    return "rm " + Quoted(strPath);
}

std::string CSftpConnection::MakeFolderCommand(const std::string& strPath) const
{
    return "mkdir " + Quoted(strPath);
}

std::vector<std::string> CSftpConnection::RenameCommands(const std::string& strFrom,
                                                         const std::string& strTo) const
{
    return {RenameCommand(strFrom, strTo)};
}

std::string CSftpConnection::RemoveFolderCommand(const std::string& strPath) const
{
    return "rmdir " + Quoted(strPath);
}

bool CSftpConnection::IsRemoteFolder(const std::string& strPath)
{
    // Only a folder opens as one: a file's URL with a "/" after it fails at once. (Opening it
    // as a file tells nothing: OpenSSH's server opens folders for reading too.)
    Reply reply;
    PrepareRequest(m_address.UrlOf(strPath + '/'), &reply);
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEFUNCTION, OnDiscard);
    return m_pHandle->Perform() == CURLE_OK;
}

bool CSftpConnection::StoreViaTemporary(std::FILE* pFile, std::int64_t nSize,
                                        const timespec& modified, const std::string& strTarget,
                                        const ProgressFn& onProgress)
{
    const std::string strTemp =
        JoinPath(SplitPath(strTarget).folder, CTemporaries::NewUploadName());
    Reply reply;
    std::int64_t nSent = 0;
    if (!StoreTemporary(pFile, nSize, modified, strTemp, false, reply, nSent, onProgress))
        return false;
    // Each write was acknowledged; the size says that the server kept every byte.
    std::int64_t nKept = -1;
    std::time_t tModified = 0;
    if (!Stat(strTemp, nKept, tModified, reply))
        return Abandon(strTemp, FailureOfReply(reply, false), &reply);
    // libcurl gives an empty file's size as unknown (-1), as it would a server's silence: only
    // an upload of nothing takes that for an answer.
    if (nKept != nSent && !(nKept < 0 && nSent == 0))
        return Abandon(strTemp, FAILURE_SIZE_CHECK);

    Reply rename;
    if (!MoveOldCopyAside(strTarget, rename))
        return PutOldCopyBack(strTemp, strTarget, rename.nResult != CURLE_QUOTE_ERROR,
                              FailureOfReply(rename, false), &rename);
    if (RunCommands({RenameCommand(strTemp, strTarget)}, &rename))
        return true;
    if (!m_strKeepOld.empty()) // the name was free: nothing else can be tried
        return PutOldCopyBack(strTemp, strTarget, true, FailureOfReply(rename, false), &rename);
    if (rename.nResult != CURLE_QUOTE_ERROR)
        return Abandon(strTemp, FailureOfReply(rename, false), &rename);
    return ReplaceAside(strTemp, strTarget, rename);
}

bool CSftpConnection::ReplaceAside(const std::string& strTemp, const std::string& strTarget,
                                   const Reply& refused)
{
    // A folder in the way is never moved: it fails this file, as with FTP.
    if (IsRemoteFolder(strTarget))
        return Abandon(strTemp, FAILURE_SERVER_REFUSED, &refused);
    const std::string strAside =
        JoinPath(SplitPath(strTarget).folder, CTemporaries::NewAsideName());
    Reply step;
    const bool bAside = RunCommands({RenameCommand(strTarget, strAside)}, &step);
    // A refusal moved nothing, and the first refusal says best why the file failed.
    if (!bAside && step.nResult == CURLE_QUOTE_ERROR)
        return Abandon(strTemp, FAILURE_SERVER_REFUSED, &refused);
    // After a break the old copy may have gone aside all the same: it is put back too.
    if (!bAside || !RunCommands({RenameCommand(strTemp, strTarget)}, &step)) {
        const ETransferFailure eFailure = FailureOfReply(step, false);
        CleanUp({'*' + RenameCommand(strAside, strTarget), '*' + DeleteCommand(strTemp)}, eFailure);
        return Fail(eFailure, &step);
    }
    RunCommands({'*' + DeleteCommand(strAside)}); // a copy left here is only the old one
    return true;
}

bool CSftpConnection::SetModificationTime(const std::string& strRemotePath, std::time_t tModified)
{
    std::tm utc{};
    char szTime[40];
    // Digits only: a weekday's or month's name would follow the user's language.
    if (!CFtpAddress::IsSafeText(strRemotePath) || !gmtime_r(&tModified, &utc) ||
        std::strftime(szTime, sizeof szTime, "%Y%m%d %H:%M:%S +0000", &utc) == 0)
        return false;
    return RunCommands({"mtime \"" + std::string(szTime) + "\" " + Quoted(strRemotePath)});
}
