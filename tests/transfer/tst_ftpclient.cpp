// The FTP client against real servers on loopback: logging in, listing with MLSD and LIST,
// byte-exact transfers, and that no failure costs the copy on either side.
#include "TransferTestUtil.h"
#include "ChildTest.h"
#include "FtpTestServer.h"
#include "transfer/CertificateProbe.h"
#include "transfer/ClearTextAccounts.h"
#include "transfer/ConnectionPool.h"
#include "transfer/DirectStoreAccounts.h"
#include "transfer/FtpAddress.h"
#include "transfer/FtpConnection.h"
#include "transfer/HostKeyProbe.h"
#include "transfer/InternetSession.h"
#include "transfer/Temporaries.h"
#include "transfer/TrustStore.h"
#include "transfer/WriteBehindFile.h"

#include <QtTest>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <map>
#include <memory>
#include <chrono>
#include <thread>

#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A name lookup that takes 3 seconds, for "slow-lookup.test" only: this definition stands in
// for the C library's in libcurl's resolver thread. Set when that slow lookup has ended.
std::atomic<bool> g_bSlowLookupEnded{false};

} // namespace

extern "C" int getaddrinfo(const char* pszNode, const char* pszService, const addrinfo* pHints,
                           addrinfo** ppResult)
{
    using Fn = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const Fn s_real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (pszNode && std::string(pszNode) == "slow-lookup.test") {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        g_bSlowLookupEnded = true;
        return EAI_NONAME;
    }
    return s_real(pszNode, pszService, pHints, ppResult);
}

namespace {

struct Listing {
    CFtpConnection::ListResult result;
    std::map<std::string, FtpFileInfo> entries;
};

Listing ListRoot(CFtpConnection* pConnection)
{
    Listing listing;
    listing.result = pConnection->List([&](const std::vector<FtpFileInfo>& batch) {
        for (const FtpFileInfo& info : batch)
            listing.entries[info.strName] = info;
    });
    return listing;
}

} // namespace

class TestFtpClient : public QObject
{
    Q_OBJECT

    std::unique_ptr<CInternetSession> m_pSession;
    QTemporaryDir m_state; // where the program notes the server temporaries it has seen

    std::unique_ptr<CFtpConnection> Connect(const CFtpTestServer& server,
                                            const std::atomic<bool>* pCancel = nullptr)
    {
        return std::unique_ptr<CFtpConnection>(CFtpConnection::Connect(
            m_pSession.get(), Utf8(server.ServerText()), 21, Utf8(server.User()),
            Utf8(server.Password()), nullptr, pCancel));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_state.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_state.path()));
        CInternetSession::SetTimeouts({3, 3});
        // A broken transfer fails at once here; the tests of trying again set their own.
        CInternetSession::SetResume({0, 10, 100, 1 << 20});
        m_pSession = std::make_unique<CInternetSession>();
    }

    void serverTextForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("host") << "ftp.example.org" << true << "ftp.example.org" << 21;
        QTest::newRow("host:port") << "ftp.example.org:2121" << true << "ftp.example.org" << 2121;
        QTest::newRow("ipv6 port") << "[::1]:990" << true << "::1" << 990;
        QTest::newRow("ipv6 bare") << "fe80::1" << true << "fe80::1" << 21;
        QTest::newRow("url") << "ftp://h.example:2000/x" << true << "h.example" << 2000;
        QTest::newRow("blanks") << "  h.example  " << true << "h.example" << 21;
        QTest::newRow("port 0") << "h:0" << false << "" << 0;
        QTest::newRow("port too big") << "h:65536" << false << "" << 0;
        QTest::newRow("port junk") << "h:21x" << false << "" << 0;
        QTest::newRow("empty") << "" << false << "" << 0;
        QTest::newRow("newline") << "h\r\nDELE x" << false << "" << 0;
    }

    void serverTextForms()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        CFtpAddress address;
        QCOMPARE(address.Parse(Utf8(text), 21), valid);
        if (!valid)
            return;
        QFETCH(QString, host);
        QFETCH(int, port);
        QCOMPARE(QString::fromStdString(address.Host()), host);
        QCOMPARE(address.Port(), port);
    }

    void urlsEscapeEverySegment()
    {
        CFtpAddress address;
        QVERIFY(address.Parse("[::1]:2121", 21));
        QCOMPARE(address.UrlOf("/"), std::string("ftp://[::1]:2121/%2F/"));
        QCOMPARE(address.UrlOf("/a b#1?;type=a"),
                 std::string("ftp://[::1]:2121/%2Fa%20b%231%3F%3Btype%3Da"));
        QCOMPARE(address.UrlOf("/x/y.txt"), std::string("ftp://[::1]:2121/%2Fx/y.txt"));
        QCOMPARE(address.UrlOf("/x/"), std::string("ftp://[::1]:2121/%2Fx/"));
    }

    void loginFailuresGiveNoConnection()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        const std::string strServer = Utf8(server.ServerText());
        const std::string strUser = Utf8(server.User());
        QVERIFY(Connect(server));
        // The caller learns that the login was refused, not that the server was not there.
        // pyftpdlib answers a wrong password only after 3 s, past this suite's connect time-out.
        CInternetSession::SetTimeouts({10, 10});
        ETransferFailure eFailure = FAILURE_NONE;
        QVERIFY(
            !CFtpConnection::Connect(m_pSession.get(), strServer, 21, strUser, "wrong", &eFailure));
        CInternetSession::SetTimeouts({3, 3});
        QCOMPARE(eFailure, FAILURE_LOGIN_REFUSED);
        QVERIFY(!CFtpConnection::Connect(m_pSession.get(), strServer, 21, "nobody", "x"));
        // A CR/LF in the password would become a second FTP command: refused before sending.
        QVERIFY(!CFtpConnection::Connect(m_pSession.get(), strServer, 21, strUser,
                                         Utf8(server.Password()) + "\r\nDELE /x"));
        QVERIFY(!CFtpConnection::Connect(m_pSession.get(), strServer, 21, strUser + "\n",
                                         Utf8(server.Password())));
        // The port in the server text wins; without it the given port is used.
        QVERIFY(!CFtpConnection::Connect(m_pSession.get(), Utf8(server.Host()), 21, strUser,
                                         Utf8(server.Password())) ||
                server.Port() == 21);
        std::unique_ptr<CFtpConnection> pByPort(
            CFtpConnection::Connect(m_pSession.get(), Utf8(server.Host()), server.Port(), strUser,
                                    Utf8(server.Password())));
        QVERIFY(pByPort);
    }

    void unreachableServersFailWithinTheBound()
    {
        CFtpTestServer closed;
        START_OR_SKIP(closed, CFtpTestServer::Pyftpdlib);
        const std::string strServer = Utf8(closed.ServerText());
        const std::string strOtherLoopback = "127.0.0.2:" + std::to_string(closed.Port());
        closed.Stop(); // nothing listens there any more
        for (const std::string& strClosed : {strServer, strOtherLoopback}) {
            ETransferFailure eFailure = FAILURE_NONE;
            QVERIFY(!CFtpConnection::Connect(m_pSession.get(), strClosed, 21, "u", "p", &eFailure));
            QCOMPARE(eFailure, FAILURE_NO_CONNECTION);
        }

        CFtpTestServer silent;
        START_OR_SKIP(silent, CFtpTestServer::Pyftpdlib, {"slow-login"});
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!Connect(silent));
        // Bounded by the connect time-out (3 s here), not the 300 s libcurl would wait.
        QVERIFY2(timer.elapsed() < 30000, "the connect time-out did not apply");
    }

    void cancelDuringASlowNameLookup()
    {
        // The cancel neither waits for the lookup nor passes for a login.
        std::atomic<bool> bCancel{false};
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            bCancel = true;
        });
        ETransferFailure eFailure = FAILURE_NONE;
        std::unique_ptr<CFtpConnection> pConnection(CFtpConnection::Connect(
            m_pSession.get(), "slow-lookup.test:2121", 21, "u", "p", &eFailure, &bCancel));
        canceller.join();
        QVERIFY(!pConnection);
        QCOMPARE(int(eFailure), int(FAILURE_CANCELLED));
        QVERIFY(!g_bSlowLookupEnded);
    }

    void closingTheSessionDoesNotWaitForASilentServer()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        // A QUIT that waited for its reply would wait the stall time-out, per connection.
        CInternetSession::SetTimeouts({3, 30});
        auto pSession = std::make_unique<CInternetSession>();
        // Twice: the second round takes the 8 idle connections the first left in the pool, so
        // the session closes 8 pooled connections and the server saw 8 logins in all.
        for (int nRound = 0; nRound < 2; ++nRound) {
            std::vector<std::unique_ptr<CFtpConnection>> connections;
            for (int i = 0; i < 8; ++i) {
                connections.emplace_back(
                    CFtpConnection::Connect(pSession.get(), Utf8(server.ServerText()), 21,
                                            Utf8(server.User()), Utf8(server.Password())));
                QVERIFY(connections.back());
            }
        }
        QCOMPARE(server.CommandCount("USER"), 8);

        QVERIFY(server.Freeze(true));
        QElapsedTimer timer;
        timer.start();
        std::atomic<bool> bClosed{false};
        std::thread closer([&] {
            pSession.reset();
            bClosed = true;
        });
        const bool bInTime = QTest::qWaitFor([&] { return bClosed.load(); }, 10000);
        server.Freeze(false); // a close that waited for replies gets them now and ends
        closer.join();
        qInfo("closing 8 pooled connections to a frozen server: %lld ms", timer.elapsed());
        CInternetSession::SetTimeouts({3, 3});
        QVERIFY2(bInTime, "closing the session waited for the silent server");
    }

    void bothServersListTheSameEntries()
    {
        const QDateTime modified(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC);
        std::map<std::string, FtpFileInfo> seen[2];
        const CFtpTestServer::Kind kinds[2] = {CFtpTestServer::Pyftpdlib, CFtpTestServer::Vsftpd};
        for (int k = 0; k < 2; ++k) {
            CFtpTestServer server;
            if (kinds[k] == CFtpTestServer::Vsftpd && !CFtpTestServer::CanRunVsftpd())
                QSKIP("vsftpd needs root");
            QVERIFY2(server.Start(kinds[k]), qPrintable(server.LastError()));
            QVERIFY(WriteFile(server.FilePath("small.txt"), "hello"));
            QVERIFY(WriteFile(server.FilePath("with space #1.bin"), PatternBytes(5000)));
            QVERIFY(WriteFile(server.FilePath("empty"), ""));
            // Another upload's temporary is not listed.
            QVERIFY(WriteFile(server.FilePath(".mossvale-0123456789abcdef.part"), "part"));
            QVERIFY(QDir(server.Root()).mkdir("folder"));
            QFile touched(server.FilePath("small.txt"));
            QVERIFY(touched.open(QIODevice::ReadWrite));
            QVERIFY(touched.setFileTime(modified, QFileDevice::FileModificationTime));
            touched.close();

            auto pConnection = Connect(server);
            QVERIFY(pConnection);
            const Listing listing = ListRoot(pConnection.get());
            QCOMPARE(int(listing.result), int(CFtpConnection::ListResult::Listed));
            seen[k] = listing.entries;
        }
        for (const auto& entries : seen) {
            QCOMPARE(entries.size(), size_t(4));
            QCOMPARE(entries.at("small.txt").nSize, std::int64_t(5));
            QCOMPARE(entries.at("with space #1.bin").nSize, std::int64_t(5000));
            QCOMPARE(entries.at("empty").nSize, std::int64_t(0));
            QCOMPARE(entries.at("folder").dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
            QCOMPARE(entries.at("small.txt").dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
        }
        // MLSD gives the time to the second; LIST of an older file gives only the day.
        QCOMPARE(seen[0].at("small.txt").tLastWrite, std::time_t(modified.toSecsSinceEpoch()));
        QCOMPARE(seen[1].at("small.txt").tLastWrite / 86400,
                 std::time_t(modified.toSecsSinceEpoch() / 86400));
    }

    void namesBeginningWithADotAreListed_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("vsftpd hides them from a plain LIST")
            << int(CFtpTestServer::Vsftpd) << QStringList();
        QTest::newRow("server taking -a for a name")
            << int(CFtpTestServer::Pyftpdlib) << QStringList{"no-mlsd", "list-option-as-name"};
    }

    void namesBeginningWithADotAreListed()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, faults);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Kind(kind), faults);
        QVERIFY(WriteFile(server.FilePath(".bashrc")));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        for (int nTime = 0; nTime < 2; ++nTime) { // a refused option must not stop the next listing
            const Listing listing = ListRoot(pConnection.get());
            QCOMPARE(int(listing.result), int(CFtpConnection::ListResult::Listed));
            QCOMPARE(listing.entries.size(), std::size_t(1)); // neither "." nor ".."
            QVERIFY(listing.entries.count(".bashrc"));
        }
    }

    void staleTemporariesAreDeletedByTheListing_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("faults");
        // MLSD dates every file more than a day back: the server's dates decide nothing.
        QTest::newRow("pyftpdlib MLSD a day off")
            << int(CFtpTestServer::Pyftpdlib) << QStringList{"mlsd-offset=-100000"};
        QTest::newRow("vsftpd LIST") << int(CFtpTestServer::Vsftpd) << QStringList();
    }

    void staleTemporariesAreDeletedByTheListing()
    {
        // Only temporaries of other runs that our own clock has seen, unchanged, for a day go;
        // never one of this run, which an upload may be writing, nor one that grew meanwhile.
        QFETCH(int, kind);
        QFETCH(QStringList, faults);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Kind(kind), faults);
        const QString strOld = ".mossvale-00000000000000aa.part"; // an older version's
        const QString strOther = ".mossvale-0123456789abcdef-00000000000000bb.part";
        const QString strGrown = ".mossvale-0123456789abcdef-00000000000000cc.part";
        const QString strFresh = ".mossvale-0123456789abcdef-00000000000000dd.part";
        const QString strOwn = QString::fromStdString(CTemporaries::NewUploadName());
        const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-3);
        for (const QString& strName :
             {strOld, strOther, strGrown, strFresh, strOwn, QString("kept.txt")}) {
            QVERIFY(server.PutFile(strName, "12345"));
            QFile file(server.FilePath(strName));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        // Seen two days ago, one of them smaller then; the fresh one never seen before.
        const std::string strFolderKey = "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/";
        CTemporaries::StaleOnServer(
            strFolderKey,
            {{Utf8(strOld), 5}, {Utf8(strOther), 5}, {Utf8(strGrown), 2}, {Utf8(strOwn), 5}},
            std::time(nullptr) - 2 * 24 * 3600);
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        const Listing listing = ListRoot(pConnection.get());
        QCOMPARE(int(listing.result), int(CFtpConnection::ListResult::Listed));
        QCOMPARE(listing.entries.size(), std::size_t(1));
        QVERIFY(listing.entries.count("kept.txt"));
        QStringList left = Leftovers(server.Root());
        left.sort();
        QStringList expected{strGrown, strFresh, strOwn};
        expected.sort();
        QCOMPARE(left, expected);
    }

    void staleLocalTemporariesAreCleanedByARestore()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QVERIFY(WriteFile(server.FilePath("doc.txt"), "new"));
        QTemporaryDir local;
        const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-2 * 3600);
        for (const QString strName :
             {".mossvale-Ab12Cd", ".mossvale-Ef34Gh", ".mossvale-notours"}) {
            QVERIFY(WriteFile(local.filePath(strName)));
            QFile file(local.filePath(strName));
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (strName != ".mossvale-Ef34Gh") // a restore running beside this one
                QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        QVERIFY(pConnection->GetFile("/doc.txt", Utf8(local.filePath("doc.txt"))));
        QCOMPARE(Leftovers(local.path()), (QStringList{".mossvale-Ef34Gh", ".mossvale-notours"}));
    }

    void busyReceiverDoesNotFailTheListing_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("pyftpdlib MLSD") << int(CFtpTestServer::Pyftpdlib);
        QTest::newRow("vsftpd LIST") << int(CFtpTestServer::Vsftpd);
    }

    void busyReceiverDoesNotFailTheListing()
    {
        // The window thread takes each batch with a sent message; while it is busy, no bytes
        // move, and that must not count as a silent server. The wait outlasts libcurl's
        // speed-averaging window too.
        QFETCH(int, kind);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Kind(kind));
        constexpr int nFiles = 3000;
        for (int i = 0; i < nFiles; ++i)
            QVERIFY(WriteFile(server.FilePath(QString("file-%1.txt").arg(i, 5, 10, QChar('0')))));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        CInternetSession::SetTimeouts({3, 1});
        int nBatches = 0;
        std::size_t nEntries = 0;
        const auto result = pConnection->List([&](const std::vector<FtpFileInfo>& batch) {
            if (nBatches++ == 0) // a window busy for longer than the stall time-out
                std::this_thread::sleep_for(std::chrono::milliseconds(7000));
            nEntries += batch.size();
        });
        CInternetSession::SetTimeouts({3, 3});
        QCOMPARE(int(result), int(CFtpConnection::ListResult::Listed));
        QCOMPARE(nEntries, std::size_t(nFiles));
    }

    void silentServerStillFailsTheListing()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"stall-list"});
        for (int i = 0; i < 500; ++i)
            QVERIFY(WriteFile(server.FilePath(QString("file-%1.txt").arg(i))));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        std::size_t nEntries = 0;
        QElapsedTimer timer;
        timer.start();
        const auto result = pConnection->List(
            [&](const std::vector<FtpFileInfo>& batch) { nEntries += batch.size(); });
        QCOMPARE(int(result), int(CFtpConnection::ListResult::Cut));
        QVERIFY(nEntries > 0 && nEntries < 500); // it did stop half-way
        QVERIFY2(timer.elapsed() < 60000, "a stalled listing was not given up");
    }

    void emptyFolderAndServerWithoutMlsd()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"no-mlsd"});
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        QCOMPARE(int(ListRoot(pConnection.get()).result), int(CFtpConnection::ListResult::Empty));
        QVERIFY(WriteFile(server.FilePath("a"), "1"));
        const Listing listing = ListRoot(pConnection.get());
        QCOMPARE(int(listing.result), int(CFtpConnection::ListResult::Listed));
        QCOMPARE(listing.entries.size(), size_t(1));
    }

    void transfersAreByteExact_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        for (int kind : {int(CFtpTestServer::Pyftpdlib), int(CFtpTestServer::Vsftpd)}) {
            const char* pszServer = kind == CFtpTestServer::Vsftpd ? "vsftpd" : "pyftpdlib";
            QTest::addRow("%s empty", pszServer) << kind << "empty.dat" << 0;
            QTest::addRow("%s one byte", pszServer) << kind << "one" << 1;
            QTest::addRow("%s 1 MiB", pszServer) << kind << "big.bin" << (1 << 20) + 3;
            // A restore this size is written back in ranges while it arrives.
            QTest::addRow("%s 40 MiB", pszServer) << kind << "huge.bin" << (40 << 20) + 5;
            QTest::addRow("%s non-ASCII", pszServer)
                << kind << QString::fromUtf8("备份 ü.txt") << 777;
            QTest::addRow("%s spaces and #", pszServer) << kind << "a b #c;type=a?.txt" << 100;
        }
    }

    void transfersAreByteExact()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(int, size);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Kind(kind));
        QTemporaryDir local;
        const QByteArray data = PatternBytes(size);
        QVERIFY(WriteFile(local.filePath(name), data));

        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        std::int64_t nLastDone = -1;
        QVERIFY(pConnection->PutFile(Utf8(local.filePath(name)), "/" + Utf8(name),
                                     [&](std::int64_t nDone, std::int64_t) { nLastDone = nDone; }));
        QCOMPARE(ReadFile(server.FilePath(name)), data);
        QCOMPARE(nLastDone, std::int64_t(size));
        QCOMPARE(Leftovers(server.Root()), QStringList());

        // Download over an existing, longer local file: replaced, not appended to.
        QTemporaryDir restore;
        QVERIFY(WriteFile(restore.filePath(name), PatternBytes(size + 5000, 99)));
        QVERIFY(pConnection->GetFile("/" + Utf8(name), Utf8(restore.filePath(name))));
        QCOMPARE(ReadFile(restore.filePath(name)), data);
        QCOMPARE(Leftovers(restore.path()), QStringList());

        // Uploading again replaces the server's copy.
        const QByteArray changed = PatternBytes(size / 2, 3);
        QVERIFY(WriteFile(local.filePath(name), changed));
        QVERIFY(pConnection->PutFile(Utf8(local.filePath(name)), "/" + Utf8(name)));
        QCOMPARE(ReadFile(server.FilePath(name)), changed);

        QVERIFY(pConnection->DeleteFile("/" + Utf8(name)));
        QVERIFY(!QFile::exists(server.FilePath(name)));
        QVERIFY(!pConnection->DeleteFile("/" + Utf8(name))); // already gone
        // The connection survives a refused command.
        QCOMPARE(int(ListRoot(pConnection.get()).result), int(CFtpConnection::ListResult::Empty));
    }

    void writeBehindKeepsEveryByteOrSaysWhy()
    {
        // Pieces of odd sizes across several write-back ranges, then an fsync.
        QTemporaryDir dir;
        const QString strPath = dir.filePath("f.bin");
        const int fd = ::open(QFile::encodeName(strPath).constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        const QByteArray data = PatternBytes(25 * 1024 * 1024 + 11, 4);
        CWriteBehindFile file(fd);
        for (qsizetype nAt = 0, nPiece = 1; nAt < data.size(); nAt += nPiece, nPiece *= 3)
            QVERIFY(file.Write(data.constData() + nAt, std::min(nPiece, data.size() - nAt)));
        QVERIFY(file.Finish());
        ::close(fd);
        QCOMPARE(ReadFile(strPath), data);

        // A full disk fails the write and the fsync after it, and says it was full.
        const int nFull = ::open("/dev/full", O_WRONLY);
        QVERIFY(nFull >= 0);
        CWriteBehindFile full(nFull);
        QVERIFY(!full.Write(data.constData(), 4096));
        QCOMPARE(full.LastErrno(), ENOSPC);
        QVERIFY(!full.Finish());
        ::close(nFull);
    }

    void whatCannotBeSentIsRefused()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("f"), "x"));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        QVERIFY(!pConnection->PutFile("/nonexistent/file", "/f"));
        QVERIFY(!pConnection->PutFile("/dev/zero", "/zero")); // would never end
        QVERIFY(!pConnection->PutFile(Utf8(local.path()), "/folder"));
        QVERIFY(!pConnection->PutFile(Utf8(local.filePath("f")), "/f\r\nDELE /g"));
        QVERIFY(!pConnection->DeleteFile("/f\nRMD /"));
        QVERIFY(!pConnection->GetFile("/missing", Utf8(local.filePath("missing"))));
        QVERIFY(!QFile::exists(local.filePath("missing")));
        QCOMPARE(Leftovers(local.path()), QStringList());
        QCOMPARE(Leftovers(server.Root()), QStringList());
    }

    void failedUploadKeepsTheServersCopy_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("tries");
        QTest::newRow("connection dropped while storing")
            << "drop-stor" << int(FAILURE_CONNECTION_BROKEN) << 1;
        // 226 for every byte, but half of them kept: only the size check can tell.
        QTest::newRow("server kept less") << "short-stor" << int(FAILURE_SIZE_CHECK) << 1;
        // Twice: a broken rename is not taken for a refusal that would send the next file
        // straight under its name.
        QTest::newRow("connection dropped at the rename")
            << "drop-rnto" << int(FAILURE_CONNECTION_BROKEN) << 2;
    }

    void failedUploadKeepsTheServersCopy()
    {
        QFETCH(QString, fault);
        QFETCH(int, failure);
        QFETCH(int, tries);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {fault});
        const QByteArray original = PatternBytes(300000, 1);
        QVERIFY(WriteFile(server.FilePath("keep.bin"), original));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("keep.bin"), PatternBytes(600000, 2)));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        for (int nTry = 1; nTry <= tries; ++nTry) {
            QVERIFY(!pConnection->PutFile(Utf8(local.filePath("keep.bin")), "/keep.bin"));
            QCOMPARE(int(pConnection->LastFailure()), failure);
            QCOMPARE(ReadFile(server.FilePath("keep.bin")), original);
            // The temporary is removed, over a fresh connection when this one broke.
            QTRY_COMPARE(Leftovers(server.Root()), QStringList());
            // No second, unchecked try under the name.
            QCOMPARE(server.CommandCount("STOR"), nTry);
        }
        QCOMPARE(ListRoot(pConnection.get()).entries.size(), size_t(1));
    }

    void newSmallFilesGoStraightToTheirNames()
    {
        // Where nothing holds the name a small file needs no temporary and rename; what a
        // failed store left under the name is removed. A large one still takes the long way.
        for (const char* pszFault : {"", "short-stor", "drop-stor"}) {
            CFtpTestServer server;
            START_OR_SKIP(server, CFtpTestServer::Pyftpdlib,
                          *pszFault ? QStringList{pszFault} : QStringList());
            QTemporaryDir local;
            QVERIFY(WriteFile(local.filePath("small.bin"), PatternBytes(60000, 2)));
            auto pConnection = Connect(server);
            QVERIFY(pConnection);
            pConnection->NextTargetIsNew();
            const bool bSent =
                pConnection->PutFile(Utf8(local.filePath("small.bin")), "/small.bin");
            QCOMPARE(bSent, !*pszFault);
            QCOMPARE(server.CommandCount("RNFR"), 0);
            QTRY_COMPARE(QFile::exists(server.FilePath("small.bin")), bSent);
            if (bSent) {
                QCOMPARE(server.ReadFile("small.bin"), PatternBytes(60000, 2));
                QVERIFY(WriteFile(local.filePath("large.bin"), PatternBytes(200000, 3)));
                pConnection->NextTargetIsNew();
                QVERIFY(pConnection->PutFile(Utf8(local.filePath("large.bin")), "/large.bin"));
                QCOMPARE(server.CommandCount("RNTO"), 1);
                // Told once: the next upload to a name that is there is renamed again.
                QVERIFY(pConnection->PutFile(Utf8(local.filePath("small.bin")), "/small.bin"));
                QCOMPARE(server.CommandCount("RNTO"), 2);
            }
        }
    }

    void refusedRenamesNeverStoreOverTheOldCopy()
    {
        // A server whose file is "in use" for a moment refuses the rename and the probe
        // alike: that file fails in the server's words, the next one is renamed as usual.
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"rnfr-busy=2"});
        const QByteArray original = PatternBytes(100020, 1);
        QVERIFY(server.PutFile("keep.bin", original));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("keep.bin"), PatternBytes(32768, 2)));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        QVERIFY(!pConnection->PutFile(Utf8(local.filePath("keep.bin")), "/keep.bin"));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_RENAME_REFUSED));
        QVERIFY2(pConnection->LastReplyLine().find("used by another process") != std::string::npos,
                 pConnection->LastReplyLine().c_str());
        QCOMPARE(server.ReadFile("keep.bin"), original);
        QTRY_COMPARE(Leftovers(server.Root()), QStringList());
        QCOMPARE(server.CommandCount("STOR"), 1);

        QVERIFY(pConnection->PutFile(Utf8(local.filePath("keep.bin")), "/keep.bin"));
        QCOMPARE(server.ReadFile("keep.bin"), PatternBytes(32768, 2));
        QCOMPARE(server.CommandCount("STOR"), 2);
        QCOMPARE(server.CommandCount("RNTO"), 1);
    }

    void cancelWhileTheRenameIsAnsweredSaysWhatTheServerDid()
    {
        // The server renames at once and answers late; the user cancels meanwhile. The new
        // copy has the name, so the upload is no "cancelled, old copy kept".
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"slow-rnto"});
        QVERIFY(server.PutFile("f.bin", "old"));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("f.bin"), "new copy"));
        std::atomic<bool> bCancel{false};
        auto pConnection = Connect(server, &bCancel);
        QVERIFY(pConnection);
        std::atomic<int> nSent{-1};
        std::thread upload(
            [&] { nSent = pConnection->PutFile(Utf8(local.filePath("f.bin")), "/f.bin") ? 1 : 0; });
        QTRY_COMPARE(server.CommandCount("RNTO"), 1);
        bCancel = true;
        upload.join();
        QCOMPARE(nSent.load(), 1);
        QCOMPARE(server.ReadFile("f.bin"), QByteArray("new copy"));
        QCOMPARE(Leftovers(server.Root()), QStringList());
    }

    void storingDirectlyNeedsTheUsersWord()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"refuse-rename"});
        const QByteArray original = PatternBytes(70000, 1);
        QVERIFY(server.PutFile("f.bin", original));
        QTemporaryDir local;
        const QByteArray data = PatternBytes(60000, 2);
        QVERIFY(WriteFile(local.filePath("f.bin"), data));
        const auto forget = qScopeGuard([] {
            CDirectStoreAccounts::SetAsker(nullptr);
            CDirectStoreAccounts::ForgetAll();
        });
        bool bKeptVersion = false;
        auto upload = [&](const char* pszName) {
            auto pConnection = Connect(server);
            if (!pConnection)
                return false;
            pConnection->KeepReplacedCopyAt("/f.bin~old");
            const bool bSent = pConnection->PutFile(Utf8(local.filePath("f.bin")), pszName);
            bKeptVersion = pConnection->LastKeptVersion();
            return bSent;
        };

        // Nobody to ask (a backup from the command line): the files fail, the old copy stays.
        QVERIFY(!upload("/f.bin"));
        QCOMPARE(server.ReadFile("f.bin"), original);
        QCOMPARE(server.CommandCount("STOR"), 1);
        QCOMPARE(Leftovers(server.Root()), QStringList());

        // Asked once per account, with the server's refusal; agreed, the files go straight
        // under their names, still size-checked.
        CDirectStoreAccounts::ForgetAll();
        m_pSession = std::make_unique<CInternetSession>();
        int nAsked = 0;
        std::string strRefusal;
        CDirectStoreAccounts::SetAsker(
            [&](const std::string&, const std::string&, const std::string& strWhy) {
                ++nAsked;
                strRefusal = strWhy;
                return true;
            });
        QVERIFY(upload("/f.bin"));
        QCOMPARE(server.ReadFile("f.bin"), data);
        QVERIFY(!bKeptVersion); // stored over, so no earlier copy is counted as kept
        QVERIFY(upload("/g.bin"));
        QCOMPARE(server.ReadFile("g.bin"), data);
        QCOMPARE(nAsked, 1);
        QCOMPARE(strRefusal, std::string("550 Rename refused."));
        QCOMPARE(server.CommandCount("STOR"), 1 + 2 + 1); // the second file is sent once
        QCOMPARE(Leftovers(server.Root()), QStringList());
    }

    void sizeCheckNeverTurnsItselfOff_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("first");  // the failure of the first upload, 0: sent
        QTest::addColumn<int>("second"); // of the second
        QTest::addColumn<bool>("unchecked");
        // Without SIZE the size comes from MLST, else from a LIST of the name.
        QTest::newRow("no SIZE, MLST") << QStringList{"size-502"} << 0 << 0 << false;
        QTest::newRow("no SIZE, MLST, server kept more")
            << QStringList{"size-502", "stor-grow"} << int(FAILURE_SIZE_CHECK)
            << int(FAILURE_SIZE_CHECK) << false;
        QTest::newRow("no SIZE, LIST, server kept more")
            << QStringList{"size-502", "no-mlsd", "stor-grow"} << int(FAILURE_SIZE_CHECK)
            << int(FAILURE_SIZE_CHECK) << false;
        // A 550 is about that file: it fails, and the next file is checked again.
        QTest::newRow("550 once") << QStringList{"size-550-once", "stor-grow"}
                                  << int(FAILURE_SERVER_REFUSED) << int(FAILURE_SIZE_CHECK)
                                  << false;
        QTest::newRow("garbled") << QStringList{"size-garbage"} << int(FAILURE_SIZE_CHECK)
                                 << int(FAILURE_SIZE_CHECK) << false;
        QTest::newRow("no way to read a size")
            << QStringList{"size-502", "no-mlsd", "refuse-list"} << 0 << 0 << true;
    }

    void sizeCheckNeverTurnsItselfOff()
    {
        QFETCH(QStringList, faults);
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(bool, unchecked);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, faults);
        const QByteArray original = PatternBytes(5000, 1);
        QVERIFY(server.PutFile("f.bin", original));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("f.bin"), PatternBytes(70000, 2)));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        for (int nExpected : {first, second}) {
            const bool bSent = pConnection->PutFile(Utf8(local.filePath("f.bin")), "/f.bin");
            QCOMPARE(int(pConnection->LastFailure()), nExpected);
            QCOMPARE(bSent, nExpected == 0);
            QCOMPARE(pConnection->LastSentUnchecked(), unchecked);
            if (!bSent)
                QCOMPARE(server.ReadFile("f.bin"), original);
            QTRY_COMPARE(Leftovers(server.Root()), QStringList());
        }
        if (first == int(FAILURE_SERVER_REFUSED))
            QCOMPARE(server.CommandCount("SIZE"), 2);
    }

    void namedPipesAreRefusedWithoutWaiting()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        QVERIFY(::mkfifo(QFile::encodeName(local.filePath("fifo")).constData(), 0600) == 0);
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        // Without a writer, a blocking open of the FIFO would never return.
        QVERIFY(!pConnection->PutFile(Utf8(local.filePath("fifo")), "/fifo"));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_NOT_REGULAR_FILE));
        QVERIFY(!pConnection->PutFile(Utf8(local.path()), "/folder"));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_NOT_REGULAR_FILE));
        QVERIFY(!pConnection->PutFile(Utf8(local.filePath("missing")), "/missing"));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_LOCAL_UNREADABLE));
        QCOMPARE(server.CommandCount("STOR"), 0);
    }

    void restoreKeepsTheModeOfTheFileItReplaces()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QVERIFY(WriteFile(server.FilePath("secret.txt"), "new"));
        const QDateTime written(QDate(2021, 3, 5), QTime(12, 30, 15), Qt::UTC);
        {
            QFile file(server.FilePath("secret.txt"));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
        }
        QTemporaryDir local;
        const QByteArray strOld = QFile::encodeName(local.filePath("secret.txt"));
        QVERIFY(WriteFile(local.filePath("secret.txt"), "old"));
        QVERIFY(::chmod(strOld.constData(), 0600) == 0);
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        QVERIFY(pConnection->GetFile("/secret.txt", Utf8(local.filePath("secret.txt"))));
        QCOMPARE(ReadFile(local.filePath("secret.txt")), QByteArray("new"));
        struct stat info;
        QVERIFY(::stat(strOld.constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0600));
        // ... and the server's time (MDTM).
        QCOMPARE(QFileInfo(local.filePath("secret.txt")).lastModified().toUTC(), written);

        // A file that is new gets the usual mode.
        const mode_t nMask = ::umask(022);
        ::umask(nMask);
        QVERIFY(pConnection->GetFile("/secret.txt", Utf8(local.filePath("fresh.txt"))));
        QVERIFY(::stat(QFile::encodeName(local.filePath("fresh.txt")).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0666 & ~nMask));
        QCOMPARE(Leftovers(local.path()), QStringList());
    }

    void brokenDownloadKeepsTheLocalFile_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("dropped") << QStringList{"drop-retr"};
        QTest::newRow("stalled") << QStringList{"stall-retr"};
        // 226 after half the bytes, and neither SIZE nor the 150 reply told the size: the
        // listing of the file (MLST, else LIST) does.
        QTest::newRow("226 after half, MLST") << QStringList{"retr-short-226", "retr-nosize150"};
        QTest::newRow("226 after half, LIST")
            << QStringList{"retr-short-226", "retr-nosize150", "no-mlsd"};
    }

    void brokenDownloadKeepsTheLocalFile()
    {
        QFETCH(QStringList, faults);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, faults);
        QVERIFY(WriteFile(server.FilePath("doc.bin"), PatternBytes(2000000, 5)));
        QTemporaryDir local;
        const QByteArray mine = PatternBytes(1000, 6);
        QVERIFY(WriteFile(local.filePath("doc.bin"), mine));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!pConnection->GetFile("/doc.bin", Utf8(local.filePath("doc.bin"))));
        QVERIFY2(timer.elapsed() < 60000, "a stalled transfer was not given up");
        if (faults.contains("retr-short-226"))
            QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_DOWNLOAD_SHORT));
        QCOMPARE(ReadFile(local.filePath("doc.bin")), mine);
        QCOMPARE(Leftovers(local.path()), QStringList());
    }

    void brokenTransfersGoOnWhereTheyStopped_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("upload");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("small");
        const int nPy = CFtpTestServer::Pyftpdlib;
        QTest::newRow("upload resumed") << nPy << true << false << false;
        QTest::newRow("restore resumed") << nPy << false << false << false;
        QTest::newRow("upload, server refuses to resume") << nPy << true << true << false;
        QTest::newRow("restore, server refuses to resume") << nPy << false << true << false;
        QTest::newRow("small upload tried again") << nPy << true << false << true;
        QTest::newRow("small restore tried again") << nPy << false << false << true;
        // vsftpd cannot cut a transfer itself: a relay of ours resets it half-way.
        const int nVs = CFtpTestServer::Vsftpd;
        QTest::newRow("vsftpd upload resumed") << nVs << true << false << false;
        QTest::newRow("vsftpd restore resumed") << nVs << false << false << false;
    }

    void brokenTransfersGoOnWhereTheyStopped()
    {
        // The data connection is cut once at half the file. The transfer goes on from the bytes
        // the server (or the local temporary) holds, through the usual checks and rename; a
        // server that will not go on, or a file too small to be worth it, gets the whole file
        // again, and only the server's refusal is reported.
        QFETCH(int, kind);
        QFETCH(bool, upload);
        QFETCH(bool, refused);
        QFETCH(bool, small);
        const CInternetSession::Resume saved = CInternetSession::GetResume();
        const auto restore = qScopeGuard([saved] { CInternetSession::SetResume(saved); });
        const qint64 nSize = 3 << 20;
        const qint64 nCut = nSize / 2;
        CInternetSession::SetResume({5, 10, 100, small ? nSize + 1 : 1 << 20});
        const bool bRelayed = kind == CFtpTestServer::Vsftpd;
        QStringList faults;
        if (!bRelayed)
            faults << QStringLiteral("cut-once=%1").arg(nCut);
        if (refused)
            faults << QStringLiteral("refuse-resume");
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Kind(kind), faults);
        QProcess relay;
        const auto stopRelay = qScopeGuard([&] {
            relay.kill();
            relay.waitForFinished();
        });
        QString strServer = server.ServerText();
        if (bRelayed) {
            relay.start("/usr/bin/python3",
                        {CFtpTestServer::SupportDir() + "/tcprelay.py", "--target",
                         QString::number(server.Port()), "--cut-data-at", QString::number(nCut)});
            QVERIFY(relay.waitForReadyRead(10000));
            const int nRelayPort = relay.readLine().trimmed().toInt();
            strServer = QStringLiteral("127.0.0.1:%1").arg(nRelayPort);
            CClearTextAccounts::Allow(CTrustStore::ServerKey("127.0.0.1", nRelayPort),
                                      Utf8(server.User()));
        }
        // What moved over the data connections: the server's count, or the relay's.
        qint64 nRelayed = 0;
        const auto moved = [&] {
            if (!bRelayed)
                return server.FileBytes(upload);
            while (relay.canReadLine() || relay.waitForReadyRead(0))
                nRelayed += relay.readLine().trimmed().mid(5).toLongLong();
            return nRelayed;
        };
        const QByteArray data = PatternBytes(nSize, 3);
        QTemporaryDir local;
        QVERIFY(upload ? WriteFile(local.filePath("big.bin"), data)
                       : server.PutFile("big.bin", data));
        std::unique_ptr<CFtpConnection> pConnection(CFtpConnection::Connect(
            m_pSession.get(), Utf8(strServer), 21, Utf8(server.User()), Utf8(server.Password())));
        QVERIFY(pConnection);
        const bool bDone = upload
                               ? pConnection->PutFile(Utf8(local.filePath("big.bin")), "/big.bin")
                               : pConnection->GetFile("/big.bin", Utf8(local.filePath("big.bin")));
        QVERIFY2(bDone, server.LogText().toUtf8());
        QCOMPARE(ReadFile(upload ? server.FilePath("big.bin") : local.filePath("big.bin")), data);
        QCOMPARE(Leftovers(server.Root()), QStringList());
        QCOMPARE(Leftovers(local.path()), QStringList());
        // Everything moved: the half before the cut, then the rest or the whole file again.
        QTRY_COMPARE(moved(), refused || small ? nCut + nSize : nSize);
        QCOMPARE(pConnection->LastRestarted(), refused);
        if (refused)
            QVERIFY(QByteArray::fromStdString(pConnection->RestartReplyLine()).startsWith("502"));
    }

    void cancelEndsThePauseBeforeAResume()
    {
        const CInternetSession::Resume saved = CInternetSession::GetResume();
        const auto restore = qScopeGuard([saved] { CInternetSession::SetResume(saved); });
        CInternetSession::SetResume({5, 60000, 60000, 1 << 20});
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"cut-once=1000000"});
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("big.bin"), PatternBytes(2 << 20)));
        std::atomic<bool> bCancel{false};
        auto pConnection = Connect(server, &bCancel);
        QVERIFY(pConnection);
        std::atomic<bool> bEnded{false};
        std::thread upload([&] {
            pConnection->PutFile(Utf8(local.filePath("big.bin")), "/big.bin");
            bEnded = true;
        });
        QTRY_COMPARE(server.FileBytes(true), qint64(1000000));
        bCancel = true;
        QTRY_VERIFY_WITH_TIMEOUT(bEnded, 5000); // not the minute's pause
        upload.join();
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_CANCELLED));
        QVERIFY(!QFile::exists(server.FilePath("big.bin")));
        QTRY_COMPARE(Leftovers(server.Root()), QStringList());
    }

    void stalledUploadFailsAndLeavesNothing()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"stall-stor"});
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("s.bin"), PatternBytes(8 << 20)));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        QVERIFY(!pConnection->PutFile(Utf8(local.filePath("s.bin")), "/s.bin"));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_CONNECTION_BROKEN));
        QVERIFY(!QFile::exists(server.FilePath("s.bin")));
        // The stalled connection cannot delete the temporary; a fresh one does.
        QTRY_COMPARE(Leftovers(server.Root()), QStringList());
    }

    void pooledConnectionsAreReusedAndReplacedWhenStale()
    {
        // A session of its own: earlier tests' idle connections would fill the pool.
        m_pSession = std::make_unique<CInternetSession>();
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        for (int i = 0; i < 3; ++i) {
            auto pConnection = Connect(server);
            QVERIFY(pConnection);
            QCOMPARE(int(ListRoot(pConnection.get()).result),
                     int(CFtpConnection::ListResult::Empty));
        }
        QCOMPARE(server.CommandCount("LOGIN"), 1); // the later jobs took the pooled connection
        // The server goes away and comes back: the pooled connection is dead, and the next
        // connect must log in anew without the caller noticing.
        const int nPort = server.Port();
        server.Stop();
        CFtpTestServer again;
        if (!again.Start(CFtpTestServer::Pyftpdlib, {}, nPort))
            QSKIP("the port could not be taken again");
        auto pConnection = Connect(again);
        QVERIFY(pConnection);
        QVERIFY(WriteFile(again.FilePath("x"), "x"));
        QCOMPARE(ListRoot(pConnection.get()).entries.size(), size_t(1));
    }

    void bothServers_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("vsftpd") << int(CFtpTestServer::Vsftpd);
        QTest::newRow("pyftpdlib") << int(CFtpTestServer::Pyftpdlib);
    }

    void refusedRenameFailsOnlyThatFile_data() { bothServers_data(); }
    void refusedRenameFailsOnlyThatFile()
    {
        QFETCH(int, kind);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Kind(kind));
        QVERIFY(server.MakeFolder("clashdir"));
        const QByteArray original = PatternBytes(300000, 1);
        QVERIFY(server.PutFile("keep.bin", original));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("clashdir"), "in the way"));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);

        // A folder in the way refuses this one rename; the server's own words come along.
        QVERIFY(!pConnection->PutFile(Utf8(local.filePath("clashdir")), "/clashdir"));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_SERVER_REFUSED));
        QVERIFY2(pConnection->LastReplyLine().rfind("550", 0) == 0,
                 pConnection->LastReplyLine().c_str());
        QVERIFY(QFileInfo(server.FilePath("clashdir")).isDir());
        QTRY_COMPARE(Leftovers(server.Root()), QStringList());

        // The safe upload is still on: a later upload that breaks half-way (here, its local
        // file shrinks under it) leaves the old copy whole.
        const QString strShrinking = local.filePath("keep.bin");
        QVERIFY(PutShrinkingFile(*pConnection, strShrinking, "/keep.bin"));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_FILE_CHANGED));
        QCOMPARE(server.ReadFile("keep.bin"), original);
        QTRY_COMPARE(Leftovers(server.Root()), QStringList());

        QVERIFY(pConnection->PutFile(Utf8(strShrinking), "/keep.bin"));
        QCOMPARE(server.ReadFile("keep.bin"), PatternBytes(5 * 1024 * 1024, 2).left(1024 * 1024));
    }

    void failuresNameTheirCause()
    {
        CFtpTestServer quota;
        START_OR_SKIP(quota, CFtpTestServer::Pyftpdlib, {"stor-quota"});
        const QByteArray original = PatternBytes(2000, 1);
        QVERIFY(WriteFile(quota.FilePath("f.bin"), original));
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("f.bin"), PatternBytes(200000, 2)));
        auto pConnection = Connect(quota);
        QVERIFY(pConnection);
        // A server out of room cuts the STOR with 452: that is no broken connection.
        QVERIFY(!pConnection->PutFile(Utf8(local.filePath("f.bin")), "/f.bin"));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_DISK_FULL));
        QCOMPARE(pConnection->LastReplyLine(), std::string("452 Insufficient storage space."));
        QCOMPARE(ReadFile(quota.FilePath("f.bin")), original);

        // A refused DELE says why, in the server's words.
        QVERIFY(!pConnection->DeleteFile("/missing.txt"));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_SERVER_REFUSED));
        QVERIFY(pConnection->LastReplyLine().rfind("550", 0) == 0);

        // A restore that cannot write locally is no unreadable file.
        QVERIFY(QDir(local.path()).mkdir("f.bin.d"));
        const QStringList targets = {local.filePath("f.bin.d"), local.filePath("gone/f.bin"),
                                     QStringLiteral("/proc/f.bin")};
        for (const QString& strTarget : targets) {
            QVERIFY(!pConnection->GetFile("/f.bin", Utf8(strTarget)));
            QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_LOCAL_UNWRITABLE));
        }
        QVERIFY(QFileInfo(local.filePath("f.bin.d")).isDir());
        QCOMPARE(Leftovers(local.path()), QStringList());
    }

    void brokenAndRefusedListingsSayWhy()
    {
        CFtpTestServer cut;
        START_OR_SKIP(cut, CFtpTestServer::Pyftpdlib, {"cut-list"});
        for (int i = 0; i < 200; ++i)
            QVERIFY(WriteFile(cut.FilePath(QString("file-%1.txt").arg(i))));
        auto pConnection = Connect(cut);
        QVERIFY(pConnection);
        Listing listing = ListRoot(pConnection.get());
        QCOMPARE(int(listing.result), int(CFtpConnection::ListResult::Cut));
        QVERIFY(!listing.entries.empty() && listing.entries.size() < 200);
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_CONNECTION_BROKEN));

        CFtpTestServer refusing;
        START_OR_SKIP(refusing, CFtpTestServer::Pyftpdlib, {"refuse-list"});
        pConnection = Connect(refusing);
        QVERIFY(pConnection);
        listing = ListRoot(pConnection.get());
        QCOMPARE(int(listing.result), int(CFtpConnection::ListResult::Failed));
        QCOMPARE(int(pConnection->LastFailure()), int(FAILURE_SERVER_REFUSED));
        QCOMPARE(pConnection->LastReplyLine(), std::string("451 Listing refused."));
    }

    // Runs in a child process of traceShowsNoPassword, with the trace on: a login, a backup
    // and a restore.
    void tracedSession()
    {
        if (!qEnvironmentVariableIsSet("MOSSVALE_TRACE_CHILD"))
            QSKIP("run by traceShowsNoPassword");
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "trace me"));
        auto pConnection = Connect(server);
        QVERIFY(pConnection);
        QVERIFY(pConnection->PutFile(Utf8(local.filePath("a.txt")), "/a.txt"));
        QVERIFY(pConnection->GetFile("/a.txt", Utf8(local.filePath("b.txt"))));
    }

    void traceShowsNoPassword()
    {
        QProcessEnvironment environment;
        environment.insert("MOSSVALE_FTP_TRACE", "1");
        environment.insert("MOSSVALE_TRACE_CHILD", "1");
        const ChildOutcome child = RunTestInChild("tracedSession", environment);
        QVERIFY(child.bFinished);
        QVERIFY2(child.nExitCode == 0, child.output.constData());
        const QByteArray& trace = child.errors;
        QVERIFY2(trace.contains("PASS ****"), trace.constData());
        QVERIFY(trace.contains("STOR ") && trace.contains("RETR "));
        QVERIFY(!trace.contains("secret"));
    }

    void certificateIsReadBeforeTheLogin_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("vsftpd") << int(CFtpTestServer::VsftpdTls);
        QTest::newRow("pyftpdlib") << int(CFtpTestServer::PyftpdlibTls);
    }

    void certificateIsReadBeforeTheLogin()
    {
        QFETCH(int, kind);
        const auto eKind = CFtpTestServer::Kind(kind);
        CFtpTestServer server;
        START_OR_SKIP(server, eKind);
        CertificateInfo info;
        std::string strError;
        QVERIFY2(CCertificateProbe::Probe("127.0.0.1", server.Port(),
                                          CCertificateProbe::ETls::Explicit, 5, info, strError),
                 strError.c_str());
        // The fingerprint other programs show for the same certificate.
        QProcess openssl;
        openssl.start("openssl", {"x509", "-noout", "-fingerprint", "-sha256", "-in",
                                  server.CertificatePath()});
        QVERIFY(openssl.waitForFinished(20000));
        const QByteArray expected = openssl.readAllStandardOutput().trimmed().split('=').last();
        QCOMPARE(QByteArray::fromStdString(info.strSha256), expected);
        QVERIFY(QString::fromStdString(info.strSubject).contains("127.0.0.1"));
        QVERIFY(!info.strNotAfter.empty());
        QVERIFY(info.strPublicKeyPin.rfind("sha256//", 0) == 0);
        // Self-signed: the system's authorities do not vouch for it.
        QVERIFY(!info.bVerified && !info.strProblem.empty());
        QCOMPARE(server.CommandCount("USER") + server.CommandCount("PASS"), 0);

        // A new key is a new certificate and a new pin.
        server.ReplaceKeys();
        QVERIFY(server.Start(eKind));
        CertificateInfo replaced;
        QVERIFY(CCertificateProbe::Probe("127.0.0.1", server.Port(),
                                         CCertificateProbe::ETls::Explicit, 5, replaced, strError));
        QVERIFY(replaced.strSha256 != info.strSha256);
        QVERIFY(replaced.strPublicKeyPin != info.strPublicKeyPin);
    }

    void serverWithoutTlsIsSaidSo()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        CertificateInfo info;
        std::string strError;
        QVERIFY(!CCertificateProbe::Probe("127.0.0.1", server.Port(),
                                          CCertificateProbe::ETls::Explicit, 5, info, strError));
        QCOMPARE(strError, std::string("the server does not offer TLS"));
        QVERIFY(!CCertificateProbe::Probe("127.0.0.1", 1, CCertificateProbe::ETls::Explicit, 5,
                                          info, strError));
    }

    void trustedCertificatesAreKeptPrivately()
    {
        QTemporaryDir folder;
        const std::string strPath = Utf8(folder.filePath("trusted"));
        CTrustStore store(strPath);
        const std::string strLocal = CTrustStore::ServerKey("127.0.0.1", 2121);
        const std::string strV6 = CTrustStore::ServerKey("::1", 990);
        QCOMPARE(strV6, std::string("[::1]:990"));
        QCOMPARE(store.PinOf(strLocal), std::string());
        QVERIFY(store.Trust(strLocal, "sha256//first=", "AA:BB"));
        QVERIFY(store.Trust(strV6, "sha256//other=", "CC:DD"));
        QVERIFY(store.Trust(strLocal, "sha256//second=", "EE:FF"));  // the user trusted anew
        QVERIFY(!store.Trust(strLocal, "sha256//with blank", "00")); // would not read back
        // Another store on the same file, as another window or copy of the program has.
        const CTrustStore again(strPath);
        QCOMPARE(again.PinOf(strLocal), std::string("sha256//second="));
        QCOMPARE(again.PinOf(strV6), std::string("sha256//other="));
        struct stat info;
        QVERIFY(::stat(strPath.c_str(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
    }

    void sftpHostKeyIsTrustedOnFirstUse()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Sftp);
        QTemporaryDir folder;
        const std::string strKnown = Utf8(folder.filePath("known_hosts"));
        const auto probe = [&] {
            HostKeyInfo info;
            std::string strError;
            if (!CHostKeyProbe::Probe("127.0.0.1", server.Port(), strKnown, 5, info, strError))
                qWarning("%s", strError.c_str());
            return info;
        };
        const HostKeyInfo first = probe();
        QCOMPARE(int(first.eMatch), int(HostKeyInfo::Unknown));
        QCOMPARE(first.strType, std::string("ssh-ed25519"));
        QVERIFY2(first.strSha256.rfind("SHA256:", 0) == 0 && first.strSha256.size() == 50,
                 first.strSha256.c_str());
        QVERIFY(CHostKeyProbe::Trust(strKnown, first));
        QCOMPARE(int(probe().eMatch), int(HostKeyInfo::Known));

        // The same server with a new key: refused as changed, never taken as new.
        const int nPort = server.Port();
        server.ReplaceKeys();
        QVERIFY(server.Start(CFtpTestServer::Sftp, {}, nPort));
        const HostKeyInfo changed = probe();
        QCOMPARE(int(changed.eMatch), int(HostKeyInfo::Changed));
        QVERIFY(changed.strSha256 != first.strSha256);
    }

    void explicitTlsTrustedOnFirstUse_data() { certificateIsReadBeforeTheLogin_data(); }
    void explicitTlsTrustedOnFirstUse()
    {
        QFETCH(int, kind);
        const auto eKind = CFtpTestServer::Kind(kind);
        CFtpTestServer server;
        START_OR_SKIP(server, eKind);
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        // Its trust store lives in that folder.
        auto pSession = std::make_unique<CInternetSession>();
        const std::string strServer = "ftpes://" + Utf8(server.ServerText());
        const auto connect = [&](ETransferFailure& eFailure) {
            return std::unique_ptr<CFtpConnection>(
                CFtpConnection::Connect(pSession.get(), strServer, 21, Utf8(server.User()),
                                        Utf8(server.Password()), &eFailure));
        };
        ETransferFailure eFailure = FAILURE_NONE;
        QVERIFY(!connect(eFailure)); // self-signed, and not trusted yet
        QCOMPARE(int(eFailure), int(FAILURE_CERTIFICATE_UNTRUSTED));

        CertificateInfo info;
        std::string strError;
        QVERIFY(CCertificateProbe::Probe("127.0.0.1", server.Port(),
                                         CCertificateProbe::ETls::Explicit, 5, info, strError));
        QVERIFY(pSession->TrustStore()->Trust(CTrustStore::ServerKey("127.0.0.1", server.Port()),
                                              info.strPublicKeyPin, info.strSha256));
        auto pConnection = connect(eFailure);
        QVERIFY2(pConnection, qPrintable(server.LogText()));
        // Two uploads on one connection, byte for byte, then back, listed and deleted.
        QTemporaryDir local;
        const QByteArray big = PatternBytes(5 * 1024 * 1024, 3);
        const QByteArray small = PatternBytes(300000, 4);
        QVERIFY(WriteFile(local.filePath("big.bin"), big));
        QVERIFY(WriteFile(local.filePath("small.bin"), small));
        QVERIFY(pConnection->PutFile(Utf8(local.filePath("big.bin")), "/big.bin"));
        QVERIFY2(pConnection->PutFile(Utf8(local.filePath("small.bin")), "/small.bin"),
                 pConnection->LastReplyLine().c_str());
        QCOMPARE(server.ReadFile("big.bin"), big);
        QCOMPARE(server.ReadFile("small.bin"), small);
        QCOMPARE(ListRoot(pConnection.get()).entries.size(), size_t(2));
        QVERIFY(pConnection->GetFile("/big.bin", Utf8(local.filePath("back.bin"))));
        QCOMPARE(ReadFile(local.filePath("back.bin")), big);
        QVERIFY(pConnection->DeleteFile("/small.bin"));
        // Broken half-way over TLS: the old copy stays, no temporary is left.
        QVERIFY(PutShrinkingFile(*pConnection, local.filePath("shrinking.bin"), "/big.bin"));
        QCOMPARE(server.ReadFile("big.bin"), big);
        QCOMPARE(Leftovers(server.Root()), QStringList());
        pConnection.reset();

        // The same server with a new key is refused, never used silently.
        const int nPort = server.Port();
        server.ReplaceKeys();
        QVERIFY(server.Start(eKind, {}, nPort));
        pSession = std::make_unique<CInternetSession>(); // no pooled connection of the old one
        QVERIFY(!connect(eFailure));
        QCOMPARE(int(eFailure), int(FAILURE_CERTIFICATE_CHANGED));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void tlsThatIsNotOfferedFails()
    {
        // ftpes:// demands TLS; no scheme asks for it and goes in clear only for an account
        // whose user agreed. The password never goes out in clear otherwise.
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib);
        const std::string strKey = CTrustStore::ServerKey("127.0.0.1", server.Port());
        const std::string strUser = Utf8(server.User());
        const auto connect = [&](const std::string& strServer, ETransferFailure& eFailure) {
            return std::unique_ptr<CFtpConnection>(CFtpConnection::Connect(
                m_pSession.get(), strServer, 21, strUser, Utf8(server.Password()), &eFailure));
        };
        ETransferFailure eFailure = FAILURE_NONE;
        QVERIFY(!connect("ftpes://" + Utf8(server.ServerText()), eFailure));
        QCOMPARE(int(eFailure), int(FAILURE_NO_TLS));
        CClearTextAccounts::Forget(strKey, strUser);
        for (const char* pszScheme : {"", "ftp://"}) {
            QVERIFY(!connect(pszScheme + Utf8(server.ServerText()), eFailure));
            QCOMPARE(int(eFailure), int(FAILURE_NO_TLS));
        }
        QCOMPARE(server.CommandCount("PASS"), 0);
        CClearTextAccounts::Allow(strKey, strUser);
        QVERIFY(connect(Utf8(server.ServerText()), eFailure));
        QVERIFY(!connect("ftpes://" + Utf8(server.ServerText()), eFailure)); // still demanded
    }

    void tlsIsTakenWheneverOfferedAndItsLossIsRefused()
    {
        // The user let this account go in clear while its server offered no TLS. A server that
        // offers TLS (without demanding it) gets it anyway, and the consent goes with that:
        // should TLS then vanish, no password goes in clear without asking again. TLS that
        // breaks after AUTH is never a reason to go on in clear, and a server that refuses
        // TLS 1.2 is reached over 1.3; failures of TLS itself are named as such.
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
        CInternetSession session;
        const auto connect = [&](const CFtpTestServer& server, const std::string& strScheme,
                                 ETransferFailure& eFailure) {
            return std::unique_ptr<CFtpConnection>(
                CFtpConnection::Connect(&session, strScheme + Utf8(server.ServerText()), 21,
                                        Utf8(server.User()), Utf8(server.Password()), &eFailure));
        };
        const auto trust = [&](const CFtpTestServer& server) {
            CertificateInfo info;
            std::string strError;
            return CCertificateProbe::Probe("127.0.0.1", server.Port(),
                                            CCertificateProbe::ETls::Explicit, 5, info, strError) &&
                   session.TrustStore()->Trust(CTrustStore::ServerKey("127.0.0.1", server.Port()),
                                               info.strPublicKeyPin, info.strSha256);
        };
        ETransferFailure eFailure = FAILURE_NONE;

        CFtpTestServer optional;
        START_OR_SKIP(optional, CFtpTestServer::PyftpdlibTls, {"tls-optional"});
        const std::string strKey = CTrustStore::ServerKey("127.0.0.1", optional.Port());
        const std::string strUser = Utf8(optional.User());
        QVERIFY(trust(optional));
        CClearTextAccounts::Allow(strKey, strUser);
        const int nAuthBefore = optional.CommandCount("AUTH"); // the probe's
        auto pConnection = connect(optional, "", eFailure);
        QVERIFY2(pConnection && pConnection->IsEncrypted(), qPrintable(optional.LogText()));
        QCOMPARE(optional.CommandCount("AUTH"), nAuthBefore + 1);
        QVERIFY(!CClearTextAccounts::IsAllowed(strKey, strUser));
        pConnection.reset();
        session.Pool()->Close();

        const int nPort = optional.Port();
        optional.Stop();
        CFtpTestServer stripped;
        START_OR_SKIP(stripped, CFtpTestServer::Pyftpdlib, {}, nPort);
        CClearTextAccounts::Forget(strKey, strUser); // the test server's own consent
        QVERIFY(!connect(stripped, "", eFailure));
        QCOMPARE(int(eFailure), int(FAILURE_NO_TLS));
        QCOMPARE(stripped.CommandCount("PASS"), 0);

        CFtpTestServer garbage;
        START_OR_SKIP(garbage, CFtpTestServer::PyftpdlibTls, {"auth-garbage", "tls-optional"});
        CClearTextAccounts::Allow(CTrustStore::ServerKey("127.0.0.1", garbage.Port()), strUser);
        QVERIFY(!connect(garbage, "", eFailure));
        QCOMPARE(int(eFailure), int(FAILURE_TLS_HANDSHAKE));
        QCOMPARE(garbage.CommandCount("PASS"), 0);

        CFtpTestServer tls13;
        START_OR_SKIP(tls13, CFtpTestServer::PyftpdlibTls, {"tls13-only"});
        QVERIFY(trust(tls13));
        pConnection = connect(tls13, "ftpes://", eFailure);
        QVERIFY2(pConnection, qPrintable(QString::number(eFailure) + tls13.LogText()));
        QTemporaryDir local;
        const QByteArray data = PatternBytes(300000, 5);
        QVERIFY(WriteFile(local.filePath("up.bin"), data));
        QVERIFY(pConnection->PutFile(Utf8(local.filePath("up.bin")), "/up.bin"));
        QVERIFY(pConnection->GetFile("/up.bin", Utf8(local.filePath("down.bin"))));
        QCOMPARE(tls13.ReadFile("up.bin"), data);
        QCOMPARE(ReadFile(local.filePath("down.bin")), data);
    }

    void otherDaemonsKeepEveryPromise_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("proftpd") << int(CFtpTestServer::ProFtpd);
        QTest::newRow("proftpd-tls") << int(CFtpTestServer::ProFtpdTls);
        QTest::newRow("pure-ftpd") << int(CFtpTestServer::PureFtpd);
        QTest::newRow("pure-ftpd-tls") << int(CFtpTestServer::PureFtpdTls);
    }

    void otherDaemonsKeepEveryPromise()
    {
        // ProFTPD and Pure-FTPd as Debian ships them: byte for byte both ways, a file replaced
        // and listed, and a broken upload that keeps the old copy.
        QFETCH(int, kind);
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Kind(kind));
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
        CInternetSession session;
        if (kind == CFtpTestServer::ProFtpdTls || kind == CFtpTestServer::PureFtpdTls) {
            CertificateInfo info;
            std::string strError;
            QVERIFY2(CCertificateProbe::Probe("127.0.0.1", server.Port(),
                                              CCertificateProbe::ETls::Explicit, 5, info, strError),
                     strError.c_str());
            QVERIFY(session.TrustStore()->Trust(CTrustStore::ServerKey("127.0.0.1", server.Port()),
                                                info.strPublicKeyPin, info.strSha256));
        }
        ETransferFailure eFailure = FAILURE_NONE;
        std::unique_ptr<CFtpConnection> pConnection(
            CFtpConnection::Connect(&session, Utf8(server.ServerText()), 21, Utf8(server.User()),
                                    Utf8(server.Password()), &eFailure));
        QVERIFY2(pConnection, qPrintable(QString::number(eFailure) + server.LogText()));
        QCOMPARE(pConnection->IsEncrypted(),
                 kind == CFtpTestServer::ProFtpdTls || kind == CFtpTestServer::PureFtpdTls);
        QTemporaryDir local;
        const QByteArray data = PatternBytes(3 * 1024 * 1024 + 17, 6);
        QVERIFY(WriteFile(local.filePath("up.bin"), data));
        QVERIFY(server.PutFile("keep.bin", "old copy"));
        QVERIFY2(pConnection->PutFile(Utf8(local.filePath("up.bin")), "/up.bin"),
                 pConnection->LastReplyLine().c_str());
        QVERIFY(pConnection->PutFile(Utf8(local.filePath("up.bin")), "/keep.bin"));
        QCOMPARE(server.ReadFile("up.bin"), data);
        QCOMPARE(server.ReadFile("keep.bin"), data);
        const Listing listing = ListRoot(pConnection.get());
        QCOMPARE(listing.entries.at("keep.bin").nSize, std::int64_t(data.size()));
        QVERIFY(pConnection->GetFile("/keep.bin", Utf8(local.filePath("down.bin"))));
        QCOMPARE(ReadFile(local.filePath("down.bin")), data);
        QVERIFY(PutShrinkingFile(*pConnection, local.filePath("s.bin"), "/keep.bin"));
        QCOMPARE(server.ReadFile("keep.bin"), data);
        QTRY_COMPARE(Leftovers(server.Root()), QStringList());
    }

    void certificateProbeGivesUpOnEndlessGreetings()
    {
        CFtpTestServer server;
        START_OR_SKIP(server, CFtpTestServer::Pyftpdlib, {"greeting-flood"});
        CertificateInfo info;
        std::string strError;
        QVERIFY(!CCertificateProbe::Probe("127.0.0.1", server.Port(),
                                          CCertificateProbe::ETls::Explicit, 60, info, strError));
        QCOMPARE(strError, std::string("the server's reply does not end"));
        // Cancel ends it at once, wherever the greeting is.
        std::atomic<bool> bCancel{true};
        QVERIFY(!CCertificateProbe::Probe("127.0.0.1", server.Port(),
                                          CCertificateProbe::ETls::Explicit, 60, info, strError,
                                          &bCancel));
        QCOMPARE(strError, std::string("cancelled"));
    }

    void nothingSecretCrossesTheControlConnection()
    {
        // What someone between client and server sees of the control connection: the login
        // in clear on a plain server (so the capture works), nothing readable over TLS.
        CFtpTestServer tls;
        START_OR_SKIP(tls, CFtpTestServer::PyftpdlibTls);
        CFtpTestServer plain;
        START_OR_SKIP(plain, CFtpTestServer::Pyftpdlib);
        QTemporaryDir work;
        QVERIFY(WriteFile(work.filePath("secret.bin"), "SECRET-FILE-BYTES-" + PatternBytes(5000)));
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
        auto pSession = std::make_unique<CInternetSession>();

        const auto capture = [&](const CFtpTestServer& server) {
            const QString strCapture = work.filePath(QString::number(server.Port()) + ".cap");
            QProcess relay;
            relay.start("/usr/bin/python3",
                        {CFtpTestServer::SupportDir() + "/tcprelay.py", "--target",
                         QString::number(server.Port()), "--capture", strCapture});
            if (!relay.waitForReadyRead(10000))
                return QByteArray("relay did not start");
            const int nPort = relay.readLine().trimmed().toInt();
            const std::string strKey = CTrustStore::ServerKey("127.0.0.1", nPort);
            if (server.ServerKind() == CFtpTestServer::Pyftpdlib)
                CClearTextAccounts::Allow(strKey, Utf8(server.User()));
            CertificateInfo info;
            std::string strError;
            if (CCertificateProbe::Probe("127.0.0.1", nPort, CCertificateProbe::ETls::Explicit, 5,
                                         info, strError))
                pSession->TrustStore()->Trust(strKey, info.strPublicKeyPin, info.strSha256);
            ETransferFailure eFailure = FAILURE_NONE;
            std::unique_ptr<CFtpConnection> pConnection(
                CFtpConnection::Connect(pSession.get(), "127.0.0.1:" + std::to_string(nPort), 21,
                                        Utf8(server.User()), Utf8(server.Password()), &eFailure));
            if (!pConnection || !pConnection->PutFile(Utf8(work.filePath("secret.bin")), "/s.bin"))
                return QByteArray("no transfer: ") +
                       QByteArray::number(pConnection ? pConnection->LastFailure() : eFailure);
            pConnection.reset();
            pSession->Pool()->Close();
            relay.terminate();
            relay.waitForFinished();
            return ReadFile(strCapture);
        };
        const QByteArray clear = capture(plain);
        QVERIFY2(clear.contains("PASS " + plain.Password().toUtf8()), clear.left(200));
        const QByteArray encrypted = capture(tls);
        QVERIFY2(encrypted.contains("AUTH TLS"), encrypted.left(200));
        for (const QByteArray& secret : {QByteArray("PASS"), QByteArray("USER"),
                                         tls.Password().toUtf8(), QByteArray("SECRET-FILE")})
            QVERIFY2(!encrypted.contains(secret), secret.constData());
        QCOMPARE(tls.ReadFile("s.bin"), ReadFile(work.filePath("secret.bin")));
    }
};

QTEST_GUILESS_MAIN(TestFtpClient)
#include "tst_ftpclient.moc"
