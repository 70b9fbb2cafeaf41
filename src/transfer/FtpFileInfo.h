#pragma once
#include <cstdint>
#include <ctime>
#include <string>

// File attribute bits as the original listing reported them.
constexpr unsigned FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr unsigned FILE_ATTRIBUTE_NORMAL = 0x80;

// What a listing's date says: MLSD gives UTC to the second; LIST gives the server's clock in a
// zone the client cannot know, or for older files only the day.
enum ETimeKind : unsigned char {
    TIME_UNKNOWN = 0,
    TIME_EXACT,        // UTC
    TIME_SERVER_CLOCK, // a time of day on the server's clock, taken as UTC
    TIME_DAY_ONLY,     // a calendar day without its time: tLastWrite is that day's 00:00 UTC
};

// One entry of a remote folder listing.
struct FtpFileInfo {
    std::string strName;
    unsigned dwFileAttributes = FILE_ATTRIBUTE_NORMAL; // FILE_ATTRIBUTE_DIRECTORY for a folder
    std::int64_t nSize = 0;     // bytes; 0 when the server did not say, -1 when it said no number
    std::time_t tLastWrite = 0; // UTC seconds since the epoch; 0 when unknown
    ETimeKind eTimeKind = TIME_UNKNOWN;
};
