#include "EntryJobs.h"

#include "transfer/MyThread.h"
#include "transfer/TransferGlobals.h"

JobRequest* NewEntryRequest(const QByteArray& strLocalDir, const QByteArray& strName)
{
    JobItem item;
    if (!CopyToField(item.szName, strName.toStdString()))
        return nullptr;
    item.bFolder = 0;
    auto* pJob = new CMyThread(strLocalDir.isEmpty() ? nullptr : strLocalDir.constData(),
                               g_strServer, g_strUserName, g_strPassword, 21, "/", true, 1);
    return new JobRequest{new JobItem[1]{item}, pJob};
}

CWinThread* StartEntryJob(AFX_THREADPROC pfnProc, JobRequest* pRequest, int nPriority,
                          bool bAutoDelete)
{
    CWinThread* pThread = AfxBeginThread(pfnProc, pRequest, nPriority, CREATE_SUSPENDED);
    if (!pThread) {
        delete[] pRequest->pItems;
        delete pRequest->pJob;
        delete pRequest;
        return nullptr;
    }
    pThread->m_bAutoDelete = bAutoDelete;
    ++g_nPendingJobs;
    pThread->ResumeThread();
    return pThread;
}
