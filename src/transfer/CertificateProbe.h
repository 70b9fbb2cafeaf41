#pragma once
// The certificate an FTPS server shows, fetched before anything secret is sent: a connection
// of its own that reads the greeting, asks for AUTH TLS (or starts with TLS on an implicit
// FTPS port), completes the handshake and hangs up without a user name or password. What it
// finds is shown to the user, who decides whether to trust a certificate that the system's
// authorities do not vouch for.
#include <atomic>
#include <string>

struct CertificateInfo {
    std::string strSubject; // one line, "CN = 127.0.0.1"
    std::string strIssuer;
    std::string strNotBefore; // "Dec  9 06:10:00 2026 GMT"
    std::string strNotAfter;
    std::string strSha256;       // of the certificate, "AB:CD:..." as other programs show it
    std::string strPublicKeyPin; // "sha256//<base64>" of its public key, as libcurl pins it
    bool bVerified = false;      // the system's authorities vouch for it, for this host name
    std::string strProblem;      // why not, when not
    std::string strOldSha256;    // the fingerprint trusted before, when this one replaces it
};

class CCertificateProbe
{
public:
    enum class ETls { Explicit, Implicit };

    // False, with strError, when the server cannot be reached, does not offer TLS (explicit:
    // AUTH TLS refused), its replies do not end (a greeting of endless lines is given up on
    // after 200 lines or 64 KiB) or the handshake fails; nSeconds bounds the replies together
    // and each step of the handshake. *pCancel, once set, ends the wait for a reply at once.
    static bool Probe(const std::string& strHost, int nPort, ETls eTls, int nSeconds,
                      CertificateInfo& info, std::string& strError,
                      const std::atomic<bool>* pCancel = nullptr);
};
