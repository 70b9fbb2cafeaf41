#pragma once
// Fetches a server folder's tree as it was at a given time: for each file of the folder and its
// subfolders, the newest of its copy and its kept versions not later than that time
// (CServerVersions::AsOf), into the same tree under a local folder, under the file's own name.
// List() finds what would be fetched (listed); Fetch() then fetches it (finished): the caller
// asks before local files are replaced.
#include "ServerVersions.h"

#include <QObject>

#include <deque>
#include <memory>

class CBackupSession;
class CMyThread;

class CAsOfRestore : public QObject
{
    Q_OBJECT
public:
    CAsOfRestore(std::shared_ptr<CBackupSession> pSession, QByteArray remoteFolder, qint64 tAsOf,
                 QObject* pParent = nullptr);
    ~CAsOfRestore() override;

    struct Item {
        QByteArray subfolder; // below the folder restored: "" or "letters/2025/"
        CServerVersions::Pick pick;
        QByteArray RelativePath() const { return subfolder + pick.name; }
    };
    void List();
    const QList<Item>& Items() const { return m_items; }
    // Fetches the items into the same tree under localFolder; each replaces a local file of
    // its name.
    void Fetch(const QByteArray& localFolder);

signals:
    // bListed: every folder of the tree and its versions were read whole.
    void listed(bool bListed);
    // firstFailure: the first file that did not arrive, with the server's words when it refused.
    void finished(int nFetched, int nFailed, const QString& strFirstFailure);

private:
    // One folder of the tree being listed: its own listing and its versions folder's.
    struct Folder {
        QByteArray subfolder;
        RemoteItems current;
        QList<CServerVersions::Version> versions;
        QSet<QByteArray> children;
        int nListingsLeft = 2;
    };
    void ListFolder(const QByteArray& subfolder);
    void OnItemsAdded(const RemoteItems& items, unsigned nListingTag);
    void OnListingEnded(const ListingReport& report);
    void OnFolderListed(const Folder& folder);
    void StartFetch(const Item& item, const QByteArray& localFolder);
    // A tree of many folders and files is listed and fetched a few jobs at a time, as many as
    // a backup sends at once, not all at once: a server takes only so many connections.
    void Queue(std::unique_ptr<CMyThread> pJob);
    void JobEnded();
    void StartQueued();

    std::shared_ptr<CBackupSession> m_pSession;
    QByteArray m_remoteFolder;
    qint64 m_tAsOf;
    std::deque<std::unique_ptr<CMyThread>> m_queued;
    int m_nJobsRunning = 0;
    int m_nMaxJobs;
    // Listing tags: twice the folder's index, plus one for its versions folder.
    QList<Folder> m_folders;
    int m_nListingsRunning = 0;
    bool m_bListedWhole = true;
    QList<Item> m_items;
    int m_nFetchesLeft = 0;
    int m_nFetched = 0;
    int m_nFailed = 0;
    QString m_strFirstFailure;
};
