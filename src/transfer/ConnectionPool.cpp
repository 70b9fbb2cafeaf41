#include "ConnectionPool.h"

#include "CurlHandle.h"
#include "LibsshSession.h"

namespace {
// Servers drop idle control connections after a few minutes; a handle older than this
// would most likely only cost a failed reuse before its new login.
constexpr auto kMaxIdle = std::chrono::seconds(120);
constexpr std::size_t kMaxIdleHandles = 8;
} // namespace

CConnectionPool::CConnectionPool() = default;

CConnectionPool::~CConnectionPool()
{
    Close();
}

std::unique_ptr<CCurlHandle> CConnectionPool::Take(const std::string& strKey,
                                                   std::chrono::steady_clock::duration* pIdleFor)
{
    std::vector<std::unique_ptr<CCurlHandle>> expired; // freed after the lock is released
    std::lock_guard<std::mutex> guard(m_lock);
    TakeExpiredLocked(expired);
    auto it = m_idle.find(strKey);
    if (it == m_idle.end())
        return nullptr;
    std::unique_ptr<CCurlHandle> pHandle = std::move(it->second.pHandle);
    if (pIdleFor)
        *pIdleFor = std::chrono::steady_clock::now() - it->second.since;
    m_idle.erase(it);
    return pHandle;
}

void CConnectionPool::Give(const std::string& strKey, std::unique_ptr<CCurlHandle> pHandle)
{
    std::vector<std::unique_ptr<CCurlHandle>> expired;
    std::lock_guard<std::mutex> guard(m_lock);
    TakeExpiredLocked(expired);
    if (!m_bClosed && m_idle.size() < kMaxIdleHandles)
        m_idle.emplace(strKey, Idle{std::move(pHandle), std::chrono::steady_clock::now()});
}

std::unique_ptr<CLibsshSession>
CConnectionPool::TakeSession(const std::string& strKey,
                             std::chrono::steady_clock::duration& idleFor)
{
    std::vector<std::unique_ptr<CLibsshSession>> expired;
    std::lock_guard<std::mutex> guard(m_lock);
    TakeExpiredSessionsLocked(expired);
    auto it = m_idleSessions.find(strKey);
    if (it == m_idleSessions.end())
        return nullptr;
    std::unique_ptr<CLibsshSession> pSession = std::move(it->second.pSession);
    idleFor = std::chrono::steady_clock::now() - it->second.since;
    m_idleSessions.erase(it);
    return pSession;
}

void CConnectionPool::GiveSession(const std::string& strKey,
                                  std::unique_ptr<CLibsshSession> pSession)
{
    std::vector<std::unique_ptr<CLibsshSession>> expired;
    std::lock_guard<std::mutex> guard(m_lock);
    TakeExpiredSessionsLocked(expired);
    if (!m_bClosed && m_idleSessions.size() < kMaxIdleHandles)
        m_idleSessions.emplace(strKey,
                               IdleSession{std::move(pSession), std::chrono::steady_clock::now()});
    else
        expired.push_back(std::move(pSession));
}

void CConnectionPool::Close()
{
    std::multimap<std::string, Idle> idle;
    std::multimap<std::string, IdleSession> idleSessions;
    std::lock_guard<std::mutex> guard(m_lock);
    m_bClosed = true;
    idle.swap(m_idle);
    idleSessions.swap(m_idleSessions);
}

void CConnectionPool::TakeExpiredLocked(std::vector<std::unique_ptr<CCurlHandle>>& expired)
{
    const auto now = std::chrono::steady_clock::now();
    for (auto it = m_idle.begin(); it != m_idle.end();) {
        if (now - it->second.since > kMaxIdle) {
            expired.push_back(std::move(it->second.pHandle));
            it = m_idle.erase(it);
        } else {
            ++it;
        }
    }
}

void CConnectionPool::TakeExpiredSessionsLocked(
    std::vector<std::unique_ptr<CLibsshSession>>& expired)
{
    const auto now = std::chrono::steady_clock::now();
    for (auto it = m_idleSessions.begin(); it != m_idleSessions.end();) {
        if (now - it->second.since > kMaxIdle) {
            expired.push_back(std::move(it->second.pSession));
            it = m_idleSessions.erase(it);
        } else {
            ++it;
        }
    }
}
