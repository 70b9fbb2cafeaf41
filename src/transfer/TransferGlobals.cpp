#include "TransferGlobals.h"

#include "FtpAddress.h"

std::string g_strServer;
std::string g_strUserName;
std::string g_strPassword;

std::shared_ptr<CInternetSession> g_hInternet;

CMyThread::Account CurrentAccount()
{
    return {g_strServer, g_strUserName, g_strPassword, INTERNET_DEFAULT_FTP_PORT, g_hInternet};
}
