#pragma once
// Logged-in FTP connections that no job uses at the moment, kept for the next job of the
// same account. Each is a whole libcurl easy handle, used by one thread at a time: libcurl's
// shared connection cache is not safe between threads that run at once.
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

typedef void CURL;

class CConnectionPool
{
public:
    ~CConnectionPool();

    // An idle handle logged in to the account (key), or null.
    CURL* Take(const std::string& strKey);
    // Keeps a handle for later; after Close(), or when enough are kept, it is freed.
    void Give(const std::string& strKey, CURL* pEasy);
    // Frees every idle handle; handles given back later are freed at once.
    void Close();

    std::size_t IdleCount() const;

private:
    struct Idle {
        CURL* pEasy;
        std::chrono::steady_clock::time_point since;
    };
    void DropExpiredLocked();

    mutable std::mutex m_lock;
    std::multimap<std::string, Idle> m_idle;
    bool m_bClosed = false;
};
