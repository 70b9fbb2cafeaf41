#pragma once
// Earlier copies kept on the server. A backup that replaces a file renames the old copy into a
// tree of its own, "/.mossvale-versions", under the path of the file's folder, as
// "<name>~<UTC time of that copy>" ("notes.txt~20261209T221500Z"), with "-2", "-3"... added
// where a copy of that time is already kept. Nothing of the copy is sent again, and nothing
// in that tree is replaced: only pruning (oldest first, within the user's limits) removes a
// version. Here: the names, the limits, and which copies pruning and "restore as of" take.
#include "transfer/JobReports.h"

#include <QByteArray>
#include <QList>
#include <QSet>

#include <optional>

class CServerVersions
{
public:
    static const QByteArray& Root(); // "/.mossvale-versions"
    // The versions folder of a server folder ("/docs/" or "/docs" gives
    // "/.mossvale-versions/docs/").
    static QByteArray FolderOf(const QByteArray& remoteFolder);
    // Whether a listed entry is the versions tree, which the server list does not show.
    static bool IsVersionsTree(const QByteArray& remoteFolder, const QByteArray& name);

    struct Version {
        QByteArray versionName; // as it is in the versions folder
        QByteArray name;        // the file's own name
        qint64 tCopy = 0;       // the UTC time of the copy, seconds
        int nNumber = 1;        // 2, 3...: another copy of the same time
        qint64 nSize = -1;
    };
    // A versions folder's entry; nothing for a name that is no version.
    static std::optional<Version> Parse(const QByteArray& versionName, qint64 nSize = -1);
    static QList<Version> ParseAll(const RemoteItems& items); // folders and others left out
    // The name a copy of time tCopy is kept under, one that none of taken holds.
    static QByteArray FreeName(const QByteArray& name, qint64 tCopy, const QSet<QByteArray>& taken);

    struct Limits {
        int nDays = 30;    // a version goes this long after it was replaced
        int nPerFile = 10; // the newest this many are kept; 0: no versions are kept
        bool IsOff() const { return nPerFile <= 0; }
    };
    static constexpr int kMaxDays = 3650;
    static constexpr int kMaxPerFile = 1000;
    // The user's limits, kept in the profile beside the plan.
    static Limits LimitsSetting();
    static void SaveLimits(const Limits& limits);

    // Of one folder's versions, those to delete, oldest first: all but the newest nPerFile of a
    // file, and those replaced (by the next newer copy) more than nDays before tNow.
    // currentTimes: each file's copy in the folder itself, by name; a file without one counts
    // its newest version as replaced at tNow. With versions off nothing is pruned: the user
    // removes what was kept.
    static QList<QByteArray> ToPrune(const QList<Version>& versions,
                                     const QHash<QByteArray, qint64>& currentTimes, qint64 tNow,
                                     const Limits& limits);

    // What a folder held at tAsOf: for each name, the newest of its copy in the folder and its
    // versions not later than tAsOf. Names with no such copy are left out.
    struct Pick {
        QByteArray name;
        QByteArray versionName; // empty: the copy in the folder itself
        qint64 tCopy = 0;
        qint64 nSize = -1;
    };
    static QList<Pick> AsOf(const RemoteItems& current, const QList<Version>& versions,
                            qint64 tAsOf);
};
