#pragma once
// One libcurl transfer handle with the multi handle that drives it and keeps its live
// connection. Requests run through the multi interface with a short poll: libcurl 7.88's
// easy interface at times sits a full second before opening a data connection on a reused
// control connection, which a backup of many small files would pay for every file.
//
// Freeing the handle closes its connection without a QUIT: libcurl would wait for the reply
// for as long as the server's stall time-out, and a pooled connection is often freed on the
// window thread (the session closing, a stale handle dropped inside a connect), where a
// silent server would freeze the window for a minute per connection.
#include <atomic>
#include <set>

typedef void CURL;
typedef void CURLM;

class CCurlHandle
{
public:
    CCurlHandle();
    ~CCurlHandle();
    CCurlHandle(const CCurlHandle&) = delete;
    CCurlHandle& operator=(const CCurlHandle&) = delete;

    bool IsValid() const { return m_pEasy && m_pMulti; }
    CURL* Easy() const { return m_pEasy; }
    // Runs the request set up on Easy() to its end; the result as curl_easy_perform gives it
    // (an int here, a CURLcode in fact, so that this header needs no curl header).
    int Perform();
    // A flag that, once set, stops the request running and every later one within a few
    // milliseconds, with CURLE_ABORTED_BY_CALLBACK: connecting, logging in and waiting for a
    // silent server included. Null for none; it must outlive the handle's use of it.
    void SetCancelFlag(const std::atomic<bool>* pCancel) { m_pCancel = pCancel; }
    // For a libcurl callback about to stop the request running on this thread for a cancel:
    // shuts its connection down first, so that libcurl's goodbye to an SSH server fails at
    // once instead of waiting for the server for a second, after which libcurl 7.88 drops
    // the SSH session without freeing it.
    static void ShutDownRunning();

private:
    void ShutDownSockets();
    bool IsCancelled() const;

    CURL* m_pEasy;
    CURLM* m_pMulti;
    std::set<int> m_sockets; // what libcurl opened through this handle and has not closed
    const std::atomic<bool>* m_pCancel = nullptr;
};
