#include "PrivateFile.h"

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool WritePrivateFile(const std::string& strPath, const std::string& strText)
{
    const std::size_t nSlash = strPath.rfind('/');
    if (nSlash != std::string::npos && nSlash > 0)
        ::mkdir(strPath.substr(0, nSlash).c_str(), 0700);
    const std::string strTemp = strPath + ".new";
    const int fd = ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool bWritten =
        ::write(fd, strText.data(), strText.size()) == static_cast<ssize_t>(strText.size()) &&
        fsync(fd) == 0;
    ::close(fd);
    if (!bWritten || std::rename(strTemp.c_str(), strPath.c_str()) != 0) {
        ::unlink(strTemp.c_str());
        return false;
    }
    return true;
}
