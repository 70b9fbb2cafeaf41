#include "MyThread.h"

#include "FtpConnection.h"

namespace {

// A name no job could take is not shown: it could be neither restored nor deleted.
bool Fits(const std::string& strName)
{
    return strName.size() <= size_t(kMaxItemNameBytes) && strName.find('\0') == std::string::npos;
}

RemoteItem ToRemoteItem(const FtpFileInfo& info)
{
    RemoteItem item;
    item.name = QByteArray(info.strName.data(), static_cast<int>(info.strName.size()));
    item.bFolder = info.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY;
    item.nSize = item.bFolder ? 0 : info.nSize;
    item.tLastWrite = info.tLastWrite;
    item.eTimeKind = info.eTimeKind;
    return item;
}

} // namespace

bool CMyThread::EndedUnconnected(ListingReport& report)
{
    if (m_pConnect)
        return false;
    report.eOutcome = EListingOutcome::NotConnected;
    report.eFailure = Failure();
    report.replyLine = ReplyLine();
    emit listingEnded(report);
    return true;
}

void CMyThread::ListRemoteFolder()
{
    ListingReport report;
    report.nListingTag = m_nListingTag;
    if (EndedUnconnected(report))
        return;

    if (m_strRemoteDir != LOGIN_CHECK_FOLDER)
        m_pConnect->SetCurrentDirectory(m_strRemoteDir);
    const auto result = m_pConnect->List([&](const std::vector<FtpFileInfo>& infos) {
        RemoteItems items;
        items.reserve(static_cast<int>(infos.size()));
        for (const FtpFileInfo& info : infos)
            if (Fits(info.strName))
                items.append(ToRemoteItem(info));
        if (items.isEmpty())
            return;
        emit remoteItemsAdded(items, m_nListingTag);
    });
    switch (result) {
    case CFtpConnection::ListResult::Listed:
        report.eOutcome = EListingOutcome::Complete;
        break;
    case CFtpConnection::ListResult::Empty:
        report.eOutcome = EListingOutcome::Empty;
        break;
    case CFtpConnection::ListResult::Cut:
    case CFtpConnection::ListResult::Failed:
        // The rows that arrived stay, but the list must not pass for the whole account.
        report.eOutcome = result == CFtpConnection::ListResult::Cut ? EListingOutcome::Cut
                                                                    : EListingOutcome::Refused;
        report.eFailure = Failure();
        report.replyLine = ReplyLine();
        break;
    }
    const bool bWhole =
        result == CFtpConnection::ListResult::Listed || result == CFtpConnection::ListResult::Empty;
    if (bWhole && m_strRemoteDir != LOGIN_CHECK_FOLDER)
        report.nFreeBytes = m_pConnect->FreeSpace(m_strRemoteDir);
    HandBackConnection();
    emit listingEnded(report);
}
