#pragma once
// One libcurl transfer handle with the multi handle that drives it and keeps its live
// connection. Requests run through the multi interface with a short poll: libcurl 7.88's
// easy interface at times sits a full second before opening a data connection on a reused
// control connection, which a backup of many small files would pay for every file.
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

private:
    CURL* m_pEasy;
    CURLM* m_pMulti;
};
