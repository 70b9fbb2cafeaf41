#pragma once
// Where an FTP account lives, from the server text the user typed: "host", "host:port",
// "[ipv6]", "[ipv6]:port" or a bare IPv6 address, optionally written as a URL: ftp:// (as
// without a scheme), ftpes:// (explicit TLS required), ftps:// (implicit TLS, port 990 unless
// one is written) or sftp:// (SSH, port 22 unless one is written). Without a scheme, or with
// ftp://, TLS is asked for too: the account goes in clear text only once its user has agreed
// to it for a server that offers no TLS.
// A port written in the text wins over the port the caller gives (every launcher gives
// INTERNET_DEFAULT_FTP_PORT), so an account on another port works.
#include <string>

constexpr int INTERNET_DEFAULT_FTP_PORT = 21;
constexpr int IMPLICIT_FTPS_PORT = 990;
constexpr int DEFAULT_SFTP_PORT = 22;

class CFtpAddress
{
public:
    // False when the text names no host or its port is not 1..65535.
    bool Parse(const std::string& strServer, int nDefaultPort);

    enum class ETls { None, Explicit, Implicit };
    // SFTP brings its own encryption: its accounts have ETls::None.
    enum class EProtocol { Ftp, Sftp };

    const std::string& Host() const { return m_strHost; }
    int Port() const { return m_nPort; }
    ETls Tls() const { return m_eTls; }
    EProtocol Protocol() const { return m_eProtocol; }
    // No scheme, or ftp://: explicit TLS that the user may waive for a server without it.
    bool TlsByDefault() const { return m_bTlsByDefault; }
    // "ftp://host:port" ("ftps://" for implicit TLS, "sftp://" for SFTP) with IPv6 hosts in
    // brackets.
    std::string BaseUrl() const;
    // The URL of an absolute remote path, each segment percent-encoded. A path ending in
    // "/" names a folder and its URL ends in "/" too.
    std::string UrlOf(const std::string& strRemotePath) const;

    // Text that may not reach the server: CR, LF or NUL would end an FTP command early
    // and let the rest of the text be read as another command.
    static bool IsSafeText(const std::string& strText);

private:
    std::string m_strHost;
    int m_nPort = INTERNET_DEFAULT_FTP_PORT;
    ETls m_eTls = ETls::Explicit;
    bool m_bTlsByDefault = true;
    EProtocol m_eProtocol = EProtocol::Ftp;
};
