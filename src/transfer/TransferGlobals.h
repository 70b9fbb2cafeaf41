#pragma once
// The account and session that every job is started with. Set and read on the window thread
// only; a job takes its own copy (CurrentAccount) when it is made.
#include "MyThread.h"

#include <memory>
#include <string>

class CInternetSession;

// The logged-in account, empty until a login succeeds.
extern std::string g_strServer;
extern std::string g_strUserName;
extern std::string g_strPassword;

// The program's FTP session: opened by the login dialog, closed by the main frame. Jobs hold
// it too, so closing it while they run frees its idle connections but not theirs.
extern std::shared_ptr<CInternetSession> g_hInternet;

// The logged-in account on the default port, with the current session.
CMyThread::Account CurrentAccount();
