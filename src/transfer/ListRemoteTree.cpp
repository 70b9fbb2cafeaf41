#include "MyThread.h"

#include "FtpConnection.h"
#include "RemoteName.h"
#include "platform/Path.h"

#include <deque>

namespace {

// A server may show a link to a folder above as a folder: a walk stops this deep rather
// than going round for ever, and says the tree was not read whole.
constexpr int kMaxDepth = 64;

int Depth(const std::string& strPath)
{
    int nDepth = strPath.empty() ? 0 : 1;
    for (char ch : strPath)
        nDepth += ch == '/';
    return nDepth;
}

} // namespace

void CMyThread::ListRemoteTree()
{
    ListingReport report;
    report.nListingTag = m_nListingTag;
    if (EndedUnconnected(report))
        return;
    // Breadth first: one listing at a time on the one connection, each folder's entries
    // reported before the folders below it are read.
    std::deque<std::string> pending;
    if (m_items.isEmpty())
        pending.emplace_back();
    RemoteItems named;
    for (const QByteArray& name : m_items) {
        if (!IsSafeRemoteName(std::string_view(name.constData(), size_t(name.size()))))
            continue;
        RemoteItem item;
        item.name = name;
        item.bFolder = true;
        named.append(item);
        pending.push_back(name.toStdString());
    }
    if (!named.isEmpty())
        emit remoteItemsAdded(named, m_nListingTag);

    bool bAnyListed = false;
    report.eOutcome = EListingOutcome::Complete;
    while (!pending.empty()) {
        const std::string strPath = std::move(pending.front());
        pending.pop_front();
        if (m_pState->bCancel || Depth(strPath) > kMaxDepth) {
            report.eOutcome = EListingOutcome::Cut;
            report.eFailure = Failure();
            break;
        }
        if (!m_pConnect->SetCurrentDirectory(strPath.empty() ? m_strRemoteDir
                                                             : JoinPath(m_strRemoteDir, strPath))) {
            report.eOutcome = bAnyListed ? EListingOutcome::Cut : EListingOutcome::Refused;
            report.eFailure = FAILURE_UNSAFE_NAME;
            break;
        }
        const auto result = m_pConnect->List([&](const std::vector<FtpFileInfo>& infos) {
            RemoteItems items;
            items.reserve(static_cast<int>(infos.size()));
            for (const FtpFileInfo& info : infos) {
                // A name that could not be named in a path is left out, as the list does.
                if (!IsSafeRemoteName(info.strName) || info.strName.size() > kMaxItemNameBytes)
                    continue;
                RemoteItem item;
                const std::string strChild =
                    strPath.empty() ? info.strName : strPath + '/' + info.strName;
                item.name = QByteArray::fromStdString(strChild);
                item.bFolder = info.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY;
                item.nSize = item.bFolder ? 0 : info.nSize;
                item.tLastWrite = info.tLastWrite;
                item.eTimeKind = info.eTimeKind;
                if (item.bFolder)
                    pending.push_back(strChild);
                items.append(item);
            }
            if (!items.isEmpty())
                emit remoteItemsAdded(items, m_nListingTag);
        });
        if (result == CFtpConnection::ListResult::Cut ||
            result == CFtpConnection::ListResult::Failed) {
            report.eOutcome = bAnyListed || result == CFtpConnection::ListResult::Cut
                                  ? EListingOutcome::Cut
                                  : EListingOutcome::Refused;
            report.eFailure = Failure();
            report.replyLine = ReplyLine();
            break;
        }
        bAnyListed = true;
    }
    HandBackConnection();
    emit listingEnded(report);
}
