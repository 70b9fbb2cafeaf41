#include "FtpTestServer.h"

#include "transfer/ClearTextAccounts.h"
#include "transfer/TrustStore.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#ifndef MOSSVALE_TEST_SUPPORT_SOURCE_DIR
#define MOSSVALE_TEST_SUPPORT_SOURCE_DIR ""
#endif

namespace {

const char* const VSFTPD_BINARY = "/usr/sbin/vsftpd";
const char* const SSHD_BINARY = "/usr/sbin/sshd";
// sshd takes its PAM service's name from the name it was started by: this link's name is the
// service that prepare-vsftpd-account writes.
const char* const SSHD_LINK = "/var/lib/mossvale-tests/mossvale-tests";
const char* const SSHD_PRIVSEP_DIR = "/run/sshd";
const char* const PYTHON_BINARY = "/usr/bin/python3";
const char* const SECURE_CHROOT_DIR = "/var/run/vsftpd/empty";
const char* const ACCOUNT_NAME = "mossvale-ftp";
const char* const PYFTPDLIB_USER = "mossvale";
const char* const PYFTPDLIB_PASSWORD = "secret";
constexpr int START_TIMEOUT_MS = 10000;
constexpr int STOP_TIMEOUT_MS = 5000;
constexpr int PORT_ATTEMPTS = 5;

const QStringList& KnownFaults()
{
    static const QStringList s_faults = {
        QStringLiteral("drop-retr"),
        QStringLiteral("stall-retr"),
        QStringLiteral("drop-stor"),
        QStringLiteral("stall-stor"),
        QStringLiteral("refuse-rename"),
        QStringLiteral("refuse-size"),
        QStringLiteral("no-mlsd"),
        QStringLiteral("crafted-list"),
        QStringLiteral("slow-login"),
        QStringLiteral("short-stor"),
        QStringLiteral("drop-rnto"),
        QStringLiteral("stall-list"),
        QStringLiteral("list-option-as-name"),
        QStringLiteral("cut-list"),
        QStringLiteral("refuse-list"),
        QStringLiteral("odd-size-list"),
        QStringLiteral("stor-quota"),
        QStringLiteral("slow"),
        QStringLiteral("slow-rnto"),
        QStringLiteral("size-502"),
        QStringLiteral("size-550-once"),
        QStringLiteral("size-garbage"),
        QStringLiteral("stor-grow"),
        QStringLiteral("stor-notrunc"),
        QStringLiteral("retr-short-226"),
        QStringLiteral("retr-nosize150"),
        QStringLiteral("refuse-resume"),
        // These take a number: "rnfr-busy=2".
        QStringLiteral("rnfr-busy="),
        QStringLiteral("mlsd-offset="),
        QStringLiteral("cut-once="),
        QStringLiteral("max-cons="),
    };
    return s_faults;
}

// Faults of the connection and its encryption, for the pyftpdlib kinds.
const QStringList& ConnectionFaults()
{
    static const QStringList s_faults = {
        QStringLiteral("greeting-flood"),
        QStringLiteral("auth-garbage"),
        QStringLiteral("tls-optional"),
        QStringLiteral("tls13-only"),
    };
    return s_faults;
}

const QStringList& OpenSshFaults()
{
    static const QStringList s_faults = {QStringLiteral("rsa-only"), QStringLiteral("hardened"),
                                         QStringLiteral("kex-unshared"),
                                         QStringLiteral("sha1-kex")};
    return s_faults;
}

const QStringList& SftpFaults()
{
    static const QStringList s_faults = {
        QStringLiteral("refuse-rename-part"), QStringLiteral("refuse-rename-versions"),
        QStringLiteral("stall-write"), QStringLiteral("cut-once=")};
    return s_faults;
}

class CFdGuard
{
public:
    explicit CFdGuard(int nFd) : m_nFd(nFd) {}
    ~CFdGuard()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    CFdGuard(const CFdGuard&) = delete;
    CFdGuard& operator=(const CFdGuard&) = delete;
    int Get() const { return m_nFd; }

private:
    int m_nFd;
};

// A loopback port nobody listens on right now. Another process may take it before the server
// binds it, so the caller retries when the server cannot bind.
int FindFreePort()
{
    CFdGuard sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (sock.Get() < 0)
        return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof(addr);
    if (::bind(sock.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::getsockname(sock.Get(), reinterpret_cast<sockaddr*>(&addr), &nLength) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

enum class Probe { Refused, Greeted, Silent };

// Connects to 127.0.0.1:nPort and reads the first reply line, which must begin pszGreeting.
Probe ProbeGreeting(int nPort, int nTimeoutMs, const char* pszGreeting)
{
    CFdGuard sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (sock.Get() < 0)
        return Probe::Refused;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<quint16>(nPort));
    const QDeadlineTimer deadline(nTimeoutMs);
    if (::connect(sock.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        if (errno != EINPROGRESS)
            return Probe::Refused;
        pollfd pfd{sock.Get(), POLLOUT, 0};
        if (::poll(&pfd, 1, static_cast<int>(deadline.remainingTime())) != 1)
            return Probe::Refused;
        int nError = 0;
        socklen_t nLength = sizeof(nError);
        if (::getsockopt(sock.Get(), SOL_SOCKET, SO_ERROR, &nError, &nLength) != 0 || nError != 0)
            return Probe::Refused;
    }
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < 4096) {
        pollfd pfd{sock.Get(), POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(deadline.remainingTime())) != 1)
            return Probe::Silent;
        char buffer[512];
        const ssize_t nRead = ::recv(sock.Get(), buffer, sizeof(buffer), 0);
        if (nRead <= 0)
            return Probe::Silent;
        reply.append(buffer, static_cast<int>(nRead));
    }
    // vsftpd forks a session per connection; say goodbye so it ends at once.
    static const char s_quit[] = "QUIT\r\n";
    (void)!::send(sock.Get(), s_quit, sizeof(s_quit) - 1, MSG_NOSIGNAL);
    return reply.startsWith(pszGreeting) ? Probe::Greeted : Probe::Silent;
}

// The local account vsftpd logs in, prepared by a script that run-ftp-server shares: a locked
// account without a shell, let in only through the test instance's own PAM service.
bool EnsureVsftpdAccount(const QString& strSupportDir, QString& strPassword, int& nUid, int& nGid,
                         QString& strError)
{
    const QString strScript = strSupportDir + QStringLiteral("/prepare-vsftpd-account");
    QProcess process;
    process.start(QStringLiteral("/bin/bash"), {strScript});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        strError = strScript + QStringLiteral(" failed: ") +
                   QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    const QStringList fields =
        QString::fromLatin1(process.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    bool bUidOk = false;
    bool bGidOk = false;
    if (fields.size() == 3) {
        nUid = fields[0].toInt(&bUidOk);
        nGid = fields[1].toInt(&bGidOk);
        strPassword = fields[2];
    }
    if (!bUidOk || !bGidOk || strPassword.isEmpty()) {
        strError = strScript + QStringLiteral(" printed no account");
        return false;
    }
    return true;
}

QString GroupName(int nGid)
{
    const group* pGroup = ::getgrgid(static_cast<gid_t>(nGid));
    return pGroup ? QString::fromLocal8Bit(pGroup->gr_name) : QString::number(nGid);
}

// Tests often write into the root as root. A default ACL on the root gives the account write
// access to whatever appears below it, so vsftpd may overwrite and fill those files and folders
// too. Best effort: without ACL support only PutFile() and MakeFolder() hand things over.
void GrantAccountBelow(const QString& strFolder, int nUid)
{
    struct Entry {
        quint16 nTag;
        quint16 nPerm;
        quint32 nId;
    };
    const quint32 nUndefined = 0xffffffffu;
    // Linux's xattr form of an ACL (version 2, entries sorted by tag), little-endian like x86.
    const Entry entries[] = {
        {0x01, 7, nUndefined},                 // owner rwx
        {0x02, 7, static_cast<quint32>(nUid)}, // the account rwx
        {0x04, 5, nUndefined},                 // group r-x
        {0x10, 7, nUndefined},                 // mask rwx
        {0x20, 5, nUndefined},                 // others r-x
    };
    QByteArray value;
    auto put16 = [&](quint16 n) { value.append(char(n & 0xff)).append(char(n >> 8)); };
    auto put32 = [&](quint32 n) {
        put16(quint16(n & 0xffff));
        put16(quint16(n >> 16));
    };
    put32(2);
    for (const Entry& entry : entries) {
        put16(entry.nTag);
        put16(entry.nPerm);
        put32(entry.nId);
    }
    ::setxattr(QFile::encodeName(strFolder).constData(), "system.posix_acl_default",
               value.constData(), static_cast<size_t>(value.size()), 0);
}

} // namespace

CFtpTestServer::CFtpTestServer() = default;

CFtpTestServer::~CFtpTestServer()
{
    Stop();
}

bool CFtpTestServer::Start(Kind kind, const QStringList& faults, int nPort)
{
    Stop();
    m_strError.clear();
    m_kind = kind;
    for (const QString& strFault : faults) {
        if (kind == OpenSsh) {
            if (!OpenSshFaults().contains(strFault))
                return Fail(QStringLiteral("unknown fault: ") + strFault);
            continue;
        }
        const int nValueAt = strFault.indexOf(QLatin1Char('=')) + 1;
        const QString strName = nValueAt > 0 ? strFault.left(nValueAt) : strFault;
        if (!(kind == Sftp ? SftpFaults() : KnownFaults()).contains(strName) &&
            (kind == Sftp || !ConnectionFaults().contains(strFault)))
            return Fail(QStringLiteral("unknown fault: ") + strFault);
    }
    // vsftpd, ProFTPD and Pure-FTPd run as Debian ships them.
    if (kind != OpenSsh && kind != Sftp && !faults.isEmpty() && kind != Pyftpdlib &&
        kind != PyftpdlibTls)
        return Fail(QStringLiteral("faults need the pyftpdlib or SFTP server"));
    if ((kind == VsftpdTls || kind == PyftpdlibTls || kind == ProFtpdTls || kind == PureFtpdTls) &&
        !EnsureCertificate())
        return Fail(QStringLiteral("cannot make a certificate: ") + m_strError);
    bool bStarted = false;
    switch (kind) {
    case Vsftpd:
    case VsftpdTls:
        bStarted = StartVsftpd(kind == VsftpdTls, nPort);
        break;
    case Sftp:
        return StartSftp(faults, nPort);
    case OpenSsh:
        return StartOpenSsh(faults, nPort);
    case ProFtpd:
    case ProFtpdTls:
    case PureFtpd:
    case PureFtpdTls:
        bStarted = StartUnpacked(nPort);
        break;
    case Pyftpdlib:
    case PyftpdlibTls:
        bStarted = StartPyftpdlib(faults, nPort, kind == PyftpdlibTls);
        break;
    }
    // The plain servers offer no TLS: their account goes in clear text, as if its user had
    // agreed to it at the login.
    if (bStarted && (kind == Vsftpd || kind == Pyftpdlib || kind == ProFtpd || kind == PureFtpd))
        CClearTextAccounts::Allow(CTrustStore::ServerKey(Host().toStdString(), m_nPort),
                                  m_strUser.toStdString());
    return bStarted;
}

QString CFtpTestServer::CertificatePath() const
{
    return m_pKeyDir ? m_pKeyDir->path() + QStringLiteral("/server.pem") : QString();
}

QString CFtpTestServer::HostKeyPath() const
{
    return m_pKeyDir ? m_pKeyDir->path() + QStringLiteral("/host_key") : QString();
}

void CFtpTestServer::ReplaceKeys()
{
    m_pKeyDir.reset();
}

bool CFtpTestServer::EnsureCertificate()
{
    if (!m_pKeyDir) {
        m_pKeyDir = std::make_unique<QTemporaryDir>();
        if (!m_pKeyDir->isValid())
            return false;
    }
    if (QFileInfo::exists(CertificatePath()))
        return true;
    // One file with the key and the self-signed certificate, as both servers read it.
    const QString strKey = m_pKeyDir->path() + QStringLiteral("/server.key");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), strKey, QStringLiteral("-out"),
                   CertificatePath() + QStringLiteral(".crt")});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        m_strError = QString::fromUtf8(openssl.readAllStandardError());
        return false;
    }
    QFile key(strKey);
    QFile certificate(CertificatePath() + QStringLiteral(".crt"));
    QFile both(CertificatePath());
    return key.open(QIODevice::ReadOnly) && certificate.open(QIODevice::ReadOnly) &&
           both.open(QIODevice::WriteOnly) && both.write(certificate.readAll() + key.readAll()) > 0;
}

bool CFtpTestServer::StartVsftpd(bool bTls, int nPort)
{
    if (!QFileInfo(QString::fromLatin1(VSFTPD_BINARY)).isExecutable())
        return Fail(QStringLiteral("vsftpd is not installed"));
    if (::geteuid() != 0)
        return Fail(QStringLiteral("vsftpd needs root"));
    if (!QDir().mkpath(QString::fromLatin1(SECURE_CHROOT_DIR)))
        return Fail(QStringLiteral("cannot create ") + QString::fromLatin1(SECURE_CHROOT_DIR));

    QFile templateFile(SupportDir() + QStringLiteral("/vsftpd.conf.in"));
    if (!templateFile.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("cannot read ") + templateFile.fileName());
    QString strTemplate = QString::fromUtf8(templateFile.readAll());
    if (bTls) // require_ssl_reuse is left at its default, YES, as Debian ships it
        strTemplate += QStringLiteral("ssl_enable=YES\nrsa_cert_file=%1\nrsa_private_key_file=%1\n"
                                      "force_local_logins_ssl=YES\nforce_local_data_ssl=YES\n")
                           .arg(CertificatePath());

    QString strError;
    if (!EnsureVsftpdAccount(SupportDir(), m_strPassword, m_nAccountUid, m_nAccountGid, strError))
        return Fail(strError);
    m_strUser = QString::fromLatin1(ACCOUNT_NAME);
    if (!MakeRoot() || !ChownToAccount(m_strRoot))
        return Fail(QStringLiteral("cannot prepare ") + m_strRoot);
    GrantAccountBelow(m_strRoot, m_nAccountUid);

    const QString strTemp = m_pTempDir->path();
    const QString strUserList = strTemp + QStringLiteral("/users");
    QFile userList(strUserList);
    if (!userList.open(QIODevice::WriteOnly) || userList.write(m_strUser.toLatin1() + '\n') < 0)
        return Fail(QStringLiteral("cannot write ") + strUserList);
    userList.close();

    const QString strConfigPath = strTemp + QStringLiteral("/vsftpd.conf");
    m_strLogPath = strTemp + QStringLiteral("/server.log");
    for (int nAttempt = 0; nAttempt < PORT_ATTEMPTS; ++nAttempt) {
        m_nPort = nPort > 0 ? nPort : FindFreePort();
        if (m_nPort == 0)
            return Fail(QStringLiteral("no free port"));
        QString strConfig = strTemplate;
        strConfig.replace(QStringLiteral("@PORT@"), QString::number(m_nPort))
            .replace(QStringLiteral("@ROOT@"), m_strRoot)
            .replace(QStringLiteral("@USERLIST@"), strUserList)
            .replace(QStringLiteral("@LOG@"), strTemp + QStringLiteral("/vsftpd.log"));
        QFile config(strConfigPath);
        if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            config.write(strConfig.toUtf8()) < 0)
            return Fail(QStringLiteral("cannot write ") + strConfigPath);
        config.close();

        StartProcess(QString::fromLatin1(VSFTPD_BINARY), {strConfigPath});
        if (WaitForGreeting(START_TIMEOUT_MS))
            return true;
        // Someone took the port between our look and vsftpd's bind: try another one.
        if (IsRunning() || !LogText().contains(QStringLiteral("bind")))
            return Fail(QStringLiteral("vsftpd did not start: ") + LogText());
    }
    return Fail(QStringLiteral("vsftpd found no free port: ") + LogText());
}

bool CFtpTestServer::StartPyftpdlib(const QStringList& faults, int nPort, bool bTls)
{
    const QString strScript = SupportDir() + QStringLiteral("/ftpserver.py");
    if (!QFileInfo::exists(strScript))
        return Fail(QStringLiteral("missing ") + strScript);
    if (!MakeRoot())
        return Fail(QStringLiteral("cannot create a temporary folder"));
    m_strUser = QString::fromLatin1(PYFTPDLIB_USER);
    m_strPassword = QString::fromLatin1(PYFTPDLIB_PASSWORD);
    m_strLogPath = m_pTempDir->path() + QStringLiteral("/server.log");

    QStringList arguments = ScriptArguments(strScript, faults, nPort);
    if (bTls)
        arguments << QStringLiteral("--tls") << CertificatePath()
                  << QStringLiteral("--tls-required");
    StartProcess(QString::fromLatin1(PYTHON_BINARY), arguments);

    const QDeadlineTimer deadline(START_TIMEOUT_MS);
    if (!ReadPrintedPort(deadline, QStringLiteral("pyftpdlib")))
        return false;
    if (faults.contains(QStringLiteral("slow-login")))
        return true;
    return WaitForGreeting(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))) ||
           Fail(QStringLiteral("pyftpdlib sent no greeting: ") + LogText());
}

QStringList CFtpTestServer::ScriptArguments(const QString& strScript, const QStringList& faults,
                                            int nPort) const
{
    QStringList arguments = {strScript,
                             QStringLiteral("--root"),
                             m_strRoot,
                             QStringLiteral("--user"),
                             m_strUser,
                             QStringLiteral("--password"),
                             m_strPassword,
                             QStringLiteral("--port"),
                             QString::number(nPort),
                             QStringLiteral("--journal"),
                             JournalPath()};
    for (const QString& strFault : faults)
        arguments << QStringLiteral("--fault") << strFault;
    return arguments;
}

bool CFtpTestServer::StartSftp(const QStringList& faults, int nPort)
{
    const QString strScript = SupportDir() + QStringLiteral("/sftpserver.py");
    if (!QFileInfo::exists(strScript))
        return Fail(QStringLiteral("missing ") + strScript);
    if (!m_pKeyDir)
        m_pKeyDir = std::make_unique<QTemporaryDir>();
    if (!m_pKeyDir->isValid() || !MakeRoot())
        return Fail(QStringLiteral("cannot create a temporary folder"));
    m_strUser = QString::fromLatin1(PYFTPDLIB_USER);
    m_strPassword = QString::fromLatin1(PYFTPDLIB_PASSWORD);
    m_strLogPath = m_pTempDir->path() + QStringLiteral("/server.log");
    StartProcess(QString::fromLatin1(PYTHON_BINARY), ScriptArguments(strScript, faults, nPort)
                                                         << QStringLiteral("--host-key")
                                                         << HostKeyPath());
    // It prints its port once it listens; the SSH greeting follows on every connection.
    return ReadPrintedPort(QDeadlineTimer(START_TIMEOUT_MS), QStringLiteral("the SFTP server"));
}

bool CFtpTestServer::EnsureSshHostKey(const QString& strType, QString& strPath)
{
    if (!m_pKeyDir)
        m_pKeyDir = std::make_unique<QTemporaryDir>();
    strPath = m_pKeyDir->path() + QStringLiteral("/ssh_host_") + strType + QStringLiteral("_key");
    if (QFileInfo::exists(strPath))
        return true;
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"),
                 {QStringLiteral("-q"), QStringLiteral("-t"), strType, QStringLiteral("-N"),
                  QString(), QStringLiteral("-f"), strPath});
    return keygen.waitForFinished(30000) && keygen.exitCode() == 0;
}

bool CFtpTestServer::StartOpenSsh(const QStringList& faults, int nPort)
{
    if (!CanRunSshd())
        return Fail(QStringLiteral("sshd is not installed or needs root"));
    QString strError;
    if (!EnsureVsftpdAccount(SupportDir(), m_strPassword, m_nAccountUid, m_nAccountGid, strError))
        return Fail(strError);
    m_strUser = QString::fromLatin1(ACCOUNT_NAME);
    QFile::remove(QString::fromLatin1(SSHD_LINK));
    if (!QFile::link(QString::fromLatin1(SSHD_BINARY), QString::fromLatin1(SSHD_LINK)) ||
        !QDir().mkpath(QString::fromLatin1(SSHD_PRIVSEP_DIR)))
        return Fail(QStringLiteral("cannot prepare sshd's link or folder"));
    if (!MakeRoot() || !ChownToAccount(m_strRoot))
        return Fail(QStringLiteral("cannot prepare ") + m_strRoot);
    GrantAccountBelow(m_strRoot, m_nAccountUid);
    const bool bRsaOnly = faults.contains(QStringLiteral("rsa-only"));
    QString strRsaKey;
    QString strEdKey;
    if (!EnsureSshHostKey(QStringLiteral("rsa"), strRsaKey) ||
        (!bRsaOnly && !EnsureSshHostKey(QStringLiteral("ed25519"), strEdKey)))
        return Fail(QStringLiteral("cannot make a host key"));

    QString strConfig = QStringLiteral("ListenAddress 127.0.0.1\nPidFile none\n"
                                       "UsePAM yes\nPasswordAuthentication yes\n"
                                       "KbdInteractiveAuthentication no\nPubkeyAuthentication no\n"
                                       "AuthorizedKeysFile none\nPermitRootLogin no\n"
                                       "AllowUsers %1\nSubsystem sftp internal-sftp\n"
                                       "ForceCommand internal-sftp\nLogLevel ERROR\n")
                            .arg(m_strUser);
    if (!bRsaOnly)
        strConfig += QStringLiteral("HostKey %1\n").arg(strEdKey);
    strConfig += QStringLiteral("HostKey %1\n").arg(strRsaKey);
    if (faults.contains(QStringLiteral("hardened")))
        strConfig +=
            QStringLiteral("KexAlgorithms sntrup761x25519-sha512@openssh.com,curve25519-sha256,"
                           "curve25519-sha256@libssh.org\n"
                           "HostKeyAlgorithms ssh-ed25519,rsa-sha2-512,rsa-sha2-256\n"
                           "Ciphers chacha20-poly1305@openssh.com,aes256-gcm@openssh.com,"
                           "aes128-gcm@openssh.com,aes256-ctr,aes192-ctr,aes128-ctr\n"
                           "MACs hmac-sha2-256-etm@openssh.com,hmac-sha2-512-etm@openssh.com,"
                           "umac-128-etm@openssh.com\n");
    if (faults.contains(QStringLiteral("kex-unshared"))) // neither libssh2 1.10 nor libssh 0.10
        strConfig += QStringLiteral("KexAlgorithms sntrup761x25519-sha512@openssh.com\n");
    if (faults.contains(QStringLiteral("sha1-kex"))) // libssh2 1.10 only
        strConfig += QStringLiteral("KexAlgorithms diffie-hellman-group14-sha1\n");
    const QString strConfigPath = m_pTempDir->path() + QStringLiteral("/sshd_config");
    m_strLogPath = m_pTempDir->path() + QStringLiteral("/server.log");
    for (int nAttempt = 0; nAttempt < PORT_ATTEMPTS; ++nAttempt) {
        m_nPort = nPort > 0 ? nPort : FindFreePort();
        if (m_nPort == 0)
            return Fail(QStringLiteral("no free port"));
        QFile config(strConfigPath);
        if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            config.write((QStringLiteral("Port %1\n").arg(m_nPort) + strConfig).toUtf8()) < 0)
            return Fail(QStringLiteral("cannot write ") + strConfigPath);
        config.close();
        // -D: in the foreground, in our process group; -e: its log on stderr.
        StartProcess(QString::fromLatin1(SSHD_LINK), {QStringLiteral("-D"), QStringLiteral("-e"),
                                                      QStringLiteral("-f"), strConfigPath});
        if (WaitForGreeting(START_TIMEOUT_MS, "SSH-"))
            return true;
        if (IsRunning() || !LogText().contains(QStringLiteral("ind")))
            return Fail(QStringLiteral("sshd did not start: ") + LogText());
    }
    return Fail(QStringLiteral("sshd found no free port: ") + LogText());
}

bool CFtpTestServer::StartUnpacked(int nPort)
{
    if (::geteuid() != 0)
        return Fail(QStringLiteral("ProFTPD and Pure-FTPd need root"));
    QProcess unpack;
    unpack.start(QStringLiteral("/bin/bash"),
                 {SupportDir() + QStringLiteral("/unpack-ftp-daemons")});
    if (!unpack.waitForFinished(300000) || unpack.exitCode() != 0)
        return Fail(QStringLiteral("unpack-ftp-daemons failed: ") +
                    QString::fromLocal8Bit(unpack.readAllStandardError()));
    const QString strDaemons = QString::fromLocal8Bit(unpack.readAllStandardOutput()).trimmed();
    QString strError;
    if (!EnsureVsftpdAccount(SupportDir(), m_strPassword, m_nAccountUid, m_nAccountGid, strError))
        return Fail(strError);
    m_strUser = QString::fromLatin1(ACCOUNT_NAME);
    if (!MakeRoot() || !ChownToAccount(m_strRoot))
        return Fail(QStringLiteral("cannot prepare ") + m_strRoot);
    GrantAccountBelow(m_strRoot, m_nAccountUid);
    const QString strTemp = m_pTempDir->path();
    m_strLogPath = strTemp + QStringLiteral("/server.log");

    // Both read the account from a password file of their own, in /etc/passwd's form.
    QProcess hash;
    hash.start(QStringLiteral("openssl"),
               {QStringLiteral("passwd"), QStringLiteral("-6"), QStringLiteral("-stdin")});
    hash.write(m_strPassword.toUtf8() + '\n');
    hash.closeWriteChannel();
    if (!hash.waitForFinished(30000) || hash.exitCode() != 0)
        return Fail(QStringLiteral("openssl passwd failed"));
    const QString strAccount =
        QStringLiteral("%1:%2:%3:%4::%5")
            .arg(m_strUser, QString::fromLatin1(hash.readAllStandardOutput().trimmed()),
                 QString::number(m_nAccountUid), QString::number(m_nAccountGid), m_strRoot);
    const bool bTls = m_kind == ProFtpdTls || m_kind == PureFtpdTls;
    // The libraries unpacked beside them, for the daemon's process alone.
    m_strLibraryPath = strDaemons + QStringLiteral("/usr/lib/x86_64-linux-gnu");

    bool bStarted = false;
    if (m_kind == ProFtpd || m_kind == ProFtpdTls) {
        const QString strPasswd = strTemp + QStringLiteral("/passwd");
        QFile passwd(strPasswd); // for root's eyes only, or ProFTPD will not read it
        if (!passwd.open(QIODevice::WriteOnly) ||
            !passwd.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
            passwd.write((strAccount + QStringLiteral(":/bin/false\n")).toUtf8()) < 0)
            return Fail(QStringLiteral("cannot write ") + strPasswd);
        passwd.close();
        QString strConfig =
            QStringLiteral("ServerType standalone\nServerName \"Mossvale test ProFTPD\"\n"
                           "DefaultAddress 127.0.0.1\nSocketBindTight on\nUseIPv6 off\n"
                           "User %1\nGroup %2\nPidFile %3/proftpd.pid\n"
                           "ScoreboardFile %3/scoreboard\nDelayEngine off\nWtmpLog off\n"
                           "UseReverseDNS off\nModulePath %4/usr/lib/proftpd\n"
                           "AuthOrder mod_auth_file.c\nAuthUserFile %5\nRequireValidShell off\n"
                           "DefaultRoot ~\nAllowOverwrite on\nUmask 022\nTransferLog none\n"
                           "SystemLog %3/system.log\n")
                .arg(m_strUser, GroupName(m_nAccountGid), strTemp, strDaemons, strPasswd);
        if (bTls)
            strConfig += QStringLiteral("LoadModule mod_tls.c\nTLSEngine on\nTLSRequired on\n"
                                        "TLSRSACertificateFile %1\nTLSRSACertificateKeyFile %1\n"
                                        "TLSProtocol TLSv1.2 TLSv1.3\n"
                                        "TLSOptions NoSessionReuseRequired\n")
                             .arg(CertificatePath());
        const QString strConfigPath = strTemp + QStringLiteral("/proftpd.conf");
        bStarted = StartOnFreePort(
            nPort,
            [&](int nFreePort) {
                QFile config(strConfigPath);
                if (config.open(QIODevice::WriteOnly | QIODevice::Truncate))
                    config.write((QStringLiteral("Port %1\n").arg(nFreePort) + strConfig).toUtf8());
                // -n: in the foreground; -q: no start-up noise.
                return QStringList{QStringLiteral("-n"), QStringLiteral("-q"), QStringLiteral("-c"),
                                   strConfigPath};
            },
            strDaemons + QStringLiteral("/usr/sbin/proftpd"), QStringLiteral("ProFTPD"));
    } else {
        const QString strPasswd = strTemp + QStringLiteral("/pureftpd.passwd");
        const QString strDatabase = strTemp + QStringLiteral("/pureftpd.pdb");
        QFile passwd(strPasswd);
        // "/./" ends the home folder: the user is shut inside it.
        if (!passwd.open(QIODevice::WriteOnly) ||
            passwd.write((strAccount + QStringLiteral("/./::::::::::::\n")).toUtf8()) < 0)
            return Fail(QStringLiteral("cannot write ") + strPasswd);
        passwd.close();
        QProcess makeDatabase;
        makeDatabase.start(strDaemons + QStringLiteral("/usr/bin/pure-pw"),
                           {QStringLiteral("mkdb"), strDatabase, QStringLiteral("-f"), strPasswd});
        if (!makeDatabase.waitForFinished(30000) || makeDatabase.exitCode() != 0)
            return Fail(QStringLiteral("pure-pw mkdb failed"));
        bStarted = StartOnFreePort(
            nPort,
            [&](int nFreePort) {
                // -E: no anonymous login; -A: every user shut in at home; -H: no name lookups.
                QStringList arguments = {
                    QStringLiteral("-S"), QStringLiteral("127.0.0.1,%1").arg(nFreePort),
                    QStringLiteral("-l"), QStringLiteral("puredb:") + strDatabase,
                    QStringLiteral("-E"), QStringLiteral("-A"),
                    QStringLiteral("-H"), QStringLiteral("-4")};
                if (bTls) // 2: TLS demanded for the login and every transfer
                    arguments << QStringLiteral("-Y") << QStringLiteral("2") << QStringLiteral("-2")
                              << CertificatePath();
                return arguments;
            },
            strDaemons + QStringLiteral("/usr/sbin/pure-ftpd"), QStringLiteral("Pure-FTPd"));
    }
    return bStarted;
}

bool CFtpTestServer::StartOnFreePort(int nPort,
                                     const std::function<QStringList(int nPort)>& arguments,
                                     const QString& strProgram, const QString& strWhat)
{
    for (int nAttempt = 0; nAttempt < PORT_ATTEMPTS; ++nAttempt) {
        m_nPort = nPort > 0 ? nPort : FindFreePort();
        if (m_nPort == 0)
            return Fail(QStringLiteral("no free port"));
        StartProcess(strProgram, arguments(m_nPort));
        if (WaitForGreeting(START_TIMEOUT_MS))
            return true;
        if (IsRunning() || !LogText().contains(QStringLiteral("in use")))
            return Fail(strWhat + QStringLiteral(" did not start: ") + LogText());
    }
    return Fail(strWhat + QStringLiteral(" found no free port: ") + LogText());
}

bool CFtpTestServer::ReadPrintedPort(const QDeadlineTimer& deadline, const QString& strWhat)
{
    while (!m_pProcess->canReadLine()) {
        if (deadline.hasExpired() || m_pProcess->state() != QProcess::Running)
            return Fail(strWhat + QStringLiteral(" did not start: ") + LogText());
        m_pProcess->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    bool bOk = false;
    m_nPort = QString::fromLatin1(m_pProcess->readLine()).trimmed().toInt(&bOk);
    return (bOk && m_nPort > 0) || Fail(strWhat + QStringLiteral(" printed no port: ") + LogText());
}

bool CFtpTestServer::MakeRoot()
{
    m_pTempDir =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/mossvale-ftp-XXXXXX"));
    if (!m_pTempDir->isValid())
        return false;
    // The vsftpd account must be able to pass through on its way to the root.
    QFile::setPermissions(m_pTempDir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                  QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                  QFileDevice::ExeOther);
    m_strRoot = m_pTempDir->path() + QStringLiteral("/root");
    return QDir().mkpath(m_strRoot);
}

void CFtpTestServer::StartProcess(const QString& strProgram, const QStringList& arguments)
{
    m_pProcess = std::make_unique<QProcess>();
    m_pProcess->setProgram(strProgram);
    m_pProcess->setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A pyenv or virtualenv setting would point the system interpreter at foreign modules.
    environment.remove(QStringLiteral("PYTHONHOME"));
    environment.remove(QStringLiteral("PYTHONPATH"));
    if (!m_strLibraryPath.isEmpty())
        environment.insert(QStringLiteral("LD_LIBRARY_PATH"), m_strLibraryPath);
    m_pProcess->setProcessEnvironment(environment);
    if (m_kind == Pyftpdlib || m_kind == PyftpdlibTls || m_kind == Sftp) { // they print a port
        m_pProcess->setStandardErrorFile(m_strLogPath);
    } else {
        m_pProcess->setProcessChannelMode(QProcess::MergedChannels);
        m_pProcess->setStandardOutputFile(m_strLogPath);
    }
    m_pProcess->setChildProcessModifier([] {
        // A group of its own for Stop() to signal, and an end together with the test should it
        // die without stopping us. (vsftpd's sessions set up the same tie to their listener.)
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_pProcess->start();
    m_pProcess->waitForStarted(START_TIMEOUT_MS);
}

bool CFtpTestServer::WaitForGreeting(int nTimeoutMs, const char* pszGreeting)
{
    const QDeadlineTimer deadline(nTimeoutMs);
    while (!deadline.hasExpired()) {
        if (!IsRunning())
            return false;
        const Probe probe = ProbeGreeting(
            m_nPort, static_cast<int>(qMin<qint64>(1000, deadline.remainingTime())), pszGreeting);
        if (probe == Probe::Greeted)
            return true;
        // Not listening yet: give it a moment, returning early should it exit.
        if (probe == Probe::Refused)
            m_pProcess->waitForFinished(
                static_cast<int>(qMin<qint64>(50, deadline.remainingTime())));
    }
    return false;
}

bool CFtpTestServer::Fail(const QString& strError)
{
    m_strError = strError;
    Stop();
    return false;
}

void CFtpTestServer::Stop()
{
    if (m_pProcess) {
        // Only while it runs: once reaped, its number may already belong to someone else.
        const qint64 nPid = m_pProcess->processId();
        if (nPid > 0 && m_pProcess->state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(-nPid), SIGTERM);
            ::kill(static_cast<pid_t>(-nPid), SIGCONT); // a frozen server must see the SIGTERM
            if (!m_pProcess->waitForFinished(STOP_TIMEOUT_MS))
                ::kill(static_cast<pid_t>(-nPid), SIGKILL);
            m_pProcess->waitForFinished(STOP_TIMEOUT_MS);
        }
        m_pProcess.reset();
    }
    m_pTempDir.reset();
    m_strRoot.clear();
    m_strLogPath.clear();
    m_nPort = 0;
    m_nAccountUid = -1;
    m_nAccountGid = -1;
    m_strLibraryPath.clear();
}

bool CFtpTestServer::Freeze(bool bFrozen)
{
    if (!IsRunning())
        return false;
    return ::kill(static_cast<pid_t>(-m_pProcess->processId()), bFrozen ? SIGSTOP : SIGCONT) == 0;
}

bool CFtpTestServer::IsRunning() const
{
    return m_pProcess && m_pProcess->state() == QProcess::Running;
}

QString CFtpTestServer::LastError() const
{
    return m_strError;
}

QString CFtpTestServer::Host() const
{
    return QStringLiteral("127.0.0.1");
}

int CFtpTestServer::Port() const
{
    return m_nPort;
}

QString CFtpTestServer::ServerText() const
{
    const QString strHostPort = Host() + QLatin1Char(':') + QString::number(m_nPort);
    return m_kind == Sftp || m_kind == OpenSsh ? QStringLiteral("sftp://") + strHostPort
                                               : strHostPort;
}

QString CFtpTestServer::User() const
{
    return m_strUser;
}

QString CFtpTestServer::Password() const
{
    return m_strPassword;
}

QString CFtpTestServer::Root() const
{
    return m_strRoot;
}

QString CFtpTestServer::FilePath(const QString& name) const
{
    return m_strRoot + QLatin1Char('/') + name;
}

std::string CFtpTestServer::RemotePath(const QString& name) const
{
    return (m_kind == OpenSsh ? FilePath(name) : QLatin1Char('/') + name).toStdString();
}

bool CFtpTestServer::ChownToAccount(const QString& strPath) const
{
    if (m_nAccountUid < 0)
        return true;
    return ::chown(QFile::encodeName(strPath).constData(), static_cast<uid_t>(m_nAccountUid),
                   static_cast<gid_t>(m_nAccountGid)) == 0;
}

bool CFtpTestServer::MakeFolder(const QString& name)
{
    if (m_strRoot.isEmpty() || !QDir().mkpath(FilePath(name)))
        return false;
    // Hand every level below the root to the account, not just the last one.
    QString strPath = QDir::cleanPath(FilePath(name));
    while (strPath.size() > m_strRoot.size() && strPath.startsWith(m_strRoot + QLatin1Char('/'))) {
        if (!ChownToAccount(strPath))
            return false;
        strPath = QFileInfo(strPath).path();
    }
    return true;
}

bool CFtpTestServer::PutFile(const QString& name, const QByteArray& data)
{
    const QString strFolder = QFileInfo(name).path();
    if (strFolder != QStringLiteral(".") && !MakeFolder(strFolder))
        return false;
    QFile file(FilePath(name));
    if (m_strRoot.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(data) != data.size())
        return false;
    file.close();
    return ChownToAccount(file.fileName());
}

QByteArray CFtpTestServer::ReadFile(const QString& name) const
{
    QFile file(FilePath(name));
    if (m_strRoot.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString CFtpTestServer::LogText() const
{
    QString strText;
    if (m_pTempDir) {
        for (const QString& strName : {QStringLiteral("/server.log"), QStringLiteral("/vsftpd.log"),
                                       QStringLiteral("/system.log")}) {
            QFile file(m_pTempDir->path() + strName);
            if (file.open(QIODevice::ReadOnly))
                strText += QString::fromUtf8(file.readAll());
        }
    }
    return strText.trimmed();
}

bool CFtpTestServer::CanRunSshd()
{
    return QFileInfo(QString::fromLatin1(SSHD_BINARY)).isExecutable() && ::geteuid() == 0;
}

bool CFtpTestServer::CanRunVsftpd()
{
    return QFileInfo(QString::fromLatin1(VSFTPD_BINARY)).isExecutable() && ::geteuid() == 0;
}

QString CFtpTestServer::SupportDir()
{
    // The variable is only trusted when it names the folder that holds our script.
    const QString strDir = qEnvironmentVariable("MOSSVALE_TEST_SUPPORT_DIR");
    if (!strDir.isEmpty() && QFileInfo::exists(strDir + QStringLiteral("/ftpserver.py")))
        return strDir;
    return QStringLiteral(MOSSVALE_TEST_SUPPORT_SOURCE_DIR);
}

std::vector<CFtpTestServer::CraftedEntry> CFtpTestServer::CraftedEntries()
{
    // Kept in step with CRAFTED in ftpserver.py.
    return {
        {"zero.bin", 0, false},
        {"one-kib.bin", 1024, false},
        {"one-kib-plus-one.bin", 1025, false},
        {"two-kib-minus-one.bin", 2047, false},
        {"four-gib-plus-2048.bin", 4294969344LL, false},
        {"folder", 0, true},
        {".", 0, true},
        {"..", 0, true},
        {"a/b.txt", 1024, false},
        {"../escape.txt", 1024, false},
        {"cr", 1024, false}, // sent as "cr\rinside.txt"
        {"lf", 1024, false}, // sent as "lf\nDELE zero.bin"
        {std::string(251, 'x') + ".txt", 1024, false},
        {std::string(252, 'y') + ".txt", 1024, false},
    };
}

std::time_t CFtpTestServer::CraftedTime()
{
    return 1614902400; // 2021-03-05 00:00:00 UTC
}

QString CFtpTestServer::JournalPath() const
{
    return m_pTempDir ? m_pTempDir->path() + QStringLiteral("/commands.log") : QString();
}

qint64 CFtpTestServer::FileBytes(bool bReceived) const
{
    QFile journal(JournalPath());
    if (!journal.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = bReceived ? "RECEIVED " : "SENT ";
    qint64 nBytes = 0;
    while (!journal.atEnd()) {
        const QByteArray line = journal.readLine().trimmed();
        if (line.startsWith(prefix))
            nBytes += line.mid(prefix.size()).toLongLong();
    }
    return nBytes;
}

int CFtpTestServer::CommandCount(const QString& strVerb) const
{
    QFile journal(JournalPath());
    if (!journal.open(QIODevice::ReadOnly))
        return 0;
    int nCount = 0;
    const QByteArray verb = strVerb.toLatin1();
    while (!journal.atEnd())
        nCount += journal.readLine().trimmed() == verb;
    return nCount;
}
