#include "CurlHandle.h"

#include <curl/curl.h>

namespace {
// The longest the driver waits without asking libcurl for progress; libcurl's own timeouts
// still decide when a request has failed.
constexpr int kMaxPollMs = 5;
} // namespace

CCurlHandle::CCurlHandle() : m_pEasy(curl_easy_init()), m_pMulti(curl_multi_init())
{
}

CCurlHandle::~CCurlHandle()
{
    // The easy handle goes first; the multi handle then closes the connection it kept.
    if (m_pEasy)
        curl_easy_cleanup(m_pEasy);
    if (m_pMulti)
        curl_multi_cleanup(m_pMulti);
}

int CCurlHandle::Perform()
{
    if (curl_multi_add_handle(m_pMulti, m_pEasy) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    bool bDone = false;
    int nRunning = 1;
    while (!bDone) {
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
        const int nWait = nTimeout < 0 || nTimeout > kMaxPollMs ? kMaxPollMs : static_cast<int>(nTimeout);
        curl_multi_poll(m_pMulti, nullptr, 0, nWait, nullptr);
    }
    curl_multi_remove_handle(m_pMulti, m_pEasy);
    return result;
}
