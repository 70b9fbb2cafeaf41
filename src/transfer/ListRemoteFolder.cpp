#include "MyThread.h"

#include "EntryDate.h"
#include "FtpConnection.h"
#include "Messages.h"
#include "TransferGlobals.h"
#include "platform/MsgWnd.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace {

const char kNotConnected[] = "服务器未接上";
const char kFolderEmpty[] = "目录为空，没有多余的内容";

// "<DIR>" for a folder; a file's bytes up to 1024, else its whole kilobytes and "KB".
void FormatSize(const FtpFileInfo& info, RemoteEntry& entry)
{
    if (info.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY) {
        std::snprintf(entry.szSize, sizeof entry.szSize, "<DIR>");
        entry.bFolder = 1;
        return;
    }
    const std::int64_t nSize = info.nSize < 0 ? 0 : info.nSize;
    if (nSize <= 1024)
        std::snprintf(entry.szSize, sizeof entry.szSize, "%" PRId64, nSize);
    else
        std::snprintf(entry.szSize, sizeof entry.szSize, "%" PRId64 "KB", nSize / 1024);
    entry.bFolder = 0;
}

// False for an entry that cannot be handed on: its name does not fit, and a shortened
// name would name a different file.
bool ToRemoteEntry(const FtpFileInfo& info, RemoteEntry& entry)
{
    if (!CopyToField(entry.szName, info.strName))
        return false;
    FormatEntryDate(info, entry.szDate, sizeof entry.szDate);
    FormatSize(info, entry);
    entry.szFolder[0] = '\0';
    return true;
}

} // namespace

unsigned CMyThread::ListRemoteFolder()
{
    const unsigned nTag = m_nListingTag;
    if (!m_hConnect) {
        const std::string strText = m_strServer + kNotConnected;
        if (CMsgWnd* pLogin = g_pLoginDlg.load())
            SendMessage(pLogin, WM_LOGIN_RESULT, 0, reinterpret_cast<LPARAM>(strText.c_str()));
        delete this;
        return 0;
    }

    if (m_strRemoteDir != " ")
        m_hConnect->SetCurrentDirectory(m_strRemoteDir);
    std::vector<RemoteEntry> batch;
    const auto result = m_hConnect->List([&](const std::vector<FtpFileInfo>& infos) {
        batch.resize(infos.size());
        int nCount = 0;
        for (const FtpFileInfo& info : infos)
            if (ToRemoteEntry(info, batch[nCount]))
                ++nCount;
        if (nCount == 0)
            return;
        const RemoteEntryBatch entries{batch.data(), nCount, nTag};
        SendMessage(g_pRemoteView.load(), WM_ADD_REMOTE_ITEMS, reinterpret_cast<WPARAM>(&entries),
                    0);
    });
    if (result == CFtpConnection::ListResult::Empty)
        SendMessage(g_pRemoteView.load(), WM_REMOTE_FOLDER_EMPTY, nTag,
                    reinterpret_cast<LPARAM>(kFolderEmpty));

    PostMessage(g_pWaitDlg.load(), WM_CLOSE, 0, 0);
    PostMessage(g_pRemoteView.load(), WM_USAGE_UPDATE, nTag, 0);
    delete this;
    return 0;
}
