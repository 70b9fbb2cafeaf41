#include "ProgressReporter.h"

#include "Messages.h"
#include "TransferGlobals.h"
#include "platform/MsgWnd.h"

void CProgressReporter::operator()(std::int64_t nDone, std::int64_t nTotal)
{
    const auto now = std::chrono::steady_clock::now();
    const bool bLast = nTotal >= 0 && nDone >= nTotal && nDone != m_nLastDone;
    if (m_bPosted && !bLast && now - m_lastPost < std::chrono::milliseconds(100))
        return;
    m_bPosted = true;
    m_lastPost = now;
    m_nLastDone = nDone;
    PostMessage(g_pCommandView.load(), WM_TRANSFER_PROGRESS, TransferProgressParam(nDone, m_nJobId),
                static_cast<LPARAM>(nTotal));
}
