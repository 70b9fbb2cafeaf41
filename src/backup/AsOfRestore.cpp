#include "AsOfRestore.h"

#include "BackupRun.h"
#include "BackupSession.h"
#include "platform/Path.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"
#include "transfer/RemoteName.h"

#include <QDir>
#include <QFile>

#include <algorithm>

CAsOfRestore::CAsOfRestore(std::shared_ptr<CBackupSession> pSession, QByteArray remoteFolder,
                           qint64 tAsOf, QObject* pParent)
    : QObject(pParent), m_pSession(std::move(pSession)), m_remoteFolder(std::move(remoteFolder)),
      m_tAsOf(tAsOf), m_nMaxJobs(CBackupRun::ParallelUploadsSetting())
{
    if (!m_remoteFolder.endsWith('/'))
        m_remoteFolder += '/';
}

CAsOfRestore::~CAsOfRestore() = default;

void CAsOfRestore::Queue(std::unique_ptr<CMyThread> pJob)
{
    m_queued.push_back(std::move(pJob));
    StartQueued();
}

void CAsOfRestore::JobEnded()
{
    --m_nJobsRunning;
    StartQueued();
}

void CAsOfRestore::StartQueued()
{
    while (!m_queued.empty() && m_nJobsRunning < m_nMaxJobs) {
        ++m_nJobsRunning;
        CJobPool::Get().Start(std::move(m_queued.front()));
        m_queued.pop_front();
    }
}

void CAsOfRestore::List()
{
    m_folders.clear();
    m_items.clear();
    m_bListedWhole = true;
    m_nListingsRunning = 0;
    ListFolder(QByteArray());
}

void CAsOfRestore::ListFolder(const QByteArray& subfolder)
{
    const unsigned nIndex = static_cast<unsigned>(m_folders.size());
    m_folders.append(Folder{subfolder, {}, {}, {}, 2});
    const QByteArray folder = m_remoteFolder + subfolder;
    const QByteArray folders[2] = {folder, CServerVersions::FolderOf(folder)};
    for (unsigned nVersions = 0; nVersions < 2; ++nVersions) {
        auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::List, m_pSession->MakeAccount(),
                                                QByteArray(), folders[nVersions].toStdString());
        pJob->m_nListingTag = nIndex * 2 + nVersions;
        connect(pJob.get(), &CMyThread::remoteItemsAdded, this, &CAsOfRestore::OnItemsAdded);
        connect(pJob.get(), &CMyThread::listingEnded, this, &CAsOfRestore::OnListingEnded);
        ++m_nListingsRunning;
        Queue(std::move(pJob));
    }
}

void CAsOfRestore::OnItemsAdded(const RemoteItems& items, unsigned nListingTag)
{
    Folder& folder = m_folders[nListingTag / 2];
    const bool bVersions = nListingTag % 2 == 1;
    for (const RemoteItem& item : items) {
        // A subfolder with versions only was there once: its files are looked for too.
        if (item.bFolder &&
            !CServerVersions::IsVersionsTree(m_remoteFolder + folder.subfolder, item.name))
            folder.children.insert(item.name);
        else if (!item.bFolder && !bVersions)
            folder.current.append(item);
    }
    if (bVersions)
        folder.versions += CServerVersions::ParseAll(items);
}

void CAsOfRestore::OnListingEnded(const ListingReport& report)
{
    JobEnded();
    // A versions folder that is not there holds none; anything else cut short is told.
    const bool bVersions = report.nListingTag % 2 == 1;
    if (report.eOutcome == EListingOutcome::Cut ||
        report.eOutcome == EListingOutcome::NotConnected ||
        (!bVersions && report.eOutcome == EListingOutcome::Refused))
        m_bListedWhole = false;
    const int nIndex = static_cast<int>(report.nListingTag / 2);
    if (--m_folders[nIndex].nListingsLeft == 0)
        OnFolderListed(m_folders[nIndex]);
    if (--m_nListingsRunning == 0)
        emit listed(m_bListedWhole);
}

void CAsOfRestore::OnFolderListed(const Folder& folder)
{
    for (const CServerVersions::Pick& pick :
         CServerVersions::AsOf(folder.current, folder.versions, m_tAsOf))
        m_items.append(Item{folder.subfolder, pick});
    QList<QByteArray> children(folder.children.begin(), folder.children.end());
    std::sort(children.begin(), children.end());
    const QByteArray subfolder = folder.subfolder; // ListFolder may move m_folders
    for (const QByteArray& child : std::as_const(children))
        if (IsSafeRemoteName(child.toStdString()))
            ListFolder(subfolder + child + '/');
}

void CAsOfRestore::Fetch(const QByteArray& localFolder)
{
    m_nFetched = m_nFailed = 0;
    m_strFirstFailure.clear();
    m_nFetchesLeft = static_cast<int>(m_items.size());
    if (m_nFetchesLeft == 0) {
        emit finished(0, 0, QString());
        return;
    }
    for (const Item& item : std::as_const(m_items))
        StartFetch(item, localFolder);
}

void CAsOfRestore::StartFetch(const Item& item, const QByteArray& localFolder)
{
    const CServerVersions::Pick& pick = item.pick;
    const bool bVersion = !pick.versionName.isEmpty();
    const QByteArray folder = m_remoteFolder + item.subfolder;
    const QByteArray local = localFolder + '/' + item.subfolder;
    QDir().mkpath(QFile::decodeName(local));
    auto pJob = std::make_unique<CMyThread>(
        CMyThread::EKind::Download, m_pSession->MakeAccount(), local,
        (bVersion ? CServerVersions::FolderOf(folder) : folder).toStdString(),
        QList<QByteArray>{bVersion ? pick.versionName : pick.name});
    pJob->SetLocalNames({pick.name});
    connect(pJob.get(), &CMyThread::transferDone, this, [this, item](const TransferReport& r) {
        JobEnded();
        if (r.eOutcome == EJobOutcome::Succeeded) {
            ++m_nFetched;
        } else if (m_nFailed++ == 0) {
            m_strFirstFailure = DisplayName(item.RelativePath());
            if (!r.replyLine.isEmpty())
                m_strFirstFailure += QStringLiteral(": ") + QString::fromUtf8(r.replyLine);
        }
        if (--m_nFetchesLeft == 0)
            emit finished(m_nFetched, m_nFailed, m_strFirstFailure);
    });
    Queue(std::move(pJob));
}
