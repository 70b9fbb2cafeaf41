#include "MyThread.h"

#include "FtpConnection.h"

void CMyThread::UploadEntries()
{
    const LoopResult result = RunEntryLoop(
        true, [this](const QByteArray&, const std::string& strLocal, const std::string& strRemote) {
            m_pState->nDone = 0;
            m_pState->nTotal = -1;
            const bool bSent = m_pConnect->PutFile(strLocal, strRemote,
                                                   [this](std::int64_t nDone, std::int64_t nTotal) {
                                                       m_pState->nDone = nDone;
                                                       m_pState->nTotal = nTotal;
                                                   });
            if (bSent) {
                m_nBytesMoved += m_pState->nDone;
                m_bUnchecked = m_bUnchecked || m_pConnect->LastSentUnchecked();
            }
            return bSent;
        });
    // A backup must not look complete when a file did not arrive: the report says which, and why.
    ReportTransfer(ETransferDirection::Upload, result);
}
