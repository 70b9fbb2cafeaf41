#pragma once
// An SFTP server's host key, checked against a known-hosts file of the program's own before
// any password is sent: known, unknown (shown to the user as its SHA-256 fingerprint, to be
// trusted on first use) or changed (someone may be in between; refused).
#include <string>

struct HostKeyInfo {
    enum EMatch { Known, Unknown, Changed };
    EMatch eMatch = Unknown;
    std::string strType;           // "ssh-ed25519"
    std::string strSha256;         // "SHA256:<base64>", as OpenSSH shows it
    std::string strKnownHostsLine; // the line Trust() writes for it
    std::string strOldSha256;      // Changed: the fingerprint of the key trusted before
};

class CHostKeyProbe
{
public:
    // False, with strError, when the server cannot be reached or shows no key in nSeconds.
    // A server that libssh2 cannot agree keys with is asked through libssh.
    static bool Probe(const std::string& strHost, int nPort, const std::string& strKnownHosts,
                      int nSeconds, HostKeyInfo& info, std::string& strError);
    // What the known-hosts file says of a key the server showed (its wire form).
    static HostKeyInfo Describe(const std::string& strKnownHosts, const std::string& strHost,
                                int nPort, const std::string& strBlob);
    // Adds the key to the known-hosts file (made readable by its owner alone), replacing the
    // server's earlier key; false when the file could not be written.
    static bool Trust(const std::string& strKnownHosts, const HostKeyInfo& info);

private:
    static bool ProbeWithLibssh(const std::string& strHost, int nPort,
                                const std::string& strKnownHosts, int nSeconds, HostKeyInfo& info,
                                std::string& strError);
};
