#pragma once
// One SSH connection through libssh, for the SFTP servers that libssh2 cannot negotiate with
// (an RSA host key that signs with rsa-sha2 only; encrypt-then-MAC only). libssh's calls block;
// a watcher thread keeps them stoppable: once the cancel flag is set, or an operation has made
// no progress for the stall time, it shuts the socket down, which ends whatever call waits on
// it within milliseconds. The connection is then dead, and a failure.
#include "TransferFailure.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

typedef struct ssh_session_struct* ssh_session;
typedef struct sftp_session_struct* sftp_session;

class CLibsshSession
{
public:
    CLibsshSession();
    ~CLibsshSession();
    CLibsshSession(const CLibsshSession&) = delete;
    CLibsshSession& operator=(const CLibsshSession&) = delete;

    // Connects and agrees on keys with the server, sending no user name yet. strKnownHosts
    // only orders the host key types (the one trusted first); the key itself is checked by
    // the caller, with HostKeyBlob(). FAILURE_KEY_EXCHANGE when no algorithm is shared.
    ETransferFailure Open(const std::string& strHost, int nPort, const std::string& strKnownHosts,
                          int nConnectSeconds, const std::atomic<bool>* pCancel);
    // The server's host key in its wire form; empty before Open() succeeded.
    std::string HostKeyBlob() const;
    // Logs in with the password (no other method) and starts SFTP.
    ETransferFailure Login(const std::string& strUser, const std::string& strPassword);

    sftp_session Sftp() const { return m_pSftp; }
    ssh_session Ssh() const { return m_pSsh; }
    // An operation that makes no progress for this long is ended as a broken connection.
    void SetStallSeconds(int nSeconds) { m_nStallSeconds = nSeconds; }
    // The flag that stops this session's calls: a pooled session gets its next job's.
    void SetCancelFlag(const std::atomic<bool>* pCancel) { m_pCancel = pCancel; }

    // Held around every blocking call; Progress() tells the watcher that bytes moved.
    class CBusy
    {
    public:
        explicit CBusy(CLibsshSession& session);
        ~CBusy();
        CBusy(const CBusy&) = delete;
        CBusy& operator=(const CBusy&) = delete;

    private:
        CLibsshSession& m_session;
    };
    void Progress();
    // Ends the connection at once: a cancel noticed between calls, with requests in flight.
    void Cancel();

    // What the last failed call means, and the server's or libssh's words for it.
    ETransferFailure LastFailure() const;
    std::string LastError() const;
    // Whether the connection still carries requests.
    bool IsAlive() const;

private:
    void Watch();
    void StopWatching();
    bool ConnectSocket(const std::string& strHost, int nPort, int nConnectSeconds);

    ssh_session m_pSsh = nullptr;
    sftp_session m_pSftp = nullptr;
    int m_nShutdownFd = -1; // our own descriptor of libssh's socket, for shutting it down
    std::atomic<const std::atomic<bool>*> m_pCancel{nullptr};
    std::atomic<int> m_nStallSeconds{60};
    std::atomic<int> m_nBusy{0};
    std::atomic<std::int64_t> m_nLastProgress{0}; // steady clock, milliseconds
    std::atomic<bool> m_bCancelled{false};
    std::atomic<bool> m_bStalled{false};
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_bStop = false;
    std::thread m_watcher;
};
