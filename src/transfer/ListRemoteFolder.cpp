#include "MyThread.h"

#include "EntryDate.h"
#include "FtpConnection.h"
#include "Messages.h"
#include "ReplyLines.h"
#include "TransferGlobals.h"
#include "platform/MsgWnd.h"

#include <vector>

namespace {

// False for an entry that cannot be handed on: its name does not fit, and a shortened
// name would name a different file.
bool ToRemoteEntry(const FtpFileInfo& info, RemoteEntry& entry, RemoteEntryValues& values)
{
    if (!CopyToField(entry.szName, info.strName))
        return false;
    const bool bFolder = info.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY;
    values.nSize = bFolder ? 0 : info.nSize; // -1: unknown
    values.tLastWrite = info.tLastWrite;
    values.eTimeKind = info.eTimeKind;
    FormatEntryDate(info, entry.szDate, sizeof entry.szDate);
    FormatEntrySize(bFolder, values.nSize, entry.szSize, sizeof entry.szSize);
    entry.bFolder = bFolder ? 1 : 0;
    entry.szFolder[0] = '\0';
    return true;
}

} // namespace

unsigned CMyThread::ListRemoteFolder()
{
    const unsigned nTag = m_nListingTag;
    if (!m_hConnect) {
        if (CMsgWnd* pLogin = g_pLoginDlg.load())
            SendMessage(pLogin, WM_LOGIN_RESULT, 0, reinterpret_cast<LPARAM>(m_strServer.c_str()));
        // A list that could not be read must not pass for an empty account.
        if (m_strRemoteDir != LOGIN_CHECK_FOLDER) {
            PostMessage(g_pWaitDlg.load(), WM_CLOSE, 0, 0);
            PostMessage(g_pRemoteView.load(), WM_USAGE_UPDATE, nTag,
                        ListingOutcomeParam(LISTING_FAILED, m_eConnectFailure));
        }
        delete this;
        return 0;
    }

    if (m_strRemoteDir != LOGIN_CHECK_FOLDER)
        m_hConnect->SetCurrentDirectory(m_strRemoteDir);
    std::vector<RemoteEntry> batch;
    std::vector<RemoteEntryValues> values;
    const auto result = m_hConnect->List([&](const std::vector<FtpFileInfo>& infos) {
        batch.resize(infos.size());
        values.resize(infos.size());
        int nCount = 0;
        for (const FtpFileInfo& info : infos)
            if (ToRemoteEntry(info, batch[nCount], values[nCount]))
                ++nCount;
        if (nCount == 0)
            return;
        const RemoteEntryBatch entries{batch.data(), nCount, nTag, values.data()};
        SendMessage(g_pRemoteView.load(), WM_ADD_REMOTE_ITEMS, reinterpret_cast<WPARAM>(&entries),
                    0);
    });
    if (result == CFtpConnection::ListResult::Empty)
        SendMessage(g_pRemoteView.load(), WM_REMOTE_FOLDER_EMPTY, nTag, 0);
    LPARAM nOutcome = ListingOutcomeParam(LISTING_COMPLETE, FAILURE_NONE);
    if (result == CFtpConnection::ListResult::Cut || result == CFtpConnection::ListResult::Failed) {
        g_replyLines.Put(CReplyLines::ListingKey(nTag), m_hConnect->LastReplyLine());
        nOutcome = ListingOutcomeParam(result == CFtpConnection::ListResult::Cut ? LISTING_CUT
                                                                                 : LISTING_FAILED,
                                       m_hConnect->LastFailure());
    }

    PostMessage(g_pWaitDlg.load(), WM_CLOSE, 0, 0);
    PostMessage(g_pRemoteView.load(), WM_USAGE_UPDATE, nTag, nOutcome);
    delete this;
    return 0;
}
