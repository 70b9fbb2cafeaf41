#include "MyThread.h"

#include "FtpConnection.h"
#include "Messages.h"
#include "RemoteName.h"
#include "TransferGlobals.h"
#include "platform/MsgWnd.h"

namespace {
void ReportDeletion(const char* pszName, LPARAM nOutcome)
{
    PostMessage(g_pRemoteView.load(), WM_REMOTE_DELETED,
                static_cast<WPARAM>(RemoteNameKey(pszName)), nOutcome);
}
} // namespace

unsigned CMyThread::DeleteEntries(JobRequest* pRequest)
{
    const LoopResult result =
        RunEntryLoop(pRequest, false,
                     [this](const JobItem& item, const std::string&, const std::string& strRemote) {
                         const bool bDeleted =
                             IsSafeRemoteName(item.szName) && m_hConnect->DeleteFile(strRemote);
                         ReportDeletion(item.szName, bDeleted ? DELETE_SUCCEEDED : DELETE_FAILED);
                         return bDeleted;
                     });
    if (!result.bConnected && m_nItemCount > 0)
        ReportDeletion(pRequest->pItems[0].szName, DELETE_FAILED);
    PassEndBarrier();
    Release(pRequest);
    return 0;
}
