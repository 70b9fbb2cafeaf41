#pragma once
// The fixed-size records handed between launchers, jobs and windows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class CMyThread;

// One entry a job works on, named relative to the job's folders.
struct JobItem {
    char szName[256];     // NUL-terminated, at most 255 bytes of text
    std::int32_t bFolder; // jobs act only on items with 0
};

// What a launcher hands to an entry job's worker thread; the job frees all of it.
struct JobRequest {
    JobItem* pItems;
    CMyThread* pJob;
};

// One remote folder entry as handed to the remote list view.
struct RemoteEntry {
    char szName[256];
    char szDate[20];
    char szSize[20];      // "<DIR>", the byte count up to 1024, else whole kilobytes and "KB"
    char szFolder[260];   // left empty by the listing
    std::int32_t bFolder; // 1 folder, 0 anything else
};

// The numbers behind a listed entry's size and date texts. The window shows and adds them
// itself: the texts are rounded and formed for one locale, and cannot be read back exactly.
struct RemoteEntryValues {
    std::int64_t nSize;      // bytes; 0 for a folder, -1 when the server gave no number
    std::int64_t tLastWrite; // UTC seconds since the epoch; 0 when unknown
    std::int32_t eTimeKind;  // an ETimeKind: how far the date can be trusted
};

// A run of entries of one listing, handed over by WM_ADD_REMOTE_ITEMS.
struct RemoteEntryBatch {
    const RemoteEntry* pEntries;
    int nCount;
    unsigned nListingTag;
    // The entries' values, nCount of them in the same order; null when the sender has only
    // the records, whose texts then stand for them.
    const RemoteEntryValues* pValues = nullptr;
};

// Copies text into a fixed field. False (and an empty field) when it does not fit:
// a shortened name would name another file.
template <std::size_t N> bool CopyToField(char (&field)[N], const std::string& strText)
{
    if (strText.size() >= N || strText.find('\0') != std::string::npos) {
        field[0] = '\0';
        return false;
    }
    std::memcpy(field, strText.c_str(), strText.size() + 1);
    return true;
}

// A key that identifies a remote name in a WM_REMOTE_DELETED report (64-bit FNV-1a).
// Never 0, so it cannot be mistaken for the unparameterised report.
inline std::uint64_t RemoteNameKey(const char* pszName)
{
    std::uint64_t key = 1469598103934665603ULL;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszName); *p; ++p) {
        key ^= *p;
        key *= 1099511628211ULL;
    }
    return key ? key : 1;
}
