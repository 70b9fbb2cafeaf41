#pragma once
// A real FTP server on 127.0.0.1 for tests and benchmarks, over a fresh temporary folder.
//
// Vsftpd: Debian's /usr/sbin/vsftpd, LIST only (no MLSD). It needs root. vsftpd will not let an
// anonymous user write to its chroot root, so it logs in a local account, "mossvale-ftp", that
// is created on first use with a random password kept in a root-only file under
// /var/lib/mossvale-tests (see vsftpd.conf.in). The account owns Root(), and a default ACL lets
// it write whatever a test creates below; where the file system has no ACLs, create files and
// folders with PutFile() and MakeFolder() so vsftpd may overwrite and fill them.
//
// Pyftpdlib: tests/support/ftpserver.py under /usr/bin/python3, MLSD and LIST, user "mossvale",
// password "secret", and misbehaviours on request (the faults listed in that script).
//
// The encrypted kinds: VsftpdTls and PyftpdlibTls demand explicit TLS (AUTH TLS, PROT P) for the
// login and every transfer, vsftpd with its default require_ssl_reuse=YES; Sftp is
// tests/support/sftpserver.py (asyncssh), the same user and password as pyftpdlib. Their
// certificate (self-signed, for 127.0.0.1) and host key are made with the first Start() and kept
// across restarts of the same object until ReplaceKeys().
//
// OpenSsh: Debian's OpenSSH sshd (root only) on its own loopback port and configuration, SFTP
// only (internal-sftp), logging in the vsftpd kind's account and password through the same
// PAM service: sshd names its PAM service after the name it was started by, so it is started
// through a link of that name, and the account stays locked for every other way in. There is
// no chroot: its remote paths are the machine's, so a test reaches its files by RemotePath().
// Faults: "rsa-only" (its only host key is RSA, so only rsa-sha2 signatures are on offer) and
// "hardened" (key exchange, host keys, ciphers and MACs cut down as the ssh-audit hardening
// guide does: curve25519, rsa-sha2 and ed25519, AEAD and CTR ciphers, encrypt-then-MAC only)
// and "kex-unshared" (its only key exchange is one that no library of ours has), and
// "sha1-kex" (diffie-hellman-group14-sha1 only, which libssh2 offers and libssh does not).
//
// ProFtpd, ProFtpdTls, PureFtpd, PureFtpdTls: ProFTPD 1.3.8 and Pure-FTPd 1.0.50 from Debian's
// packages, unpacked (never installed) by unpack-ftp-daemons into a folder of the tests' own
// and run from there (root only), logging in the vsftpd kind's account and password from a
// password file of their own. The TLS kinds demand TLS for the login and every transfer.
//
// The server runs in a process group of its own that Stop() ends; the kernel ends it too if the
// thread that called Start() exits first, so start servers from a thread that outlives them.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFtpTestServer
{
public:
    enum Kind {
        Vsftpd,
        Pyftpdlib,
        VsftpdTls,
        PyftpdlibTls,
        Sftp,
        OpenSsh,
        ProFtpd,
        ProFtpdTls,
        PureFtpd,
        PureFtpdTls
    };

    // One entry of the crafted-list fault's listing, as a client reading it through libcurl
    // parses it.
    struct CraftedEntry {
        std::string strName;
        std::int64_t nSize;
        bool bFolder;
    };

    CFtpTestServer();
    ~CFtpTestServer(); // stops the server and removes the temporary folder
    CFtpTestServer(const CFtpTestServer&) = delete;
    CFtpTestServer& operator=(const CFtpTestServer&) = delete;

    // Starts the server on 127.0.0.1 on a free port over a fresh temporary root folder and
    // returns once it accepts connections (and has greeted, unless "slow-login" was asked for).
    // faults: misbehaviours of the pyftpdlib and Sftp kinds, named as in ftpserver.py and
    // sftpserver.py. False, with the reason in LastError(), when it cannot start (vsftpd when
    // not root, unknown fault, ...).
    // nPort asks the pyftpdlib kind for a given port (0: any free one), to stand in for a
    // server that went away and came back.
    bool Start(Kind kind, const QStringList& faults = {}, int nPort = 0);
    void Stop();
    // Stops the server process (SIGSTOP) or lets it go on: a stopped server still accepts
    // connections in the kernel but never answers, like a server that has hung.
    bool Freeze(bool bFrozen);
    bool IsRunning() const;
    QString LastError() const;

    Kind ServerKind() const { return m_kind; }
    QString Host() const; // "127.0.0.1"
    int Port() const;
    QString ServerText() const; // "127.0.0.1:PORT", "sftp://127.0.0.1:PORT" for Sftp
    // The encrypted kinds' certificate (PEM) and the SFTP server's private host key (OpenSSH).
    QString CertificatePath() const;
    QString HostKeyPath() const;
    // The next Start() makes a new certificate and host key: a server whose key was replaced.
    void ReplaceKeys();
    QString User() const;
    QString Password() const;
    QString Root() const;                        // local folder that is the server's "/"
    QString FilePath(const QString& name) const; // Root() + "/" + name
    // The path a client names a file of Root() by: "/" + name, for OpenSsh FilePath(name).
    std::string RemotePath(const QString& name) const;

    // Writes a file (creating missing folders) that the server's account owns, so an upload
    // may overwrite it and a delete may remove it.
    bool PutFile(const QString& name, const QByteArray& data);
    bool MakeFolder(const QString& name);
    // What the server wrote; empty when the file is missing.
    QByteArray ReadFile(const QString& name) const;
    // The server's own output so far, for a failing test's message.
    QString LogText() const;
    // How often the pyftpdlib kind received a command (by its verb, "STOR") or accepted a
    // login ("LOGIN"); for Sftp, how often it received a password ("PASSWORD") or accepted
    // one ("LOGIN"); 0 for vsftpd.
    int CommandCount(const QString& strVerb) const;
    // The bytes of every file the pyftpdlib kind received (uploads) or sent (restores), cut
    // transfers included.
    qint64 FileBytes(bool bReceived) const;

    static bool CanRunVsftpd(); // binary present and running as root
    static bool CanRunSshd();   // likewise
    // tests/support: $MOSSVALE_TEST_SUPPORT_DIR when it holds ftpserver.py, else the source tree.
    static QString SupportDir();

    // The crafted-list fault's entries in the order sent. Names holding a CR or an LF arrive cut
    // at it: libcurl turns a bare CR into an LF in ASCII-mode (listing) transfers, so a client
    // sees the start of the name as one entry and the rest as a line that is no entry.
    static std::vector<CraftedEntry> CraftedEntries();
    static std::time_t CraftedTime(); // the date every crafted entry carries (UTC)

private:
    bool StartVsftpd(bool bTls, int nPort);
    bool StartPyftpdlib(const QStringList& faults, int nPort, bool bTls);
    bool StartSftp(const QStringList& faults, int nPort);
    bool StartOpenSsh(const QStringList& faults, int nPort);
    bool StartUnpacked(int nPort); // the ProFTPD and Pure-FTPd kinds
    // Starts the daemon the configuration names on free ports until one binds.
    bool StartOnFreePort(int nPort, const std::function<QStringList(int nPort)>& arguments,
                         const QString& strProgram, const QString& strWhat);
    bool EnsureSshHostKey(const QString& strType, QString& strPath);
    // What the Python servers share on their command line: root, account, port, journal, faults.
    QStringList ScriptArguments(const QString& strScript, const QStringList& faults,
                                int nPort) const;
    // Reads the port a script prints once it listens; false when it printed none in time.
    bool ReadPrintedPort(const QDeadlineTimer& deadline, const QString& strWhat);
    bool EnsureCertificate();
    bool MakeRoot();
    bool WaitForGreeting(int nTimeoutMs, const char* pszGreeting = "220");
    bool Fail(const QString& strError);
    void StartProcess(const QString& strProgram, const QStringList& arguments);
    bool ChownToAccount(const QString& strPath) const;
    QString JournalPath() const;

    Kind m_kind = Pyftpdlib;
    std::unique_ptr<QTemporaryDir> m_pTempDir;
    std::unique_ptr<QTemporaryDir> m_pKeyDir; // outlives restarts: the server's identity
    std::unique_ptr<QProcess> m_pProcess;
    QString m_strRoot;
    QString m_strLogPath;
    QString m_strUser;
    QString m_strPassword;
    QString m_strError;
    int m_nPort = 0;
    QString m_strLibraryPath; // LD_LIBRARY_PATH of the unpacked daemons
    int m_nAccountUid = -1;   // owner of the files the server writes, when not root
    int m_nAccountGid = -1;
};
