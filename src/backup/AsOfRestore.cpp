#include "AsOfRestore.h"

#include "BackupSession.h"
#include "platform/Path.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"

CAsOfRestore::CAsOfRestore(std::shared_ptr<CBackupSession> pSession, QByteArray remoteFolder,
                           qint64 tAsOf, QObject* pParent)
    : QObject(pParent), m_pSession(std::move(pSession)), m_remoteFolder(std::move(remoteFolder)),
      m_tAsOf(tAsOf)
{
    if (!m_remoteFolder.endsWith('/'))
        m_remoteFolder += '/';
}

void CAsOfRestore::List()
{
    m_current.clear();
    m_versions.clear();
    m_bListedWhole = true;
    m_nListingsLeft = 2;
    const QByteArray folders[2] = {m_remoteFolder, CServerVersions::FolderOf(m_remoteFolder)};
    for (unsigned nTag = 0; nTag < 2; ++nTag) {
        auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::List, m_pSession->MakeAccount(),
                                                QByteArray(), folders[nTag].toStdString());
        pJob->m_nListingTag = nTag;
        connect(pJob.get(), &CMyThread::remoteItemsAdded, this,
                [this](const RemoteItems& items, unsigned nListingTag) {
                    if (nListingTag == 0) {
                        for (const RemoteItem& item : items)
                            if (!CServerVersions::IsVersionsTree(m_remoteFolder, item.name))
                                m_current.append(item);
                    } else {
                        m_versions += CServerVersions::ParseAll(items);
                    }
                });
        connect(pJob.get(), &CMyThread::listingEnded, this, &CAsOfRestore::OnListingEnded);
        CJobPool::Get().Start(std::move(pJob));
    }
}

void CAsOfRestore::OnListingEnded(const ListingReport& report)
{
    // A versions folder that is not there holds none; anything else cut short is told.
    const bool bVersions = report.nListingTag == 1;
    if (report.eOutcome == EListingOutcome::Cut ||
        report.eOutcome == EListingOutcome::NotConnected ||
        (!bVersions && report.eOutcome == EListingOutcome::Refused))
        m_bListedWhole = false;
    if (--m_nListingsLeft > 0)
        return;
    m_picks = CServerVersions::AsOf(m_current, m_versions, m_tAsOf);
    emit listed(m_bListedWhole);
}

void CAsOfRestore::Fetch(const QByteArray& localFolder)
{
    m_nFetched = m_nFailed = 0;
    m_strFirstFailure.clear();
    m_nFetchesLeft = static_cast<int>(m_picks.size());
    if (m_nFetchesLeft == 0) {
        emit finished(0, 0, QString());
        return;
    }
    for (const CServerVersions::Pick& pick : std::as_const(m_picks)) {
        const bool bVersion = !pick.versionName.isEmpty();
        const QByteArray folder =
            bVersion ? CServerVersions::FolderOf(m_remoteFolder) : m_remoteFolder;
        auto pJob = std::make_unique<CMyThread>(
            CMyThread::EKind::Download, m_pSession->MakeAccount(), localFolder,
            folder.toStdString(), QList<QByteArray>{bVersion ? pick.versionName : pick.name});
        pJob->SetLocalNames({pick.name});
        connect(pJob.get(), &CMyThread::transferDone, this, [this, pick](const TransferReport& r) {
            if (r.eOutcome == EJobOutcome::Succeeded) {
                ++m_nFetched;
            } else if (m_nFailed++ == 0) {
                m_strFirstFailure = DisplayName(pick.name);
                if (!r.replyLine.isEmpty())
                    m_strFirstFailure += QStringLiteral(": ") + QString::fromUtf8(r.replyLine);
            }
            if (--m_nFetchesLeft == 0)
                emit finished(m_nFetched, m_nFailed, m_strFirstFailure);
        });
        CJobPool::Get().Start(std::move(pJob));
    }
}
