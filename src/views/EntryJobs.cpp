#include "EntryJobs.h"

#include "transfer/FtpAddress.h"
#include "transfer/Messages.h"
#include "transfer/MyThread.h"
#include "transfer/TransferGlobals.h"

namespace {
// Ids of entry jobs, 1 to TRANSFER_JOB_MASK and round again; only launchers on the window
// thread take them.
unsigned NextJobId()
{
    static unsigned s_nLast = 0;
    s_nLast = s_nLast % TRANSFER_JOB_MASK + 1;
    return s_nLast;
}
} // namespace

JobRequest* NewEntryRequest(const QByteArray& strLocalDir, const QByteArray& strName)
{
    JobItem item;
    if (!CopyToField(item.szName, strName.toStdString()))
        return nullptr;
    item.bFolder = 0;
    auto* pJob =
        new CMyThread(strLocalDir.isEmpty() ? nullptr : strLocalDir.constData(), g_strServer,
                      g_strUserName, g_strPassword, INTERNET_DEFAULT_FTP_PORT, "/", true, 1);
    pJob->m_nJobId = NextJobId();
    return new JobRequest{new JobItem[1]{item}, pJob};
}

unsigned StartEntryJob(AFX_THREADPROC pfnProc, JobRequest* pRequest, int nPriority)
{
    CJobThreads& threads = CJobThreads::Get();
    const unsigned nThread = threads.Create(pfnProc, pRequest, nPriority);
    if (!nThread) {
        CMyThread::Release(pRequest);
        return 0;
    }
    ++g_nPendingJobs;
    threads.Resume(nThread);
    return nThread;
}
