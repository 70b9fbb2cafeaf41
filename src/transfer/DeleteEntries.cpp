#include "MyThread.h"

#include "FtpConnection.h"
#include "RemoteName.h"
#include "platform/Path.h"

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
    // A folder's files are paths below the remote folder; single entries are plain names.
    const bool bTree = !m_foldersToRemove.isEmpty();
    const auto isSafe = [bTree](const QByteArray& name) {
        const std::string_view view(name.constData(), size_t(name.size()));
        return bTree ? IsSafeRemotePath(view) : IsSafeRemoteName(view);
    };
    const LoopResult result = RunEntryLoop(
        false, [&](const QByteArray& name, const std::string&, const std::string& strRemote) {
            // A name that would reach outside the folder is the server's to refuse, unsent.
            if (!isSafe(name)) {
                ReportDeletion(name, false, FAILURE_UNSAFE_NAME);
                return false;
            }
            const bool bDeleted = m_pConnect->DeleteFile(strRemote);
            if (!bTree || !bDeleted)
                ReportDeletion(name, bDeleted, Failure());
            return bDeleted;
        });
    if (!m_pConnect && (result.bFailed || bTree)) {
        ReportDeletion(result.bFailed ? result.failedItem : m_foldersToRemove.last(), false,
                       Failure());
        return;
    }
    if (!bTree || result.bFailed)
        return;
    // Bottom up: each folder is empty by the time it is removed.
    for (const QByteArray& folder : m_foldersToRemove) {
        if (!isSafe(folder)) {
            ReportDeletion(folder, false, FAILURE_UNSAFE_NAME);
            return;
        }
        if (!m_pConnect->RemoveFolder(JoinPath(m_strRemoteDir, folder.toStdString()))) {
            ReportDeletion(folder, false, Failure());
            return;
        }
    }
    ReportDeletion(m_foldersToRemove.last(), true, FAILURE_NONE);
}
