#include "TrustStore.h"

#include "PrivateFile.h"

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

bool WriteEntries(const std::string& strPath, const std::vector<Entry>& entries)
{
    std::string strText;
    for (const Entry& entry : entries)
        strText += entry.strServer + ' ' + entry.strPin + ' ' + entry.strSha256 + '\n';
    return WritePrivateFile(strPath, strText);
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

std::string CTrustStore::Sha256Of(const std::string& strServerKey) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const Entry& entry : ReadEntries(m_strPath))
        if (entry.strServer == strServerKey)
            return entry.strSha256;
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
