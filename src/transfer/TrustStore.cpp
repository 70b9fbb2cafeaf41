#include "TrustStore.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Entry {
    std::string strServer;
    std::string strPin;
    std::string strSha256;
};

std::vector<Entry> ReadEntries(const std::string& strPath)
{
    std::vector<Entry> entries;
    std::ifstream file(strPath);
    std::string strLine;
    while (std::getline(file, strLine)) {
        std::istringstream words(strLine);
        Entry entry;
        if (words >> entry.strServer >> entry.strPin >> entry.strSha256)
            entries.push_back(entry);
    }
    return entries;
}

// Written beside the file and renamed over it, so a crash leaves the old list or the new one.
bool WriteEntries(const std::string& strPath, const std::vector<Entry>& entries)
{
    const std::size_t nSlash = strPath.rfind('/');
    if (nSlash != std::string::npos && nSlash > 0)
        ::mkdir(strPath.substr(0, nSlash).c_str(), 0700); // the settings folder, when new
    const std::string strTemp = strPath + ".new";
    const int fd = ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::string strText;
    for (const Entry& entry : entries)
        strText += entry.strServer + ' ' + entry.strPin + ' ' + entry.strSha256 + '\n';
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

} // namespace

std::string CTrustStore::ServerKey(const std::string& strHost, int nPort)
{
    const bool bIpv6 = strHost.find(':') != std::string::npos;
    return (bIpv6 ? "[" + strHost + "]" : strHost) + ':' + std::to_string(nPort);
}

std::string CTrustStore::PinOf(const std::string& strServerKey) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const Entry& entry : ReadEntries(m_strPath))
        if (entry.strServer == strServerKey)
            return entry.strPin;
    return std::string();
}

bool CTrustStore::Trust(const std::string& strServerKey, const std::string& strPin,
                        const std::string& strSha256)
{
    // A word each: a blank would split the line when it is read back.
    for (const std::string* pWord : {&strServerKey, &strPin, &strSha256})
        if (pWord->empty() || pWord->find_first_of(" \t\r\n") != std::string::npos)
            return false;
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<Entry> entries = ReadEntries(m_strPath);
    bool bReplaced = false;
    for (Entry& entry : entries) {
        if (entry.strServer == strServerKey) {
            entry = {strServerKey, strPin, strSha256};
            bReplaced = true;
        }
    }
    if (!bReplaced)
        entries.push_back({strServerKey, strPin, strSha256});
    return WriteEntries(m_strPath, entries);
}
