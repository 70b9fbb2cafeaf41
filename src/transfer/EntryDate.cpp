#include "EntryDate.h"

#include <cinttypes>
#include <cstdio>

void FormatEntrySize(bool bFolder, std::int64_t nBytes, char* pszSize, std::size_t nSize)
{
    if (bFolder) {
        std::snprintf(pszSize, nSize, "<DIR>");
        return;
    }
    if (nBytes < 0)
        std::snprintf(pszSize, nSize, "?"); // the server gave no number for it
    else if (nBytes <= 1024)
        std::snprintf(pszSize, nSize, "%" PRId64, nBytes);
    else
        std::snprintf(pszSize, nSize, "%" PRId64 "KB", nBytes / 1024);
}

bool FormatEntryDate(const FtpFileInfo& info, char* pszDate, std::size_t nSize)
{
    return FormatEntryDate(info.tLastWrite, info.eTimeKind, pszDate, nSize);
}

bool FormatEntryDate(std::time_t tWhen, ETimeKind eTimeKind, char* pszDate, std::size_t nSize)
{
    if (nSize == 0)
        return false;
    pszDate[0] = '\0';
    std::tm when;
    // A bare day is midnight UTC of that day; in local time it would be the day before
    // west of Greenwich.
    const bool bConverted = eTimeKind == TIME_DAY_ONLY ? gmtime_r(&tWhen, &when) != nullptr
                                                       : localtime_r(&tWhen, &when) != nullptr;
    if (tWhen == 0 || !bConverted)
        return false;
    // strftime returns 0 when the text does not fit, and leaves the buffer undefined.
    if (std::strftime(pszDate, nSize, "%x", &when) == 0) {
        pszDate[0] = '\0';
        return false;
    }
    return true;
}
