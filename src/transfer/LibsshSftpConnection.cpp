#include "LibsshSftpConnection.h"
#include "BandwidthLimit.h"

#include "ConnectionPool.h"
#include "CurlHandle.h"
#include "HostKeyProbe.h"
#include "InternetSession.h"
#include "LibsshSession.h"
#include "ServerRefusals.h"
#include "Temporaries.h"
#include "TrustStore.h"
#include "WriteBehindFile.h"
#include "platform/Path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <libssh/libssh.h>
#include <libssh/sftp.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// What the clean-up after a cancel or a break may take on a server that has stopped answering.
constexpr int kCleanupSeconds = 2;
// Requests in flight: 32 of 64 KiB keep 2 MiB on the way, as libcurl's path does.
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kInFlight = 32;
// Reads: 6 MiB on the way, within the 8 MiB receive window that CReplyReader opens (4 MiB
// left a 50 ms round trip waiting on replies).
constexpr std::size_t kReadsInFlight = 96;

std::mutex g_libsshLock;
std::set<std::string> g_libsshServers;
std::set<std::string> g_libssh2Servers; // those libssh could not agree keys with

void PutU32(std::string& strOut, std::uint32_t n)
{
    for (int nShift = 24; nShift >= 0; nShift -= 8)
        strOut += static_cast<char>((n >> nShift) & 0xff);
}

std::uint32_t GetU32(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

// Reads exactly nSize bytes of the SFTP channel; libssh's own reads take no more than a
// packet, so what follows one of its replies is ours.
bool ReadExact(ssh_channel pChannel, CLibsshSession& session, char* pData, std::size_t nSize)
{
    while (nSize > 0) {
        const int nRead = ssh_channel_read(pChannel, pData, static_cast<std::uint32_t>(nSize), 0);
        if (nRead < 0 || (nRead == 0 && !session.IsAlive()))
            return false;
        pData += nRead;
        nSize -= static_cast<std::size_t>(nRead);
    }
    return true;
}

// Replies to our own requests, read from libssh's channel in large pieces: only a large read
// makes libssh open its receive window wider than 1.28 MB (to the size asked for), which at 50 ms
// round trip holds a download to about 10 MB/s. Only our replies are on the channel while we read
// them.
class CReplyReader
{
public:
    CReplyReader(ssh_channel pChannel, CLibsshSession& session)
        : m_pChannel(pChannel), m_session(session)
    {
    }

    bool Read(char* pOut, std::size_t nSize)
    {
        while (m_buffer.size() - m_nAt < nSize) {
            if (!m_pScratch)
                m_pScratch.reset(new char[kWindow]); // not cleared: a restore of small files
            const int nRead = ssh_channel_read(m_pChannel, m_pScratch.get(),
                                               static_cast<std::uint32_t>(kWindow), 0);
            if (nRead < 0 || (nRead == 0 && !m_session.IsAlive()))
                return false;
            m_buffer.erase(0, m_nAt);
            m_nAt = 0;
            m_buffer.append(m_pScratch.get(), static_cast<std::size_t>(nRead));
        }
        std::memcpy(pOut, m_buffer.data() + m_nAt, nSize);
        m_nAt += nSize;
        return true;
    }

private:
    static constexpr std::size_t kWindow = 8 * 1024 * 1024;
    ssh_channel m_pChannel;
    CLibsshSession& m_session;
    std::unique_ptr<char[]> m_pScratch;
    std::string m_buffer;
    std::size_t m_nAt = 0;
};

bool IsNoted(const std::set<std::string>& servers, const std::string& strServerKey)
{
    const std::lock_guard<std::mutex> hold(g_libsshLock);
    return servers.count(strServerKey) != 0;
}

void Note(std::set<std::string>& servers, const std::string& strServerKey)
{
    const std::lock_guard<std::mutex> hold(g_libsshLock);
    servers.insert(strServerKey);
}

std::time_t TimeOf(sftp_attributes pAttributes)
{
    return (pAttributes->flags & SSH_FILEXFER_ATTR_ACMODTIME) != 0
               ? static_cast<std::time_t>(pAttributes->mtime)
               : 0;
}

} // namespace

bool CLibsshSftpConnection::IsNeededFor(const std::string& strServerKey)
{
    return IsNoted(g_libsshServers, strServerKey);
}

void CLibsshSftpConnection::NoteNeededFor(const std::string& strServerKey)
{
    Note(g_libsshServers, strServerKey);
}

bool CLibsshSftpConnection::CannotReach(const std::string& strServerKey)
{
    return IsNoted(g_libssh2Servers, strServerKey);
}

void CLibsshSftpConnection::NoteCannotReach(const std::string& strServerKey)
{
    Note(g_libssh2Servers, strServerKey);
}

CLibsshSftpConnection::CLibsshSftpConnection(const CFtpAddress& address, const std::string& strUser,
                                             const std::string& strPassword,
                                             const std::string& strKnownHosts,
                                             std::shared_ptr<CServerRefusals> pRefusals)
    : CFtpConnection(nullptr, address, std::string(), nullptr, strUser, strPassword,
                     std::move(pRefusals)),
      m_strUserName(strUser), m_strSecret(strPassword), m_strKnownHosts(strKnownHosts)
{
}

CLibsshSftpConnection::~CLibsshSftpConnection()
{
    // A cancelled session was shut down in the middle of something: not worth keeping.
    const bool bCancelled = m_pCancel && m_pCancel->load();
    if (!m_pSession || !m_pSessionPool || bCancelled || !m_pSession->IsAlive())
        return;
    m_pSession->SetCancelFlag(nullptr); // the flag's owner may go before the pooled session
    m_pSessionPool->GiveSession(m_strPoolKey, std::move(m_pSession));
}

CFtpConnection*
CLibsshSftpConnection::Connect(const CFtpAddress& address, const std::string& strUser,
                               const std::string& strPassword, const std::string& strKnownHosts,
                               std::shared_ptr<CServerRefusals> pRefusals,
                               std::shared_ptr<CConnectionPool> pPool, const std::string& strKey,
                               ETransferFailure& eFailure, const std::atomic<bool>* pCancel)
{
    std::unique_ptr<CLibsshSftpConnection> pConnection(new CLibsshSftpConnection(
        address, strUser, strPassword, strKnownHosts, std::move(pRefusals)));
    pConnection->m_pCancel = pCancel;
    pConnection->m_strServerKey = CTrustStore::ServerKey(address.Host(), address.Port());
    pConnection->m_pSessionPool = pPool;
    pConnection->m_strPoolKey = strKey;
    eFailure = FAILURE_NONE;
    // A session given back a moment ago is taken as it is; an older one must first show that
    // the server has not dropped it meanwhile.
    const CInternetSession::Timeouts timeouts = CInternetSession::GetTimeouts();
    std::chrono::steady_clock::duration idleFor{};
    while (std::unique_ptr<CLibsshSession> pPooled =
               pPool ? pPool->TakeSession(strKey, idleFor) : nullptr) {
        pPooled->SetCancelFlag(pCancel);
        if (idleFor >= std::chrono::seconds(2)) {
            pPooled->SetStallSeconds(timeouts.nConnectSeconds); // an answer, as to a login
            CLibsshSession::CBusy busy(*pPooled);
            sftp_attributes pRoot = sftp_stat(pPooled->Sftp(), "/");
            if (pRoot)
                sftp_attributes_free(pRoot);
            pPooled->SetStallSeconds(timeouts.nStallSeconds);
        }
        if (pPooled->IsAlive()) {
            pConnection->m_pSession = std::move(pPooled);
            return pConnection.release();
        }
    }
    pConnection->m_pSession = pConnection->OpenSession(pCancel, timeouts.nConnectSeconds,
                                                       timeouts.nStallSeconds, eFailure);
    if (!pConnection->m_pSession)
        return nullptr;
    return pConnection.release();
}

std::unique_ptr<CLibsshSession> CLibsshSftpConnection::OpenSession(const std::atomic<bool>* pCancel,
                                                                   int nConnectSeconds,
                                                                   int nStallSeconds,
                                                                   ETransferFailure& eFailure) const
{
    auto pSession = std::make_unique<CLibsshSession>();
    pSession->SetStallSeconds(nStallSeconds);
    eFailure = pSession->Open(m_address.Host(), m_address.Port(), m_strKnownHosts, nConnectSeconds,
                              pCancel);
    if (eFailure != FAILURE_NONE)
        return nullptr;
    // The password goes only to the key the user trusted.
    const HostKeyInfo key = CHostKeyProbe::Describe(m_strKnownHosts, m_address.Host(),
                                                    m_address.Port(), pSession->HostKeyBlob());
    if (key.eMatch != HostKeyInfo::Known) {
        eFailure = key.eMatch == HostKeyInfo::Changed ? FAILURE_HOST_KEY_CHANGED
                                                      : FAILURE_HOST_KEY_UNKNOWN;
        return nullptr;
    }
    eFailure = pSession->Login(m_strUserName, m_strSecret);
    return eFailure == FAILURE_NONE ? std::move(pSession) : nullptr;
}

bool CLibsshSftpConnection::PauseAndReconnect(int nTry, ETransferFailure& eFailure,
                                              std::string& strWords)
{
    if (!WaitBeforeTrying(nTry)) {
        eFailure = FAILURE_CANCELLED;
        return false;
    }
    m_pSession.reset();
    if (Ready())
        return true;
    eFailure = m_eLastFailure;
    strWords = m_strLastReply;
    return false;
}

bool CLibsshSftpConnection::Ready()
{
    if (m_pCancel && m_pCancel->load())
        return FailWith(FAILURE_CANCELLED);
    if (m_pSession && m_pSession->IsAlive())
        return true;
    const CInternetSession::Timeouts timeouts = CInternetSession::GetTimeouts();
    ETransferFailure eFailure = FAILURE_NONE;
    m_pSession.reset();
    m_pSession = OpenSession(m_pCancel, timeouts.nConnectSeconds, timeouts.nStallSeconds, eFailure);
    return m_pSession || FailWith(eFailure);
}

bool CLibsshSftpConnection::FailSession()
{
    const ETransferFailure eFailure = m_pSession->LastFailure();
    return FailWith(eFailure,
                    eFailure == FAILURE_SERVER_REFUSED ? m_pSession->LastError() : std::string());
}

bool CLibsshSftpConnection::FailWith(ETransferFailure eFailure, const std::string& strWords)
{
    m_eLastFailure = eFailure;
    m_strLastReply = strWords;
    return false;
}

bool CLibsshSftpConnection::Stat(const std::string& strPath, std::int64_t& nSize,
                                 std::time_t& tModified, bool& bFolder)
{
    CLibsshSession::CBusy busy(*m_pSession);
    sftp_attributes pAttributes = sftp_stat(m_pSession->Sftp(), strPath.c_str());
    if (!pAttributes)
        return false;
    nSize = (pAttributes->flags & SSH_FILEXFER_ATTR_SIZE) != 0
                ? static_cast<std::int64_t>(pAttributes->size)
                : -1;
    tModified = TimeOf(pAttributes);
    bFolder = pAttributes->type == SSH_FILEXFER_TYPE_DIRECTORY;
    sftp_attributes_free(pAttributes);
    return true;
}

bool CLibsshSftpConnection::ListFolder(const EntriesFn& onEntries)
{
    if (!Ready())
        return false;
    CLibsshSession::CBusy busy(*m_pSession);
    sftp_session pSftp = m_pSession->Sftp();
    sftp_dir pDir = sftp_opendir(pSftp, CurrentDirectory().c_str());
    if (!pDir)
        return FailSession();
    std::vector<FtpFileInfo> batch;
    while (sftp_attributes pAttributes = sftp_readdir(pSftp, pDir)) {
        m_pSession->Progress();
        FtpFileInfo info;
        info.strName = pAttributes->name ? pAttributes->name : "";
        info.dwFileAttributes = pAttributes->type == SSH_FILEXFER_TYPE_DIRECTORY
                                    ? FILE_ATTRIBUTE_DIRECTORY
                                    : FILE_ATTRIBUTE_NORMAL;
        info.nSize = (pAttributes->flags & SSH_FILEXFER_ATTR_SIZE) != 0
                         ? static_cast<std::int64_t>(pAttributes->size)
                         : -1;
        info.tLastWrite = TimeOf(pAttributes);
        info.eTimeKind = info.tLastWrite > 0 ? TIME_EXACT : TIME_UNKNOWN;
        sftp_attributes_free(pAttributes);
        batch.push_back(std::move(info));
        if (batch.size() >= 256) {
            onEntries(batch);
            batch.clear();
        }
    }
    const bool bWhole = sftp_dir_eof(pDir) != 0;
    if (!bWhole)
        FailSession();
    sftp_closedir(pDir);
    if (!batch.empty())
        onEntries(batch);
    return bWhole;
}

std::time_t CLibsshSftpConnection::ModificationTime(const std::string& strPath)
{
    std::int64_t nSize = -1;
    std::time_t tModified = 0;
    bool bFolder = false;
    return Ready() && Stat(strPath, nSize, tModified, bFolder) ? tModified : 0;
}

void CLibsshSftpConnection::RemoveQuietly(const std::string& strPath)
{
    if (!m_pSession || !m_pSession->IsAlive())
        return;
    CLibsshSession::CBusy busy(*m_pSession);
    sftp_unlink(m_pSession->Sftp(), strPath.c_str());
}

bool CLibsshSftpConnection::DeleteFile(const std::string& strRemotePath)
{
    m_eLastFailure = FAILURE_NONE;
    m_strLastReply.clear();
    const std::string strTarget = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strTarget))
        return FailWith(FAILURE_SERVER_REFUSED);
    if (!Ready())
        return false;
    CLibsshSession::CBusy busy(*m_pSession);
    return sftp_unlink(m_pSession->Sftp(), strTarget.c_str()) == SSH_OK || FailSession();
}

bool CLibsshSftpConnection::RemoveFolder(const std::string& strRemotePath)
{
    m_eLastFailure = FAILURE_NONE;
    m_strLastReply.clear();
    const std::string strTarget = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strTarget) || strTarget == "/")
        return FailWith(FAILURE_SERVER_REFUSED);
    if (!Ready())
        return false;
    CLibsshSession::CBusy busy(*m_pSession);
    return sftp_rmdir(m_pSession->Sftp(), strTarget.c_str()) == SSH_OK || FailSession();
}

std::int64_t CLibsshSftpConnection::FreeSpace(const std::string& strFolder)
{
    const std::string strPath = AbsolutePath(strFolder);
    if (!CFtpAddress::IsSafeText(strPath) || !Ready())
        return -1;
    CLibsshSession::CBusy busy(*m_pSession);
    sftp_statvfs_t pInfo = sftp_statvfs(m_pSession->Sftp(), strPath.c_str());
    if (!pInfo)
        return -1; // a server without OpenSSH's statvfs extension tells none
    std::int64_t nFree = -1;
    if (pInfo->f_frsize > 0 && pInfo->f_bavail <= std::uint64_t(INT64_MAX) / pInfo->f_frsize)
        nFree = static_cast<std::int64_t>(pInfo->f_bavail * pInfo->f_frsize);
    sftp_statvfs_free(pInfo);
    return nFree;
}

bool CLibsshSftpConnection::MakeFolders(const std::string& strRemoteFolder)
{
    std::string strFolder = AbsolutePath(strRemoteFolder);
    while (strFolder.size() > 1 && strFolder.back() == '/')
        strFolder.pop_back();
    if (!CFtpAddress::IsSafeText(strFolder))
        return false;
    if (strFolder.size() <= 1)
        return true;
    if (!Ready())
        return false;
    // A folder that exists is refused, and the next one is made all the same.
    CLibsshSession::CBusy busy(*m_pSession);
    for (std::size_t nSlash = strFolder.find('/', 1);; nSlash = strFolder.find('/', nSlash + 1)) {
        sftp_mkdir(m_pSession->Sftp(), strFolder.substr(0, nSlash).c_str(), 0755);
        m_pSession->Progress();
        if (nSlash == std::string::npos)
            break;
    }
    return m_pSession->IsAlive() || FailSession();
}

bool CLibsshSftpConnection::SetModificationTime(const std::string& strRemotePath,
                                                std::time_t tModified)
{
    const std::string strTarget = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strTarget) || !Ready())
        return false;
    CLibsshSession::CBusy busy(*m_pSession);
    const timeval times[2] = {{std::time(nullptr), 0}, {tModified, 0}};
    return sftp_utimes(m_pSession->Sftp(), strTarget.c_str(), times) == SSH_OK;
}

bool CLibsshSftpConnection::PutFile(const std::string& strLocalPath,
                                    const std::string& strRemotePath, const ProgressFn& onProgress)
{
    m_eLastFailure = FAILURE_NONE;
    m_strLastReply.clear();
    m_bUnchecked = false;
    m_bKeptVersion = false;
    ClearRestart();
    const std::string strKeep = std::exchange(m_strKeepNext, std::string());
    const std::string strTarget = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strTarget) || strTarget.back() == '/')
        return FailWith(FAILURE_SERVER_REFUSED);
    std::int64_t nSize = 0;
    timespec modified{};
    ETransferFailure eOpen = FAILURE_NONE;
    FILE* pFile = OpenLocalUpload(strLocalPath, nSize, modified, eOpen);
    if (!pFile)
        return FailWith(eOpen);
    if (!Ready()) {
        std::fclose(pFile);
        return false;
    }
    const std::string strTemp =
        JoinPath(SplitPath(strTarget).folder, CTemporaries::NewUploadName());
    // A break is tried again on a fresh session; a large file goes on where the server's copy
    // surely ends.
    std::int64_t nFrom = 0;
    ETransferFailure eFailure = FAILURE_NONE;
    std::string strWords;
    for (int nTry = 0;; ++nTry) {
        std::int64_t nSurely = nFrom;
        eFailure = Send(pFile, nSize, strTemp, nSurely, onProgress, strWords);
        if (eFailure == FAILURE_NONE || !MayTryAgain(eFailure, nTry))
            break;
        if (!PauseAndReconnect(nTry, eFailure, strWords))
            break;
        nFrom = IsResumable(nSize) ? ResumePoint(strTemp, nSize, nSurely) : 0;
    }
    if (eFailure == FAILURE_NONE && LocalFileChanged(pFile, modified))
        eFailure = FAILURE_FILE_CHANGED;
    std::fclose(pFile);
    if (eFailure != FAILURE_NONE)
        return Abandon(strTemp, eFailure, strWords);
    // Each write was acknowledged; the size says that the server kept every byte.
    std::int64_t nKept = -1;
    std::time_t tModified = 0;
    bool bFolder = false;
    if (!Stat(strTemp, nKept, tModified, bFolder)) {
        const ETransferFailure eStat = m_pSession->LastFailure();
        return Abandon(strTemp, eStat, m_pSession->LastError());
    }
    if (nKept != nSize)
        return Abandon(strTemp, FAILURE_SIZE_CHECK);
    return Replace(strTemp, strTarget, strKeep);
}

std::int64_t CLibsshSftpConnection::ResumePoint(const std::string& strTemp, std::int64_t nSize,
                                                std::int64_t nSurely)
{
    // Writes in flight at the break may have landed out of order, so the temporary's size is
    // no proof of the bytes before it: the resume starts no later than the last write that
    // every earlier one was acknowledged before.
    std::int64_t nKept = -1;
    std::time_t tModified = 0;
    bool bFolder = false;
    if (!Stat(strTemp, nKept, tModified, bFolder) || bFolder || nKept > nSize) {
        NoteRestart(nullptr);
        return 0;
    }
    return std::min(nKept, nSurely);
}

ETransferFailure CLibsshSftpConnection::Send(FILE* pFile, std::int64_t nSize,
                                             const std::string& strTemp, std::int64_t& nFrom,
                                             const ProgressFn& onProgress, std::string& strWords)
{
    strWords.clear();
    if (fseeko(pFile, nFrom, SEEK_SET) != 0)
        return FAILURE_LOCAL_UNREADABLE;
    CLibsshSession::CBusy busy(*m_pSession);
    sftp_session pSftp = m_pSession->Sftp();
    // Going on: the temporary keeps what it has; starting: it is emptied.
    const int nFlags = nFrom > 0 ? O_WRONLY : O_WRONLY | O_CREAT | O_TRUNC;
    sftp_file pRemote = sftp_open(pSftp, strTemp.c_str(), nFlags, 0644);
    if (!pRemote) {
        const ETransferFailure eFailure = m_pSession->LastFailure();
        if (eFailure == FAILURE_SERVER_REFUSED)
            strWords = m_pSession->LastError();
        return eFailure;
    }
    const std::string strHandle(static_cast<const char*>(ssh_string_data(pRemote->handle)),
                                ssh_string_len(pRemote->handle));
    std::string strPacket;
    std::vector<char> chunk(kChunk);
    struct Write {
        std::uint32_t nId;
        std::int64_t nOffset;
        std::size_t nBytes;
    };
    std::deque<Write> inFlight; // in the order sent, so by offset
    std::int64_t nRead = nFrom;
    std::int64_t nAcknowledged = nFrom;
    bool bRead = true;
    ETransferFailure eLocal = FAILURE_NONE;
    std::string strRefusal;
    bool bBroken = false;
    while (!bBroken && ((bRead && nRead <= nSize) || !inFlight.empty())) {
        if (m_pCancel && m_pCancel->load()) {
            m_pSession->Cancel();
            bBroken = true;
            break;
        }
        if (bRead && inFlight.size() < kInFlight) {
            const std::size_t nGot = std::fread(chunk.data(), 1, chunk.size(), pFile);
            // A file written to meanwhile would arrive as a mix of two versions, or cut short.
            if (nGot == 0 && std::ferror(pFile))
                eLocal = FAILURE_LOCAL_UNREADABLE;
            else if (nRead + static_cast<std::int64_t>(nGot) > nSize ||
                     (nGot == 0 && nRead < nSize))
                eLocal = FAILURE_FILE_CHANGED;
            if (nGot == 0 || eLocal != FAILURE_NONE) {
                bRead = false;
                continue;
            }
            CBandwidthLimit::Take(CBandwidthLimit::Upload, nGot, m_pCancel);
            const std::uint32_t nId = ++pSftp->id_counter;
            strPacket.clear();
            PutU32(strPacket,
                   static_cast<std::uint32_t>(1 + 4 + 4 + strHandle.size() + 8 + 4 + nGot));
            strPacket += static_cast<char>(SSH_FXP_WRITE);
            PutU32(strPacket, nId);
            PutU32(strPacket, static_cast<std::uint32_t>(strHandle.size()));
            strPacket += strHandle;
            PutU32(strPacket, static_cast<std::uint32_t>(static_cast<std::uint64_t>(nRead) >> 32));
            PutU32(strPacket, static_cast<std::uint32_t>(nRead & 0xffffffff));
            PutU32(strPacket, static_cast<std::uint32_t>(nGot));
            strPacket.append(chunk.data(), nGot);
            if (ssh_channel_write(pSftp->channel, strPacket.data(),
                                  static_cast<std::uint32_t>(strPacket.size())) !=
                static_cast<int>(strPacket.size())) {
                bBroken = true;
                break;
            }
            inFlight.push_back({nId, nRead, nGot});
            nRead += static_cast<std::int64_t>(nGot);
            continue;
        }
        // A status reply: length, type, id, code, message.
        unsigned char header[13];
        if (!ReadExact(pSftp->channel, *m_pSession, reinterpret_cast<char*>(header), 4)) {
            bBroken = true;
            break;
        }
        const std::uint32_t nLength = GetU32(header);
        if (nLength < 9 || nLength > 256 * 1024 ||
            !ReadExact(pSftp->channel, *m_pSession, reinterpret_cast<char*>(header + 4), 9)) {
            bBroken = true;
            break;
        }
        std::string strRest(nLength - 9, '\0');
        if (!ReadExact(pSftp->channel, *m_pSession, &strRest[0], strRest.size()) ||
            header[4] != SSH_FXP_STATUS) {
            bBroken = true;
            break;
        }
        const std::uint32_t nId = GetU32(header + 5);
        auto it = inFlight.begin();
        while (it != inFlight.end() && it->nId != nId)
            ++it;
        if (it == inFlight.end()) {
            bBroken = true;
            break;
        }
        if (GetU32(header + 9) != SSH_FX_OK) {
            if (strRefusal.empty()) {
                const auto* pText = reinterpret_cast<const unsigned char*>(strRest.data());
                const std::uint32_t nText = strRest.size() >= 4 ? GetU32(pText) : 0;
                strRefusal =
                    "SFTP server: " + (nText <= strRest.size() - 4 ? strRest.substr(4, nText)
                                                                   : std::string("write refused"));
            }
            bRead = false; // what is in flight is drained, nothing more is sent
        }
        nAcknowledged += static_cast<std::int64_t>(it->nBytes);
        inFlight.erase(it);
        m_pSession->Progress();
        if (onProgress)
            onProgress(nAcknowledged, nSize);
    }
    if (bBroken) {
        // What the server surely has: every byte before the oldest write not acknowledged.
        nFrom = inFlight.empty() ? nRead : inFlight.front().nOffset;
        sftp_close(pRemote); // on a dead session it only frees the handle
        return m_pSession->LastFailure() == FAILURE_CANCELLED ? FAILURE_CANCELLED
                                                              : FAILURE_CONNECTION_BROKEN;
    }
    const bool bClosed = sftp_close(pRemote) == SSH_OK;
    if (eLocal != FAILURE_NONE)
        return eLocal;
    if (!strRefusal.empty()) {
        strWords = strRefusal;
        return FAILURE_SERVER_REFUSED;
    }
    if (!bClosed) {
        strWords = m_pSession->LastError();
        return m_pSession->LastFailure();
    }
    return FAILURE_NONE;
}

bool CLibsshSftpConnection::Replace(const std::string& strTemp, const std::string& strTarget,
                                    const std::string& strKeep)
{
    // The copy being replaced is kept among the versions: it moves there first.
    if (!strKeep.empty())
        return SwapIn(strTemp, strTarget, strKeep, false, std::string());
    // OpenSSH's posix-rename replaces the target in one step (libssh 0.10 does not send it); a
    // plain SFTP rename refuses a taken name.
    sftp_session pSftp = m_pSession->Sftp();
    if (sftp_extension_supported(pSftp, "posix-rename@openssh.com", "1")) {
        std::string strWords;
        const int nStatus = PosixRename(strTemp, strTarget, strWords);
        if (nStatus == SSH_FX_OK)
            return true;
        // Cut off before the reply: what counts is what the server did.
        if (nStatus < 0)
            return SettleCutRename(strTemp) ||
                   FailWith(m_pSession->LastFailure() == FAILURE_CANCELLED
                                ? FAILURE_CANCELLED
                                : FAILURE_CONNECTION_BROKEN);
        // A folder in the way, or a name the server will not give: the old copy stays.
        return Abandon(strTemp, FAILURE_SERVER_REFUSED, "SFTP server: " + strWords);
    }
    {
        CLibsshSession::CBusy busy(*m_pSession);
        if (sftp_rename(pSftp, strTemp.c_str(), strTarget.c_str()) == SSH_OK)
            return true;
    }
    const ETransferFailure eFailure = m_pSession->LastFailure();
    const std::string strRefusal = m_pSession->LastError();
    // Cut off before the reply: what counts is what the server did.
    if (eFailure != FAILURE_SERVER_REFUSED)
        return SettleCutRename(strTemp) || FailWith(eFailure);
    std::int64_t nSize = -1;
    std::time_t tModified = 0;
    bool bFolder = false;
    // A folder in the way is never moved; nothing there means the refusal was the rename's.
    if (!Stat(strTarget, nSize, tModified, bFolder) || bFolder)
        return Abandon(strTemp, FAILURE_SERVER_REFUSED, strRefusal);
    // The old copy goes aside, the checked temporary takes its name, then the old copy goes.
    const std::string strAside =
        JoinPath(SplitPath(strTarget).folder, CTemporaries::NewAsideName());
    return SwapIn(strTemp, strTarget, strAside, true, strRefusal);
}

int CLibsshSftpConnection::PosixRename(const std::string& strFrom, const std::string& strTo,
                                       std::string& strWords)
{
    static const std::string s_strName = "posix-rename@openssh.com";
    CLibsshSession::CBusy busy(*m_pSession);
    sftp_session pSftp = m_pSession->Sftp();
    const std::uint32_t nId = ++pSftp->id_counter;
    std::string strPacket;
    PutU32(strPacket, static_cast<std::uint32_t>(1 + 4 + 4 + s_strName.size() + 4 + strFrom.size() +
                                                 4 + strTo.size()));
    strPacket += static_cast<char>(SSH_FXP_EXTENDED);
    PutU32(strPacket, nId);
    for (const std::string* pText : {&s_strName, &strFrom, &strTo}) {
        PutU32(strPacket, static_cast<std::uint32_t>(pText->size()));
        strPacket += *pText;
    }
    if (ssh_channel_write(pSftp->channel, strPacket.data(),
                          static_cast<std::uint32_t>(strPacket.size())) !=
        static_cast<int>(strPacket.size()))
        return -1;
    // The status reply: length, type, id, code, then the message.
    unsigned char header[13];
    if (!ReadExact(pSftp->channel, *m_pSession, reinterpret_cast<char*>(header), 4))
        return -1;
    const std::uint32_t nLength = GetU32(header);
    if (nLength < 9 || nLength > 256 * 1024 ||
        !ReadExact(pSftp->channel, *m_pSession, reinterpret_cast<char*>(header + 4), 9))
        return -1;
    std::string strRest(nLength - 9, '\0');
    if (!ReadExact(pSftp->channel, *m_pSession, &strRest[0], strRest.size()) ||
        header[4] != SSH_FXP_STATUS || GetU32(header + 5) != nId)
        return -1;
    const auto* pText = reinterpret_cast<const unsigned char*>(strRest.data());
    const std::uint32_t nText = strRest.size() >= 4 ? GetU32(pText) : 0;
    strWords = strRest.size() >= 4 && nText <= strRest.size() - 4 ? strRest.substr(4, nText)
                                                                  : std::string("rename refused");
    return static_cast<int>(GetU32(header + 9));
}

bool CLibsshSftpConnection::SwapIn(const std::string& strTemp, const std::string& strTarget,
                                   const std::string& strOld, bool bDropOld,
                                   const std::string& strRefusal)
{
    // At every moment one of the two names holds the old copy.
    sftp_session pSftp = m_pSession->Sftp();
    CLibsshSession::CBusy busy(*m_pSession);
    if (sftp_rename(pSftp, strTarget.c_str(), strOld.c_str()) != SSH_OK) {
        if (m_pSession->LastFailure() == FAILURE_SERVER_REFUSED)
            return Abandon(strTemp, FAILURE_SERVER_REFUSED,
                           strRefusal.empty() ? m_pSession->LastError() : strRefusal);
    } else if (sftp_rename(pSftp, strTemp.c_str(), strTarget.c_str()) == SSH_OK) {
        if (bDropOld)
            sftp_unlink(pSftp, strOld.c_str()); // a copy left here is only the old one
        m_bKeptVersion = !bDropOld;
        return true;
    }
    // After a break the old copy may have moved all the same: it is put back too.
    const ETransferFailure eFailure = m_pSession->LastFailure();
    const std::string strWords =
        eFailure == FAILURE_SERVER_REFUSED ? m_pSession->LastError() : std::string();
    std::unique_ptr<CLibsshSession> pFresh;
    CLibsshSession* pCleaner = m_pSession.get();
    if (eFailure != FAILURE_SERVER_REFUSED) {
        ETransferFailure eIgnored = FAILURE_NONE;
        pFresh = OpenSession(nullptr, kCleanupSeconds, kCleanupSeconds, eIgnored);
        pCleaner = pFresh.get();
    }
    if (pCleaner) {
        CLibsshSession::CBusy cleaning(*pCleaner);
        sftp_rename(pCleaner->Sftp(), strOld.c_str(), strTarget.c_str());
        sftp_unlink(pCleaner->Sftp(), strTemp.c_str());
    }
    return FailWith(eFailure, strWords);
}

bool CLibsshSftpConnection::SettleCutRename(const std::string& strTemp)
{
    // On a fresh session, within a short time: our temporary still there means the old copy
    // still has the name (and the temporary goes); gone, the new copy has it.
    ETransferFailure eFailure = FAILURE_NONE;
    auto pFresh = OpenSession(nullptr, kCleanupSeconds, kCleanupSeconds, eFailure);
    if (!pFresh)
        return false;
    CLibsshSession::CBusy busy(*pFresh);
    return sftp_unlink(pFresh->Sftp(), strTemp.c_str()) != SSH_OK &&
           sftp_get_error(pFresh->Sftp()) == SSH_FX_NO_SUCH_FILE;
}

bool CLibsshSftpConnection::Abandon(const std::string& strTemp, ETransferFailure eFailure,
                                    const std::string& strWords)
{
    // Whatever part of it arrived goes. A connection that broke or was cancelled is not
    // trusted with that: a fresh one is, for a short time.
    if (m_pSession && m_pSession->IsAlive()) {
        CLibsshSession::CBusy busy(*m_pSession);
        sftp_unlink(m_pSession->Sftp(), strTemp.c_str());
    } else {
        ETransferFailure eIgnored = FAILURE_NONE;
        auto pFresh = OpenSession(nullptr, kCleanupSeconds, kCleanupSeconds, eIgnored);
        if (pFresh) {
            CLibsshSession::CBusy busy(*pFresh);
            sftp_unlink(pFresh->Sftp(), strTemp.c_str());
        }
    }
    return FailWith(eFailure, strWords);
}

bool CLibsshSftpConnection::GetFile(const std::string& strRemotePath,
                                    const std::string& strLocalPath, const ProgressFn& onProgress)
{
    m_eLastFailure = FAILURE_NONE;
    m_strLastReply.clear();
    m_bUnchecked = false;
    ClearRestart();
    const std::string strSource = AbsolutePath(strRemotePath);
    if (!CFtpAddress::IsSafeText(strSource) || strSource.back() == '/')
        return FailWith(FAILURE_SERVER_REFUSED);
    // A folder of the file's name would refuse the rename only once every byte had come.
    if (IsLocalFolder(strLocalPath))
        return FailWith(FAILURE_LOCAL_UNWRITABLE);
    if (!Ready())
        return false;

    const std::string strLocalDir = SplitPath(strLocalPath).folder;
    CTemporaries::RemoveStaleLocal(strLocalDir, std::time(nullptr));
    std::string strTemp = JoinPath(strLocalDir, CTemporaries::RestoreTemplate());
    const int fd = mkostemp(&strTemp[0], O_CLOEXEC);
    if (fd < 0)
        return FailWith(LocalWriteFailureOf(errno));
    CWriteBehindFile target(fd);

    ETransferFailure eFailure = FAILURE_NONE;
    std::string strWords;
    std::int64_t nExpected = -1;
    std::int64_t nReceived = 0;
    std::time_t tModified = 0;
    bool bWriteFailed = false;
    // A break is tried again on a fresh session: a large file goes on from where the temporary
    // ends on disk, a smaller one, or one whose size changed meanwhile, starts again.
    std::int64_t nFrom = 0;
    std::int64_t nWhole = -1; // the server's size for the file, once a try told it
    const auto goOnAt = [&](std::int64_t nAt) {
        nFrom = nAt;
        return ftruncate(fd, nAt) == 0 && lseek(fd, nAt, SEEK_SET) == nAt && target.ResumeAt(nAt);
    };
    for (int nTry = 0;; ++nTry) {
        eFailure = Receive(strSource, target, nFrom, nExpected, nReceived, tModified, bWriteFailed,
                           strWords, onProgress);
        if (nFrom > 0 && nExpected >= 0 && nWhole >= 0 && nExpected != nWhole) {
            NoteRestart(nullptr);
            if (!goOnAt(0))
                break;
            nWhole = nExpected;
            continue;
        }
        if (nExpected >= 0)
            nWhole = nExpected;
        if (bWriteFailed || !MayTryAgain(eFailure, nTry))
            break;
        if (!PauseAndReconnect(nTry, eFailure, strWords))
            break;
        struct stat written;
        if (!IsResumable(std::max(nWhole, nReceived)))
            written.st_size = 0;
        else if (fstat(fd, &written) != 0)
            break;
        if (!goOnAt(written.st_size))
            break;
    }
    if (eFailure == FAILURE_NONE && !bWriteFailed && nExpected >= 0 && nReceived != nExpected)
        eFailure = FAILURE_DOWNLOAD_SHORT;
    if (eFailure == FAILURE_NONE && nExpected < 0)
        m_bUnchecked = true;

    TakeLocalModeOf(fd, strLocalPath);
    // On disk before the rename, or a crash could leave an empty file where the old one was.
    const bool bSynced = eFailure == FAILURE_NONE && !bWriteFailed && target.Finish();
    if (bSynced && tModified > 0) {
        const timespec times[2] = {{0, UTIME_NOW}, {tModified, 0}};
        futimens(fd, times);
    }
    const bool bClosed = ::close(fd) == 0;
    if (bSynced && bClosed && std::rename(strTemp.c_str(), strLocalPath.c_str()) == 0) {
        SyncLocalFolder(strLocalDir.empty() ? "." : strLocalDir);
        return true;
    }
    const int nErrno = target.LastErrno() ? target.LastErrno() : errno;
    ::unlink(strTemp.c_str());
    if (eFailure != FAILURE_NONE)
        return FailWith(eFailure, strWords);
    return FailWith(LocalWriteFailureOf(nErrno));
}

ETransferFailure CLibsshSftpConnection::Receive(const std::string& strSource,
                                                CWriteBehindFile& target, std::int64_t nFrom,
                                                std::int64_t& nExpected, std::int64_t& nReceived,
                                                std::time_t& tModified, bool& bWriteFailed,
                                                std::string& strWords, const ProgressFn& onProgress)
{
    ETransferFailure eFailure = FAILURE_NONE;
    strWords.clear();
    nExpected = -1;
    nReceived = nFrom;
    CLibsshSession::CBusy busy(*m_pSession);
    sftp_file pRemote = sftp_open(m_pSession->Sftp(), strSource.c_str(), O_RDONLY, 0);
    sftp_attributes pAttributes = pRemote ? sftp_fstat(pRemote) : nullptr;
    if (pAttributes) {
        if ((pAttributes->flags & SSH_FILEXFER_ATTR_SIZE) != 0)
            nExpected = static_cast<std::int64_t>(pAttributes->size);
        tModified = TimeOf(pAttributes);
        sftp_attributes_free(pAttributes);
    }
    // Reads in flight up to the size the server gave, sent and read by us as the writes
    // are. A short one (which OpenSSH sends only at the end) restarts them where it ended,
    // once those after it are drained, so that no byte is skipped.
    sftp_session pSftp = m_pSession->Sftp();
    const std::string strHandle =
        pRemote ? std::string(static_cast<const char*>(ssh_string_data(pRemote->handle)),
                              ssh_string_len(pRemote->handle))
                : std::string();
    CReplyReader reader(pSftp->channel, *m_pSession);
    std::vector<char> buffer(kChunk);
    std::string strPacket;
    std::deque<std::uint32_t> inFlight;
    std::int64_t nAsked = nFrom;
    bool bEnd = !pAttributes;
    bool bRestart = false;
    bool bBroken = false;
    while (pAttributes && !bWriteFailed) {
        if (m_pCancel && m_pCancel->load()) {
            m_pSession->Cancel();
            bBroken = true;
            break;
        }
        while (!bEnd && !bRestart && inFlight.size() < kReadsInFlight &&
               (nExpected < 0 || nAsked < nExpected)) {
            const std::uint32_t nId = ++pSftp->id_counter;
            strPacket.clear();
            PutU32(strPacket, static_cast<std::uint32_t>(1 + 4 + 4 + strHandle.size() + 8 + 4));
            strPacket += static_cast<char>(SSH_FXP_READ);
            PutU32(strPacket, nId);
            PutU32(strPacket, static_cast<std::uint32_t>(strHandle.size()));
            strPacket += strHandle;
            PutU32(strPacket, static_cast<std::uint32_t>(static_cast<std::uint64_t>(nAsked) >> 32));
            PutU32(strPacket, static_cast<std::uint32_t>(nAsked & 0xffffffff));
            PutU32(strPacket, static_cast<std::uint32_t>(kChunk));
            if (ssh_channel_write(pSftp->channel, strPacket.data(),
                                  static_cast<std::uint32_t>(strPacket.size())) !=
                static_cast<int>(strPacket.size())) {
                bBroken = true;
                break;
            }
            inFlight.push_back(nId);
            nAsked += static_cast<std::int64_t>(kChunk);
        }
        if (bBroken)
            break;
        if (inFlight.empty()) {
            if (!bRestart)
                break;
            bRestart = false;
            nAsked = nReceived;
            continue;
        }
        // A reply: length, type, id, then the data or a status.
        unsigned char header[13];
        if (!reader.Read(reinterpret_cast<char*>(header), 9) ||
            GetU32(header + 5) != inFlight.front()) {
            bBroken = true;
            break;
        }
        inFlight.pop_front();
        const std::uint32_t nLength = GetU32(header);
        if (header[4] == SSH_FXP_DATA) {
            if (!reader.Read(reinterpret_cast<char*>(header + 9), 4)) {
                bBroken = true;
                break;
            }
            const std::uint32_t nGot = GetU32(header + 9);
            if (nGot > kChunk || nLength != 9 + nGot || !reader.Read(buffer.data(), nGot)) {
                bBroken = true;
                break;
            }
            m_pSession->Progress();
            CBandwidthLimit::Take(CBandwidthLimit::Download, nGot, m_pCancel);
            if (bRestart || bEnd)
                continue; // past a gap: asked again
            if (!target.Write(buffer.data(), nGot)) {
                bWriteFailed = true;
                break;
            }
            nReceived += nGot;
            if (onProgress)
                onProgress(nReceived, nExpected);
            bRestart = nGot < kChunk && !inFlight.empty();
            continue;
        }
        std::string strRest(nLength >= 5 ? nLength - 5 : 0, '\0');
        if (header[4] != SSH_FXP_STATUS || strRest.size() < 4 ||
            !reader.Read(&strRest[0], strRest.size())) {
            bBroken = true;
            break;
        }
        const auto* pRest = reinterpret_cast<const unsigned char*>(strRest.data());
        if (GetU32(pRest) != SSH_FX_EOF && !bEnd && eFailure == FAILURE_NONE) {
            const std::uint32_t nText = strRest.size() >= 8 ? GetU32(pRest + 4) : 0;
            eFailure = FAILURE_SERVER_REFUSED;
            strWords =
                "SFTP server: " + (nText <= strRest.size() - 8 ? strRest.substr(8, nText)
                                                               : std::string("read refused"));
        }
        bEnd = true; // the end of the file, as the server sees it now
    }
    if (bBroken)
        eFailure = m_pSession->LastFailure() == FAILURE_CANCELLED ? FAILURE_CANCELLED
                                                                  : FAILURE_CONNECTION_BROKEN;
    if (!pAttributes) {
        eFailure = m_pSession->LastFailure();
        if (eFailure == FAILURE_SERVER_REFUSED)
            strWords = m_pSession->LastError();
    }
    if (pRemote)
        sftp_close(pRemote); // on a dead session it only frees the handle
    return eFailure;
}
