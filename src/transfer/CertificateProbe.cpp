#include "CertificateProbe.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <netdb.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

struct CSocket {
    int fd = -1;
    ~CSocket()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool ConnectTo(const std::string& strHost, int nPort, int nSeconds, CSocket& sock)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pFound = nullptr;
    if (getaddrinfo(strHost.c_str(), std::to_string(nPort).c_str(), &hints, &pFound) != 0)
        return false;
    const timeval limit{nSeconds, 0};
    for (addrinfo* p = pFound; p && sock.fd < 0; p = p->ai_next) {
        sock.fd = ::socket(p->ai_family, p->ai_socktype | SOCK_CLOEXEC, p->ai_protocol);
        if (sock.fd < 0)
            continue;
        // SO_SNDTIMEO bounds connect() too, and the two bound every later read and write.
        setsockopt(sock.fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        setsockopt(sock.fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        if (::connect(sock.fd, p->ai_addr, p->ai_addrlen) != 0) {
            ::close(sock.fd);
            sock.fd = -1;
        }
    }
    freeaddrinfo(pFound);
    return sock.fd >= 0;
}

// A reply longer than this is no FTP server's: a greeting that never ends is given up on.
constexpr int kMaxReplyLines = 200;
constexpr size_t kMaxReplyBytes = 64 * 1024;
constexpr int kCancelPollMs = 100;

// The code of the server's next reply, read to its last line ("234 ..." after "234-..."); 0
// when none came whole before the deadline, within the bounds above, or before a cancel.
int ReadReply(int fd, std::chrono::steady_clock::time_point deadline,
              const std::atomic<bool>* pCancel, std::string& strError)
{
    std::string strLine;
    size_t nBytes = 0;
    int nLines = 0;
    for (;;) {
        if (pCancel && pCancel->load()) {
            strError = "cancelled";
            return 0;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            strError = "the server did not answer in time";
            return 0;
        }
        pollfd pfd{fd, POLLIN, 0};
        const int nReady =
            ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count(), kCancelPollMs)));
        if (nReady < 0 && errno != EINTR) {
            strError = "the connection broke";
            return 0;
        }
        if (nReady <= 0)
            continue;
        // One byte at a time: what follows the reply belongs to the TLS handshake.
        char c = 0;
        if (::recv(fd, &c, 1, 0) != 1) {
            strError = "the connection broke";
            return 0;
        }
        if (++nBytes > kMaxReplyBytes) {
            strError = "the server's reply does not end";
            return 0;
        }
        if (c != '\n') {
            strLine += c;
            continue;
        }
        if (strLine.size() >= 4 && strLine[3] == ' ')
            return std::atoi(strLine.substr(0, 3).c_str());
        if (++nLines >= kMaxReplyLines) {
            strError = "the server's reply does not end";
            return 0;
        }
        strLine.clear();
    }
}

std::string OneLine(X509_NAME* pName)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> pBio(BIO_new(BIO_s_mem()), BIO_free);
    X509_NAME_print_ex(pBio.get(), pName, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    char* pData = nullptr;
    const long nLength = BIO_get_mem_data(pBio.get(), &pData);
    return std::string(pData, static_cast<size_t>(nLength));
}

std::string TimeText(const ASN1_TIME* pTime)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> pBio(BIO_new(BIO_s_mem()), BIO_free);
    ASN1_TIME_print(pBio.get(), pTime);
    char* pData = nullptr;
    const long nLength = BIO_get_mem_data(pBio.get(), &pData);
    return std::string(pData, static_cast<size_t>(nLength));
}

std::string Hex(const unsigned char* pBytes, unsigned nLength)
{
    std::string strHex;
    char szByte[4];
    for (unsigned i = 0; i < nLength; ++i) {
        std::snprintf(szByte, sizeof szByte, i ? ":%02X" : "%02X", pBytes[i]);
        strHex += szByte;
    }
    return strHex;
}

std::string PublicKeyPin(X509* pCertificate)
{
    unsigned char* pDer = nullptr;
    const int nDer = i2d_PUBKEY(X509_get0_pubkey(pCertificate), &pDer);
    if (nDer <= 0)
        return std::string();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned nDigest = 0;
    EVP_Digest(pDer, static_cast<size_t>(nDer), digest, &nDigest, EVP_sha256(), nullptr);
    OPENSSL_free(pDer);
    unsigned char base64[2 * EVP_MAX_MD_SIZE];
    const int nBase64 = EVP_EncodeBlock(base64, digest, static_cast<int>(nDigest));
    return "sha256//" + std::string(reinterpret_cast<char*>(base64), static_cast<size_t>(nBase64));
}

void Describe(SSL* pSsl, X509* pCertificate, CertificateInfo& info)
{
    info.strSubject = OneLine(X509_get_subject_name(pCertificate));
    info.strIssuer = OneLine(X509_get_issuer_name(pCertificate));
    info.strNotBefore = TimeText(X509_get0_notBefore(pCertificate));
    info.strNotAfter = TimeText(X509_get0_notAfter(pCertificate));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned nDigest = 0;
    X509_digest(pCertificate, EVP_sha256(), digest, &nDigest);
    info.strSha256 = Hex(digest, nDigest);
    info.strPublicKeyPin = PublicKeyPin(pCertificate);
    const long nVerify = SSL_get_verify_result(pSsl);
    info.bVerified = nVerify == X509_V_OK;
    info.strProblem = info.bVerified ? std::string() : X509_verify_cert_error_string(nVerify);
}

} // namespace

bool CCertificateProbe::Probe(const std::string& strHost, int nPort, ETls eTls, int nSeconds,
                              CertificateInfo& info, std::string& strError,
                              const std::atomic<bool>* pCancel)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    CSocket sock;
    if (!ConnectTo(strHost, nPort, nSeconds, sock)) {
        strError = "cannot connect";
        return false;
    }
    if (eTls == ETls::Explicit) {
        if (ReadReply(sock.fd, deadline, pCancel, strError) != 220) {
            if (strError.empty())
                strError = "no greeting";
            return false;
        }
        static const char s_szAuth[] = "AUTH TLS\r\n";
        if (::send(sock.fd, s_szAuth, sizeof s_szAuth - 1, MSG_NOSIGNAL) < 0 ||
            ReadReply(sock.fd, deadline, pCancel, strError) != 234) {
            if (strError.empty())
                strError = "the server does not offer TLS";
            return false;
        }
    }
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> pContext(SSL_CTX_new(TLS_client_method()),
                                                               SSL_CTX_free);
    if (!pContext) {
        strError = "no TLS";
        return false;
    }
    SSL_CTX_set_default_verify_paths(pContext.get());
    // Verification decides only what the user is told; the handshake goes through either way.
    SSL_CTX_set_verify(pContext.get(), SSL_VERIFY_NONE, nullptr);
    std::unique_ptr<SSL, decltype(&SSL_free)> pSsl(SSL_new(pContext.get()), SSL_free);
    SSL_set_fd(pSsl.get(), sock.fd);
    X509_VERIFY_PARAM* pParam = SSL_get0_param(pSsl.get());
    if (X509_VERIFY_PARAM_set1_ip_asc(pParam, strHost.c_str()) != 1) {
        // SSL_set_tlsext_host_name() without its macro's C cast.
        SSL_ctrl(pSsl.get(), SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                 const_cast<char*>(strHost.c_str()));
        X509_VERIFY_PARAM_set1_host(pParam, strHost.c_str(), 0);
    }
    if (SSL_connect(pSsl.get()) != 1) {
        strError = "the TLS handshake failed";
        return false;
    }
    X509* pCertificate = SSL_get1_peer_certificate(pSsl.get());
    if (!pCertificate) {
        strError = "no certificate";
        return false;
    }
    Describe(pSsl.get(), pCertificate, info);
    X509_free(pCertificate);
    SSL_shutdown(pSsl.get());
    return true;
}
