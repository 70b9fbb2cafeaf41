#pragma once
// The date text of a listed entry, as the remote list shows it.
#include "FtpFileInfo.h"

#include <cstddef>

// The last-write date in the locale's short form ("%x"), in local time; a date that came
// without a time of day is shown as that same calendar day in every time zone. False, with an
// empty text, when the date is unknown or its text does not fit nSize bytes with its NUL.
bool FormatEntryDate(const FtpFileInfo& info, char* pszDate, std::size_t nSize);
