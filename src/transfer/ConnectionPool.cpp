#include "ConnectionPool.h"

#include <curl/curl.h>

namespace {
// Servers drop idle control connections after a few minutes; a handle older than this
// would most likely only cost a failed reuse before its new login.
constexpr auto kMaxIdle = std::chrono::seconds(120);
constexpr std::size_t kMaxIdleHandles = 8;
} // namespace

CConnectionPool::~CConnectionPool()
{
    Close();
}

CURL* CConnectionPool::Take(const std::string& strKey)
{
    std::lock_guard<std::mutex> guard(m_lock);
    DropExpiredLocked();
    auto it = m_idle.find(strKey);
    if (it == m_idle.end())
        return nullptr;
    CURL* pEasy = it->second.pEasy;
    m_idle.erase(it);
    return pEasy;
}

void CConnectionPool::Give(const std::string& strKey, CURL* pEasy)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        DropExpiredLocked();
        if (!m_bClosed && m_idle.size() < kMaxIdleHandles) {
            m_idle.emplace(strKey, Idle{pEasy, std::chrono::steady_clock::now()});
            return;
        }
    }
    curl_easy_cleanup(pEasy);
}

void CConnectionPool::Close()
{
    std::multimap<std::string, Idle> idle;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bClosed = true;
        idle.swap(m_idle);
    }
    for (auto& entry : idle)
        curl_easy_cleanup(entry.second.pEasy);
}

std::size_t CConnectionPool::IdleCount() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_idle.size();
}

void CConnectionPool::DropExpiredLocked()
{
    const auto now = std::chrono::steady_clock::now();
    for (auto it = m_idle.begin(); it != m_idle.end();) {
        if (now - it->second.since > kMaxIdle) {
            curl_easy_cleanup(it->second.pEasy);
            it = m_idle.erase(it);
        } else {
            ++it;
        }
    }
}
