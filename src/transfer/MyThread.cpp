#include "MyThread.h"

#include "FtpConnection.h"
#include "TransferGlobals.h"
#include "platform/Path.h"

#include <cstring>

CMyThread::CMyThread(const char* pszLocalDir, const std::string& strServer,
                     const std::string& strUserName, const std::string& strPassword, int nPort,
                     const std::string& strRemoteDir, bool bConnect, int nItemCount)
    : m_strLocalDir(pszLocalDir ? pszLocalDir : "")
{
    if (!bConnect)
        return;
    m_strServer = strServer;
    m_strUserName = strUserName;
    m_strPassword = strPassword;
    m_nPort = nPort;
    m_strRemoteDir = strRemoteDir;
    m_nItemCount = nItemCount;
    m_hConnect =
        CFtpConnection::Connect(g_hInternet, m_strServer, static_cast<unsigned short>(nPort),
                                m_strUserName, m_strPassword, &m_eConnectFailure);
}

CMyThread::~CMyThread()
{
    delete m_hConnect;
}

CMyThread::LoopResult CMyThread::RunEntryLoop(const JobRequest* pRequest, bool bLocalPaths,
                                              const EntryStep& step)
{
    LoopResult result;
    result.eFailure = m_eConnectFailure;
    if (!m_hConnect)
        return result;
    result.bConnected = true;
    // The process's current folder is left alone: every path here is absolute, and a
    // worker changing it would pull it from under every other thread.
    m_hConnect->SetCurrentDirectory(m_strRemoteDir);
    for (int i = 0; i < m_nItemCount; ++i) {
        const JobItem& item = pRequest->pItems[i];
        if (std::strcmp(item.szName, "..") == 0)
            continue;
        const std::string strLocal = bLocalPaths ? JoinPath(m_strLocalDir, item.szName) : "";
        const std::string strRemote = JoinPath(m_strRemoteDir, item.szName);
        if (item.bFolder != 0)
            continue;
        if (!step(item, strLocal, strRemote)) {
            result.bFailed = true;
            result.eFailure = m_hConnect->LastFailure();
            break;
        }
    }
    return result;
}

void CMyThread::Release(JobRequest* pRequest)
{
    delete[] pRequest->pItems;
    delete pRequest->pJob;
    delete pRequest;
}

unsigned DeleteThreadProc(void* pParam)
{
    auto* pRequest = static_cast<JobRequest*>(pParam);
    return pRequest->pJob->DeleteEntries(pRequest);
}

unsigned DownloadThreadProc(void* pParam)
{
    auto* pRequest = static_cast<JobRequest*>(pParam);
    return pRequest->pJob->DownloadEntries(pRequest);
}

unsigned UploadThreadProc(void* pParam)
{
    auto* pRequest = static_cast<JobRequest*>(pParam);
    return pRequest->pJob->UploadEntries(pRequest);
}

unsigned ListThreadProc(void* pParam)
{
    return static_cast<CMyThread*>(pParam)->ListRemoteFolder();
}
