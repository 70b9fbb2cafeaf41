#pragma once
#include <cstdint>
#include <ctime>
#include <string>

// File attribute bits as the original listing reported them.
constexpr unsigned FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr unsigned FILE_ATTRIBUTE_NORMAL = 0x80;

// One entry of a remote folder listing.
struct FtpFileInfo {
    std::string strName;
    unsigned dwFileAttributes = FILE_ATTRIBUTE_NORMAL; // FILE_ATTRIBUTE_DIRECTORY for a folder
    std::int64_t nSize = 0; // bytes; 0 when the server did not say
    std::time_t tLastWrite = 0; // UTC seconds since the epoch; 0 when unknown
};
