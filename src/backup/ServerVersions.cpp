#include "ServerVersions.h"

#include "BackupPlan.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>
#include <QTimeZone>

#include <algorithm>

namespace {

const QString kDaysKey = QStringLiteral("Settings/VersionDays");
const QString kPerFileKey = QStringLiteral("Settings/VersionsPerFile");
constexpr qint64 kDaySeconds = 24 * 60 * 60;

QByteArray Stamp(qint64 tCopy)
{
    return QDateTime::fromSecsSinceEpoch(tCopy, QTimeZone::utc())
        .toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"))
        .toLatin1();
}

bool Newer(const CServerVersions::Version& a, const CServerVersions::Version& b)
{
    return a.tCopy != b.tCopy ? a.tCopy > b.tCopy : a.nNumber > b.nNumber;
}

} // namespace

const QByteArray& CServerVersions::Root()
{
    static const QByteArray root("/.mossvale-versions");
    return root;
}

QByteArray CServerVersions::FolderOf(const QByteArray& remoteFolder)
{
    QByteArray folder = remoteFolder.startsWith('/') ? remoteFolder : '/' + remoteFolder;
    if (!folder.endsWith('/'))
        folder += '/';
    return Root() + folder;
}

bool CServerVersions::IsVersionsTree(const QByteArray& remoteFolder, const QByteArray& name)
{
    return (remoteFolder == "/" || remoteFolder.isEmpty()) && '/' + name == Root();
}

std::optional<CServerVersions::Version> CServerVersions::Parse(const QByteArray& versionName,
                                                               qint64 nSize)
{
    static const QRegularExpression pattern(QStringLiteral("^(.+)~(\\d{8}T\\d{6}Z)(?:-(\\d+))?$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    // Latin-1 maps each byte to one character, so any name matches as the bytes it has.
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(versionName));
    if (!match.hasMatch())
        return std::nullopt;
    const QDateTime time =
        QDateTime::fromString(match.captured(2), QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    if (!time.isValid())
        return std::nullopt;
    Version version;
    version.versionName = versionName;
    version.name = match.captured(1).toLatin1();
    version.tCopy = QDateTime(time.date(), time.time(), QTimeZone::utc()).toSecsSinceEpoch();
    version.nNumber = match.captured(3).isEmpty() ? 1 : match.captured(3).toInt();
    version.nSize = nSize;
    return version;
}

QList<CServerVersions::Version> CServerVersions::ParseAll(const RemoteItems& items)
{
    QList<Version> versions;
    for (const RemoteItem& item : items)
        if (!item.bFolder)
            if (const std::optional<Version> version = Parse(item.name, item.nSize))
                versions.append(*version);
    return versions;
}

QByteArray CServerVersions::FreeName(const QByteArray& name, qint64 tCopy,
                                     const QSet<QByteArray>& taken)
{
    const QByteArray base = name + '~' + Stamp(tCopy);
    QByteArray free = base;
    for (int nNumber = 2; taken.contains(free); ++nNumber)
        free = base + '-' + QByteArray::number(nNumber);
    return free;
}

CServerVersions::Limits CServerVersions::LimitsSetting()
{
    const std::unique_ptr<QSettings> pProfile = CBackupPlan::OpenProfile();
    Limits limits;
    limits.nDays = std::clamp(pProfile->value(kDaysKey, limits.nDays).toInt(), 1, kMaxDays);
    limits.nPerFile =
        std::clamp(pProfile->value(kPerFileKey, limits.nPerFile).toInt(), 0, kMaxPerFile);
    return limits;
}

void CServerVersions::SaveLimits(const Limits& limits)
{
    const std::unique_ptr<QSettings> pProfile = CBackupPlan::OpenProfile();
    pProfile->setValue(kDaysKey, limits.nDays);
    pProfile->setValue(kPerFileKey, limits.nPerFile);
}

QList<QByteArray> CServerVersions::ToPrune(const QList<Version>& versions,
                                           const QHash<QByteArray, qint64>& currentTimes,
                                           qint64 tNow, const Limits& limits)
{
    if (limits.IsOff())
        return {};
    QHash<QByteArray, QList<Version>> byName;
    for (const Version& version : versions)
        byName[version.name].append(version);
    QList<Version> doomed;
    for (auto it = byName.begin(); it != byName.end(); ++it) {
        QList<Version>& list = it.value();
        std::sort(list.begin(), list.end(), Newer);
        qint64 tReplaced = currentTimes.value(it.key(), tNow);
        for (int i = 0; i < list.size(); ++i) {
            if (i >= limits.nPerFile || tNow - tReplaced > limits.nDays * kDaySeconds)
                doomed.append(list[i]);
            tReplaced = list[i].tCopy;
        }
    }
    std::sort(doomed.begin(), doomed.end(),
              [](const Version& a, const Version& b) { return Newer(b, a); });
    QList<QByteArray> names;
    for (const Version& version : std::as_const(doomed))
        names.append(version.versionName);
    return names;
}

QList<CServerVersions::Pick> CServerVersions::AsOf(const RemoteItems& current,
                                                   const QList<Version>& versions, qint64 tAsOf)
{
    QHash<QByteArray, Pick> best;
    const auto offer = [&](const Pick& pick) {
        if (pick.tCopy > tAsOf)
            return;
        const auto it = best.constFind(pick.name);
        if (it == best.constEnd() || it->tCopy < pick.tCopy ||
            (it->tCopy == pick.tCopy && pick.versionName.isEmpty()))
            best.insert(pick.name, pick);
    };
    for (const RemoteItem& item : current)
        if (!item.bFolder)
            offer({item.name, QByteArray(), item.tLastWrite, item.nSize});
    for (const Version& version : versions)
        offer({version.name, version.versionName, version.tCopy, version.nSize});
    QList<Pick> picks = best.values();
    std::sort(picks.begin(), picks.end(),
              [](const Pick& a, const Pick& b) { return a.name < b.name; });
    return picks;
}
