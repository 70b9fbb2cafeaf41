#include "FtpConnection.h"

#include "ConnectionPool.h"
#include "CurlHandle.h"
#include "FtpListParser.h"
#include "InternetSession.h"

#include <QtGlobal>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <random>
#include <set>

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// What the server answered last, from the reply lines libcurl hands to the header callback.
struct CFtpConnection::Reply {
    std::string strLastLine;
};

namespace {

// How long a pooled connection may have been idle and still be used without a check.
constexpr auto kFreshIdle = std::chrono::seconds(2);

// Servers that answered MLSD with "not implemented": they are listed with LIST at once.
std::mutex g_noMlsdLock;
std::set<std::string> g_noMlsdServers;

size_t OnReplyLine(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    const size_t nBytes = nSize * nCount;
    std::string strLine(pData, nBytes);
    while (!strLine.empty() && (strLine.back() == '\n' || strLine.back() == '\r'))
        strLine.pop_back();
    if (!strLine.empty())
        static_cast<std::string*>(pUser)->swap(strLine);
    return nBytes;
}

struct ProgressContext {
    const CFtpConnection::ProgressFn* pFn;
    bool bUpload;
    std::int64_t nTotal;
};

int OnProgress(void* pUser, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
               curl_off_t ulNow)
{
    auto* pContext = static_cast<ProgressContext*>(pUser);
    if (pContext->pFn && *pContext->pFn) {
        const std::int64_t nDone = pContext->bUpload ? ulNow : dlNow;
        std::int64_t nTotal = pContext->nTotal;
        if (nTotal < 0)
            nTotal = (pContext->bUpload ? ulTotal : dlTotal) > 0
                         ? (pContext->bUpload ? ulTotal : dlTotal)
                         : -1;
        (*pContext->pFn)(nDone, nTotal);
    }
    return 0;
}

struct UploadSource {
    FILE* pFile;
    std::int64_t nSent;
};

size_t OnReadFile(char* pBuffer, size_t nSize, size_t nCount, void* pUser)
{
    auto* pSource = static_cast<UploadSource*>(pUser);
    const size_t nRead = std::fread(pBuffer, 1, nSize * nCount, pSource->pFile);
    if (nRead == 0 && std::ferror(pSource->pFile))
        return CURL_READFUNC_ABORT;
    pSource->nSent += static_cast<std::int64_t>(nRead);
    return nRead;
}

size_t OnWriteFile(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    return std::fwrite(pData, 1, nSize * nCount, static_cast<FILE*>(pUser));
}

struct ListContext {
    CFtpListParser* pParser;
    const CFtpConnection::EntriesFn* pOnEntries;
    std::vector<FtpFileInfo> batch;
    std::size_t nEntries = 0;
    std::size_t nBytes = 0;

    void Deliver()
    {
        if (batch.empty())
            return;
        nEntries += batch.size();
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

std::string FolderOf(const std::string& strPath)
{
    const auto slash = strPath.rfind('/');
    return slash == std::string::npos ? std::string("/") : strPath.substr(0, slash + 1);
}

std::string RandomSuffix()
{
    static std::mutex s_lock;
    static std::mt19937_64 s_random{std::random_device{}() ^
                                    static_cast<std::uint64_t>(::getpid()) << 32};
    std::lock_guard<std::mutex> guard(s_lock);
    char szText[17];
    std::snprintf(szText, sizeof szText, "%016llx", static_cast<unsigned long long>(s_random()));
    return szText;
}

// The process's file-creation mask, read without changing it (umask() would, for a moment,
// for every thread).
mode_t CurrentUmask()
{
    FILE* pStatus = std::fopen("/proc/self/status", "r");
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

bool IsRegularFile(FILE* pFile)
{
    struct stat info;
    return fstat(fileno(pFile), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

CFtpConnection::CFtpConnection(std::unique_ptr<CCurlHandle> pHandle, const CFtpAddress& address,
                               std::string strKey, std::shared_ptr<CConnectionPool> pPool,
                               std::string strUser, std::string strPassword)
    : m_pHandle(std::move(pHandle)), m_pEasy(m_pHandle->Easy()), m_address(address), m_strKey(std::move(strKey)), m_pPool(std::move(pPool)),
      m_strUser(std::move(strUser)), m_strPassword(std::move(strPassword))
{
}

CFtpConnection* CFtpConnection::Connect(CInternetSession* pSession, const std::string& strServer,
                                        int nPort, const std::string& strUser,
                                        const std::string& strPassword, ETransferFailure* pFailure)
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

    // The key holds the password, so a pooled connection is never handed to a login that
    // has not been proven with the same credentials.
    std::string strKey = address.BaseUrl();
    strKey += '\n' + strUser + '\n' + strPassword;
    const std::shared_ptr<CConnectionPool>& pPool = pSession->Pool();
    std::chrono::steady_clock::duration idleFor{};
    std::unique_ptr<CCurlHandle> pHandle = pPool->Take(strKey, &idleFor);
    const bool bPooled = pHandle != nullptr;
    if (!pHandle)
        pHandle = std::make_unique<CCurlHandle>();
    if (!pHandle->IsValid())
        return nullptr;

    auto* pConnection =
        new CFtpConnection(std::move(pHandle), address, strKey, pPool, strUser, strPassword);
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
    if (m_pPool)
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
    curl_easy_setopt(m_pEasy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(m_pEasy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeouts.nConnectSeconds));
    curl_easy_setopt(m_pEasy, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     static_cast<long>(timeouts.nStallSeconds));
    // A data connection that stops moving is only noticed by the low-speed check.
    curl_easy_setopt(m_pEasy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_pEasy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts.nStallSeconds));
    curl_easy_setopt(m_pEasy, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(m_pEasy, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024L);
    // MOSSVALE_FTP_TRACE=1 shows the FTP conversation on stderr, for finding server quirks.
    static const bool s_bTrace = qEnvironmentVariableIsSet("MOSSVALE_FTP_TRACE");
    if (s_bTrace)
        curl_easy_setopt(m_pEasy, CURLOPT_VERBOSE, 1L);
    if (pReply) {
        curl_easy_setopt(m_pEasy, CURLOPT_HEADERFUNCTION, OnReplyLine);
        curl_easy_setopt(m_pEasy, CURLOPT_HEADERDATA, &pReply->strLastLine);
    }
}

bool CFtpConnection::CheckLogin(bool bPooled)
{
    // NOBODY on the root logs in (USER, PASS, PWD) and transfers nothing. A pooled
    // connection is asked for a NOOP instead: it proves the connection still works, and
    // libcurl, given nothing to send on a reused connection, would time out waiting for a
    // reply it never asked for. One that has gone stale is dropped by libcurl, and the
    // second try logs in anew.
    const int nTries = bPooled ? 2 : 1;
    for (int i = 0; i < nTries; ++i) {
        curl_slist* pNoop = bPooled ? curl_slist_append(nullptr, "NOOP") : nullptr;
        PrepareRequest(m_address.BaseUrl() + "/", nullptr);
        curl_easy_setopt(m_pEasy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(m_pEasy, CURLOPT_QUOTE, pNoop);
        curl_easy_setopt(m_pEasy, CURLOPT_TIMEOUT,
                         static_cast<long>(CInternetSession::GetTimeouts().nConnectSeconds));
        const CURLcode result = static_cast<CURLcode>(m_pHandle->Perform());
        curl_slist_free_all(pNoop);
        if (result == CURLE_OK)
            return true;
        if (result == CURLE_LOGIN_DENIED) {
            m_eLastFailure = FAILURE_LOGIN_REFUSED;
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
    if (!m_strCurrentDir.empty() && m_strCurrentDir.back() == '/')
        return m_strCurrentDir + strPath;
    return m_strCurrentDir + "/" + strPath;
}

bool CFtpConnection::SetCurrentDirectory(const std::string& strFolder)
{
    // Every request carries its absolute path, so there is no server-side folder to change.
    if (strFolder.empty() || !CFtpAddress::IsSafeText(strFolder))
        return false;
    m_strCurrentDir = AbsolutePath(strFolder);
    return true;
}

CFtpConnection::ListResult CFtpConnection::List(const EntriesFn& onEntries)
{
    bool bNoMlsd;
    {
        std::lock_guard<std::mutex> guard(g_noMlsdLock);
        bNoMlsd = g_noMlsdServers.count(m_address.BaseUrl()) != 0;
    }
    bool bEmpty = false;
    bool bUnsupported = false;
    if (!bNoMlsd) {
        if (ListWith("MLSD", onEntries, bEmpty, bUnsupported))
            return bEmpty ? ListResult::Empty : ListResult::Listed;
        if (!bUnsupported)
            return ListResult::Failed;
        std::lock_guard<std::mutex> guard(g_noMlsdLock);
        g_noMlsdServers.insert(m_address.BaseUrl());
    }
    if (ListWith("LIST", onEntries, bEmpty, bUnsupported))
        return bEmpty ? ListResult::Empty : ListResult::Listed;
    return ListResult::Failed;
}

bool CFtpConnection::ListWith(const char* pszCommand, const EntriesFn& onEntries, bool& bEmpty,
                              bool& bUnsupported)
{
    const bool bMlsd = std::string(pszCommand) == "MLSD";
    CFtpListParser parser(bMlsd ? CFtpListParser::MLSD : CFtpListParser::LIST, std::time(nullptr));
    ListContext context{&parser, &onEntries, {}, 0, 0};

    std::string strFolder = m_strCurrentDir;
    if (strFolder.back() != '/')
        strFolder += '/';
    PrepareRequest(m_address.UrlOf(strFolder), nullptr);
    curl_easy_setopt(m_pEasy, CURLOPT_CUSTOMREQUEST, pszCommand);
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEFUNCTION, OnListData);
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEDATA, &context);
    const CURLcode result = static_cast<CURLcode>(m_pHandle->Perform());
    if (result == CURLE_OK) {
        parser.Finish(context.batch);
        context.Deliver();
        bEmpty = context.nEntries == 0;
        return true;
    }
    long nCode = 0;
    curl_easy_getinfo(m_pEasy, CURLINFO_RESPONSE_CODE, &nCode);
    // 500-504: the server does not know the command. Only worth trying LIST when nothing
    // was delivered yet, or the entries would arrive twice.
    bUnsupported = bMlsd && context.nBytes == 0 && nCode >= 500 && nCode <= 504;
    return false;
}

bool CFtpConnection::RunCommands(const std::vector<std::string>& commands)
{
    curl_slist* pList = nullptr;
    for (const std::string& strCommand : commands)
        pList = curl_slist_append(pList, strCommand.c_str());
    PrepareRequest(m_address.BaseUrl() + "/", nullptr);
    curl_easy_setopt(m_pEasy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(m_pEasy, CURLOPT_QUOTE, pList);
    const CURLcode result = static_cast<CURLcode>(m_pHandle->Perform());
    curl_slist_free_all(pList);
    return result == CURLE_OK;
}

bool CFtpConnection::Store(const std::string& strLocalPath, const std::string& strRemotePath,
                           const char* pszSizeCheck, std::int64_t& nServerSize,
                           std::int64_t& nSent, const ProgressFn& onProgress)
{
    nServerSize = -1;
    nSent = 0;
    FILE* pFile = std::fopen(strLocalPath.c_str(), "rb");
    if (!pFile)
        return false;
    // A device or a pipe could feed the server for ever.
    if (!IsRegularFile(pFile)) {
        std::fclose(pFile);
        return false;
    }
    struct stat info;
    fstat(fileno(pFile), &info);

    UploadSource source{pFile, 0};
    ProgressContext progress{&onProgress, true, static_cast<std::int64_t>(info.st_size)};
    Reply reply;
    curl_slist* pAfter = nullptr;
    if (pszSizeCheck) // "*" keeps a refused SIZE from failing the transfer that went through
        pAfter = curl_slist_append(pAfter, (std::string("*SIZE ") + pszSizeCheck).c_str());

    PrepareRequest(m_address.UrlOf(strRemotePath), &reply);
    curl_easy_setopt(m_pEasy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_pEasy, CURLOPT_READFUNCTION, OnReadFile);
    curl_easy_setopt(m_pEasy, CURLOPT_READDATA, &source);
    curl_easy_setopt(m_pEasy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(info.st_size));
    curl_easy_setopt(m_pEasy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_pEasy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(m_pEasy, CURLOPT_XFERINFODATA, &progress);
    if (pAfter)
        curl_easy_setopt(m_pEasy, CURLOPT_POSTQUOTE, pAfter);
    const CURLcode result = static_cast<CURLcode>(m_pHandle->Perform());
    curl_slist_free_all(pAfter);
    std::fclose(pFile);
    nSent = source.nSent;

    const std::string& strLast = reply.strLastLine;
    if (pszSizeCheck && strLast.compare(0, 4, "213 ") == 0)
        nServerSize = std::strtoll(strLast.c_str() + 4, nullptr, 10);
    return result == CURLE_OK;
}

bool CFtpConnection::PutFile(const std::string& strLocalPath, const std::string& strRemotePath,
                             const ProgressFn& onProgress)
{
    const std::string strTarget = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strTarget) || strTarget.back() == '/')
        return false;

    const std::string strTemp = FolderOf(strTarget) + ".mossvale-" + RandomSuffix() + ".part";
    std::int64_t nServerSize = -1;
    std::int64_t nSent = 0;
    if (!Store(strLocalPath, strTemp, strTemp.c_str(), nServerSize, nSent, onProgress)) {
        RunCommands({"*DELE " + strTemp}); // whatever part of it arrived
        return false;
    }
    if (nServerSize >= 0) {
        if (nServerSize != nSent) {
            RunCommands({"*DELE " + strTemp});
            return false;
        }
        if (RunCommands({"RNFR " + strTemp, "RNTO " + strTarget}))
            return true;
    }
    // SIZE or the rename was refused: this server only takes a file under its own name.
    RunCommands({"*DELE " + strTemp});
    return Store(strLocalPath, strTarget, nullptr, nServerSize, nSent, onProgress);
}

bool CFtpConnection::GetFile(const std::string& strRemotePath, const std::string& strLocalPath,
                             const ProgressFn& onProgress)
{
    const std::string strSource = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strSource) || strSource.back() == '/')
        return false;

    const auto slash = strLocalPath.rfind('/');
    const std::string strLocalDir = slash == std::string::npos ? "." : strLocalPath.substr(0, slash);
    std::string strTemp = (strLocalDir.empty() ? std::string() : strLocalDir) + "/.mossvale-XXXXXX";
    const int fd = mkstemp(&strTemp[0]);
    if (fd < 0)
        return false;
    FILE* pFile = fdopen(fd, "wb");
    if (!pFile) {
        ::close(fd);
        ::unlink(strTemp.c_str());
        return false;
    }

    ProgressContext progress{&onProgress, false, -1};
    PrepareRequest(m_address.UrlOf(strSource), nullptr);
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEFUNCTION, OnWriteFile);
    curl_easy_setopt(m_pEasy, CURLOPT_WRITEDATA, pFile);
    curl_easy_setopt(m_pEasy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_pEasy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(m_pEasy, CURLOPT_XFERINFODATA, &progress);
    const CURLcode result = static_cast<CURLcode>(m_pHandle->Perform());

    // mkstemp makes the file private; a restored file gets the usual mode.
    fchmod(fileno(pFile), 0666 & ~CurrentUmask());
    const bool bWritten = std::fclose(pFile) == 0;
    if (result == CURLE_OK && bWritten && std::rename(strTemp.c_str(), strLocalPath.c_str()) == 0)
        return true;
    ::unlink(strTemp.c_str());
    return false;
}

bool CFtpConnection::DeleteFile(const std::string& strRemotePath)
{
    const std::string strTarget = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strTarget))
        return false;
    return RunCommands({"DELE " + strTarget});
}
