// The test servers themselves, checked with curl's command line: if these fail, every FTP suite
// that relies on them would fail for the wrong reason.
#include "FtpTestServer.h"
#include "StartOrSkip.h"
#include "transfer/FtpListParser.h"

#include <QtTest>

#include <pwd.h>
#include <shadow.h>
#include <sys/stat.h>

namespace {

const QByteArray SERVER_TEXT = "hello from the server\n";

QByteArray Pattern(int nSize)
{
    QByteArray data(nSize, Qt::Uninitialized);
    QRandomGenerator random(42);
    for (char& c : data)
        c = static_cast<char>(random.bounded(256));
    return data;
}

std::vector<FtpFileInfo> Parse(const QByteArray& listing, CFtpListParser::Format format)
{
    std::vector<FtpFileInfo> entries;
    CFtpListParser parser(format);
    parser.Feed(listing.constData(), static_cast<std::size_t>(listing.size()), entries);
    parser.Finish(entries);
    return entries;
}

const FtpFileInfo* Find(const std::vector<FtpFileInfo>& entries, const std::string& strName)
{
    for (const FtpFileInfo& entry : entries) {
        if (entry.strName == strName)
            return &entry;
    }
    return nullptr;
}

QByteArray ReadAll(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestFtpTestServer : public QObject
{
    Q_OBJECT

private:
    // Runs curl's command line against the server and returns its exit code. Proxies are
    // bypassed so nothing leaves loopback whatever the environment says.
    static int Curl(const CFtpTestServer& server, const QString& strPath, QStringList arguments,
                    QByteArray* pOutput = nullptr)
    {
        arguments.prepend(server.User() + QLatin1Char(':') + server.Password());
        arguments.prepend(QStringLiteral("-u"));
        arguments << QStringLiteral("-s") << QStringLiteral("--noproxy") << QStringLiteral("*")
                  << QStringLiteral("--max-time") << QStringLiteral("30");
        const QString strServer = server.ServerText();
        arguments << (strServer.contains(QLatin1String("://"))
                          ? strServer
                          : QStringLiteral("ftp://") + strServer) +
                         strPath;
        QProcess curl;
        curl.start(QStringLiteral("curl"), arguments);
        if (!curl.waitForFinished(60000))
            return -1;
        if (pOutput)
            *pOutput = curl.readAllStandardOutput();
        return curl.exitStatus() == QProcess::NormalExit ? curl.exitCode() : -1;
    }

    QString WriteLocal(const QByteArray& data)
    {
        const QString strPath =
            m_localDir.filePath(QStringLiteral("local-%1").arg(++m_nLocalFiles));
        QFile file(strPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            return {};
        return strPath;
    }

    QTemporaryDir m_localDir;
    int m_nLocalFiles = 0;

private slots:
    void servesListUploadDownload_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("vsftpd") << int(CFtpTestServer::Vsftpd);
        QTest::newRow("pyftpdlib") << int(CFtpTestServer::Pyftpdlib);
    }

    void servesListUploadDownload()
    {
        QFETCH(int, kind);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Kind(kind), QStringList());
        QVERIFY(server.PutFile(QStringLiteral("hello.txt"), SERVER_TEXT));
        QVERIFY(server.MakeFolder(QStringLiteral("folder")));

        QByteArray listing;
        QCOMPARE(Curl(server, QStringLiteral("/"), {}, &listing), 0);
        const std::vector<FtpFileInfo> entries = Parse(listing, CFtpListParser::LIST);
        const FtpFileInfo* pFile = Find(entries, "hello.txt");
        const FtpFileInfo* pFolder = Find(entries, "folder");
        QVERIFY2(pFile && pFolder, listing.constData());
        QCOMPARE(pFile->nSize, std::int64_t(SERVER_TEXT.size()));
        QCOMPARE(pFile->dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
        QCOMPARE(pFolder->dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);

        QByteArray downloaded;
        QCOMPARE(Curl(server, QStringLiteral("/hello.txt"), {}, &downloaded), 0);
        QCOMPARE(downloaded, SERVER_TEXT);

        // A new name with a blank, a file the test put there, and a folder the test made.
        const QByteArray data = Pattern(100000);
        const QString strLocal = WriteLocal(data);
        QCOMPARE(Curl(server, QStringLiteral("/up%20load.bin"), {QStringLiteral("-T"), strLocal}),
                 0);
        QCOMPARE(server.ReadFile(QStringLiteral("up load.bin")), data);
        QCOMPARE(Curl(server, QStringLiteral("/hello.txt"), {QStringLiteral("-T"), strLocal}), 0);
        QCOMPARE(server.ReadFile(QStringLiteral("hello.txt")), data);
        QCOMPARE(Curl(server, QStringLiteral("/folder/in.bin"), {QStringLiteral("-T"), strLocal}),
                 0);
        QCOMPARE(server.ReadFile(QStringLiteral("folder/in.bin")), data);
    }

    void encryptedServers_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("vsftpd TLS") << int(CFtpTestServer::VsftpdTls);
        QTest::newRow("pyftpdlib TLS") << int(CFtpTestServer::PyftpdlibTls);
        QTest::newRow("SFTP") << int(CFtpTestServer::Sftp);
    }

    void encryptedServers()
    {
        QFETCH(int, kind);
        const auto eKind = CFtpTestServer::Kind(kind);
        CFtpTestServer server;
        START_OR_SKIP(server, eKind);
        // FTPS only with TLS, checked against the server's own certificate; a login in clear
        // is refused.
        QStringList secure = {QStringLiteral("-k")};
        if (eKind != CFtpTestServer::Sftp) {
            secure = {QStringLiteral("--ssl-reqd"), QStringLiteral("--cacert"),
                      server.CertificatePath()};
            QCOMPARE(Curl(server, QStringLiteral("/"), {}), 67);
        }
        const QByteArray data = Pattern(5 * 1024 * 1024);
        QCOMPARE(
            Curl(server, QStringLiteral("/big.bin"), secure + QStringList{"-T", WriteLocal(data)}),
            0);
        QCOMPARE(server.ReadFile(QStringLiteral("big.bin")), data);
        QByteArray downloaded;
        QCOMPARE(Curl(server, QStringLiteral("/big.bin"), secure, &downloaded), 0);
        QCOMPARE(downloaded, data);

        // The same identity across a restart; a new one after ReplaceKeys().
        const auto keyFile = [&] {
            return eKind == CFtpTestServer::Sftp ? server.HostKeyPath() : server.CertificatePath();
        };
        const QByteArray key = ReadAll(keyFile());
        QVERIFY(!key.isEmpty());
        QVERIFY2(server.Start(eKind, {}, server.Port()), qPrintable(server.LastError()));
        QCOMPARE(ReadAll(keyFile()), key);
        server.ReplaceKeys();
        QVERIFY(server.Start(eKind));
        QVERIFY(!ReadAll(keyFile()).isEmpty() && ReadAll(keyFile()) != key);
    }

    void vsftpdHasNoMlsd()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Vsftpd, QStringList());
        // 19: CURLE_FTP_COULDNT_RETR_FILE, the answer a client must take as "use LIST".
        QCOMPARE(Curl(server, QStringLiteral("/"), {QStringLiteral("-X"), QStringLiteral("MLSD")}),
                 19);
    }

    // The account the test vsftpd logs in must be no way into the machine: no shell, a locked
    // system password, and its own password readable by root alone. The wrong password is refused.
    void vsftpdAccountOpensNothingElse()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Vsftpd, QStringList());
        const QByteArray user = server.User().toLatin1();
        const passwd* pw = ::getpwnam(user.constData());
        QVERIFY(pw);
        QVERIFY(QByteArray(pw->pw_shell).endsWith("/nologin") ||
                QByteArray(pw->pw_shell) == "/bin/false");
        const spwd* sp = ::getspnam(user.constData());
        QVERIFY(sp);
        QCOMPARE(QByteArray(sp->sp_pwdp), QByteArray("!"));
        struct stat st {
        };
        QCOMPARE(::stat("/var/lib/mossvale-tests", &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0700));
        for (const char* pszFile :
             {"/var/lib/mossvale-tests/vsftpd-password", "/var/lib/mossvale-tests/vsftpd-passwd"}) {
            QCOMPARE(::stat(pszFile, &st), 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0600));
        }
        QStringList wrong = {QStringLiteral("-u"), server.User() + QStringLiteral(":wrong")};
        QCOMPARE(Curl(server, QStringLiteral("/"), wrong), 67); // CURLE_LOGIN_DENIED
    }

    void stopEndsServerAndRemovesFolder_data() { servesListUploadDownload_data(); }

    void stopEndsServerAndRemovesFolder()
    {
        QFETCH(int, kind);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Kind(kind), QStringList());
        const QString strTemp = QFileInfo(server.Root()).path();
        QVERIFY(QFileInfo::exists(strTemp));
        const CFtpTestServer::Kind serverKind = server.ServerKind();
        QCOMPARE(serverKind, CFtpTestServer::Kind(kind));

        // A second start replaces the first server with a fresh folder.
        QVERIFY2(server.Start(serverKind), qPrintable(server.LastError()));
        QVERIFY(!QFileInfo::exists(strTemp));
        const QString strSecond = QFileInfo(server.Root()).path();
        const QString strOldServer = server.ServerText();

        server.Stop();
        QVERIFY(!server.IsRunning());
        QVERIFY(!QFileInfo::exists(strSecond));
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-s"), QStringLiteral("--noproxy"), QStringLiteral("*"),
                    QStringLiteral("ftp://") + strOldServer + QStringLiteral("/")});
        QVERIFY(curl.waitForFinished(60000));
        QCOMPARE(curl.exitCode(), 7); // could not connect
    }

    void refusesWhatItCannotDo()
    {
        CFtpTestServer server;
        QVERIFY(!server.Start(CFtpTestServer::Pyftpdlib, {QStringLiteral("no-such-fault")}));
        QVERIFY(server.LastError().contains(QStringLiteral("no-such-fault")));
        QVERIFY(!server.IsRunning());
        QVERIFY(!server.Start(CFtpTestServer::Vsftpd, {QStringLiteral("drop-retr")}));
        QVERIFY(!server.LastError().isEmpty());
        if (!CFtpTestServer::CanRunVsftpd()) {
            QVERIFY(!server.Start(CFtpTestServer::Vsftpd));
            QVERIFY(!server.LastError().isEmpty());
        }
    }

    void brokenTransfers_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("bUpload");
        QTest::addColumn<int>("nExitCode"); // -2: any failure
        QTest::addColumn<int>("nSize");
        QTest::addColumn<int>("nBytes"); // that reach the other side; -1: some
        // 18: partial file, 28: operation timed out (low speed).
        QTest::newRow("drop-retr") << "drop-retr" << false << 18 << 100000 << 50000;
        QTest::newRow("stall-retr") << "stall-retr" << false << 28 << 100000 << 16384;
        QTest::newRow("drop-stor") << "drop-stor" << true << -2 << 10000 << 5000;
        QTest::newRow("stall-stor") << "stall-stor" << true << 28 << 4000000 << -1;
    }

    void brokenTransfers()
    {
        QFETCH(QString, fault);
        QFETCH(bool, bUpload);
        QFETCH(int, nExitCode);
        QFETCH(int, nSize);
        QFETCH(int, nBytes);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, QStringList(fault));
        const QByteArray data = Pattern(nSize);
        const QStringList lowSpeed = {QStringLiteral("--speed-limit"), QStringLiteral("1"),
                                      QStringLiteral("--speed-time"), QStringLiteral("2")};

        QByteArray arrived;
        int nExit = 0;
        if (bUpload) {
            nExit = Curl(server, QStringLiteral("/up.bin"),
                         QStringList{QStringLiteral("-T"), WriteLocal(data)} + lowSpeed);
            arrived = server.ReadFile(QStringLiteral("up.bin"));
        } else {
            QVERIFY(server.PutFile(QStringLiteral("down.bin"), data));
            nExit = Curl(server, QStringLiteral("/down.bin"), lowSpeed, &arrived);
        }
        if (nExitCode == -2)
            QVERIFY(nExit > 0);
        else
            QCOMPARE(nExit, nExitCode);
        QVERIFY(arrived.size() < data.size());
        QVERIFY(data.startsWith(arrived));
        if (nBytes >= 0)
            QCOMPARE(arrived.size(), nBytes);
    }

    void refusedCommandsCombine()
    {
        CFtpTestServer server;
        const QStringList faults = {QStringLiteral("refuse-rename"), QStringLiteral("refuse-size"),
                                    QStringLiteral("no-mlsd")};
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, faults);
        QVERIFY(server.PutFile(QStringLiteral("a.txt"), SERVER_TEXT));

        // 21: a quote command failed.
        QCOMPARE(Curl(server, QStringLiteral("/"),
                      {QStringLiteral("-Q"), QStringLiteral("RNFR a.txt"), QStringLiteral("-Q"),
                       QStringLiteral("RNTO b.txt")}),
                 21);
        QCOMPARE(server.ReadFile(QStringLiteral("a.txt")), SERVER_TEXT);
        QVERIFY(!QFileInfo::exists(server.FilePath(QStringLiteral("b.txt"))));
        QCOMPARE(
            Curl(server, QStringLiteral("/"), {QStringLiteral("-Q"), QStringLiteral("SIZE a.txt")}),
            21);
        QCOMPARE(Curl(server, QStringLiteral("/"), {QStringLiteral("-X"), QStringLiteral("MLSD")}),
                 19);

        // FEAT must not offer MLST, while the same server without the fault does.
        CFtpTestServer plain;
        START_OR_SKIP(plain, CFtpTestServer::Pyftpdlib, QStringList());
        QByteArray features;
        QByteArray plainFeatures;
        const QStringList feat = {QStringLiteral("-Q"), QStringLiteral("FEAT"),
                                  QStringLiteral("-I"), QStringLiteral("-v")};
        auto featuresOf = [&](const CFtpTestServer& target, QByteArray& out) {
            QProcess curl;
            curl.start(QStringLiteral("curl"),
                       QStringList{QStringLiteral("-s"), QStringLiteral("--noproxy"),
                                   QStringLiteral("*"), QStringLiteral("-u"),
                                   target.User() + QLatin1Char(':') + target.Password()} +
                           feat +
                           QStringList{QStringLiteral("ftp://") + target.ServerText() +
                                       QStringLiteral("/")});
            QVERIFY(curl.waitForFinished(60000));
            out = curl.readAllStandardError(); // -v puts the conversation there
        };
        featuresOf(server, features);
        featuresOf(plain, plainFeatures);
        QVERIFY2(plainFeatures.contains("MLST"), plainFeatures.constData());
        QVERIFY2(features.contains("211 End") && !features.contains("MLST"), features.constData());
    }

    void craftedListing_data()
    {
        QTest::addColumn<bool>("bMlsd");
        QTest::newRow("MLSD") << true;
        QTest::newRow("LIST") << false;
    }

    void craftedListing()
    {
        QFETCH(bool, bMlsd);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib,
                      QStringList(QStringLiteral("crafted-list")));
        QByteArray listing;
        const QStringList arguments =
            bMlsd ? QStringList{QStringLiteral("-X"), QStringLiteral("MLSD")} : QStringList{};
        QCOMPARE(Curl(server, QStringLiteral("/"), arguments, &listing), 0);
        const std::vector<FtpFileInfo> entries =
            Parse(listing, bMlsd ? CFtpListParser::MLSD : CFtpListParser::LIST);

        const std::vector<CFtpTestServer::CraftedEntry> expected = CFtpTestServer::CraftedEntries();
        QCOMPARE(entries.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(entries[i].strName, expected[i].strName);
            QCOMPARE(entries[i].nSize, expected[i].nSize);
            QCOMPARE(entries[i].dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY, expected[i].bFolder);
            QCOMPARE(entries[i].tLastWrite, CFtpTestServer::CraftedTime());
        }

        // Only "/" is crafted; other folders list what they hold.
        QVERIFY(server.PutFile(QStringLiteral("real/file.txt"), SERVER_TEXT));
        QCOMPARE(Curl(server, QStringLiteral("/real/"), arguments, &listing), 0);
        const std::vector<FtpFileInfo> real =
            Parse(listing, bMlsd ? CFtpListParser::MLSD : CFtpListParser::LIST);
        QCOMPARE(real.size(), std::size_t(1));
        QCOMPARE(real[0].strName, std::string("file.txt"));
    }

    void slowLoginNeverGreets()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, QStringList(QStringLiteral("slow-login")));
        // 28: the connect time-out ran out waiting for the greeting.
        QCOMPARE(Curl(server, QStringLiteral("/"),
                      {QStringLiteral("--connect-timeout"), QStringLiteral("2")}),
                 28);
    }
};

QTEST_GUILESS_MAIN(TestFtpTestServer)
#include "tst_ftptestserver.moc"
