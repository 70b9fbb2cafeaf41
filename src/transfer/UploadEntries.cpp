#include "MyThread.h"

#include "FtpConnection.h"
#include "platform/Path.h"

#include <sys/stat.h>

void CMyThread::UploadEntries()
{
    // A folder that cannot be made fails the upload into it, which says why.
    if (m_pConnect && m_bMakeRemoteFolder)
        m_pConnect->MakeFolders(m_strRemoteDir);
    const LoopResult result = RunEntryLoop(
        true, [this](const QByteArray&, const std::string& strLocal, const std::string& strRemote) {
            m_pState->nDone = 0;
            m_pState->nTotal = -1;
            struct stat info;
            const bool bTimed = m_bKeepRemoteTime && ::stat(strLocal.c_str(), &info) == 0;
            if (!m_strKeepReplacedAt.empty()) {
                // A folder that cannot be made fails the rename into it, which says why.
                if (m_bMakeKeepFolder)
                    m_pConnect->MakeFolders(SplitPath(m_strKeepReplacedAt).folder);
                m_pConnect->KeepReplacedCopyAt(m_strKeepReplacedAt);
            }
            if (m_bTargetIsNew)
                m_pConnect->NextTargetIsNew();
            const bool bSent = m_pConnect->PutFile(strLocal, strRemote,
                                                   [this](std::int64_t nDone, std::int64_t nTotal) {
                                                       m_pState->nDone = nDone;
                                                       m_pState->nTotal = nTotal;
                                                   });
            if (bSent) {
                m_nBytesMoved += m_pState->nDone;
                m_bUnchecked = m_bUnchecked || m_pConnect->LastSentUnchecked();
                m_bKeptVersion = m_bKeptVersion || m_pConnect->LastKeptVersion();
                NoteRestart();
            }
            // A time the server will not take leaves the file sent all the same.
            if (bSent && bTimed)
                m_pConnect->SetModificationTime(strRemote, info.st_mtim.tv_sec);
            return bSent;
        });
    // A backup must not look complete when a file did not arrive: the report says which, and why.
    ReportTransfer(ETransferDirection::Upload, result);
}
