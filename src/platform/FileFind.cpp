#include "FileFind.h"

#include "Path.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDotOrDotDot(const char* pszName)
{
    return pszName[0] == '.' && (pszName[1] == '\0' || (pszName[1] == '.' && pszName[2] == '\0'));
}

// An entry the tree would show.
bool IsShownEntry(const char* pszName)
{
    return !IsDotOrDotDot(pszName) && !IsOwnTemporary(pszName);
}

UINT AttributesFromMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    if (S_ISREG(mode))
        return 0;
    return FILE_ATTRIBUTE_DEVICE;
}

UINT Finish(UINT nAttributes, bool bHidden)
{
    if (bHidden)
        nAttributes |= FILE_ATTRIBUTE_HIDDEN;
    return nAttributes != 0 ? nAttributes : FILE_ATTRIBUTE_NORMAL;
}

// The attribute word of one entry. The entry's type from the directory saves a stat
// call for plain files and folders, which is what keeps big folders fast.
UINT EntryAttributes(int nDirFd, const dirent* pEntry)
{
    const bool bHidden = pEntry->d_name[0] == '.';
    struct stat st;
    switch (pEntry->d_type) {
    case DT_DIR:
        return Finish(FILE_ATTRIBUTE_DIRECTORY, bHidden);
    case DT_REG:
        return Finish(0, bHidden);
    case DT_LNK:
        if (fstatat(nDirFd, pEntry->d_name, &st, 0) != 0)
            return Finish(FILE_ATTRIBUTE_REPARSE_POINT, bHidden); // dangling
        return Finish(FILE_ATTRIBUTE_REPARSE_POINT | AttributesFromMode(st.st_mode), bHidden);
    case DT_UNKNOWN:
        if (fstatat(nDirFd, pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Finish(0, bHidden);
        if (S_ISLNK(st.st_mode)) {
            if (fstatat(nDirFd, pEntry->d_name, &st, 0) != 0)
                return Finish(FILE_ATTRIBUTE_REPARSE_POINT, bHidden);
            return Finish(FILE_ATTRIBUTE_REPARSE_POINT | AttributesFromMode(st.st_mode), bHidden);
        }
        return Finish(AttributesFromMode(st.st_mode), bHidden);
    default:
        return Finish(FILE_ATTRIBUTE_DEVICE, bHidden);
    }
}

char16_t AsciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

} // namespace

bool IsOwnTemporary(const char* pszName)
{
    return std::strncmp(pszName, kOwnTemporaryPrefix, sizeof kOwnTemporaryPrefix - 1) == 0;
}

int CompareFileNames(QStringView a, QStringView b)
{
    const qsizetype nLength = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < nLength; ++i) {
        const char16_t ca = a[i].unicode();
        const char16_t cb = b[i].unicode();
        if (ca == cb)
            continue;
        const char16_t ua = ca < 0x80 ? AsciiUpper(ca) : char16_t(QChar::toUpper(ca));
        const char16_t ub = cb < 0x80 ? AsciiUpper(cb) : char16_t(QChar::toUpper(cb));
        if (ua != ub)
            return ua < ub ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool FindFolderEntries(const QByteArray& folder, std::vector<FindEntry>& entries)
{
    entries.clear();
    DIR* pDir = folder.isEmpty() ? nullptr : opendir(folder.constData());
    if (!pDir)
        return false;
    const int nDirFd = dirfd(pDir);
    while (const dirent* pEntry = readdir(pDir)) {
        if (IsDotOrDotDot(pEntry->d_name))
            continue;
        QByteArray name(pEntry->d_name);
        QString strName = DisplayName(name);
        entries.push_back({std::move(name), std::move(strName), EntryAttributes(nDirFd, pEntry)});
    }
    closedir(pDir);

    std::sort(entries.begin(), entries.end(), [](const FindEntry& a, const FindEntry& b) {
        const int nOrder = CompareFileNames(a.strName, b.strName);
        if (nOrder != 0)
            return nOrder < 0;
        return a.strName != b.strName ? a.strName < b.strName : a.name < b.name;
    });
    return true;
}

bool FolderHasEntries(const QByteArray& folder)
{
    DIR* pDir = folder.isEmpty() ? nullptr : opendir(folder.constData());
    if (!pDir)
        return false;
    bool bFound = false;
    while (const dirent* pEntry = readdir(pDir)) {
        if (IsShownEntry(pEntry->d_name)) {
            bFound = true;
            break;
        }
    }
    closedir(pDir);
    return bFound;
}

namespace {

// Opens the sub-folder relative to its parent and reads its first directory block only.
bool SubFolderHasEntries(int nParentFd, const QByteArray& name)
{
    const int fd = openat(nParentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    alignas(8) char buffer[2048];
    bool bFound = false;
    ssize_t nRead;
    while (!bFound && (nRead = getdents64(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t nOffset = 0; nOffset < nRead;) {
            const auto* pEntry = reinterpret_cast<const dirent64*>(buffer + nOffset);
            if (IsShownEntry(pEntry->d_name)) {
                bFound = true;
                break;
            }
            nOffset += pEntry->d_reclen;
        }
    }
    close(fd);
    return bFound;
}

// The sub-folders names[nBegin, nEnd) of one parent, probed on one thread.
struct ProbeSlice {
    int nParentFd;
    const std::vector<QByteArray>* pNames;
    std::vector<char>* pFound;
    size_t nBegin;
    size_t nEnd;
};

void Probe(const ProbeSlice& slice)
{
    for (size_t i = slice.nBegin; i < slice.nEnd; ++i)
        (*slice.pFound)[i] = SubFolderHasEntries(slice.nParentFd, (*slice.pNames)[i]);
}

} // namespace

std::vector<bool> FoldersHaveEntries(const QByteArray& folder, const std::vector<QByteArray>& names)
{
    std::vector<bool> result(names.size(), false);
    const int nParentFd =
        folder.isEmpty() ? -1 : open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nParentFd < 0)
        return result;

    // Each thread writes its own bytes; vector<bool> packs bits, so collect in chars.
    std::vector<char> found(names.size(), 0);
    // A probe is mostly waiting: in the kernel on a warm cache, on the disk on a cold one.
    // A few threads more than the cores keep both busy.
    constexpr size_t kPerThread = 256;
    const size_t nMaxThreads = std::clamp(std::thread::hardware_concurrency(), 4u, 8u);
    const size_t nThreads = std::clamp<size_t>(names.size() / kPerThread, 1, nMaxThreads);
    const size_t nSlice = (names.size() + nThreads - 1) / nThreads;
    std::vector<ProbeSlice> slices;
    for (size_t nBegin = 0; nBegin < names.size(); nBegin += nSlice)
        slices.push_back(
            {nParentFd, &names, &found, nBegin, std::min(nBegin + nSlice, names.size())});
    // The first slice is probed here, the others on threads that live only in this call.
    std::vector<std::thread> started;
    for (size_t i = 1; i < slices.size(); ++i) {
        try {
            started.emplace_back([&slice = slices[i]] { Probe(slice); });
        } catch (const std::system_error&) {
            Probe(slices[i]); // no thread to be had: do it here
        }
    }
    if (!slices.empty())
        Probe(slices[0]);
    for (std::thread& thread : started)
        thread.join();
    close(nParentFd);
    for (size_t i = 0; i < names.size(); ++i)
        result[i] = found[i] != 0;
    return result;
}

UINT GetFileAttributes(const QByteArray& path)
{
    struct stat st;
    if (path.isEmpty() || lstat(path.constData(), &st) != 0)
        return INVALID_FILE_ATTRIBUTES;
    UINT nAttributes = 0;
    if (S_ISLNK(st.st_mode)) {
        if (stat(path.constData(), &st) != 0)
            return INVALID_FILE_ATTRIBUTES; // dangling
        nAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
    }
    nAttributes |= AttributesFromMode(st.st_mode);
    return Finish(nAttributes, SplitPath(path).name.startsWith('.'));
}
