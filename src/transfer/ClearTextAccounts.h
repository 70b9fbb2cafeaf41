#pragma once
// The accounts whose server offers no encryption and whose user agreed to go on without it.
// A server text without a scheme (or ftp://) asks for TLS and sends nothing secret without it;
// only the accounts named here may log in in clear text. The login dialog decides, and every
// job of the process then connects the same way. Safe between threads.
#include <string>

class CClearTextAccounts
{
public:
    // "host:port" as CTrustStore::ServerKey writes it, and the user name.
    static void Allow(const std::string& strServerKey, const std::string& strUser);
    static void Forget(const std::string& strServerKey, const std::string& strUser);
    static bool IsAllowed(const std::string& strServerKey, const std::string& strUser);
};
