#include "FtpConnection.h"

#include "BandwidthLimit.h"
#include "ClearTextAccounts.h"
#include "ConnectionPool.h"
#include "CurlHandle.h"
#include "DirectStoreAccounts.h"
#include "FtpListParser.h"
#include "InternetSession.h"
#include "LibsshSftpConnection.h"
#include "RemoteName.h"
#include "ServerRefusals.h"
#include "SftpConnection.h"
#include "Temporaries.h"
#include "TrustStore.h"
#include "WriteBehindFile.h"
#include "platform/Path.h"

#include <QtGlobal>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <thread>

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

struct ProgressContext {
    const CFtpConnection::ProgressFn* pFn;
    bool bUpload;
    std::int64_t nTotal;
    // Read at every call: libcurl waits for some replies inside its own loop (the reply to a
    // finished upload among them), where only this callback can stop it.
    const std::atomic<bool>* pCancel;
    std::int64_t nBase = 0; // bytes a resumed transfer had before it went on
};

int CFtpConnection::Reply::Code() const
{
    return strLastLine.size() >= 3 && std::isdigit(static_cast<unsigned char>(strLastLine[0]))
               ? std::atoi(strLastLine.substr(0, 3).c_str())
               : 0;
}

namespace {

// How long a pooled connection may have been idle and still be used without a check.
constexpr auto kFreshIdle = std::chrono::seconds(2);
// What the clean-up of a cancelled upload may take on a server that has stopped answering.
constexpr long kCancelCleanupSeconds = 2;

size_t OnReplyLine(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    const size_t nBytes = nSize * nCount;
    std::string strLine(pData, nBytes);
    while (!strLine.empty() && (strLine.back() == '\n' || strLine.back() == '\r'))
        strLine.pop_back();
    auto* pReply = static_cast<CFtpConnection::Reply*>(pUser);
    if (pReply->pLines)
        pReply->pLines->push_back(strLine);
    if (!strLine.empty())
        pReply->strLastLine.swap(strLine);
    return nBytes;
}

// Notes, at each reply of a login, whether the connection it came over is encrypted: a login
// allowed to go on in clear text must tell the two apart.
struct LoginWatch {
    CURL* pEasy;
    bool bEncrypted;
    bool bTlsAgreed; // the last reply was 234 to AUTH TLS: what fails next is the handshake
};

size_t OnLoginReply(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    auto* pWatch = static_cast<LoginWatch*>(pUser);
    pWatch->bTlsAgreed = nSize * nCount >= 4 && std::strncmp(pData, "234 ", 4) == 0;
    const curl_tlssessioninfo* pInfo = nullptr;
    pWatch->bEncrypted =
        curl_easy_getinfo(pWatch->pEasy, CURLINFO_TLS_SSL_PTR, &pInfo) == CURLE_OK && pInfo &&
        pInfo->internals;
    return nSize * nCount;
}

// A size as a server writes it: decimal digits only, nothing before or after.
bool ParseSize(const std::string& strText, std::int64_t& nSize)
{
    if (strText.empty() || strText.size() > 18 ||
        strText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    nSize = std::strtoll(strText.c_str(), nullptr, 10);
    return true;
}

// The size fact of an MLST reply's fact line (" type=file;size=123;modify=...; /path").
bool SizeFact(const std::vector<std::string>& lines, std::int64_t& nSize)
{
    for (const std::string& strLine : lines) {
        if (strLine.empty() || strLine[0] != ' ')
            continue;
        const std::string strFacts = strLine.substr(1, strLine.find(' ', 1) - 1);
        std::size_t nAt = 0;
        while (nAt < strFacts.size()) {
            const std::size_t nEnd = std::min(strFacts.find(';', nAt), strFacts.size());
            const std::string strFact = strFacts.substr(nAt, nEnd - nAt);
            const std::size_t nEq = strFact.find('=');
            std::string strName = strFact.substr(0, nEq);
            for (char& c : strName)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (nEq != std::string::npos && strName == "size")
                return ParseSize(strFact.substr(nEq + 1), nSize);
            nAt = nEnd + 1;
        }
    }
    return false;
}

int OnProgress(void* pUser, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
               curl_off_t ulNow)
{
    auto* pContext = static_cast<ProgressContext*>(pUser);
    if (pContext->pCancel && pContext->pCancel->load()) {
        CCurlHandle::ShutDownRunning();
        return 1;
    }
    if (pContext->pFn && *pContext->pFn) {
        const std::int64_t nDone = pContext->nBase + (pContext->bUpload ? ulNow : dlNow);
        std::int64_t nTotal = pContext->nTotal;
        if (nTotal < 0)
            nTotal = (pContext->bUpload ? ulTotal : dlTotal) > 0
                         ? pContext->nBase + (pContext->bUpload ? ulTotal : dlTotal)
                         : -1;
        (*pContext->pFn)(nDone, nTotal);
    }
    return 0;
}

struct UploadSource {
    FILE* pFile;
    std::int64_t nExpected; // the size the file had when it was opened
    std::int64_t nSent;
    bool bReadError;
    bool bChanged; // it grew or shrank under the reader
    const std::atomic<bool>* pCancel;
};

size_t OnReadFile(char* pBuffer, size_t nSize, size_t nCount, void* pUser)
{
    auto* pSource = static_cast<UploadSource*>(pUser);
    const size_t nWanted = CBandwidthLimit::Chunk(CBandwidthLimit::Upload, nSize * nCount);
    CBandwidthLimit::Take(CBandwidthLimit::Upload, nWanted, pSource->pCancel);
    const size_t nRead = std::fread(pBuffer, 1, nWanted, pSource->pFile);
    if (nRead == 0 && std::ferror(pSource->pFile)) {
        pSource->bReadError = true;
        return CURL_READFUNC_ABORT;
    }
    // A file written to meanwhile would arrive as a mix of two versions, or cut short.
    const std::int64_t nTotal = pSource->nSent + static_cast<std::int64_t>(nRead);
    if (nTotal > pSource->nExpected || (nRead == 0 && nTotal < pSource->nExpected)) {
        pSource->bChanged = true;
        return CURL_READFUNC_ABORT;
    }
    pSource->nSent = nTotal;
    return nRead;
}

// A resumed upload starts reading where the server's copy ends.
int OnSeekFile(void* pUser, curl_off_t nOffset, int nOrigin)
{
    auto* pSource = static_cast<UploadSource*>(pUser);
    if (nOrigin != SEEK_SET || nOffset < 0 || nOffset > pSource->nExpected ||
        fseeko(pSource->pFile, static_cast<off_t>(nOffset), SEEK_SET) != 0)
        return CURL_SEEKFUNC_FAIL;
    pSource->nSent = static_cast<std::int64_t>(nOffset);
    return CURL_SEEKFUNC_OK;
}

// True when the file was rewritten in place since it was opened (same size, new contents).
bool ChangedSince(std::FILE* pFile, const timespec& modified)
{
    struct stat now;
    return fstat(fileno(pFile), &now) != 0 || now.st_mtim.tv_sec != modified.tv_sec ||
           now.st_mtim.tv_nsec != modified.tv_nsec;
}

// MOSSVALE_FTP_TRACE: the conversation as libcurl's verbose output shows it, with the password
// masked, so a trace can be shared.
int OnTrace(CURL*, curl_infotype type, char* pData, size_t nSize, void*)
{
    static const char s_marks[] = {'*', '<', '>'};
    if (type > CURLINFO_HEADER_OUT)
        return 0; // the files' own bytes
    std::string strText(pData, nSize);
    if (type == CURLINFO_HEADER_OUT && strText.compare(0, 5, "PASS ") == 0)
        strText = "PASS ****\r\n";
    std::fprintf(stderr, "%c %s", s_marks[type], strText.c_str());
    if (strText.empty() || strText.back() != '\n')
        std::fputc('\n', stderr);
    return 0;
}

struct DownloadTarget {
    CWriteBehindFile* pFile;
    const std::atomic<bool>* pCancel;
};

size_t OnWriteFile(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    auto* pTarget = static_cast<DownloadTarget*>(pUser);
    // The bytes are here already; waiting before the next ones holds the sender back.
    CBandwidthLimit::Take(CBandwidthLimit::Download, nSize * nCount, pTarget->pCancel);
    // Anything but the whole count fails the transfer (CURLE_WRITE_ERROR).
    return pTarget->pFile->Write(pData, nSize * nCount) ? nSize * nCount : 0;
}

// Sockets of ours must not leak into a program started meanwhile from another thread.
curl_socket_t OnOpenSocket(void*, curlsocktype, curl_sockaddr* pAddress)
{
    return ::socket(pAddress->family, pAddress->socktype | SOCK_CLOEXEC, pAddress->protocol);
}

struct ListContext {
    CFtpListParser* pParser;
    const CFtpConnection::EntriesFn* pOnEntries;
    std::vector<FtpFileInfo> batch;
    std::size_t nBytes = 0;

    void Deliver()
    {
        if (batch.empty())
            return;
        (*pOnEntries)(batch);
        batch.clear();
    }
};

size_t OnListData(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    auto* pContext = static_cast<ListContext*>(pUser);
    const size_t nBytes = nSize * nCount;
    pContext->nBytes += nBytes;
    pContext->pParser->Feed(pData, nBytes, pContext->batch);
    pContext->Deliver();
    return nBytes;
}

// The process's file-creation mask, read without changing it (umask() would, for a moment,
// for every thread).
mode_t CurrentUmask()
{
    FILE* pStatus = std::fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (pStatus) {
        char szLine[256];
        while (std::fgets(szLine, sizeof szLine, pStatus))
            if (std::sscanf(szLine, "Umask: %o", &mask) == 1)
                break;
        std::fclose(pStatus);
    }
    return static_cast<mode_t>(mask);
}

// Why a restore could not write its file: no room, or a folder that takes no file (no
// permission, read-only, gone, or a folder of the file's name in the way).
ETransferFailure LocalWriteFailure(int nErrno)
{
    return nErrno == ENOSPC || nErrno == EDQUOT || nErrno == EFBIG ? FAILURE_DISK_FULL
                                                                   : FAILURE_LOCAL_UNWRITABLE;
}

// libcurl takes a transfer's path from its URL, where it refuses control bytes; a command
// carries them, so a name with one goes to a temporary and takes its name by RNTO.
bool IsUrlPath(const std::string& strPath)
{
    return std::none_of(strPath.begin(), strPath.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

bool IsFolder(const std::string& strPath)
{
    struct stat info;
    return ::stat(strPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Opens a file to upload. Without O_NONBLOCK, opening a FIFO waits for a writer, for ever;
// a device or a pipe could also feed the server for ever, so only regular files are read.
FILE* OpenUpload(const std::string& strPath, std::int64_t& nSize, timespec& modified,
                 ETransferFailure& eFailure)
{
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        eFailure = errno == ENXIO ? FAILURE_NOT_REGULAR_FILE : FAILURE_LOCAL_UNREADABLE;
        return nullptr;
    }
    struct stat info;
    FILE* pFile = nullptr;
    if (fstat(fd, &info) != 0)
        eFailure = FAILURE_LOCAL_UNREADABLE;
    else if (!S_ISREG(info.st_mode))
        eFailure = FAILURE_NOT_REGULAR_FILE;
    else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
             !(pFile = fdopen(fd, "rb")))
        eFailure = FAILURE_LOCAL_UNREADABLE;
    if (!pFile) {
        ::close(fd);
        return nullptr;
    }
    nSize = static_cast<std::int64_t>(info.st_size);
    modified = info.st_mtim;
    return pFile;
}

// An encrypted connection that was asked for and could not be had, or FAILURE_NONE.
ETransferFailure TlsFailureOf(int nResult)
{
    switch (nResult) {
    case CURLE_USE_SSL_FAILED:
        return FAILURE_NO_TLS;
    case CURLE_PEER_FAILED_VERIFICATION:
        return FAILURE_CERTIFICATE_UNTRUSTED;
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return FAILURE_CERTIFICATE_CHANGED;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
        return FAILURE_TLS_HANDSHAKE;
    default:
        return FAILURE_NONE;
    }
}

// libcurl's words (OpenSSL's) when the server refused our TLS version, or we its.
bool IsTlsVersionRefusal(const char* pszError)
{
    const std::string strError(pszError);
    return strError.find("alert protocol version") != std::string::npos ||
           strError.find("unsupported protocol") != std::string::npos;
}

// The servers that refused TLS 1.2 and took 1.3, for the rest of the process.
std::mutex g_tls13Lock;
std::set<std::string> g_tls13Servers;

bool NeedsTls13(const std::string& strServerKey)
{
    const std::lock_guard<std::mutex> hold(g_tls13Lock);
    return g_tls13Servers.count(strServerKey) != 0;
}

void NoteNeedsTls13(const std::string& strServerKey)
{
    const std::lock_guard<std::mutex> hold(g_tls13Lock);
    g_tls13Servers.insert(strServerKey);
}

// What a failed request means for the user; the reply code tells a refusal from a break.
ETransferFailure FailureOf(int nResult, int nReplyCode)
{
    if (const ETransferFailure eTls = TlsFailureOf(nResult))
        return eTls;
    switch (nResult) {
    case CURLE_OK:
        return FAILURE_NONE;
    case CURLE_ABORTED_BY_CALLBACK:
        return FAILURE_CANCELLED;
    case CURLE_LOGIN_DENIED:
        return FAILURE_LOGIN_REFUSED;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return FAILURE_NO_CONNECTION;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return FAILURE_CONNECTION_BROKEN;
    default:
        break;
    }
    if (nReplyCode == 452 || nReplyCode == 552)
        return FAILURE_DISK_FULL;
    // 421 and 426: the server closed the connection or the transfer, a break, not a refusal.
    if (nReplyCode >= 400 && nReplyCode != 421 && nReplyCode != 426)
        return FAILURE_SERVER_REFUSED;
    return FAILURE_CONNECTION_BROKEN;
}

// What a failed store means. The reply comes first: a server out of room ends the transfer with
// 451, 452 or 552, which libcurl reports as a cut-off transfer.
ETransferFailure StoreFailureOf(int nResult, int nReplyCode)
{
    if (nReplyCode == 451 || nReplyCode == 452 || nReplyCode == 552)
        return FAILURE_DISK_FULL;
    return FailureOf(nResult, nReplyCode);
}

// The new file takes the old one's mode, and its owner and group where this process may
// give them; a file that is new gets the usual mode (mkstemp made it private meanwhile).
void TakeModeOf(int fd, const std::string& strLocalPath)
{
    struct stat old;
    if (::stat(strLocalPath.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        fchmod(fd, 0666 & ~CurrentUmask());
        return;
    }
    if (fchown(fd, old.st_uid, old.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Not permitted: the file stays ours.
    }
    fchmod(fd, old.st_mode & 07777); // after fchown, which may clear the set-id bits
}

// Makes a rename in the folder survive a crash.
void SyncFolder(const std::string& strFolder)
{
    const int fd = ::open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        ::close(fd);
    }
}

} // namespace

CFtpConnection::CFtpConnection(std::unique_ptr<CCurlHandle> pHandle, const CFtpAddress& address,
                               std::string strKey, std::shared_ptr<CConnectionPool> pPool,
                               std::string strUser, std::string strPassword,
                               std::shared_ptr<CServerRefusals> pRefusals)
    : m_pHandle(std::move(pHandle)), m_pEasy(m_pHandle ? m_pHandle->Easy() : nullptr),
      m_address(address), m_strKey(std::move(strKey)), m_pPool(std::move(pPool)),
      m_strUser(std::move(strUser)), m_strPassword(std::move(strPassword)),
      m_pRefusals(std::move(pRefusals)), m_strAccount(address.BaseUrl() + '\n' + m_strUser),
      m_pCancelOnly(std::make_unique<ProgressContext>(ProgressContext{nullptr, false, -1, nullptr}))
{
}

const std::atomic<bool>* CFtpConnection::CancelFlag() const
{
    // The clean-up after a cancel, which runs under a time limit, is not cancelled itself.
    return m_nTimeLimitSeconds > 0 ? nullptr : m_pCancel;
}

CFtpConnection* CFtpConnection::Connect(CInternetSession* pSession, const std::string& strServer,
                                        int nPort, const std::string& strUser,
                                        const std::string& strPassword, ETransferFailure* pFailure,
                                        const std::atomic<bool>* pCancel)
{
    ETransferFailure eIgnored;
    ETransferFailure& eFailure = pFailure ? *pFailure : eIgnored;
    eFailure = FAILURE_NO_CONNECTION;
    CFtpAddress address;
    if (!pSession || !address.Parse(strServer, nPort))
        return nullptr;
    // A user name or password that could smuggle in a command is never sent: no login.
    if (!CFtpAddress::IsSafeText(strUser) || !CFtpAddress::IsSafeText(strPassword)) {
        eFailure = FAILURE_LOGIN_REFUSED;
        return nullptr;
    }

    const std::string strServerKey = CTrustStore::ServerKey(address.Host(), address.Port());
    const bool bTlsOptional =
        address.TlsByDefault() && CClearTextAccounts::IsAllowed(strServerKey, strUser);

    // The key holds the password, so a pooled connection is never handed to a login that
    // has not been proven with the same credentials.
    // ... nor one of another kind of security: a plain connection to an "ftpes://" account.
    std::string strKey = address.BaseUrl();
    strKey += '\n' + std::to_string(static_cast<int>(address.Tls())) + (bTlsOptional ? "?" : "");
    strKey += '\n' + strUser + '\n' + strPassword;
    // SFTP goes through libssh, whose transfers keep requests in flight all the way (libcurl's
    // libssh2 lets its 2 MiB of writes drain before it reads the next part of a file); libssh2
    // only where libssh shares no key exchange, host key type or cipher with the server.
    const bool bSftp = address.Protocol() == CFtpAddress::EProtocol::Sftp;
    if (bSftp && !CLibsshSftpConnection::CannotReach(strServerKey)) {
        CFtpConnection* pLibssh = CLibsshSftpConnection::Connect(
            address, strUser, strPassword, pSession->KnownHostsPath(), pSession->Refusals(),
            pSession->Pool(), strKey, eFailure, pCancel);
        if (pLibssh || eFailure != FAILURE_KEY_EXCHANGE)
            return pLibssh;
        CLibsshSftpConnection::NoteCannotReach(strServerKey);
    }
    const std::shared_ptr<CConnectionPool>& pPool = pSession->Pool();
    std::chrono::steady_clock::duration idleFor{};
    std::unique_ptr<CCurlHandle> pHandle = pPool->Take(strKey, &idleFor);
    const bool bPooled = pHandle != nullptr;
    if (!pHandle)
        pHandle = std::make_unique<CCurlHandle>();
    if (!pHandle->IsValid())
        return nullptr;
    pHandle->SetCancelFlag(pCancel);

    // The scheme is part of the key (BaseUrl), so SFTP and FTP connections never mix.
    CFtpConnection* pConnection =
        bSftp ? new CSftpConnection(std::move(pHandle), address, strKey, pPool, strUser,
                                    strPassword, pSession->Refusals(), pSession->KnownHostsPath())
              : new CFtpConnection(std::move(pHandle), address, strKey, pPool, strUser, strPassword,
                                   pSession->Refusals());
    if (address.Tls() != CFtpAddress::ETls::None)
        pConnection->m_strPinnedKey = pSession->TrustStore()->PinOf(strServerKey);
    pConnection->m_pCancel = pCancel;
    pConnection->m_bTlsOptional = bTlsOptional;
    pConnection->m_strServerKey = strServerKey;
    // A connection given back a moment ago is taken as it is: a backup connects once per
    // file, and if the server has dropped it meanwhile, libcurl notices at the next request
    // and logs in again by itself.
    eFailure = FAILURE_NONE;
    if (bPooled && idleFor < kFreshIdle)
        return pConnection;
    if (!pConnection->CheckLogin(bPooled)) {
        eFailure = pConnection->m_eLastFailure;
        pConnection->m_pPool.reset(); // a failed login is not worth keeping
        delete pConnection;
        return nullptr;
    }
    return pConnection;
}

CFtpConnection::~CFtpConnection()
{
    // A cancelled connection was shut down in the middle of something: not worth keeping.
    const bool bCancelled = m_pCancel && m_pCancel->load();
    if (!m_pHandle) // a connection of libssh's: nothing of libcurl's to give back
        return;
    m_pHandle->SetCancelFlag(nullptr); // the flag's owner may go before the pooled handle
    if (m_pPool && !bCancelled)
        m_pPool->Give(m_strKey, std::move(m_pHandle));
}

void CFtpConnection::PrepareRequest(const std::string& strUrl, Reply* pReply)
{
    const CInternetSession::Timeouts timeouts = CInternetSession::GetTimeouts();
    curl_easy_reset(m_pEasy); // options go; the live connection stays for reuse
    curl_easy_setopt(m_pEasy, CURLOPT_URL, strUrl.c_str());
    curl_easy_setopt(m_pEasy, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(m_pEasy, CURLOPT_USERNAME, m_strUser.c_str());
    curl_easy_setopt(m_pEasy, CURLOPT_PASSWORD, m_strPassword.c_str());
    curl_easy_setopt(m_pEasy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_pEasy, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
    curl_easy_setopt(m_pEasy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(m_pEasy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeouts.nConnectSeconds));
    curl_easy_setopt(m_pEasy, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     static_cast<long>(timeouts.nStallSeconds));
    // A data connection that stops moving is only noticed by the low-speed check.
    curl_easy_setopt(m_pEasy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_pEasy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts.nStallSeconds));
    curl_easy_setopt(m_pEasy, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(m_pEasy, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024L);
    if (m_nTimeLimitSeconds > 0) {
        curl_easy_setopt(m_pEasy, CURLOPT_CONNECTTIMEOUT, m_nTimeLimitSeconds);
        curl_easy_setopt(m_pEasy, CURLOPT_TIMEOUT, m_nTimeLimitSeconds);
    }
    // Transfers set a context of their own that also reports progress.
    m_pCancelOnly->pCancel = CancelFlag();
    curl_easy_setopt(m_pEasy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_pEasy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(m_pEasy, CURLOPT_XFERINFODATA, m_pCancelOnly.get());
    // MOSSVALE_FTP_TRACE=1 shows the FTP conversation on stderr, for finding server quirks.
    static const bool s_bTrace = qEnvironmentVariableIsSet("MOSSVALE_FTP_TRACE");
    if (s_bTrace) {
        curl_easy_setopt(m_pEasy, CURLOPT_DEBUGFUNCTION, OnTrace);
        curl_easy_setopt(m_pEasy, CURLOPT_VERBOSE, 1L);
    }
    if (pReply) {
        curl_easy_setopt(m_pEasy, CURLOPT_HEADERFUNCTION, OnReplyLine);
        curl_easy_setopt(m_pEasy, CURLOPT_HEADERDATA, pReply);
        static_assert(sizeof pReply->szError >= CURL_ERROR_SIZE, "libcurl's error text");
        curl_easy_setopt(m_pEasy, CURLOPT_ERRORBUFFER, pReply->szError);
    }
    PrepareSecurity();
}

void CFtpConnection::PrepareSecurity()
{
    if (m_address.Tls() != CFtpAddress::ETls::None)
        PrepareTls();
}

const char* CFtpConnection::AliveCommand() const
{
    return "NOOP";
}

ETransferFailure CFtpConnection::SecurityFailureOf(int nResult) const
{
    return TlsFailureOf(nResult);
}

ETransferFailure CFtpConnection::FailureOfReply(const Reply& reply, bool bStore) const
{
    return bStore ? StoreFailureOf(reply.nResult, reply.Code())
                  : FailureOf(reply.nResult, reply.Code());
}

std::string CFtpConnection::RefusalText(const Reply& reply) const
{
    return reply.Code() >= 400 ? reply.strLastLine : std::string();
}

std::string CFtpConnection::DeleteCommand(const std::string& strPath) const
{
    return "DELE " + strPath;
}

std::string CFtpConnection::MakeFolderCommand(const std::string& strPath) const
{
    return "MKD " + strPath;
}

std::vector<std::string> CFtpConnection::RenameCommands(const std::string& strFrom,
                                                        const std::string& strTo) const
{
    return {"RNFR " + strFrom, "RNTO " + strTo};
}

std::string CFtpConnection::RemoveFolderCommand(const std::string& strPath) const
{
    return "RMD " + strPath;
}

void CFtpConnection::PrepareTls()
{
    // The login and every transfer protected (AUTH TLS, PROT P), or nothing is sent.
    curl_easy_setopt(m_pEasy, CURLOPT_PROTOCOLS_STR, "ftp,ftps");
    // Only with the user's word for a server that offered no TLS does a refused AUTH let the
    // login go on in clear; AUTH TLS is sent first either way (libcurl's default, AUTH SSL,
    // is refused by some servers, Pure-FTPd among them).
    curl_easy_setopt(m_pEasy, CURLOPT_USE_SSL,
                     static_cast<long>(m_bTlsOptional ? CURLUSESSL_TRY : CURLUSESSL_ALL));
    curl_easy_setopt(m_pEasy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
    // TLS 1.2 at most: over TLS 1.3 Debian's vsftpd, which insists on TLS session reuse for
    // the data connections, cuts uploads short and then refuses the next one (522). Only a
    // server that refused 1.2 gets 1.3.
    const long nMaxVersion =
        NeedsTls13(m_strServerKey) ? CURL_SSLVERSION_MAX_TLSv1_3 : CURL_SSLVERSION_MAX_TLSv1_2;
    curl_easy_setopt(m_pEasy, CURLOPT_SSLVERSION,
                     static_cast<long>(CURL_SSLVERSION_TLSv1_2) | nMaxVersion);
    if (m_strPinnedKey.empty())
        return; // the system's authorities must vouch for the certificate and its name
    // A certificate the user trusted stands for itself: its public key must be the one
    // pinned, whoever signed it and whatever name it carries.
    curl_easy_setopt(m_pEasy, CURLOPT_PINNEDPUBLICKEY, m_strPinnedKey.c_str());
    curl_easy_setopt(m_pEasy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(m_pEasy, CURLOPT_SSL_VERIFYHOST, 0L);
}

bool CFtpConnection::CheckLogin(bool bPooled)
{
    // NOBODY on the root logs in (USER, PASS, PWD) and transfers nothing. A pooled
    // connection is asked for a NOOP (SFTP: pwd) instead: it proves the connection works, and
    // libcurl, given nothing to send on a reused connection, would time out waiting for a
    // reply it never asked for. One that has gone stale is dropped by libcurl, and the
    // second try logs in anew.
    int nTries = bPooled ? 2 : 1;
    for (int i = 0; i < nTries; ++i) {
        curl_slist* pNoop = bPooled ? curl_slist_append(nullptr, AliveCommand()) : nullptr;
        PrepareRequest(m_address.BaseUrl() + "/", nullptr);
        curl_easy_setopt(m_pEasy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(m_pEasy, CURLOPT_QUOTE, pNoop);
        // Servers answer a wrong password only after a pause (pyftpdlib 3 s, vsftpd 1 s): the
        // login's replies get the login's time, or a refusal would read as a silent server.
        const long nLoginSeconds = CInternetSession::GetTimeouts().nConnectSeconds;
        curl_easy_setopt(m_pEasy, CURLOPT_TIMEOUT, nLoginSeconds);
        curl_easy_setopt(m_pEasy, CURLOPT_SERVER_RESPONSE_TIMEOUT, nLoginSeconds);
        LoginWatch watch{m_pEasy, false, false};
        curl_easy_setopt(m_pEasy, CURLOPT_HEADERFUNCTION, OnLoginReply);
        curl_easy_setopt(m_pEasy, CURLOPT_HEADERDATA, &watch);
        char szError[CURL_ERROR_SIZE] = {};
        curl_easy_setopt(m_pEasy, CURLOPT_ERRORBUFFER, szError);
        const CURLcode result = static_cast<CURLcode>(m_pHandle->Perform());
        curl_slist_free_all(pNoop);
        if (result == CURLE_OK) {
            m_bEncrypted = watch.bEncrypted;
            // The server offers TLS (again): the consent to clear text, given while it offered
            // none, no longer holds; should TLS go missing later, the user is asked anew.
            if (m_bTlsOptional && m_bEncrypted)
                CClearTextAccounts::Forget(m_strServerKey, m_strUser);
            return true;
        }
        // A server that will not speak TLS 1.2 gets one more try, with 1.3.
        if (result == CURLE_SSL_CONNECT_ERROR && IsTlsVersionRefusal(szError) &&
            m_address.Protocol() == CFtpAddress::EProtocol::Ftp && !NeedsTls13(m_strServerKey)) {
            NoteNeedsTls13(m_strServerKey);
            ++nTries;
            continue;
        }
        ETransferFailure eTls = SecurityFailureOf(result);
        // The server took AUTH TLS, then the handshake broke, whatever libcurl made of it.
        if (watch.bTlsAgreed && eTls == FAILURE_NONE && result != CURLE_ABORTED_BY_CALLBACK)
            eTls = FAILURE_TLS_HANDSHAKE;
        if (eTls == FAILURE_TLS_HANDSHAKE && IsTlsVersionRefusal(szError))
            eTls = FAILURE_TLS_VERSION;
        // libssh2's words when the SSH server and it share no key exchange, host key or MAC.
        if (result == CURLE_FAILED_INIT && std::strstr(szError, "exchange encryption keys"))
            eTls = FAILURE_KEY_EXCHANGE;
        if (result == CURLE_LOGIN_DENIED || result == CURLE_ABORTED_BY_CALLBACK ||
            eTls != FAILURE_NONE) {
            m_eLastFailure = eTls != FAILURE_NONE ? eTls : FailureOf(result, 0);
            return false;
        }
    }
    m_eLastFailure = FAILURE_NO_CONNECTION;
    return false;
}

std::string CFtpConnection::AbsolutePath(const std::string& strPath) const
{
    if (!strPath.empty() && strPath[0] == '/')
        return strPath;
    return JoinPath(m_strCurrentDir, strPath);
}

bool CFtpConnection::SetCurrentDirectory(const std::string& strFolder)
{
    // Every request carries its absolute path, so there is no server-side folder to change.
    if (strFolder.empty() || !CFtpAddress::IsSafeText(strFolder))
        return false;
    m_strCurrentDir = AbsolutePath(strFolder);
    return true;
}

CFtpConnection::ListResult CFtpConnection::List(const EntriesFn& onEntriesAsked)
{
    // Our upload temporaries are no backups: they are neither shown nor counted, and those
    // that a crash or a lost connection left behind go once the listing is done.
    std::vector<FtpFileInfo> kept;
    std::vector<FtpFileInfo> temporaries;
    std::size_t nKept = 0;
    const EntriesFn onEntries = [&](const std::vector<FtpFileInfo>& entries) {
        kept.clear();
        for (const FtpFileInfo& info : entries) {
            if (IsFolderLink(info.strName))
                continue;
            (CTemporaries::IsUploadTemporary(info.strName) ? temporaries : kept).push_back(info);
        }
        nKept += kept.size();
        if (!kept.empty())
            onEntriesAsked(kept);
    };
    m_eLastFailure = FAILURE_NONE;
    m_strLastReply.clear();
    if (!ListFolder(onEntries))
        return nKept == 0 ? ListResult::Failed : ListResult::Cut;
    RemoveStaleTemporaries(temporaries);
    return nKept == 0 ? ListResult::Empty : ListResult::Listed;
}

bool CFtpConnection::ListFolder(const EntriesFn& onEntries)
{
    // Many Unix servers leave names beginning with a dot out of a plain LIST: a backed-up
    // ".bashrc" could not be seen or restored, nor a stale temporary of ours found.
    static const struct {
        const char* pszCommand;
        unsigned nRefusal;
    } s_forms[] = {{"MLSD", CServerRefusals::REFUSES_MLSD},
                   {"LIST -a", CServerRefusals::REFUSES_LIST_ALL},
                   {"LIST", 0}};
    for (const auto& form : s_forms) {
        if ((m_pRefusals->Of(m_strAccount) & form.nRefusal) != 0)
            continue;
        long nRefusedWith = 0;
        if (ListWith(form.pszCommand, onEntries, nRefusedWith))
            return true;
        // 500-504: the server does not know the command or its option, for good. Some take
        // "-a" for a name that is not there (550); that is not remembered, since a folder
        // that has gone away answers the same.
        // MLSD's 501 is its answer for a path that is no folder (a folder not made yet), not
        // for a command it lacks: MLSD stays, and a plain LIST would only say the same.
        const bool bNoFolder =
            nRefusedWith == 501 && form.nRefusal == CServerRefusals::REFUSES_MLSD;
        const bool bUnknown = nRefusedWith >= 500 && nRefusedWith <= 504 && !bNoFolder;
        const bool bOptionAsName =
            nRefusedWith == 550 && form.nRefusal == CServerRefusals::REFUSES_LIST_ALL;
        if (form.nRefusal == 0 || !(bUnknown || bOptionAsName))
            break;
        if (bUnknown)
            m_pRefusals->Note(m_strAccount, form.nRefusal);
    }
    return false;
}

void CFtpConnection::RemoveStaleTemporaries(const std::vector<FtpFileInfo>& temporaries)
{
    // The server's dates are not trusted for this (its clock may be hours off): only a
    // temporary our own clock has seen, unchanged, for a day is left over.
    std::vector<std::pair<std::string, std::int64_t>> seen;
    for (const FtpFileInfo& info : temporaries)
        if (info.dwFileAttributes != FILE_ATTRIBUTE_DIRECTORY) // named like ours, but a folder
            seen.emplace_back(info.strName, info.nSize);
    std::string strFolderKey = m_address.BaseUrl() + m_strCurrentDir;
    if (strFolderKey.back() != '/')
        strFolderKey += '/';
    for (const std::string& strName :
         CTemporaries::StaleOnServer(strFolderKey, seen, std::time(nullptr)))
        RemoveQuietly(AbsolutePath(strName)); // if it fails, a later listing tries
}

void CFtpConnection::RemoveQuietly(const std::string& strPath)
{
    RunCommands({DeleteCommand(strPath)});
}

FILE* CFtpConnection::OpenLocalUpload(const std::string& strPath, std::int64_t& nSize,
                                      timespec& modified, ETransferFailure& eFailure)
{
    return OpenUpload(strPath, nSize, modified, eFailure);
}

bool CFtpConnection::LocalFileChanged(FILE* pFile, const timespec& modified)
{
    return ChangedSince(pFile, modified);
}

bool CFtpConnection::IsLocalFolder(const std::string& strPath)
{
    return IsFolder(strPath);
}

ETransferFailure CFtpConnection::LocalWriteFailureOf(int nErrno)
{
    return LocalWriteFailure(nErrno);
}

void CFtpConnection::TakeLocalModeOf(int fd, const std::string& strLocalPath)
{
    TakeModeOf(fd, strLocalPath);
}

void CFtpConnection::SyncLocalFolder(const std::string& strFolder)
{
    SyncFolder(strFolder);
}

std::time_t CFtpConnection::ModificationTime(const std::string& strPath)
{
    Reply reply;
    if (!RunCommands({"MDTM " + strPath}, &reply) || reply.Code() != 213 ||
        reply.strLastLine.size() < 4)
        return 0;
    return CFtpListParser::ParseTimestamp(reply.strLastLine.substr(4)); // "213 YYYYMMDDHHMMSS"
}

bool CFtpConnection::ListWith(const char* pszCommand, const EntriesFn& onEntries,
                              long& nRefusedWith)
{
    const bool bMlsd = pszCommand && std::string(pszCommand) == "MLSD";
    CFtpListParser parser(bMlsd ? CFtpListParser::MLSD : CFtpListParser::LIST, std::time(nullptr));
    ListContext context{&parser, &onEntries, {}, 0};

    std::string strFolder = m_strCurrentDir;
    if (strFolder.back() != '/')
        strFolder += '/';
    Reply reply;
    PrepareRequest(m_address.UrlOf(strFolder), &reply);
    if (pszCommand)
        curl_easy_setopt(m_pEasy, CURLOPT_CUSTOMREQUEST, pszCommand);
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEFUNCTION, OnListData);
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEDATA, &context);
    reply.nResult = m_pHandle->Perform();
    if (reply.nResult == CURLE_OK) {
        parser.Finish(context.batch);
        context.Deliver();
        return true;
    }
    long nCode = 0;
    curl_easy_getinfo(m_pEasy, CURLINFO_RESPONSE_CODE, &nCode);
    Fail(FailureOfReply(reply, false), &reply);
    // Only worth trying another form when nothing was delivered yet, or the entries would
    // arrive twice.
    nRefusedWith = context.nBytes == 0 && nCode >= 500 && nCode <= 599 ? nCode : 0;
    return false;
}

bool CFtpConnection::RunCommands(const std::vector<std::string>& commands, Reply* pReply)
{
    curl_slist* pList = nullptr;
    for (const std::string& strCommand : commands)
        pList = curl_slist_append(pList, strCommand.c_str());
    PrepareRequest(m_address.BaseUrl() + "/", pReply);
    curl_easy_setopt(m_pEasy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(m_pEasy, CURLOPT_QUOTE, pList);
    const CURLcode result = static_cast<CURLcode>(m_pHandle->Perform());
    curl_slist_free_all(pList);
    if (pReply)
        pReply->nResult = result;
    return result == CURLE_OK;
}

int CFtpConnection::Store(FILE* pFile, std::int64_t nSize, const std::string& strRemotePath,
                          bool bSizeCheck, Reply& reply, std::int64_t& nSent,
                          const ProgressFn& onProgress, std::int64_t nFrom)
{
    nSent = 0;
    reply = Reply();
    std::rewind(pFile);
    UploadSource source{pFile, nSize, 0, false, false, CancelFlag()};
    ProgressContext progress{&onProgress, true, nSize, CancelFlag(), nFrom};
    curl_slist* pAfter = nullptr;
    if (bSizeCheck) // "*" keeps a refused SIZE from failing the transfer that went through
        pAfter = curl_slist_append(pAfter, ("*SIZE " + strRemotePath).c_str());

    PrepareRequest(m_address.UrlOf(strRemotePath), &reply);
    curl_easy_setopt(m_pEasy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_pEasy, CURLOPT_READFUNCTION, OnReadFile);
    curl_easy_setopt(m_pEasy, CURLOPT_READDATA, &source);
    curl_easy_setopt(m_pEasy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(nSize));
    curl_easy_setopt(m_pEasy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_pEasy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(m_pEasy, CURLOPT_XFERINFODATA, &progress);
    if (pAfter)
        curl_easy_setopt(m_pEasy, CURLOPT_POSTQUOTE, pAfter);
    // libcurl appends (FTP: APPE; SFTP: writes from that offset), and seeks the file first.
    curl_easy_setopt(m_pEasy, CURLOPT_SEEKFUNCTION, OnSeekFile);
    curl_easy_setopt(m_pEasy, CURLOPT_SEEKDATA, &source);
    if (nFrom > 0)
        curl_easy_setopt(m_pEasy, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(nFrom));
    reply.nResult = m_pHandle->Perform();
    curl_slist_free_all(pAfter);
    nSent = source.nSent;
    if (source.bReadError)
        m_eLastFailure = FAILURE_LOCAL_UNREADABLE;
    else if (source.bChanged)
        m_eLastFailure = FAILURE_FILE_CHANGED;
    return reply.nResult;
}

bool CFtpConnection::MayTryAgain(ETransferFailure eFailure, int nTry)
{
    return eFailure == FAILURE_CONNECTION_BROKEN && nTry < CInternetSession::GetResume().nTries;
}

bool CFtpConnection::IsResumable(std::int64_t nSize)
{
    return nSize >= CInternetSession::GetResume().nMinBytes;
}

bool CFtpConnection::WaitBeforeTrying(int nTry)
{
    const CInternetSession::Resume resume = CInternetSession::GetResume();
    const auto pause = std::chrono::milliseconds(
        std::min<std::int64_t>(resume.nMaxPauseMs, std::int64_t(resume.nFirstPauseMs) << nTry));
    const auto until = std::chrono::steady_clock::now() + pause;
    const std::atomic<bool>* pCancel = CancelFlag();
    while (std::chrono::steady_clock::now() < until) {
        if (pCancel && pCancel->load())
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(20), until - std::chrono::steady_clock::now()));
    }
    m_eLastFailure = FAILURE_NONE;
    return !(pCancel && pCancel->load());
}

bool CFtpConnection::PauseBeforeResume(int nTry)
{
    if (!WaitBeforeTrying(nTry))
        return false;
    // The broken connection may still be waiting for the server: a fresh one goes on.
    RenewHandle();
    return !(CancelFlag() && CancelFlag()->load());
}

std::int64_t CFtpConnection::ResumePoint(const std::string& strTemp, std::int64_t nSize,
                                         Reply& reply)
{
    // What the server kept, never what we believe we sent: bytes in flight at the break may
    // or may not have arrived.
    reply = Reply();
    std::int64_t nKept = -1;
    if (!RemoteSize(strTemp, nKept) || nKept > nSize) {
        NoteRestart(nullptr);
        return 0;
    }
    if (nKept == nSize)
        reply.strLastLine = "213 " + std::to_string(nKept); // for the size check that follows
    return nKept;
}

void CFtpConnection::NoteRestart(const Reply* pRefusal)
{
    m_bRestarted = true;
    m_strRestartReply = pRefusal ? RefusalText(*pRefusal) : std::string();
    m_eLastFailure = FAILURE_NONE;
}

void CFtpConnection::ClearRestart()
{
    m_bRestarted = false;
    m_strRestartReply.clear();
}

bool CFtpConnection::RemoteSize(const std::string& strPath, std::int64_t& nSize)
{
    if ((m_pRefusals->Of(m_strAccount) & CServerRefusals::REFUSES_SIZE) == 0) {
        Reply reply;
        // Binary first: a fresh connection is in ASCII mode, where servers refuse SIZE.
        RunCommands({"TYPE I", "SIZE " + strPath}, &reply);
        if (reply.Code() == 213)
            return ParseSize(
                reply.strLastLine.substr(std::min<std::size_t>(4, reply.strLastLine.size())),
                nSize);
        if (reply.Code() != 500 && reply.Code() != 502)
            return false;
    }
    Reply why;
    return SizeFromListing(strPath, nSize, why) == SizeFound::Known;
}

bool CFtpConnection::Fail(ETransferFailure eFailure, const Reply* pReply)
{
    m_eLastFailure = eFailure;
    // A failure of ours (a local file, a size that does not match) has no words of the server.
    m_strLastReply = pReply ? RefusalText(*pReply) : std::string();
    return false;
}

ETransferFailure CFtpConnection::StoreFailure(const Reply& reply) const
{
    return m_eLastFailure != FAILURE_NONE ? m_eLastFailure : FailureOfReply(reply, true);
}

void CFtpConnection::RenewHandle()
{
    auto pHandle = std::make_unique<CCurlHandle>();
    if (!pHandle->IsValid())
        return;
    pHandle->SetCancelFlag(m_pCancel);
    m_pHandle = std::move(pHandle);
    m_pEasy = m_pHandle->Easy();
}

void CFtpConnection::CleanUp(const std::vector<std::string>& commands, ETransferFailure eFailure)
{
    // A connection that broke or stalled is not trusted with the clean-up: a fresh one is.
    // After a cancel the clean-up still runs, on a fresh connection that the cancel does
    // not stop, but within a short time: a silent server keeps a temporary for the next
    // listing.
    const bool bCancelled = eFailure == FAILURE_CANCELLED;
    if (eFailure == FAILURE_CONNECTION_BROKEN || eFailure == FAILURE_TLS_HANDSHAKE || bCancelled)
        RenewHandle();
    if (bCancelled) {
        m_pHandle->SetCancelFlag(nullptr);
        m_nTimeLimitSeconds = kCancelCleanupSeconds;
    }
    RunCommands(commands);
    m_nTimeLimitSeconds = 0;
    m_pHandle->SetCancelFlag(m_pCancel);
}

bool CFtpConnection::Abandon(const std::string& strTemp, ETransferFailure eFailure,
                             const Reply* pReply)
{
    CleanUp({"*" + DeleteCommand(strTemp)}, eFailure); // whatever part of it arrived
    return Fail(eFailure, pReply);
}

bool CFtpConnection::RenamesAtAll(std::string& strTemp)
{
    const std::string strProbe = JoinPath(SplitPath(strTemp).folder, CTemporaries::NewUploadName());
    Reply probe;
    if (RunCommands({"RNFR " + strTemp, "RNTO " + strProbe}, &probe)) {
        strTemp = strProbe; // the temporary has moved
        return true;
    }
    return !(probe.nResult == CURLE_QUOTE_ERROR && probe.Code() >= 500);
}

bool CFtpConnection::FeaturesNameSize()
{
    const unsigned nKnown = m_pRefusals->Of(m_strAccount);
    if ((nKnown & CServerRefusals::FEATURES_READ) != 0)
        return (nKnown & CServerRefusals::REFUSES_SIZE) == 0;
    std::vector<std::string> lines;
    Reply reply;
    reply.pLines = &lines;
    if (!RunCommands({"FEAT"}, &reply))
        return true; // no list of features: it proves nothing
    bool bSize = false;
    for (const std::string& strLine : lines) {
        const std::size_t nAt = strLine.find_first_not_of(' ');
        bSize = bSize || (nAt == 1 && strLine.compare(1, 4, "SIZE") == 0 &&
                          (strLine.size() == 5 || strLine[5] == ' '));
    }
    m_pRefusals->Note(m_strAccount, CServerRefusals::FEATURES_READ |
                                        (bSize ? 0u : unsigned(CServerRefusals::REFUSES_SIZE)));
    return bSize;
}

CFtpConnection::SizeFound CFtpConnection::SizeFromListing(const std::string& strPath,
                                                          std::int64_t& nSize, Reply& why)
{
    if ((m_pRefusals->Of(m_strAccount) & CServerRefusals::REFUSES_MLST) == 0) {
        std::vector<std::string> lines;
        Reply reply;
        reply.pLines = &lines;
        if (RunCommands({"MLST " + strPath}, &reply))
            return SizeFact(lines, nSize) ? SizeFound::Known : SizeFound::NoWay;
        const int nCode = reply.Code();
        if (reply.nResult != CURLE_QUOTE_ERROR || nCode < 500 || nCode > 504) {
            why = reply;
            return SizeFound::Failed; // a break, or an answer about this file
        }
        m_pRefusals->Note(m_strAccount, CServerRefusals::REFUSES_MLST);
    }
    // LIST of the name: a line like those of a folder's listing, where the server takes a
    // name at all.
    CFtpListParser parser(CFtpListParser::LIST, std::time(nullptr));
    std::vector<FtpFileInfo> entries;
    const EntriesFn onEntries = [&](const std::vector<FtpFileInfo>& batch) {
        entries.insert(entries.end(), batch.begin(), batch.end());
    };
    ListContext context{&parser, &onEntries, {}, 0};
    Reply reply;
    // From within the folder (CWD): without it libcurl would put the folder after the name.
    PrepareRequest(m_address.UrlOf(SplitPath(strPath).folder), &reply);
    curl_easy_setopt(m_pEasy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    const std::string strCommand = "LIST " + SplitPath(strPath).name;
    curl_easy_setopt(m_pEasy, CURLOPT_CUSTOMREQUEST, strCommand.c_str());
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEFUNCTION, OnListData);
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEDATA, &context);
    reply.nResult = m_pHandle->Perform();
    if (reply.nResult != CURLE_OK) {
        if (FailureOf(reply.nResult, reply.Code()) == FAILURE_SERVER_REFUSED)
            return SizeFound::NoWay; // it takes no name
        why = reply;
        return SizeFound::Failed;
    }
    parser.Finish(context.batch);
    context.Deliver();
    const std::string strName = SplitPath(strPath).name;
    for (const FtpFileInfo& info : entries)
        if (info.strName == strName && info.nSize >= 0 &&
            info.dwFileAttributes != FILE_ATTRIBUTE_DIRECTORY) {
            nSize = info.nSize;
            return SizeFound::Known;
        }
    return SizeFound::NoWay;
}

ETransferFailure CFtpConnection::CheckSize(bool bAsked, const Reply& reply, std::int64_t nSent,
                                           const std::string& strPath, Reply& why)
{
    std::int64_t nKept = -1;
    if (bAsked) {
        const int nCode = reply.Code();
        if (nCode == 213) {
            why = reply;
            if (!ParseSize(
                    reply.strLastLine.substr(std::min<std::size_t>(4, reply.strLastLine.size())),
                    nKept))
                return FAILURE_SIZE_CHECK; // a garbled answer proves nothing
            return nKept == nSent ? FAILURE_NONE : FAILURE_SIZE_CHECK;
        }
        // Only a server that does not know the command has no SIZE; any other answer is about
        // this file, unless the server's features leave SIZE out.
        const bool bUnknown = nCode == 500 || nCode == 502;
        if (!bUnknown && FeaturesNameSize()) {
            why = reply;
            return nCode >= 400 ? FailureOf(CURLE_QUOTE_ERROR, nCode) : FAILURE_SERVER_REFUSED;
        }
        m_pRefusals->Note(m_strAccount, CServerRefusals::REFUSES_SIZE);
    }
    switch (SizeFromListing(strPath, nKept, why)) {
    case SizeFound::Known:
        return nKept == nSent ? FAILURE_NONE : FAILURE_SIZE_CHECK;
    case SizeFound::NoWay:
        m_bUnchecked = true;
        return FAILURE_NONE;
    case SizeFound::Failed:
        break;
    }
    return FailureOfReply(why, false);
}

bool CFtpConnection::StoreTemporary(FILE* pFile, std::int64_t nSize, const timespec& modified,
                                    const std::string& strTemp, bool bSizeCheck, Reply& reply,
                                    std::int64_t& nSent, const ProgressFn& onProgress)
{
    std::int64_t nFrom = 0;
    for (int nTry = 0;
         Store(pFile, nSize, strTemp, bSizeCheck, reply, nSent, onProgress, nFrom) != CURLE_OK;
         ++nTry) {
        const ETransferFailure eFailure = StoreFailure(reply);
        // A server that will not append (APPE refused) gets the whole file again.
        if (nFrom > 0 && eFailure == FAILURE_SERVER_REFUSED) {
            NoteRestart(&reply);
            nFrom = 0;
            continue;
        }
        if (!MayTryAgain(eFailure, nTry))
            return Abandon(strTemp, eFailure, &reply);
        if (!PauseBeforeResume(nTry))
            return Abandon(strTemp, FAILURE_CANCELLED);
        nFrom = IsResumable(nSize) ? ResumePoint(strTemp, nSize, reply) : 0;
        if (nFrom == nSize && nSize > 0) {
            nSent = nSize; // every byte had arrived; only the reply was lost
            break;
        }
    }
    if (ChangedSince(pFile, modified))
        return Abandon(strTemp, FAILURE_FILE_CHANGED);
    return true;
}

bool CFtpConnection::StoreChecked(FILE* pFile, std::int64_t nSize, const timespec& modified,
                                  const std::string& strPath, const ProgressFn& onProgress)
{
    const bool bAskSize = (m_pRefusals->Of(m_strAccount) & CServerRefusals::REFUSES_SIZE) == 0;
    Reply reply;
    std::int64_t nSent = 0;
    if (!StoreTemporary(pFile, nSize, modified, strPath, bAskSize, reply, nSent, onProgress))
        return false;
    Reply why;
    const ETransferFailure eSize = CheckSize(bAskSize, reply, nSent, strPath, why);
    if (eSize != FAILURE_NONE)
        return Abandon(strPath, eSize, eSize == FAILURE_SIZE_CHECK ? nullptr : &why);
    return true;
}

bool CFtpConnection::StoreViaTemporary(FILE* pFile, std::int64_t nSize, const timespec& modified,
                                       const std::string& strTarget, const ProgressFn& onProgress)
{
    std::string strTemp = JoinPath(SplitPath(strTarget).folder, CTemporaries::NewUploadName());
    if (!StoreChecked(pFile, nSize, modified, strTemp, onProgress))
        return false;

    Reply rename;
    if (!MoveOldCopyAside(strTarget, rename)) {
        // A server that renames nothing at all is asked about below, as for the new copy.
        if (rename.nResult != CURLE_QUOTE_ERROR || rename.Code() < 500 || RenamesAtAll(strTemp))
            return PutOldCopyBack(strTemp, strTarget, rename.nResult != CURLE_QUOTE_ERROR,
                                  FailureOfReply(rename, false), &rename);
    } else if (RunCommands(RenameCommands(strTemp, strTarget), &rename)) {
        return true;
    } else if (!m_strKeepOld.empty()) {
        if (rename.nResult == CURLE_ABORTED_BY_CALLBACK && SettleCancelledRename(strTemp))
            return true;
        return PutOldCopyBack(strTemp, strTarget, true, FailureOfReply(rename, false), &rename);
    }
    // Cancelled while the server renamed: what counts is what it did.
    if (rename.nResult == CURLE_ABORTED_BY_CALLBACK)
        return SettleCancelledRename(strTemp) || Fail(FAILURE_CANCELLED);
    // Only a definite refusal says anything about renaming. A break or a time-out may have
    // come at any point: the old copy stays and the file is failed.
    if (rename.nResult != CURLE_QUOTE_ERROR || rename.Code() < 500)
        return Abandon(strTemp, FailureOf(rename.nResult, rename.Code()), &rename);
    // A refusal may be this name's alone (a folder in the way, a protected file): then it
    // fails just this file. A server that will not even rename our temporary to a name
    // nothing holds may be one that renames nothing, or a file in use at the moment: either
    // way the old copy is never overwritten without the user's word for the account.
    if (RenamesAtAll(strTemp))
        return Abandon(strTemp, FAILURE_SERVER_REFUSED, &rename);
    if (!CDirectStoreAccounts::MayStoreDirectly(m_strAccount, m_address.BaseUrl(), m_strUser,
                                                rename.strLastLine, CancelFlag()))
        return Abandon(strTemp, FAILURE_RENAME_REFUSED, &rename);
    m_pRefusals->Note(m_strAccount, CServerRefusals::REFUSES_RENAME);
    RunCommands({"*" + DeleteCommand(strTemp)});
    return StoreDirectly(pFile, nSize, modified, strTarget, onProgress);
}

bool CFtpConnection::MoveOldCopyAside(const std::string& strTarget, Reply& aside)
{
    if (m_strKeepOld.empty())
        return true;
    m_bKeptVersion = RunCommands(RenameCommands(strTarget, m_strKeepOld), &aside);
    return m_bKeptVersion;
}

bool CFtpConnection::PutOldCopyBack(const std::string& strTemp, const std::string& strTarget,
                                    bool bMoved, ETransferFailure eFailure, const Reply* pReply)
{
    // After a break or a cancel the copy may have gone aside all the same; an attempt that
    // finds it not there changes nothing.
    std::vector<std::string> undo;
    if (bMoved && !m_strKeepOld.empty())
        for (const std::string& strCommand : RenameCommands(m_strKeepOld, strTarget))
            undo.push_back('*' + strCommand);
    undo.push_back('*' + DeleteCommand(strTemp));
    CleanUp(undo, eFailure);
    return Fail(eFailure, pReply);
}

bool CFtpConnection::SettleCancelledRename(const std::string& strTemp)
{
    // On a fresh connection, under the clean-up's time limit: our temporary still there to be
    // deleted means the old copy still has the name; gone, the new copy has it.
    RenewHandle();
    m_pHandle->SetCancelFlag(nullptr);
    m_nTimeLimitSeconds = kCancelCleanupSeconds;
    Reply deletion;
    RunCommands({DeleteCommand(strTemp)}, &deletion);
    m_nTimeLimitSeconds = 0;
    m_pHandle->SetCancelFlag(m_pCancel);
    return deletion.nResult == CURLE_QUOTE_ERROR && deletion.Code() == 550;
}

bool CFtpConnection::StoreDirectly(FILE* pFile, std::int64_t nSize, const timespec& modified,
                                   const std::string& strTarget, const ProgressFn& onProgress)
{
    const bool bAskSize = (m_pRefusals->Of(m_strAccount) & CServerRefusals::REFUSES_SIZE) == 0;
    Reply reply;
    std::int64_t nSent = 0;
    if (Store(pFile, nSize, strTarget, bAskSize, reply, nSent, onProgress) != CURLE_OK)
        return Fail(StoreFailure(reply), &reply);
    if (ChangedSince(pFile, modified))
        return Fail(FAILURE_FILE_CHANGED);
    Reply why;
    const ETransferFailure eSize = CheckSize(bAskSize, reply, nSent, strTarget, why);
    return eSize == FAILURE_NONE || Fail(eSize, eSize == FAILURE_SIZE_CHECK ? nullptr : &why);
}

bool CFtpConnection::PutFile(const std::string& strLocalPath, const std::string& strRemotePath,
                             const ProgressFn& onProgress)
{
    m_eLastFailure = FAILURE_NONE;
    m_strLastReply.clear();
    m_bUnchecked = false;
    m_bKeptVersion = false;
    m_bRestarted = false;
    m_strRestartReply.clear();
    m_strKeepOld = std::exchange(m_strKeepNext, std::string());
    const bool bNew = std::exchange(m_bNextIsNew, false);
    const std::string strTarget = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strTarget) || strTarget.back() == '/')
        return Fail(FAILURE_SERVER_REFUSED);
    std::int64_t nSize = 0;
    timespec modified{};
    ETransferFailure eOpen = FAILURE_NONE;
    FILE* pFile = OpenUpload(strLocalPath, nSize, modified, eOpen);
    if (!pFile)
        return Fail(eOpen);
    // Noted only once the user agreed to direct stores for a server that renames nothing.
    const bool bNoRename = (m_pRefusals->Of(m_strAccount) & CServerRefusals::REFUSES_RENAME) != 0;
    bool bSent = false;
    if (bNoRename)
        bSent = StoreDirectly(pFile, nSize, modified, strTarget, onProgress);
    else if (bNew && nSize <= kDirectNewBytes && IsUrlPath(strTarget))
        bSent = StoreChecked(pFile, nSize, modified, strTarget, onProgress); // the name had nothing
    else
        bSent = StoreViaTemporary(pFile, nSize, modified, strTarget, onProgress);
    m_strKeepOld.clear();
    std::fclose(pFile);
    return bSent;
}

bool CFtpConnection::GetFile(const std::string& strRemotePath, const std::string& strLocalPath,
                             const ProgressFn& onProgress)
{
    m_eLastFailure = FAILURE_NONE;
    m_strLastReply.clear();
    m_bUnchecked = false;
    m_bRestarted = false;
    m_strRestartReply.clear();
    const std::string strSource = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strSource) || strSource.back() == '/')
        return Fail(FAILURE_SERVER_REFUSED);
    // A folder of the file's name would refuse the rename only once every byte had come.
    if (IsFolder(strLocalPath))
        return Fail(FAILURE_LOCAL_UNWRITABLE);

    // Empty for a path without a folder, which is the current one.
    const std::string strLocalDir = SplitPath(strLocalPath).folder;
    CTemporaries::RemoveStaleLocal(strLocalDir, std::time(nullptr));
    std::string strTemp = JoinPath(strLocalDir, CTemporaries::RestoreTemplate());
    const int fd = mkostemp(&strTemp[0], O_CLOEXEC);
    if (fd < 0)
        return Fail(LocalWriteFailure(errno));

    CWriteBehindFile target(fd);
    DownloadTarget sink{&target, CancelFlag()};
    Reply reply;
    ProgressContext progress{&onProgress, false, -1, CancelFlag()};
    curl_off_t nExpected = -1;
    curl_off_t nReceived = 0;
    std::int64_t nFrom = 0;   // what the temporary held when this attempt began
    std::int64_t nWhole = -1; // the server's size for the file, once an attempt told it
    const auto fromStart = [&] {
        nFrom = 0;
        return ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0 && target.ResumeAt(0);
    };
    const auto startOver = [&](const Reply* pRefusal) {
        NoteRestart(pRefusal);
        return fromStart();
    };
    for (int nTry = 0;; ++nTry) {
        reply = Reply();
        progress.nBase = nFrom;
        PrepareRequest(m_address.UrlOf(strSource), &reply);
        curl_easy_setopt(m_pEasy, CURLOPT_WRITEFUNCTION, OnWriteFile);
        curl_easy_setopt(m_pEasy, CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(m_pEasy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(m_pEasy, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(m_pEasy, CURLOPT_XFERINFODATA, &progress);
        if (nFrom > 0) // FTP: REST before RETR; SFTP: a read from that offset
            curl_easy_setopt(m_pEasy, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(nFrom));
        reply.nResult = m_pHandle->Perform();
        nExpected = -1;
        nReceived = 0;
        curl_easy_getinfo(m_pEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &nExpected);
        curl_easy_getinfo(m_pEasy, CURLINFO_SIZE_DOWNLOAD_T, &nReceived);
        const ETransferFailure eFailure = FailureOfReply(reply, false);
        // A server that will not go on from an offset (REST refused, or the file is shorter
        // than what arrived) sends the file again from its start.
        if (nFrom > 0 &&
            (eFailure == FAILURE_SERVER_REFUSED || reply.nResult == CURLE_BAD_DOWNLOAD_RESUME)) {
            if (!startOver(&reply))
                break;
            continue;
        }
        // The server's file changed size since the first attempt: its two halves would not
        // belong together.
        if (nFrom > 0 && nExpected >= 0 && nWhole >= 0 && nFrom + nExpected != nWhole) {
            if (!startOver(nullptr))
                break;
            continue;
        }
        if (nExpected >= 0)
            nWhole = nFrom + nExpected;
        if (reply.nResult == CURLE_OK || reply.nResult == CURLE_WRITE_ERROR)
            break;
        if (!MayTryAgain(eFailure, nTry))
            break;
        if (!PauseBeforeResume(nTry)) {
            reply.nResult = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (!IsResumable(std::max<std::int64_t>(nWhole, nFrom + nReceived))) {
            if (!fromStart())
                break;
            continue;
        }
        // Where the temporary ends on disk, whatever was counted on the way.
        struct stat written;
        if (fstat(fd, &written) != 0 || lseek(fd, written.st_size, SEEK_SET) < 0 ||
            !target.ResumeAt(written.st_size))
            break;
        nFrom = written.st_size;
    }
    const CURLcode result = static_cast<CURLcode>(reply.nResult);

    // libcurl holds the transfer to the size SIZE or the 150 reply gave; without one, a 226
    // after half the bytes would pass for the whole file.
    ETransferFailure eShort = FAILURE_NONE;
    Reply why;
    // (SFTP's read knows the size from the file's own attributes.)
    const bool bSftp = m_address.Protocol() == CFtpAddress::EProtocol::Sftp;
    if (result == CURLE_OK && nExpected < 0 && !bSftp) {
        std::int64_t nSize = -1;
        switch (SizeFromListing(strSource, nSize, why)) {
        case SizeFound::Known:
            eShort = nSize == nFrom + nReceived ? FAILURE_NONE : FAILURE_DOWNLOAD_SHORT;
            break;
        case SizeFound::NoWay:
            m_bUnchecked = true;
            break;
        case SizeFound::Failed:
            eShort = FailureOfReply(why, false);
            break;
        }
    }

    // The server's time for the file (MDTM), asked once the file is whole: asked before,
    // its refusal would stand in for the transfer's own.
    const std::time_t tModified =
        result == CURLE_OK && eShort == FAILURE_NONE ? ModificationTime(strSource) : 0;
    TakeModeOf(fd, strLocalPath);
    // On disk before the rename, or a crash could leave an empty file where the old one was.
    const bool bSynced = result == CURLE_OK && eShort == FAILURE_NONE && target.Finish();
    if (bSynced && tModified > 0) {
        const timespec times[2] = {{0, UTIME_NOW}, {static_cast<time_t>(tModified), 0}};
        futimens(fd, times);
    }
    const bool bClosed = ::close(fd) == 0;
    if (bSynced && bClosed && std::rename(strTemp.c_str(), strLocalPath.c_str()) == 0) {
        SyncFolder(strLocalDir.empty() ? "." : strLocalDir);
        return true;
    }
    const int nErrno = target.LastErrno() ? target.LastErrno() : errno;
    ::unlink(strTemp.c_str());
    if (eShort != FAILURE_NONE)
        return Fail(eShort, eShort == FAILURE_DOWNLOAD_SHORT ? nullptr : &why);
    if (result == CURLE_OK || result == CURLE_WRITE_ERROR)
        return Fail(LocalWriteFailure(nErrno));
    return Fail(FailureOfReply(reply, false), &reply);
}

bool CFtpConnection::DeleteFile(const std::string& strRemotePath)
{
    m_eLastFailure = FAILURE_NONE;
    m_strLastReply.clear();
    const std::string strTarget = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strTarget))
        return Fail(FAILURE_SERVER_REFUSED);
    Reply reply;
    if (RunCommands({DeleteCommand(strTarget)}, &reply))
        return true;
    return Fail(FailureOfReply(reply, false), &reply);
}

bool CFtpConnection::RemoveFolder(const std::string& strRemotePath)
{
    m_eLastFailure = FAILURE_NONE;
    m_strLastReply.clear();
    const std::string strTarget = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strTarget) || strTarget == "/")
        return Fail(FAILURE_SERVER_REFUSED);
    Reply reply;
    if (RunCommands({RemoveFolderCommand(strTarget)}, &reply))
        return true;
    return Fail(FailureOfReply(reply, false), &reply);
}

bool CFtpConnection::MakeFolders(const std::string& strRemoteFolder)
{
    std::string strFolder = AbsolutePath(strRemoteFolder);
    while (strFolder.size() > 1 && strFolder.back() == '/')
        strFolder.pop_back();
    if (!CFtpAddress::IsSafeText(strFolder))
        return false;
    // "*": a folder that exists is refused, and the next one is made all the same.
    std::vector<std::string> commands;
    for (std::size_t nSlash = strFolder.find('/', 1); strFolder.size() > 1;
         nSlash = strFolder.find('/', nSlash + 1)) {
        commands.push_back("*" + MakeFolderCommand(strFolder.substr(0, nSlash)));
        if (nSlash == std::string::npos)
            break;
    }
    return commands.empty() || RunCommands(commands);
}

bool CFtpConnection::SetModificationTime(const std::string& strRemotePath, std::time_t tModified)
{
    const std::string strTarget = AbsolutePath(strRemotePath);
    std::tm utc{};
    char szTime[32];
    if (!CFtpAddress::IsSafeText(strTarget) || !gmtime_r(&tModified, &utc) ||
        std::strftime(szTime, sizeof szTime, "%Y%m%d%H%M%S", &utc) == 0)
        return false;
    static const struct {
        const char* pszVerb;
        unsigned nRefusal;
    } s_forms[] = {{"MFMT ", CServerRefusals::REFUSES_MFMT},
                   {"MDTM ", CServerRefusals::REFUSES_MDTM_SET},
                   {"SITE UTIME ", CServerRefusals::REFUSES_SITE_UTIME}};
    for (const auto& form : s_forms) {
        if ((m_pRefusals->Of(m_strAccount) & form.nRefusal) != 0)
            continue;
        Reply reply;
        if (RunCommands({form.pszVerb + std::string(szTime) + ' ' + strTarget}, &reply))
            return true;
        // Only a refusal says the server lacks the command; a break says nothing.
        if (reply.nResult != CURLE_QUOTE_ERROR || reply.Code() < 500)
            return false;
        m_pRefusals->Note(m_strAccount, form.nRefusal);
    }
    return false;
}
