#include "MyThread.h"

#include "FtpConnection.h"
#include "RemoteName.h"

void CMyThread::ReportDeletion(const QByteArray& name, bool bDeleted, ETransferFailure eFailure)
{
    DeletionReport deletion;
    deletion.nJobId = m_nJobId;
    deletion.name = name;
    deletion.bDeleted = bDeleted;
    if (!bDeleted) {
        deletion.eFailure = eFailure;
        deletion.replyLine = ReplyLine();
    }
    emit remoteDeleted(deletion);
}

void CMyThread::DeleteEntries()
{
    const LoopResult result = RunEntryLoop(
        false, [this](const QByteArray& name, const std::string&, const std::string& strRemote) {
            // A name that would reach outside the folder is the server's to refuse, unsent.
            if (!IsSafeRemoteName(std::string_view(name.constData(), size_t(name.size())))) {
                ReportDeletion(name, false, FAILURE_UNSAFE_NAME);
                return false;
            }
            const bool bDeleted = m_pConnect->DeleteFile(strRemote);
            ReportDeletion(name, bDeleted, Failure());
            return bDeleted;
        });
    if (!m_pConnect && result.bFailed)
        ReportDeletion(result.failedItem, false, result.eFailure);
}
