#include "InternetSession.h"

#include "ConnectionPool.h"
#include "CurlHandle.h"
#include "ServerRefusals.h"
#include "TrustStore.h"

#include <QStandardPaths>

#include <atomic>
#include <mutex>

#include <curl/curl.h>

namespace {
std::atomic<int> g_nConnectSeconds{CInternetSession::DEFAULT_CONNECT_SECONDS};
std::atomic<int> g_nStallSeconds{CInternetSession::DEFAULT_STALL_SECONDS};
std::once_flag g_curlInit;
std::mutex g_resumeLock;
CInternetSession::Resume g_resume;

// A file of the program's own in the user's config folder.
std::string ConfigFile(const char* pszName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        .append(QStringLiteral("/Brindlecor/"))
        .append(QLatin1String(pszName))
        .toStdString();
}
} // namespace

void CInternetSession::SetTimeouts(const Timeouts& timeouts)
{
    g_nConnectSeconds = timeouts.nConnectSeconds;
    g_nStallSeconds = timeouts.nStallSeconds;
}

CInternetSession::Timeouts CInternetSession::GetTimeouts()
{
    Timeouts timeouts;
    timeouts.nConnectSeconds = g_nConnectSeconds;
    timeouts.nStallSeconds = g_nStallSeconds;
    return timeouts;
}

void CInternetSession::SetResume(const Resume& resume)
{
    const std::lock_guard<std::mutex> hold(g_resumeLock);
    g_resume = resume;
}

CInternetSession::Resume CInternetSession::GetResume()
{
    const std::lock_guard<std::mutex> hold(g_resumeLock);
    return g_resume;
}

CInternetSession::CInternetSession()
    : m_strKnownHosts(ConfigFile("known_hosts")),
      m_pTrustStore(std::make_shared<CTrustStore>(ConfigFile("trusted-certificates"))),
      m_pPool(std::make_shared<CConnectionPool>()), m_pRefusals(std::make_shared<CServerRefusals>())
{
    // libcurl's global set-up is not thread-safe; the first session is opened on the
    // window thread before any job can run. It is never undone: jobs may outlive sessions.
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

CInternetSession::~CInternetSession()
{
    m_pPool->Close();
}
