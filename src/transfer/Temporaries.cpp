#include "Temporaries.h"

#include "platform/FileFind.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kPrefixLength = sizeof kOwnTemporaryPrefix - 1;
constexpr char kUploadSuffix[] = ".part";
constexpr std::size_t kUploadSuffixLength = sizeof kUploadSuffix - 1;
constexpr char kAsideSuffix[] = ".old";
constexpr std::size_t kUploadDigits = 16;
constexpr std::size_t kRestoreLetters = 6;
constexpr std::time_t kStaleSeconds = 60 * 60;
constexpr std::time_t kServerStaleSeconds = 24 * 60 * 60;

bool HasPrefix(const std::string& strName)
{
    return strName.compare(0, kPrefixLength, kOwnTemporaryPrefix) == 0;
}

bool AreHexDigits(const std::string& strName, std::size_t nAt, std::size_t nCount)
{
    return strName.size() >= nAt + nCount &&
           strName.find_first_not_of("0123456789abcdef", nAt) >= nAt + nCount;
}

std::string RandomDigits()
{
    static std::mutex s_lock;
    static std::mt19937_64 s_random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())
                                                                 << 32};
    std::lock_guard<std::mutex> guard(s_lock);
    char szDigits[kUploadDigits + 1];
    std::snprintf(szDigits, sizeof szDigits, "%016llx",
                  static_cast<unsigned long long>(s_random()));
    return szDigits;
}

const std::string& ThisRun()
{
    static const std::string s_strRun = RandomDigits();
    return s_strRun;
}

// The digits after the prefix: the run, then the file's own ("" for the older names).
std::string RunOf(const std::string& strName)
{
    return strName.size() == kPrefixLength + 2 * kUploadDigits + 1 + kUploadSuffixLength
               ? strName.substr(kPrefixLength, kUploadDigits)
               : std::string();
}

QString SightingsPath()
{
    QString strState = qEnvironmentVariable("XDG_STATE_HOME");
    if (strState.isEmpty())
        strState = QDir::homePath() + QStringLiteral("/.local/state");
    return strState + QStringLiteral("/Mossvale/server-temporaries");
}

// Key -> (first seen, size at that time). One line each: "<first seen> <size> <key>".
using Sightings = std::map<std::string, std::pair<std::time_t, std::int64_t>>;

Sightings ReadSightings(const QString& strPath)
{
    Sightings sightings;
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return sightings;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const int nFirst = line.indexOf(' ');
        const int nSecond = nFirst < 0 ? -1 : line.indexOf(' ', nFirst + 1);
        if (nSecond < 0)
            continue;
        bool bTime = false;
        bool bSize = false;
        const qint64 tSeen = line.left(nFirst).toLongLong(&bTime);
        const qint64 nSize = line.mid(nFirst + 1, nSecond - nFirst - 1).toLongLong(&bSize);
        if (bTime && bSize)
            sightings[line.mid(nSecond + 1).toStdString()] = {std::time_t(tSeen), nSize};
    }
    return sightings;
}

bool WriteSightings(const QString& strPath, const Sightings& sightings)
{
    if (!QDir().mkpath(QFileInfo(strPath).absolutePath()))
        return false;
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const auto& [strKey, seen] : sightings)
        file.write(QByteArray::number(qint64(seen.first)) + ' ' + QByteArray::number(seen.second) +
                   ' ' + QByteArray::fromStdString(strKey) + '\n');
    return file.commit();
}

} // namespace

bool CTemporaries::IsUploadTemporary(const std::string& strName)
{
    if (!HasPrefix(strName) ||
        strName.size() < kPrefixLength + kUploadDigits + kUploadSuffixLength ||
        strName.compare(strName.size() - kUploadSuffixLength, kUploadSuffixLength, kUploadSuffix) !=
            0)
        return false;
    const std::size_t nDigitsEnd = strName.size() - kUploadSuffixLength;
    if (nDigitsEnd == kPrefixLength + kUploadDigits) // the older form, without a run
        return AreHexDigits(strName, kPrefixLength, kUploadDigits);
    return nDigitsEnd == kPrefixLength + 2 * kUploadDigits + 1 &&
           AreHexDigits(strName, kPrefixLength, kUploadDigits) &&
           strName[kPrefixLength + kUploadDigits] == '-' &&
           AreHexDigits(strName, kPrefixLength + kUploadDigits + 1, kUploadDigits);
}

std::string CTemporaries::NewUploadName()
{
    return kOwnTemporaryPrefix + ThisRun() + '-' + RandomDigits() + kUploadSuffix;
}

bool CTemporaries::IsOfThisRun(const std::string& strName)
{
    return IsUploadTemporary(strName) && RunOf(strName) == ThisRun();
}

std::string CTemporaries::NewAsideName()
{
    return kOwnTemporaryPrefix + RandomDigits() + kAsideSuffix;
}

bool CTemporaries::IsRestoreTemporary(const std::string& strName)
{
    static const char s_szLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    return strName.size() == kPrefixLength + kRestoreLetters && HasPrefix(strName) &&
           strName.find_first_not_of(s_szLetters, kPrefixLength) == std::string::npos;
}

std::string CTemporaries::RestoreTemplate()
{
    return kOwnTemporaryPrefix + std::string(kRestoreLetters, 'X');
}

bool CTemporaries::IsStale(std::time_t tWritten, std::time_t tNow)
{
    return tWritten != 0 && tNow - tWritten > kStaleSeconds;
}

std::vector<std::string>
CTemporaries::StaleOnServer(const std::string& strFolderKey,
                            const std::vector<std::pair<std::string, std::int64_t>>& seen,
                            std::time_t tNow)
{
    // One listing at a time reads and writes the file in this process; two processes may
    // lose each other's sighting, which only puts a deletion off.
    static std::mutex s_lock;
    std::lock_guard<std::mutex> guard(s_lock);
    const QString strPath = SightingsPath();
    Sightings sightings = ReadSightings(strPath);
    // Those of this folder that the listing no longer shows have gone.
    for (auto it = sightings.lower_bound(strFolderKey);
         it != sightings.end() && it->first.compare(0, strFolderKey.size(), strFolderKey) == 0;) {
        const std::string strName = it->first.substr(strFolderKey.size());
        bool bListed = false;
        for (const auto& entry : seen)
            bListed = bListed || entry.first == strName;
        it =
            bListed || strName.find('/') != std::string::npos ? std::next(it) : sightings.erase(it);
    }
    std::vector<std::string> stale;
    for (const auto& [strName, nSize] : seen) {
        if (IsOfThisRun(strName))
            continue;
        auto& sighting = sightings[strFolderKey + strName];
        if (sighting.first == 0 || sighting.second != nSize)
            sighting = {tNow, nSize};
        else if (tNow - sighting.first > kServerStaleSeconds)
            stale.push_back(strName);
    }
    // Unrecorded, nothing may be deleted: a later listing could not tell its age.
    if (!WriteSightings(strPath, sightings))
        return {};
    return stale;
}

void CTemporaries::RemoveStaleLocal(const std::string& strFolder, std::time_t tNow)
{
    DIR* pDir = ::opendir(strFolder.empty() ? "." : strFolder.c_str());
    if (!pDir)
        return;
    const int fd = ::dirfd(pDir);
    while (const dirent* pEntry = ::readdir(pDir)) {
        if (!IsRestoreTemporary(pEntry->d_name))
            continue;
        // Through the folder's descriptor, so a renamed folder cannot redirect the delete.
        struct stat info;
        if (::fstatat(fd, pEntry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && IsStale(info.st_mtime, tNow))
            ::unlinkat(fd, pEntry->d_name, 0);
    }
    ::closedir(pDir);
}
