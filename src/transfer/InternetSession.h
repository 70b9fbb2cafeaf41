#pragma once
// The program's FTP session: what every connection of the process shares. Connections
// hold the session's pool, so closing the session while jobs still run is safe: their
// connections are freed when the jobs end instead of going back to the pool.
#include <cstdint>
#include <memory>
#include <string>

class CConnectionPool;
class CServerRefusals;
class CTrustStore;

class CInternetSession
{
public:
    // How long the client waits before it gives up. Process-wide settings; tests shorten them.
    static constexpr int DEFAULT_CONNECT_SECONDS = 20; // connecting and logging in
    // A transfer, listing or reply that makes no progress.
    static constexpr int DEFAULT_STALL_SECONDS = 60;
    struct Timeouts {
        int nConnectSeconds = DEFAULT_CONNECT_SECONDS;
        int nStallSeconds = DEFAULT_STALL_SECONDS;
    };
    static void SetTimeouts(const Timeouts& timeouts);
    static Timeouts GetTimeouts();
    // A transfer that breaks (the connection cut or stalled) is tried again after a pause that
    // doubles each time: a large file goes on from where the server's copy (or the local
    // temporary) ends, a smaller one starts again, which costs it little. Process-wide; tests
    // shorten the pauses.
    struct Resume {
        int nTries = 5;                    // tries again of one file before it fails
        int nFirstPauseMs = 1000;          // the pause before the first; doubled before each next
        int nMaxPauseMs = 60000;           // the longest pause
        std::int64_t nMinBytes = 16 << 20; // files this large or larger are resumed
    };
    static void SetResume(const Resume& resume);
    static Resume GetResume();

    CInternetSession();
    ~CInternetSession();
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    const std::shared_ptr<CConnectionPool>& Pool() const { return m_pPool; }
    // What the servers of this session refused; a new session (a new login) tries again.
    const std::shared_ptr<CServerRefusals>& Refusals() const { return m_pRefusals; }
    // The certificates the user trusted ($XDG_CONFIG_HOME/Brindlecor/trusted-certificates),
    // kept for good, unlike the refusals.
    const std::shared_ptr<CTrustStore>& TrustStore() const { return m_pTrustStore; }
    // The SFTP host keys the user trusted ($XDG_CONFIG_HOME/Brindlecor/known_hosts, in
    // OpenSSH's form), apart from the user's own ~/.ssh: trusting a server here changes
    // nothing for ssh, and ssh's choices change nothing here.
    const std::string& KnownHostsPath() const { return m_strKnownHosts; }

private:
    std::string m_strKnownHosts;
    std::shared_ptr<CTrustStore> m_pTrustStore;
    std::shared_ptr<CConnectionPool> m_pPool;
    std::shared_ptr<CServerRefusals> m_pRefusals;
};
