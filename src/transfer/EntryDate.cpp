#include "EntryDate.h"

#include <ctime>

bool FormatEntryDate(const FtpFileInfo& info, char* pszDate, std::size_t nSize)
{
    if (nSize == 0)
        return false;
    pszDate[0] = '\0';
    const std::time_t tWhen = info.tLastWrite;
    std::tm when;
    // A bare day is midnight UTC of that day; in local time it would be the day before
    // west of Greenwich.
    const bool bConverted = info.eTimeKind == TIME_DAY_ONLY ? gmtime_r(&tWhen, &when) != nullptr
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
