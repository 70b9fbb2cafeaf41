#include "CurlHandle.h"

#include <chrono>

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The longest the driver waits without asking libcurl for progress; libcurl's own timeouts
// still decide when a request has failed.
constexpr int kMaxPollMs = 5;
// How long a cancelled request may take to notice its shut sockets before it is dropped.
constexpr auto kCancelGrace = std::chrono::milliseconds(500);

// The handle whose request runs on this thread, for its callbacks.
thread_local CCurlHandle* t_pRunning = nullptr;

curl_socket_t OnOpenSocket(void* pUser, curlsocktype /*purpose*/, curl_sockaddr* pAddress)
{
    // Close-on-exec: a program started from here must not inherit the server connections.
    const int nSocket =
        ::socket(pAddress->family, pAddress->socktype | SOCK_CLOEXEC, pAddress->protocol);
    if (nSocket < 0)
        return CURL_SOCKET_BAD;
    static_cast<std::set<int>*>(pUser)->insert(nSocket);
    return nSocket;
}

int OnCloseSocket(void* pUser, curl_socket_t nSocket)
{
    static_cast<std::set<int>*>(pUser)->erase(nSocket);
    return ::close(nSocket);
}
} // namespace

CCurlHandle::CCurlHandle() : m_pEasy(curl_easy_init()), m_pMulti(curl_multi_init()) {}

CCurlHandle::~CCurlHandle()
{
    // A socket shut down here fails libcurl's QUIT at once instead of waiting for a reply.
    ShutDownSockets();
    // The easy handle goes first; the multi handle then closes the connection it kept.
    if (m_pEasy)
        curl_easy_cleanup(m_pEasy);
    if (m_pMulti)
        curl_multi_cleanup(m_pMulti);
}

void CCurlHandle::ShutDownSockets()
{
    for (int nSocket : m_sockets)
        ::shutdown(nSocket, SHUT_RDWR);
}

void CCurlHandle::ShutDownRunning()
{
    if (t_pRunning)
        t_pRunning->ShutDownSockets();
}

bool CCurlHandle::IsCancelled() const
{
    return m_pCancel && m_pCancel->load();
}

int CCurlHandle::Perform()
{
    // Set for every request, as callers reset the handle's options between requests; a
    // connection keeps the close callback it was opened with.
    curl_easy_setopt(m_pEasy, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
    curl_easy_setopt(m_pEasy, CURLOPT_OPENSOCKETDATA, &m_sockets);
    curl_easy_setopt(m_pEasy, CURLOPT_CLOSESOCKETFUNCTION, OnCloseSocket);
    curl_easy_setopt(m_pEasy, CURLOPT_CLOSESOCKETDATA, &m_sockets);
    // A name lookup still running is left to finish on its own instead of being waited for:
    // a cancel must not wait out a slow resolver.
    curl_easy_setopt(m_pEasy, CURLOPT_QUICK_EXIT, 1L);
    if (IsCancelled())
        return CURLE_ABORTED_BY_CALLBACK;
    if (curl_multi_add_handle(m_pMulti, m_pEasy) != CURLM_OK)
        return CURLE_FAILED_INIT;
    t_pRunning = this;
    CURLcode result = CURLE_OK;
    bool bDone = false;
    bool bCancelled = false;
    std::chrono::steady_clock::time_point cancelledAt;
    int nRunning = 1;
    while (!bDone) {
        // Shut sockets fail whatever libcurl waits for at once, through its own error paths,
        // so the connection is closed and never reused half-way through a command.
        if (IsCancelled()) {
            if (!bCancelled)
                cancelledAt = std::chrono::steady_clock::now();
            bCancelled = true;
            ShutDownSockets(); // again each round: a connect may just have opened one
            if (std::chrono::steady_clock::now() - cancelledAt > kCancelGrace)
                break;
        }
        if (curl_multi_perform(m_pMulti, &nRunning) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int nLeft = 0;
        while (CURLMsg* pMsg = curl_multi_info_read(m_pMulti, &nLeft)) {
            if (pMsg->msg == CURLMSG_DONE && pMsg->easy_handle == m_pEasy) {
                result = pMsg->data.result;
                bDone = true;
            }
        }
        if (bDone || nRunning == 0)
            break;
        long nTimeout = -1;
        curl_multi_timeout(m_pMulti, &nTimeout);
        const int nWait =
            nTimeout < 0 || nTimeout > kMaxPollMs ? kMaxPollMs : static_cast<int>(nTimeout);
        curl_multi_poll(m_pMulti, nullptr, 0, nWait, nullptr);
    }
    curl_multi_remove_handle(m_pMulti, m_pEasy);
    t_pRunning = nullptr;
    // A request dropped after the grace never finished: never a success.
    if (!bDone)
        return bCancelled ? CURLE_ABORTED_BY_CALLBACK
                          : (result != CURLE_OK ? result : CURLE_RECV_ERROR);
    return bCancelled && result != CURLE_OK ? CURLE_ABORTED_BY_CALLBACK : result;
}
