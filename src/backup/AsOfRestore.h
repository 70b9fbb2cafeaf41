#pragma once
// Fetches a server folder's files as they were at a given time: for each, the newest of its
// copy in the folder and its kept versions not later than that time (CServerVersions::AsOf),
// into a local folder under the file's own name. List() finds what would be fetched (listed);
// Fetch() then fetches it (finished): the caller asks before local files are replaced.
#include "ServerVersions.h"

#include <QObject>

#include <memory>

class CBackupSession;

class CAsOfRestore : public QObject
{
    Q_OBJECT
public:
    CAsOfRestore(std::shared_ptr<CBackupSession> pSession, QByteArray remoteFolder, qint64 tAsOf,
                 QObject* pParent = nullptr);

    void List();
    const QList<CServerVersions::Pick>& Picks() const { return m_picks; }
    // Fetches the picks into localFolder; each replaces a local file of its name.
    void Fetch(const QByteArray& localFolder);

signals:
    // bListed: both the folder and its versions were read whole.
    void listed(bool bListed);
    // firstFailure: the first file that did not arrive, with the server's words when it refused.
    void finished(int nFetched, int nFailed, const QString& strFirstFailure);

private:
    void OnListingEnded(const ListingReport& report);

    std::shared_ptr<CBackupSession> m_pSession;
    QByteArray m_remoteFolder;
    qint64 m_tAsOf;
    RemoteItems m_current;
    QList<CServerVersions::Version> m_versions;
    QList<CServerVersions::Pick> m_picks;
    int m_nListingsLeft = 0;
    bool m_bListedWhole = true;
    int m_nFetchesLeft = 0;
    int m_nFetched = 0;
    int m_nFailed = 0;
    QString m_strFirstFailure;
};
