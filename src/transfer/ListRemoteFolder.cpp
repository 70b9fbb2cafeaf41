#include "MyThread.h"

#include "EntryDate.h"
#include "FtpConnection.h"
#include "Messages.h"
#include "TransferGlobals.h"
#include "platform/MsgWnd.h"

#include <QCoreApplication>

#include <vector>

namespace {

// Translated here, on the worker thread (translate() is thread-safe): the windows receive
// the finished text.
const char kNotConnected[] = QT_TRANSLATE_NOOP("ListRemoteFolder", "服务器未接上");
const char kFolderEmpty[] = QT_TRANSLATE_NOOP("ListRemoteFolder", "目录为空，没有多余的内容");

std::string Translated(const char* pszSource)
{
    return QCoreApplication::translate("ListRemoteFolder", pszSource).toStdString();
}

// False for an entry that cannot be handed on: its name does not fit, and a shortened
// name would name a different file.
bool ToRemoteEntry(const FtpFileInfo& info, RemoteEntry& entry, RemoteEntryValues& values)
{
    if (!CopyToField(entry.szName, info.strName))
        return false;
    const bool bFolder = info.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY;
    values.nSize = bFolder || info.nSize < 0 ? 0 : info.nSize;
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
        const std::string strText = m_strServer + Translated(kNotConnected);
        if (CMsgWnd* pLogin = g_pLoginDlg.load())
            SendMessage(pLogin, WM_LOGIN_RESULT, 0, reinterpret_cast<LPARAM>(strText.c_str()));
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
    if (result == CFtpConnection::ListResult::Empty) {
        const std::string strEmpty = Translated(kFolderEmpty);
        SendMessage(g_pRemoteView.load(), WM_REMOTE_FOLDER_EMPTY, nTag,
                    reinterpret_cast<LPARAM>(strEmpty.c_str()));
    }

    PostMessage(g_pWaitDlg.load(), WM_CLOSE, 0, 0);
    PostMessage(g_pRemoteView.load(), WM_USAGE_UPDATE, nTag, 0);
    delete this;
    return 0;
}
