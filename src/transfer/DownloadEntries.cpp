#include "MyThread.h"

#include "FtpConnection.h"
#include "RemoteName.h"

void CMyThread::DownloadEntries()
{
    const LoopResult result =
        RunEntryLoop(true, [this](const QByteArray& name, const std::string& strLocal,
                                  const std::string& strRemote) {
            m_pState->nDone = 0;
            m_pState->nTotal = -1;
            if (!IsSafeRemoteName(std::string_view(name.constData(), size_t(name.size())))) {
                m_eStepFailure = FAILURE_UNSAFE_NAME;
                return false;
            }
            const bool bFetched = m_pConnect->GetFile(
                strRemote, strLocal, [this](std::int64_t nDone, std::int64_t nTotal) {
                    m_pState->nDone = nDone;
                    m_pState->nTotal = nTotal;
                });
            if (bFetched) {
                m_nBytesMoved += m_pState->nDone;
                m_bUnchecked = m_bUnchecked || m_pConnect->LastSentUnchecked();
                NoteRestart();
            }
            return bFetched;
        });
    // A restore that failed says so, or its wait dialog would spin for ever; one with nothing
    // to fetch has nothing to say.
    if (result.bFailed || !m_items.isEmpty())
        ReportTransfer(ETransferDirection::Download, result);
}
