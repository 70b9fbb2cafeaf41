#include "MyThread.h"

#include "FtpConnection.h"
#include "Messages.h"
#include "ReplyLines.h"
#include "ProgressReporter.h"
#include "TransferGlobals.h"
#include "platform/MsgWnd.h"

unsigned CMyThread::UploadEntries(JobRequest* pRequest)
{
    const LoopResult result = RunEntryLoop(
        pRequest, true,
        [this](const JobItem&, const std::string& strLocal, const std::string& strRemote) {
            CProgressReporter progress(m_nJobId);
            return m_hConnect->PutFile(strLocal, strRemote, std::ref(progress));
        });
    // A backup must not look complete when a file did not arrive: the report says which, and why.
    const bool bSucceeded = !result.bFailed && (result.bConnected || m_nItemCount <= 0);
    if (!bSucceeded && result.bFailed)
        g_replyLines.Put(CReplyLines::JobKey(m_nJobId), m_hConnect->LastReplyLine());
    PassEndBarrier();
    PostMessage(
        g_pCommandView.load(), WM_TRANSFER_DONE,
        TransferDoneParam(bSucceeded, bSucceeded ? FAILURE_NONE : result.eFailure, m_nJobId),
        TRANSFER_UPLOAD);
    Release(pRequest);
    return 0;
}
