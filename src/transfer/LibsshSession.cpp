#include "LibsshSession.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <libssh/libssh.h>
#include <libssh/sftp.h>
#include <netdb.h>
#include <openssl/evp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CLibsshSession::CLibsshSession() : m_pSsh(ssh_new()) {}

CLibsshSession::~CLibsshSession()
{
    StopWatching();
    if (m_pSftp)
        sftp_free(m_pSftp);
    if (m_pSsh) {
        // Only a connection that still works is closed politely; a dead one would wait.
        if (ssh_is_connected(m_pSsh) && !m_bCancelled && !m_bStalled)
            ssh_disconnect(m_pSsh);
        ssh_free(m_pSsh);
    }
    if (m_nShutdownFd >= 0)
        ::close(m_nShutdownFd);
}

CLibsshSession::CBusy::CBusy(CLibsshSession& session) : m_session(session)
{
    if (session.m_pSftp)
        session.m_pSftp->errnum = 0; // libssh keeps the last status until the next refusal
    session.m_nLastProgress = NowMs();
    ++session.m_nBusy;
}

CLibsshSession::CBusy::~CBusy()
{
    --m_session.m_nBusy;
}

void CLibsshSession::Progress()
{
    m_nLastProgress = NowMs();
}

void CLibsshSession::Cancel()
{
    m_bCancelled = true;
    if (m_nShutdownFd >= 0)
        ::shutdown(m_nShutdownFd, SHUT_RDWR);
}

bool CLibsshSession::ConnectSocket(const std::string& strHost, int nPort, int nConnectSeconds)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pFound = nullptr;
    if (getaddrinfo(strHost.c_str(), std::to_string(nPort).c_str(), &hints, &pFound) != 0)
        return false;
    const std::int64_t nDeadline = NowMs() + std::int64_t{nConnectSeconds} * 1000;
    int fd = -1;
    for (addrinfo* p = pFound; p && fd < 0; p = p->ai_next) {
        fd = ::socket(p->ai_family, p->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, p->ai_protocol);
        if (fd < 0)
            continue;
        bool bConnected = ::connect(fd, p->ai_addr, p->ai_addrlen) == 0;
        // Waited for in short steps, so that a cancel stops it.
        while (!bConnected && errno == EINPROGRESS && NowMs() < nDeadline &&
               !(m_pCancel.load() && m_pCancel.load()->load())) {
            pollfd wait{fd, POLLOUT, 0};
            if (::poll(&wait, 1, 100) > 0) {
                int nError = 0;
                socklen_t nLength = sizeof nError;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &nError, &nLength);
                bConnected = nError == 0;
                errno = nError;
                break;
            }
        }
        if (!bConnected) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(pFound);
    if (fd < 0)
        return false;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_nShutdownFd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    ssh_options_set(m_pSsh, SSH_OPTIONS_FD, &fd); // libssh closes it
    return m_nShutdownFd >= 0;
}

ETransferFailure CLibsshSession::Open(const std::string& strHost, int nPort,
                                      const std::string& strKnownHosts, int nConnectSeconds,
                                      const std::atomic<bool>* pCancel)
{
    SetCancelFlag(pCancel);
    if (!m_pSsh)
        return FAILURE_NO_CONNECTION;
    // Nothing of the user's own SSH set-up (~/.ssh/config, proxies, agents) comes in.
    const bool bNo = false;
    ssh_options_set(m_pSsh, SSH_OPTIONS_PROCESS_CONFIG, &bNo);
    ssh_options_set(m_pSsh, SSH_OPTIONS_HOST, strHost.c_str());
    const unsigned nUnsignedPort = static_cast<unsigned>(nPort);
    ssh_options_set(m_pSsh, SSH_OPTIONS_PORT, &nUnsignedPort);
    ssh_options_set(m_pSsh, SSH_OPTIONS_KNOWNHOSTS, strKnownHosts.c_str());
    ssh_options_set(m_pSsh, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, "/dev/null");
    const long nTimeout = nConnectSeconds;
    ssh_options_set(m_pSsh, SSH_OPTIONS_TIMEOUT, &nTimeout);
    if (!ConnectSocket(strHost, nPort, nConnectSeconds))
        return pCancel && pCancel->load() ? FAILURE_CANCELLED : FAILURE_NO_CONNECTION;
    m_watcher = std::thread(&CLibsshSession::Watch, this);
    int nResult = SSH_ERROR;
    {
        CBusy busy(*this);
        nResult = ssh_connect(m_pSsh);
    }
    if (nResult == SSH_OK)
        return FAILURE_NONE;
    if (m_bCancelled)
        return FAILURE_CANCELLED;
    // libssh's words when the two sides share no key exchange, host key, cipher or MAC.
    if (std::strstr(ssh_get_error(m_pSsh), "no match for method"))
        return FAILURE_KEY_EXCHANGE;
    return FAILURE_NO_CONNECTION;
}

std::string CLibsshSession::HostKeyBlob() const
{
    ssh_key pKey = nullptr;
    if (!m_pSsh || ssh_get_server_publickey(m_pSsh, &pKey) != SSH_OK)
        return std::string();
    // libssh 0.10 gives the wire form only as base64.
    char* pszBase64 = nullptr;
    std::string strBlob;
    if (ssh_pki_export_pubkey_base64(pKey, &pszBase64) == SSH_OK) {
        const std::size_t nText = std::strlen(pszBase64);
        strBlob.resize(nText);
        const int nBlob = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(&strBlob[0]),
                                          reinterpret_cast<const unsigned char*>(pszBase64),
                                          static_cast<int>(nText));
        std::size_t nPadding = 0; // EVP_DecodeBlock counts the padding's zero bytes too
        for (std::size_t i = nText; i > 0 && pszBase64[i - 1] == '='; --i)
            ++nPadding;
        strBlob.resize(nBlob > 0 ? static_cast<std::size_t>(nBlob) - nPadding : 0);
        ssh_string_free_char(pszBase64);
    }
    ssh_key_free(pKey);
    return strBlob;
}

ETransferFailure CLibsshSession::Login(const std::string& strUser, const std::string& strPassword)
{
    ssh_options_set(m_pSsh, SSH_OPTIONS_USER, strUser.c_str());
    CBusy busy(*this);
    const int nAuth = ssh_userauth_password(m_pSsh, nullptr, strPassword.c_str());
    if (nAuth != SSH_AUTH_SUCCESS)
        return nAuth == SSH_AUTH_DENIED || nAuth == SSH_AUTH_PARTIAL ? FAILURE_LOGIN_REFUSED
                                                                     : LastFailure();
    m_pSftp = sftp_new(m_pSsh);
    if (!m_pSftp || sftp_init(m_pSftp) != SSH_OK)
        return LastFailure() == FAILURE_NONE ? FAILURE_NO_CONNECTION : LastFailure();
    const long nStall = m_nStallSeconds;
    ssh_options_set(m_pSsh, SSH_OPTIONS_TIMEOUT, &nStall);
    return FAILURE_NONE;
}

void CLibsshSession::Watch()
{
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_bStop) {
        m_wake.wait_for(hold, std::chrono::milliseconds(50));
        if (m_bStop)
            break;
        const std::atomic<bool>* pCancel = m_pCancel;
        const int nStall = m_nStallSeconds;
        if (pCancel && pCancel->load())
            m_bCancelled = true;
        else if (m_nBusy > 0 && nStall > 0 &&
                 NowMs() - m_nLastProgress > std::int64_t{nStall} * 1000)
            m_bStalled = true;
        if (m_bCancelled || m_bStalled) {
            ::shutdown(m_nShutdownFd, SHUT_RDWR);
            break;
        }
    }
}

void CLibsshSession::StopWatching()
{
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_bStop = true;
    }
    m_wake.notify_all();
    if (m_watcher.joinable())
        m_watcher.join();
}

bool CLibsshSession::IsAlive() const
{
    return m_pSsh && !m_bCancelled && !m_bStalled && ssh_is_connected(m_pSsh) &&
           (!m_pSftp ||
            (ssh_channel_is_open(m_pSftp->channel) && !ssh_channel_is_eof(m_pSftp->channel)));
}

ETransferFailure CLibsshSession::LastFailure() const
{
    if (m_bCancelled)
        return FAILURE_CANCELLED;
    if (!IsAlive())
        return FAILURE_CONNECTION_BROKEN;
    // A status from the server: a refusal (OpenSSH gives a full disk as a plain failure).
    if (m_pSftp && sftp_get_error(m_pSftp) != SSH_FX_OK)
        return FAILURE_SERVER_REFUSED;
    return FAILURE_CONNECTION_BROKEN;
}

std::string CLibsshSession::LastError() const
{
    return m_pSsh ? std::string(ssh_get_error(m_pSsh)) : std::string();
}
