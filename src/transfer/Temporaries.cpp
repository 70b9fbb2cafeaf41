#include "Temporaries.h"

#include "platform/FileFind.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
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

bool HasPrefix(const std::string& strName)
{
    return strName.compare(0, kPrefixLength, kOwnTemporaryPrefix) == 0;
}

} // namespace

bool CTemporaries::IsUploadTemporary(const std::string& strName)
{
    const std::size_t nSuffixAt = kPrefixLength + kUploadDigits;
    return strName.size() == nSuffixAt + kUploadSuffixLength && HasPrefix(strName) &&
           strName.compare(nSuffixAt, kUploadSuffixLength, kUploadSuffix) == 0 &&
           strName.find_first_not_of("0123456789abcdef", kPrefixLength) == nSuffixAt;
}

std::string CTemporaries::NewUploadName()
{
    static std::mutex s_lock;
    static std::mt19937_64 s_random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())
                                                                 << 32};
    std::lock_guard<std::mutex> guard(s_lock);
    char szDigits[kUploadDigits + 1];
    std::snprintf(szDigits, sizeof szDigits, "%016llx",
                  static_cast<unsigned long long>(s_random()));
    return kOwnTemporaryPrefix + std::string(szDigits) + kUploadSuffix;
}

std::string CTemporaries::NewAsideName()
{
    std::string strName = NewUploadName();
    return strName.replace(strName.size() - kUploadSuffixLength, kUploadSuffixLength, kAsideSuffix);
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
