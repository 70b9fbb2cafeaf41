#pragma once
// The size and date texts of a listed entry, as the remote list shows them. The listing
// fills its records with them, and the list forms the same texts from the raw values.
#include "FtpFileInfo.h"

#include <cstddef>
#include <cstdint>
#include <ctime>

// "<DIR>" for a folder; a file's bytes up to 1024, else its whole kilobytes and "KB"; "?" for
// a negative size, which stands for one the server did not give as a number. The text is cut to fit
// nSize bytes with its NUL.
void FormatEntrySize(bool bFolder, std::int64_t nBytes, char* pszSize, std::size_t nSize);

// The last-write date in the locale's short form ("%x"), in local time; a date that came
// without a time of day is shown as that same calendar day in every time zone. False, with an
// empty text, when the date is unknown or its text does not fit nSize bytes with its NUL.
bool FormatEntryDate(const FtpFileInfo& info, char* pszDate, std::size_t nSize);
bool FormatEntryDate(std::time_t tLastWrite, ETimeKind eTimeKind, char* pszDate, std::size_t nSize);
