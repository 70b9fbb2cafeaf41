#pragma once
// The certificates the user chose to trust, one per server: a file readable by its owner alone,
// one line a server, "host:port sha256//<public key pin> <SHA-256 fingerprint>". A server found
// here is pinned: its certificate must carry that public key, and any other is refused, never
// used silently. Safe between threads; every call reads or writes the file anew, so two
// windows (or two copies of the program) see each other's choices.
#include <mutex>
#include <string>

class CTrustStore
{
public:
    explicit CTrustStore(std::string strPath) : m_strPath(std::move(strPath)) {}

    // "host:port", with IPv6 hosts in brackets.
    static std::string ServerKey(const std::string& strHost, int nPort);

    // The pin trusted for the server, and its certificate's fingerprint; empty when none is.
    std::string PinOf(const std::string& strServerKey) const;
    std::string Sha256Of(const std::string& strServerKey) const;
    // Trusts a certificate for the server, replacing an earlier one; false when the file
    // could not be written (the choice then holds for nothing).
    bool Trust(const std::string& strServerKey, const std::string& strPin,
               const std::string& strSha256);

private:
    std::string m_strPath;
    mutable std::mutex m_lock;
};
