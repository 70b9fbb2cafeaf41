#include "MyThread.h"

#include "FtpConnection.h"
#include "Messages.h"
#include "ReplyLines.h"
#include "RemoteName.h"
#include "ProgressReporter.h"
#include "TransferGlobals.h"
#include "platform/MsgWnd.h"

unsigned CMyThread::DownloadEntries(JobRequest* pRequest)
{
    bool bFirstFile = true;
    const LoopResult result = RunEntryLoop(
        pRequest, true,
        [this, &bFirstFile](const JobItem& item, const std::string& strLocal,
                            const std::string& strRemote) {
            CProgressReporter progress(m_nJobId);
            if (!IsSafeRemoteName(item.szName) ||
                !m_hConnect->GetFile(strRemote, strLocal, std::ref(progress)))
                return false;
            // The restored file has arrived: the command view may close its wait dialog
            // now, before this job waits for others at the barrier.
            if (bFirstFile) {
                bFirstFile = false;
                PostMessage(g_pCommandView.load(), WM_TRANSFER_DONE,
                            TransferDoneParam(true, FAILURE_NONE, m_nJobId), TRANSFER_DOWNLOAD);
            }
            return true;
        });
    // A restore that failed says so at once, or its wait dialog would spin for ever.
    if (bFirstFile && result.bFailed)
        g_replyLines.Put(CReplyLines::JobKey(m_nJobId), m_hConnect->LastReplyLine());
    if (bFirstFile && (result.bFailed || (!result.bConnected && m_nItemCount > 0)))
        PostMessage(g_pCommandView.load(), WM_TRANSFER_DONE,
                    TransferDoneParam(false, result.eFailure, m_nJobId), TRANSFER_DOWNLOAD);
    PassEndBarrier();
    Release(pRequest);
    return 0;
}
