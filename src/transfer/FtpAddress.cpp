#include "FtpAddress.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

bool ParsePort(const std::string& strText, int& nPort)
{
    if (strText.empty() || strText.size() > 5)
        return false;
    for (char c : strText)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    nPort = std::atoi(strText.c_str());
    return nPort >= 1 && nPort <= 65535;
}

std::string Trimmed(const std::string& strText)
{
    const auto first = strText.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = strText.find_last_not_of(" \t");
    return strText.substr(first, last - first + 1);
}

// RFC 3986 unreserved characters stay; everything else is %XX, so that "#", "?", ";type=a"
// and spaces in a name cannot change what the URL means.
std::string EscapeSegment(const std::string& strSegment)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    strOut.reserve(strSegment.size() * 3);
    for (unsigned char c : strSegment) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            strOut += static_cast<char>(c);
        } else {
            strOut += '%';
            strOut += kHex[c >> 4];
            strOut += kHex[c & 15];
        }
    }
    return strOut;
}

} // namespace

bool CFtpAddress::Parse(const std::string& strServer, int nDefaultPort)
{
    std::string strText = Trimmed(strServer);
    // The port of each scheme stands in for the FTP port the callers give. ftp:// asks for
    // TLS as no scheme does, and may go without it by the user's word.
    // clang-format off
    static const struct {
        const char* pszScheme;
        ETls eTls;
        bool bTlsByDefault;
        EProtocol eProtocol;
        int nPort;
    } s_schemes[] = {
        {"ftp://",   ETls::Explicit, true,  EProtocol::Ftp,  INTERNET_DEFAULT_FTP_PORT},
        {"ftpes://", ETls::Explicit, false, EProtocol::Ftp,  INTERNET_DEFAULT_FTP_PORT},
        {"ftps://",  ETls::Implicit, false, EProtocol::Ftp,  IMPLICIT_FTPS_PORT},
        {"sftp://",  ETls::None,     false, EProtocol::Sftp, DEFAULT_SFTP_PORT},
    };
    // clang-format on
    m_eTls = ETls::Explicit;
    m_bTlsByDefault = true;
    m_eProtocol = EProtocol::Ftp;
    for (const auto& scheme : s_schemes) {
        const std::size_t nLength = std::strlen(scheme.pszScheme);
        if (strText.size() >= nLength &&
            strncasecmp(strText.c_str(), scheme.pszScheme, nLength) == 0) {
            strText = strText.substr(nLength);
            m_eTls = scheme.eTls;
            m_bTlsByDefault = scheme.bTlsByDefault;
            m_eProtocol = scheme.eProtocol;
            if (nDefaultPort == INTERNET_DEFAULT_FTP_PORT)
                nDefaultPort = scheme.nPort;
            break;
        }
    }
    const auto slash = strText.find('/');
    if (slash != std::string::npos)
        strText.resize(slash);
    if (!IsSafeText(strText))
        return false;

    m_nPort = nDefaultPort;
    if (!strText.empty() && strText[0] == '[') {
        const auto close = strText.find(']');
        if (close == std::string::npos)
            return false;
        m_strHost = strText.substr(1, close - 1);
        const std::string strRest = strText.substr(close + 1);
        if (!strRest.empty() && (strRest[0] != ':' || !ParsePort(strRest.substr(1), m_nPort)))
            return false;
    } else if (strText.find(':') != strText.rfind(':')) {
        m_strHost = strText; // a bare IPv6 address has no room for a port
    } else {
        const auto colon = strText.find(':');
        m_strHost = strText.substr(0, colon);
        if (colon != std::string::npos && !ParsePort(strText.substr(colon + 1), m_nPort))
            return false;
    }
    if (m_nPort < 1 || m_nPort > 65535)
        return false;
    return !m_strHost.empty() && m_strHost.find_first_of(" \t@") == std::string::npos;
}

std::string CFtpAddress::BaseUrl() const
{
    const bool bIpv6 = m_strHost.find(':') != std::string::npos;
    const char* pszScheme = m_eProtocol == EProtocol::Sftp ? "sftp://"
                            : m_eTls == ETls::Implicit     ? "ftps://"
                                                           : "ftp://";
    return pszScheme + (bIpv6 ? "[" + m_strHost + "]" : m_strHost) + ":" + std::to_string(m_nPort);
}

std::string CFtpAddress::UrlOf(const std::string& strRemotePath) const
{
    // FTP: "%2F" first makes the path absolute: without it curl reads it from the login
    // folder. An SFTP URL's path is absolute as it stands ("/~/" would be the login folder).
    const bool bSftp = m_eProtocol == EProtocol::Sftp;
    std::string strUrl = BaseUrl() + (bSftp ? "" : "/%2F");
    std::size_t start = strRemotePath.find_first_not_of('/');
    bool bFirst = true;
    while (start != std::string::npos && start < strRemotePath.size()) {
        const auto end = strRemotePath.find('/', start);
        const std::string strSegment = strRemotePath.substr(start, end - start);
        if (!strSegment.empty()) {
            if (!bFirst || bSftp)
                strUrl += '/';
            strUrl += EscapeSegment(strSegment);
            bFirst = false;
        }
        start = end == std::string::npos ? end : end + 1;
    }
    if (!strRemotePath.empty() && strRemotePath.back() == '/' && !bFirst)
        strUrl += '/';
    else if (bFirst)
        strUrl += '/';
    return strUrl;
}

bool CFtpAddress::IsSafeText(const std::string& strText)
{
    return strText.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}
