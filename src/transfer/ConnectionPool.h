#pragma once
// Logged-in FTP connections that no job uses at the moment, kept for the next job of the
// same account. Each is a whole libcurl handle with its own connection, used by one thread
// at a time: libcurl's shared connection cache is not safe between threads that run at once.
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CCurlHandle;
class CLibsshSession;

class CConnectionPool
{
public:
    CConnectionPool(); // out of line: the idle sessions' type is not complete here
    ~CConnectionPool();

    // An idle handle logged in to the account (key), or null; pIdleFor tells how long it
    // has been idle.
    std::unique_ptr<CCurlHandle> Take(const std::string& strKey,
                                      std::chrono::steady_clock::duration* pIdleFor = nullptr);
    // Keeps a handle for later; after Close(), or when enough are kept, it is freed.
    void Give(const std::string& strKey, std::unique_ptr<CCurlHandle> pHandle);
    // The same for the SFTP sessions that go through libssh.
    std::unique_ptr<CLibsshSession> TakeSession(const std::string& strKey,
                                                std::chrono::steady_clock::duration& idleFor);
    void GiveSession(const std::string& strKey, std::unique_ptr<CLibsshSession> pSession);
    // Frees every idle handle; handles given back later are freed at once.
    void Close();

private:
    struct Idle {
        std::unique_ptr<CCurlHandle> pHandle;
        std::chrono::steady_clock::time_point since;
    };
    // Moves the handles idle too long into expired, to be freed outside the lock.
    void TakeExpiredLocked(std::vector<std::unique_ptr<CCurlHandle>>& expired);
    void TakeExpiredSessionsLocked(std::vector<std::unique_ptr<CLibsshSession>>& expired);

    std::mutex m_lock;
    std::multimap<std::string, Idle> m_idle;
    struct IdleSession {
        std::unique_ptr<CLibsshSession> pSession;
        std::chrono::steady_clock::time_point since;
    };
    std::multimap<std::string, IdleSession> m_idleSessions;
    bool m_bClosed = false;
};
