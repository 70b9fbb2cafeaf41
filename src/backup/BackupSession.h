#pragma once
// The account a backup runs with and the session its connections share. The application
// owns one per login (the login dialog makes it in the window; `mossvale --backup` makes it
// from the remembered account) and hands it to the runs and jobs that need it; a job takes its
// own copy of the account (MakeAccount) when it is made, so a new login never changes a job
// that is already running.
#include "transfer/MyThread.h"

#include <QString>

#include <memory>
#include <string>

class CInternetSession;

class CBackupSession
{
public:
    // pInternet: the session to connect through; a new one when none is given.
    CBackupSession(std::string strServer, std::string strUserName, std::string strPassword,
                   std::shared_ptr<CInternetSession> pInternet = nullptr);

    const std::string& Server() const { return m_strServer; }
    const std::string& UserName() const { return m_strUserName; }
    const std::string& Password() const { return m_strPassword; }
    const std::shared_ptr<CInternetSession>& Internet() const { return m_pInternet; }

    // The account on the default port (the server text may name another), with this session.
    CMyThread::Account MakeAccount() const;
    // A file-name-safe name of the account (user and server), the same in every process: the
    // history and the one-backup-at-a-time lock are kept per account under it.
    QString AccountKey() const;

private:
    std::string m_strServer;
    std::string m_strUserName;
    std::string m_strPassword;
    std::shared_ptr<CInternetSession> m_pInternet;
};
