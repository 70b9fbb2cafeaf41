#include "HostKeyProbe.h"

#include "LibsshSession.h"
#include "LibsshSftpConnection.h"
#include "PrivateFile.h"
#include "TrustStore.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <curl/curl.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

namespace {

struct ProbeContext {
    HostKeyInfo* pInfo;
    std::string strHostField; // "host" on port 22, else "[host]:port"
    bool bSeen = false;
};

std::string Base64(const unsigned char* pBytes, size_t nLength)
{
    std::vector<unsigned char> text(4 * ((nLength + 2) / 3) + 1);
    const int nText = EVP_EncodeBlock(text.data(), pBytes, static_cast<int>(nLength));
    return std::string(reinterpret_cast<char*>(text.data()), static_cast<size_t>(nText));
}

// The key's own algorithm name, the first string of its wire form ("ssh-ed25519",
// "ecdsa-sha2-nistp256"): libcurl's type alone does not tell the ECDSA curves apart.
std::string TypeOf(const std::string& strBlob)
{
    if (strBlob.size() < 4)
        return std::string();
    const auto* p = reinterpret_cast<const unsigned char*>(strBlob.data());
    const size_t nName = (size_t{p[0]} << 24) | (size_t{p[1]} << 16) | (size_t{p[2]} << 8) | p[3];
    return nName <= strBlob.size() - 4 ? strBlob.substr(4, nName) : std::string();
}

std::string Fingerprint(const std::string& strBlob)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned nDigest = 0;
    EVP_Digest(strBlob.data(), strBlob.size(), digest, &nDigest, EVP_sha256(), nullptr);
    std::string strPrint = Base64(digest, nDigest);
    while (!strPrint.empty() && strPrint.back() == '=')
        strPrint.pop_back(); // OpenSSH shows it without padding
    return "SHA256:" + strPrint;
}

// The fingerprint of the key the known-hosts file holds for the host field; empty if none.
std::string KnownFingerprint(const std::string& strKnownHosts, const std::string& strHostField)
{
    std::ifstream in(strKnownHosts);
    std::string strLine;
    while (std::getline(in, strLine)) {
        std::istringstream words(strLine);
        std::string strHost, strType, strKey;
        if (!(words >> strHost >> strType >> strKey) || strHost != strHostField)
            continue;
        std::vector<unsigned char> blob(strKey.size());
        const int nBlob =
            EVP_DecodeBlock(blob.data(), reinterpret_cast<const unsigned char*>(strKey.data()),
                            static_cast<int>(strKey.size()));
        if (nBlob <= 0)
            continue;
        size_t nPadding = 0; // EVP_DecodeBlock counts the padding's zero bytes too
        for (auto it = strKey.rbegin(); it != strKey.rend() && *it == '='; ++it)
            ++nPadding;
        return Fingerprint(std::string(reinterpret_cast<char*>(blob.data()),
                                       static_cast<size_t>(nBlob) - nPadding));
    }
    return std::string();
}

int OnHostKey(CURL*, const curl_khkey*, const curl_khkey* pFound, curl_khmatch eMatch, void* pUser)
{
    auto* pContext = static_cast<ProbeContext*>(pUser);
    const std::string strBlob = pFound->len ? std::string(pFound->key, pFound->len) : std::string();
    if (strBlob.empty())
        return CURLKHSTAT_REJECT;
    HostKeyInfo& info = *pContext->pInfo;
    info.eMatch = eMatch == CURLKHMATCH_OK         ? HostKeyInfo::Known
                  : eMatch == CURLKHMATCH_MISMATCH ? HostKeyInfo::Changed
                                                   : HostKeyInfo::Unknown;
    info.strType = TypeOf(strBlob);
    info.strSha256 = Fingerprint(strBlob);
    info.strKnownHostsLine =
        pContext->strHostField + ' ' + info.strType + ' ' +
        Base64(reinterpret_cast<const unsigned char*>(strBlob.data()), strBlob.size());
    pContext->bSeen = true;
    return CURLKHSTAT_REJECT; // a probe only looks; the login comes after the user's choice
}

std::string HostField(const std::string& strHost, int nPort)
{
    return nPort == 22 ? strHost : '[' + strHost + "]:" + std::to_string(nPort);
}

// libcurl wants the file to be there; a new one is private from the start.
void EnsureFile(const std::string& strPath)
{
    const int fd = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

} // namespace

bool CHostKeyProbe::Probe(const std::string& strHost, int nPort, const std::string& strKnownHosts,
                          int nSeconds, HostKeyInfo& info, std::string& strError)
{
    EnsureFile(strKnownHosts);
    // A server libssh2 could not agree keys with is asked through libssh at once (libssh2
    // 1.10 also mishandles the host key types libcurl asks it to prefer for such a server).
    const std::string strServerKey = CTrustStore::ServerKey(strHost, nPort);
    if (CLibsshSftpConnection::IsNeededFor(strServerKey))
        return ProbeWithLibssh(strHost, nPort, strKnownHosts, nSeconds, info, strError);
    CURL* pEasy = curl_easy_init();
    if (!pEasy) {
        strError = "no libcurl handle";
        return false;
    }
    ProbeContext context{&info, HostField(strHost, nPort)};
    const std::string strHostInUrl =
        strHost.find(':') != std::string::npos ? '[' + strHost + ']' : strHost;
    const std::string strUrl = "sftp://" + strHostInUrl + ':' + std::to_string(nPort) + "/";
    curl_easy_setopt(pEasy, CURLOPT_URL, strUrl.c_str());
    curl_easy_setopt(pEasy, CURLOPT_PROTOCOLS_STR, "sftp");
    curl_easy_setopt(pEasy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pEasy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(nSeconds));
    curl_easy_setopt(pEasy, CURLOPT_TIMEOUT, static_cast<long>(nSeconds));
    curl_easy_setopt(pEasy, CURLOPT_SSH_KNOWNHOSTS, strKnownHosts.c_str());
    curl_easy_setopt(pEasy, CURLOPT_SSH_KEYFUNCTION, OnHostKey);
    curl_easy_setopt(pEasy, CURLOPT_SSH_KEYDATA, &context);
    curl_easy_setopt(pEasy, CURLOPT_NOBODY, 1L);
    const CURLcode result = curl_easy_perform(pEasy);
    curl_easy_cleanup(pEasy);
    // A server that answered, but not with anything libssh2 can agree to (an RSA key that
    // signs with rsa-sha2 only, encrypt-then-MAC only): libssh shows its key.
    const bool bReached = result != CURLE_COULDNT_RESOLVE_HOST && result != CURLE_COULDNT_CONNECT &&
                          result != CURLE_OPERATION_TIMEDOUT;
    if (!context.bSeen && bReached) {
        if (!ProbeWithLibssh(strHost, nPort, strKnownHosts, nSeconds, info, strError))
            return false;
        CLibsshSftpConnection::NoteNeededFor(strServerKey);
        return true;
    }
    if (!context.bSeen)
        strError = curl_easy_strerror(result);
    else if (info.eMatch == HostKeyInfo::Changed)
        info.strOldSha256 = KnownFingerprint(strKnownHosts, context.strHostField);
    return context.bSeen;
}

bool CHostKeyProbe::ProbeWithLibssh(const std::string& strHost, int nPort,
                                    const std::string& strKnownHosts, int nSeconds,
                                    HostKeyInfo& info, std::string& strError)
{
    CLibsshSession session;
    const std::string strBlob =
        session.Open(strHost, nPort, strKnownHosts, nSeconds, nullptr) == FAILURE_NONE
            ? session.HostKeyBlob()
            : std::string();
    if (strBlob.empty()) {
        strError = session.LastError();
        return false;
    }
    info = Describe(strKnownHosts, strHost, nPort, strBlob);
    return true;
}

HostKeyInfo CHostKeyProbe::Describe(const std::string& strKnownHosts, const std::string& strHost,
                                    int nPort, const std::string& strBlob)
{
    HostKeyInfo info;
    const std::string strHostField = HostField(strHost, nPort);
    const std::string strKey =
        Base64(reinterpret_cast<const unsigned char*>(strBlob.data()), strBlob.size());
    info.strType = TypeOf(strBlob);
    info.strSha256 = Fingerprint(strBlob);
    info.strKnownHostsLine = strHostField + ' ' + info.strType + ' ' + strKey;
    // Known when one of the server's lines holds this key; changed when it has lines, but
    // none with it, whatever their types.
    info.eMatch = HostKeyInfo::Unknown;
    std::ifstream in(strKnownHosts);
    std::string strLine;
    while (std::getline(in, strLine)) {
        std::istringstream words(strLine);
        std::string strLineHost, strType, strLineKey;
        if (!(words >> strLineHost >> strType >> strLineKey) || strLineHost != strHostField)
            continue;
        if (strLineKey == strKey) {
            info.eMatch = HostKeyInfo::Known;
            return info;
        }
        info.eMatch = HostKeyInfo::Changed;
    }
    if (info.eMatch == HostKeyInfo::Changed)
        info.strOldSha256 = KnownFingerprint(strKnownHosts, strHostField);
    return info;
}

bool CHostKeyProbe::Trust(const std::string& strKnownHosts, const HostKeyInfo& info)
{
    const std::string strHostField =
        info.strKnownHostsLine.substr(0, info.strKnownHostsLine.find(' '));
    std::ifstream in(strKnownHosts);
    std::string strText;
    std::string strLine;
    while (std::getline(in, strLine)) // the server's earlier key goes
        if (strLine.compare(0, strHostField.size() + 1, strHostField + ' ') != 0)
            strText += strLine + '\n';
    strText += info.strKnownHostsLine + '\n';
    return WritePrivateFile(strKnownHosts, strText);
}
