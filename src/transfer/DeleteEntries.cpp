#include "MyThread.h"

#include "FtpConnection.h"
#include "Messages.h"
#include "ReplyLines.h"
#include "RemoteName.h"
#include "TransferGlobals.h"
#include "platform/MsgWnd.h"

void CMyThread::ReportDeletion(const char* pszName, bool bDeleted, ETransferFailure eFailure)
{
    if (!bDeleted && m_hConnect)
        g_replyLines.Put(CReplyLines::JobKey(m_nJobId), m_hConnect->LastReplyLine());
    PostMessage(g_pRemoteView.load(), WM_REMOTE_DELETED,
                static_cast<WPARAM>(RemoteNameKey(pszName)),
                DeleteDoneParam(bDeleted, bDeleted ? FAILURE_NONE : eFailure, m_nJobId));
}

unsigned CMyThread::DeleteEntries(JobRequest* pRequest)
{
    const LoopResult result =
        RunEntryLoop(pRequest, false,
                     [this](const JobItem& item, const std::string&, const std::string& strRemote) {
                         // A name that would reach outside the folder is the server's to refuse,
                         // unsent.
                         if (!IsSafeRemoteName(item.szName)) {
                             ReportDeletion(item.szName, false, FAILURE_SERVER_REFUSED);
                             return false;
                         }
                         const bool bDeleted = m_hConnect->DeleteFile(strRemote);
                         ReportDeletion(item.szName, bDeleted, m_hConnect->LastFailure());
                         return bDeleted;
                     });
    if (!result.bConnected && m_nItemCount > 0)
        ReportDeletion(pRequest->pItems[0].szName, false, m_eConnectFailure);
    PassEndBarrier();
    Release(pRequest);
    return 0;
}
