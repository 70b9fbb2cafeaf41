// The listing parser against lines real servers sent. Sources: vsftpd 3.0.3 and pyftpdlib 1.5.7
// captured on this project's test machine; proftpd, pure-ftpd, FileZilla Server 0.9.41, IIS and
// other servers as quoted in public bug reports, client test suites and RFC 3659's examples.
#include "transfer/EntryDate.h"
#include "transfer/FtpListParser.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QtTest>

#include <cstdlib>
#include <ctime>

namespace {

std::time_t Utc(const char* szWhen)
{
    if (!szWhen || !*szWhen)
        return 0;
    QDateTime when =
        QDateTime::fromString(QString::fromLatin1(szWhen), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!when.isValid())
        when =
            QDateTime::fromString(QString::fromLatin1(szWhen), QStringLiteral("yyyy-MM-dd HH:mm"));
    return static_cast<std::time_t>(
        QDateTime(when.date(), when.time(), Qt::UTC).toSecsSinceEpoch());
}

// The moment the vsftpd and pyftpdlib lines were captured; dates without a year are read from it.
const std::time_t CAPTURED = Utc("2026-12-07 06:00");

std::string Str(const QByteArray& bytes)
{
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::vector<FtpFileInfo> ParseAll(CFtpListParser::Format format, const std::string& strText,
                                  std::size_t nChunk = 0, std::time_t tNow = CAPTURED)
{
    CFtpListParser parser(format, tNow);
    std::vector<FtpFileInfo> entries;
    if (nChunk == 0)
        nChunk = strText.size() + 1;
    for (std::size_t i = 0; i < strText.size(); i += nChunk)
        parser.Feed(strText.data() + i, std::min(nChunk, strText.size() - i), entries);
    parser.Finish(entries);
    return entries;
}

bool SameEntries(const std::vector<FtpFileInfo>& a, const std::vector<FtpFileInfo>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].strName != b[i].strName || a[i].nSize != b[i].nSize ||
            a[i].tLastWrite != b[i].tLastWrite || a[i].dwFileAttributes != b[i].dwFileAttributes)
            return false;
    }
    return true;
}

// A line and the entry it must give; "when" in UTC, empty when the line has no date.
void Row(const char* szTag, const char* szLine, const char* szName, qint64 nSize, bool bFolder,
         const char* szWhen)
{
    QTest::newRow(szTag) << QByteArray(szLine) << QByteArray(szName) << nSize << bFolder
                         << QByteArray(szWhen);
}

void AddEntryColumns()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<qint64>("nSize");
    QTest::addColumn<bool>("bFolder");
    QTest::addColumn<QByteArray>("when"); // UTC; empty when the line gives none
}

void CompareEntry(const FtpFileInfo& entry)
{
    QFETCH(QByteArray, name);
    QFETCH(qint64, nSize);
    QFETCH(bool, bFolder);
    QFETCH(QByteArray, when);
    QCOMPARE(QByteArray::fromStdString(entry.strName), name);
    QCOMPARE(entry.nSize, nSize);
    QCOMPARE(entry.dwFileAttributes, bFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL);
    QCOMPARE(entry.tLastWrite, Utc(when.constData()));
}

} // namespace

class TestFtpListParser : public QObject
{
    Q_OBJECT

private slots:
    void unixLines_data()
    {
        AddEntryColumns();
        // vsftpd 3.0.3: numeric ids, zero-padded days, names exactly as stored.
        Row("vsftpd file", "-rw-r--r--    1 0        0               2 Dec 07 05:52 big.bin",
            "big.bin", 2, false, "2026-12-07 05:52");
        Row("vsftpd 4 GiB + 2048",
            "-rw-r--r--    1 0        0        4294969344 Dec 07 05:52 big.bin", "big.bin",
            4294969344LL, false, "2026-12-07 05:52");
        Row("vsftpd folder", "drwxr-xr-x    2 0        0            4096 Dec 06 23:59 folder",
            "folder", 4096, true, "2026-12-06 23:59");
        Row("vsftpd leading blank",
            "-rw-r--r--    1 0        0               2 Dec 07 05:52  leading space",
            " leading space", 2, false, "2026-12-07 05:52");
        Row("vsftpd two blanks",
            "-rw-r--r--    1 0        0               2 Dec 07 05:52 name with  two spaces",
            "name with  two spaces", 2, false, "2026-12-07 05:52");
        Row("vsftpd trailing blank",
            "-rw-r--r--    1 0        0               2 Dec 07 05:52 trailing space ",
            "trailing space ", 2, false, "2026-12-07 05:52");
        Row("vsftpd UTF-8 and #",
            "-rw-r--r--    1 0        0               2 Dec 07 05:52 caf\xc3\xa9 #1.txt",
            "caf\xc3\xa9 #1.txt", 2, false, "2026-12-07 05:52");
        Row("vsftpd year", "-rw-r--r--    1 0        0               4 Mar 05  2021 old.txt",
            "old.txt", 4, false, "2021-03-05 00:00");
        Row("vsftpd link",
            "lrwxrwxrwx    1 0        0               7 Dec 07 05:52 link -> old.txt", "link", 7,
            false, "2026-12-07 05:52");
        Row("vsftpd device", "crw-r--r--    1 0        0               0 Dec 07 05:52 null", "null",
            0, false, "2026-12-07 05:52");
        Row("vsftpd 2.3.4", "drwxr-xr-x    6 1000     1000         4096 Apr 28  2010 vulnerable",
            "vulnerable", 4096, true, "2010-04-28 00:00");
        // pyftpdlib 1.5.7: an owner name wider than its column pushes the rest along.
        Row("pyftpdlib", "-rw-r--r--   1 root     root     4294969344 Dec 07 05:52 big.bin",
            "big.bin", 4294969344LL, false, "2026-12-07 05:52");
        Row("pyftpdlib wide owner",
            "-rw-rw-r--   1 mossvale-ftp mossvale-ftp        3 Dec 07 05:52 up-vsftpd.txt",
            "up-vsftpd.txt", 3, false, "2026-12-07 05:52");
        Row("pyftpdlib leading blank",
            "-rw-r--r--   1 root     root            2 Dec 07 05:52  leading space",
            " leading space", 2, false, "2026-12-07 05:52");
        // proftpd lists "." and ".." with LIST -a; they are entries here, the job decides.
        Row("proftpd dot", "drwxrws---   5 homologftp 1051         4096 Aug  4 15:54 .", ".", 4096,
            true, "2026-08-04 15:54");
        Row("proftpd file", "-rw-r-----   1 user group         0 Aug 22 03:45 test1", "test1", 0,
            false, "2026-08-22 03:45");
        // pure-ftpd, listing a path.
        Row("pure-ftpd",
            "-rwxr-xr-x    1 1001       www            692079 Jul 12 14:12 /pm/nmon16g_x86.tar.gz",
            "/pm/nmon16g_x86.tar.gz", 692079, false, "2026-07-12 14:12");
        // FileZilla Server 0.9.41 ("UNIX emulated by FileZilla").
        Row("FileZilla Server folder",
            "drwxr-xr-x 1 ftp ftp              0 Sep 14  2021 AccountPictures", "AccountPictures",
            0, true, "2021-09-14 00:00");
        Row("FileZilla Server file", "-r--r--r-- 1 ftp ftp            174 Jul 16  2016 desktop.ini",
            "desktop.ini", 174, false, "2016-07-16 00:00");
        Row("FileZilla Server blank",
            "drwxr-xr-x 1 ftp ftp              0 Jun 08 10:02 venta 20210606", "venta 20210606", 0,
            true, "2026-06-08 10:02");
        // busybox ftpd (its own ls -lA).
        Row("busybox", "-rw-r--r--    1 root     root         12288 Jan  1 00:04 settings.db",
            "settings.db", 12288, false, "2026-01-01 00:04");
        // No group column, ACL marks (an NSIDC server); an Oracle host without owner or group.
        Row("no group, ACL", "-rw-------+   1 9469            0 May  6  2011 .Xauthority",
            ".Xauthority", 0, false, "2011-05-06 00:00");
        Row("no group, link",
            "lrwxrwxrwx    1 0              12 Oct 20  2010 DATASETS -> pub/DATASETS", "DATASETS",
            12, false, "2010-10-20 00:00");
        Row("no group, folder", "drwxrwx---    4 9450            8 Mar 31 13:08 ftp_reports",
            "ftp_reports", 8, true, "2026-03-31 13:08");
        Row("owner only", "-rw-r--r-- 1 oinstall 65536 Jul 25 15:01 csxl20170724.dmp",
            "csxl20170724.dmp", 65536, false, "2026-07-25 15:01");
        Row("no owner, no group", "-r--r--r-- 0125039 12 Nov 11 2005 53-noownergroup file",
            "53-noownergroup file", 12, false, "2005-11-11 00:00");
        Row("domain owner", "-rw-r--r--   1 group domain user 531 Jan 29 03:26 13-unix-domain file",
            "13-unix-domain file", 531, false, "2026-01-29 03:26");
        // Old-style lines from ftpparse's and FileZilla's collections.
        Row("ftpparse folder",
            "dr-xr-xr-x   2 root     other        512 Apr  8  1994 01-unix-std dir",
            "01-unix-std dir", 512, true, "1994-04-08 00:00");
        Row("ftpparse link",
            "lrwxrwxrwx   1 root     other          7 Jan 25 00:17 04-unix-std link -> usr/bin",
            "04-unix-std link", 7, false, "2026-01-25 00:17");
        Row("long-iso date",
            "-rw-r--r--   1 root     other        531 2005-06-07 21:22 07-unix-date file",
            "07-unix-date file", 531, false, "2005-06-07 21:22");
        Row("day before month",
            "drwxrwxrwx   1 0        0               0 29 Jul 02:27 2014 Invoices", "2014 Invoices",
            0, true, "2026-07-29 02:27");
        Row("24:00",
            "-rw-------      1  99999999 0              3 Apr   4 24:00 alternate_midnight",
            "alternate_midnight", 3, false, "2026-04-05 00:00");
        // Mozilla's case: the name starts with a blank after the year's column.
        Row("blank after year", "-rw-rw-r--    1 500      500             0 Jan 01  2000  file2",
            " file2", 0, false, "2000-01-01 00:00");
        // GNU ls output of device files, "major, minor" where the size would be.
        Row("char device", "crw-rw-rw- 1 root root 1, 3 Dec  7 04:59 null", "null", 0, false,
            "2026-12-07 04:59");
        Row("size 2^64", "-rw-r--r-- 1 0 0 18446744073709551616 Mar 05  2021 huge", "huge", -1,
            false, "2021-03-05 00:00");
        Row("size -5", "-rw-r--r-- 1 0 0 -5 Mar 05  2021 minus", "minus", -1, false,
            "2021-03-05 00:00");
        Row("size 12abc", "-rw-r--r-- 1 ftp ftp 12abc Mar 05  2021 letters", "letters", -1, false,
            "2021-03-05 00:00");
        Row("block device", "brw------- 1 root root 7, 0 Dec  7 04:59 loop0", "loop0", 0, false,
            "2026-12-07 04:59");
    }

    void unixLines()
    {
        QFETCH(QByteArray, line);
        FtpFileInfo entry;
        QVERIFY(CFtpListParser::ParseListLine(Str(line), CAPTURED, entry));
        CompareEntry(entry);
    }

    void dosLines_data()
    {
        AddEntryColumns();
        // IIS in its MS-DOS style: the name starts at a fixed column, "<DIR>" is padded to it.
        Row("IIS folder", "04-27-00  12:09PM       <DIR>          licensed", "licensed", 0, true,
            "2000-04-27 12:09");
        Row("IIS file", "04-14-00  03:47PM                  589 readme.htm", "readme.htm", 589,
            false, "2000-04-14 15:47");
        Row("IIS 1996", "02-05-96  10:48AM                 1415 src.slf", "src.slf", 1415, false,
            "1996-02-05 10:48");
        Row("IIS four-digit year", "02-27-2014  10:38AM       <DIR>          aspnet_client",
            "aspnet_client", 0, true, "2014-02-27 10:38");
        Row("IIS 12 AM", "01-15-21  12:04AM                    7 midnight.txt", "midnight.txt", 7,
            false, "2021-01-15 00:04");
        Row("IIS 12 PM", "01-15-21  12:04PM       <DIR>          noon", "noon", 0, true,
            "2021-01-15 12:04");
        Row("IIS folder, blanks", "01-15-21  03:04PM       <DIR>            two leading",
            "  two leading", 0, true, "2021-01-15 15:04");
        Row("IIS file, blanks", "01-15-21  03:04PM                 1234  lead and  inner ",
            " lead and  inner ", 1234, false, "2021-01-15 15:04");
        Row("IIS 64-bit", "01-15-21  03:04PM           4294969344 big.bin", "big.bin", 4294969344LL,
            false, "2021-01-15 15:04");
        // 24-hour clocks, ISO dates, grouped sizes.
        Row("24-hour", "01-15-2021  15:04  1234 name", "name", 1234, false, "2021-01-15 15:04");
        Row("ISO folder", "2002-09-02  18:48       <DIR>          18-dos-longyear dir",
            "18-dos-longyear dir", 0, true, "2002-09-02 18:48");
        Row("grouped size", "2002-09-02  19:06                9,730 19-dos-longyear file",
            "19-dos-longyear file", 9730, false, "2002-09-02 19:06");
        Row("size 12abc", "01-15-21  03:04PM                12abc odd.txt", "odd.txt", -1, false,
            "2021-01-15 15:04");
        Row("spaced PM", "10-05-2020 03:04 PM <DIR> name", "name", 0, true, "2020-10-05 15:04");
    }

    void dosLines()
    {
        QFETCH(QByteArray, line);
        FtpFileInfo entry;
        QVERIFY(CFtpListParser::ParseListLine(Str(line), CAPTURED, entry));
        CompareEntry(entry);
    }

    void mlsdLines_data()
    {
        AddEntryColumns();
        // RFC 3659's own examples.
        Row("RFC file", "Type=file;Size=44242;Modify=19990217230400; character-sets",
            "character-sets", 44242, false, "1999-02-17 23:04");
        Row("RFC folder", "Type=dir;Modify=19990219073522; media-types", "media-types", 0, true,
            "1999-02-19 07:35:22");
        // pyftpdlib 1.5.7.
        Row("pyftpdlib",
            "modify=20261207055249;perm=radfwMT;size=4294969344;type=file;unique=fe00ga728ba; "
            "big.bin",
            "big.bin", 4294969344LL, false, "2026-12-07 05:52:49");
        Row("pyftpdlib blanks",
            "modify=20261207055249;perm=radfwMT;size=2;type=file;unique=fe00ga728b8;  leading "
            "space",
            " leading space", 2, false, "2026-12-07 05:52:49");
        Row("pyftpdlib trailing",
            "modify=20261207055249;perm=radfwMT;size=2;type=file;unique=fe00ga728b9; trailing "
            "space ",
            "trailing space ", 2, false, "2026-12-07 05:52:49");
        Row("pyftpdlib folder",
            "modify=20261206235900;perm=eldfmMTcp;size=4096;type=dir;unique=fe00ga728b6; folder",
            "folder", 4096, true, "2026-12-06 23:59");
        // proftpd, including an empty fact value.
        Row("proftpd",
            "modify=20200926030759;perm=adfr;size=10402700;type=file;unique=48UC01;UNIX.group=33;"
            "UNIX.groupname=autotier;UNIX.mode=0644;UNIX.owner=33;UNIX.ownername=anonftp; "
            "c1600-nosy-l.122-5a.bin",
            "c1600-nosy-l.122-5a.bin", 10402700, false, "2020-09-26 03:07:59");
        Row("proftpd empty perm",
            "modify=20080426135501;perm=;size=65718921;type=file;unique=802U1066013B;UNIX.group="
            "1179;UNIX.mode=00;UNIX.owner=1179; 75 MLSD file with empty permissions",
            "75 MLSD file with empty permissions", 65718921, false, "2008-04-26 13:55:01");
        // pure-ftpd gives a folder's size as "sizd", which is not a file size.
        Row("pure-ftpd file",
            "type=file;size=6106;modify=20070223082414;UNIX.mode=0644;UNIX.uid=32257;UNIX.gid="
            "32259;unique=808g154c727; prog",
            "prog", 6106, false, "2007-02-23 08:24:14");
        Row("pure-ftpd folder",
            "type=dir;sizd=4096;modify=20070218021044;UNIX.mode=0755;UNIX.uid=32257;UNIX.gid=32259;"
            "unique=808g1550003; prog",
            "prog", 0, true, "2007-02-18 02:10:44");
        // Oddities FileZilla's suite collected from the wild.
        Row("fact case", "Type=file;mOdIfY=20081105165215;size=1234; 72-MLSD-file", "72-MLSD-file",
            1234, false, "2008-11-05 16:52:15");
        Row("whitespace leading", "Type=file; \t 75-MLSD-whitespace leading",
            "\t 75-MLSD-whitespace leading", 0, false, "");
        Row("tab separator",
            "size=1365694195;type=file;modify=20090722092510;\tadsl TV 2009-07-22 08-25-10 78 mlsd "
            "file",
            "adsl TV 2009-07-22 08-25-10 78 mlsd file", 1365694195, false, "2009-07-22 09:25:10");
        Row("no final semicolon", "type=file 77 MLSD file no trailing semicolon",
            "77 MLSD file no trailing semicolon", 0, false, "");
        Row("symlink", "type=OS.unix=slink:/foo; 76 MLSD symlink", "76 MLSD symlink", 0, false, "");
        Row("before 1970", "Type=file;mOdIfY=19681105165215;size=1234; MLSD pre-epoch",
            "MLSD pre-epoch", 1234, false, "1968-11-05 16:52:15");
        Row("fractional seconds",
            "type=file;size=1234;modify=20200303092200.123;perm=adfrw; report.txt", "report.txt",
            1234, false, "2020-03-03 09:22");
        // What parsing leaves to the caller: names a job must refuse still come through as sent.
        Row("bare CR in name", "type=file;size=1024;modify=20210305000000; cr\rinside.txt",
            "cr\rinside.txt", 1024, false, "2021-03-05 00:00");
        Row("slash and dots", "type=file;size=1024;modify=20210305000000; ../escape.txt",
            "../escape.txt", 1024, false, "2021-03-05 00:00");
        // Facts a careless parser would trust.
        // A size that is no number is kept as unknown (-1): the file can still be seen,
        // restored and deleted.
        Row("size overflows", "type=file;size=99999999999999999999;modify=20210305000000; huge",
            "huge", -1, false, "2021-03-05 00:00");
        Row("negative size", "type=file;size=-5;modify=20210305000000; minus", "minus", -1, false,
            "2021-03-05 00:00");
        Row("bad date", "type=file;size=5;modify=20210230000000; feb30", "feb30", 5, false, "");
        Row("short date", "type=file;size=5;modify=2021; short", "short", 5, false, "");
    }

    void mlsdLines()
    {
        QFETCH(QByteArray, line);
        FtpFileInfo entry;
        QVERIFY(CFtpListParser::ParseMlsdLine(Str(line), entry));
        CompareEntry(entry);
    }

    void notEntries_data()
    {
        QTest::addColumn<bool>("bMlsd");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("total") << false << QByteArray("total 12");
        QTest::newRow("empty") << false << QByteArray("");
        QTest::newRow("blanks") << false << QByteArray(" \t ");
        QTest::newRow("no name") << false
                                 << QByteArray(
                                        "-rw-r--r--    1 0        0               2 Dec 07 05:52");
        QTest::newRow("no name, one blank")
            << false << QByteArray("-rw-r--r--    1 0        0               2 Dec 07 05:52 ");
        QTest::newRow("no date") << false
                                 << QByteArray("drwxr-xr-x 3 slopri devlab 512 71-unix-dateless");
        QTest::newRow("bad mode")
            << false << QByteArray("-rwxr-xr-q    1 0        0               2 Dec 07 05:52 x");
        QTest::newRow("reply text") << false << QByteArray("226 Transfer complete.");
        QTest::newRow("DOS without name")
            << false << QByteArray("04-27-00  12:09PM       <DIR>          ");
        QTest::newRow("DOS bad hour")
            << false << QByteArray("04-27-00  13:09PM       <DIR>          x");
        QTest::newRow("link to nothing")
            << false << QByteArray("lrwxrwxrwx 1 0 0 7 Dec 07 05:52  -> old.txt");
        QTest::newRow("MLSD cdir")
            << true << QByteArray("Type=cdir;Modify=19990219183438; /iana/assignments");
        QTest::newRow("MLSD pdir") << true << QByteArray("type=pdir;modify=20200303092200; /");
        QTest::newRow("MLSD no name") << true << QByteArray("type=file;size=3;");
        QTest::newRow("MLSD no facts") << true << QByteArray(" name");
        QTest::newRow("MLSD words") << true << QByteArray("DELE zero.bin");
        QTest::newRow("MLSD empty") << true << QByteArray("");
    }

    void notEntries()
    {
        QFETCH(bool, bMlsd);
        QFETCH(QByteArray, line);
        FtpFileInfo entry;
        entry.strName = "untouched";
        const bool bEntry = bMlsd ? CFtpListParser::ParseMlsdLine(Str(line), entry)
                                  : CFtpListParser::ParseListLine(Str(line), CAPTURED, entry);
        QVERIFY(!bEntry);
        QCOMPARE(entry.strName, std::string("untouched"));
    }

    void timeInsteadOfYear_data()
    {
        QTest::addColumn<QByteArray>("now");
        QTest::addColumn<QByteArray>("date"); // as ls prints it
        QTest::addColumn<QByteArray>("when");
        QTest::newRow("earlier this year")
            << QByteArray("2021-06-10 12:00") << QByteArray("Jun 01 08:00")
            << QByteArray("2021-06-01 08:00");
        QTest::newRow("late last year")
            << QByteArray("2021-01-10 12:00") << QByteArray("Dec 31 23:00")
            << QByteArray("2020-12-31 23:00");
        QTest::newRow("tomorrow, other zone")
            << QByteArray("2021-01-10 12:00") << QByteArray("Jan 11 10:00")
            << QByteArray("2021-01-11 10:00");
        QTest::newRow("beyond tomorrow")
            << QByteArray("2021-01-10 12:00") << QByteArray("Jan 12 10:00")
            << QByteArray("2020-01-12 10:00");
        QTest::newRow("Feb 29 last year")
            << QByteArray("2021-03-01 12:00") << QByteArray("Feb 29 10:00")
            << QByteArray("2020-02-29 10:00");
        QTest::newRow("Feb 29 this year")
            << QByteArray("2024-03-01 12:00") << QByteArray("Feb 29 10:00")
            << QByteArray("2024-02-29 10:00");
        QTest::newRow("new year's eve")
            << QByteArray("2021-12-31 23:30") << QByteArray("Jan  1 00:10")
            << QByteArray("2022-01-01 00:10");
    }

    void timeInsteadOfYear()
    {
        QFETCH(QByteArray, now);
        QFETCH(QByteArray, date);
        QFETCH(QByteArray, when);
        FtpFileInfo entry;
        QVERIFY(CFtpListParser::ParseListLine("-rw-r--r--   1 ftp ftp 5 " + Str(date) + " a",
                                              Utc(now.constData()), entry));
        QCOMPARE(entry.tLastWrite, Utc(when.constData()));
    }

    void entryDatesInEveryTimeZone_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QByteArray>("exactDate"); // midnight UTC by MLSD, as a local date
        QTest::newRow("UTC") << QByteArray("UTC") << QByteArray("03/05/21");
        QTest::newRow("west of Greenwich")
            << QByteArray("America/New_York") << QByteArray("03/04/21");
        QTest::newRow("east of Greenwich") << QByteArray("Asia/Shanghai") << QByteArray("03/05/21");
    }

    void entryDatesInEveryTimeZone()
    {
        // A LIST date without a time is a calendar day, the same one wherever the user is.
        QFETCH(QByteArray, zone);
        QFETCH(QByteArray, exactDate);
        const QByteArray oldZone = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        FtpFileInfo dayOnly, exact;
        QVERIFY(CFtpListParser::ParseListLine("-rw-r--r--   1 ftp ftp 5 Mar 05  2021 a",
                                              Utc("2026-12-07 12:00"), dayOnly));
        QVERIFY(CFtpListParser::ParseMlsdLine("type=file;modify=20210305000000; a", exact));
        char szDate[32];
        QVERIFY(FormatEntryDate(dayOnly, szDate, sizeof szDate));
        QCOMPARE(QByteArray(szDate), QByteArray("03/05/21"));
        QVERIFY(FormatEntryDate(exact, szDate, sizeof szDate));
        QCOMPARE(QByteArray(szDate), exactDate);

        // A text that does not fit is no text, never a cut or unterminated one.
        QVERIFY(!FormatEntryDate(exact, szDate, 8));
        QCOMPARE(szDate[0], '\0');
        QVERIFY(!FormatEntryDate(FtpFileInfo{}, szDate, sizeof szDate));
        QCOMPARE(szDate[0], '\0');
        oldZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldZone);
        tzset();
    }

    void chunksAndLineEnds()
    {
        // One vsftpd listing as it crossed the wire (CRLF), then as libcurl hands it over (LF).
        const std::string crlf =
            "total 12\r\n"
            "-rw-r--r--    1 0        0               2 Dec 07 05:52  leading space\r\n"
            "drwxr-xr-x    2 0        0            4096 Dec 06 23:59 folder\r\n"
            "\r\n"
            "-rw-r--r--    1 0        0        4294969344 Dec 07 05:52 big.bin\r\n"
            "-rw-r--r--    1 0        0               4 Mar 05  2021 old.txt";
        std::string lf = crlf;
        for (std::size_t nAt; (nAt = lf.find("\r\n")) != std::string::npos;)
            lf.erase(nAt, 1);

        const std::vector<FtpFileInfo> whole = ParseAll(CFtpListParser::LIST, crlf);
        QCOMPARE(whole.size(), std::size_t(4));
        QCOMPARE(whole[0].strName, std::string(" leading space"));
        QCOMPARE(whole[3].strName, std::string("old.txt")); // the last line had no line end
        for (std::size_t nChunk = 1; nChunk <= 7; ++nChunk) {
            QVERIFY2(SameEntries(ParseAll(CFtpListParser::LIST, crlf, nChunk), whole),
                     qPrintable(QString::number(nChunk)));
            QVERIFY2(SameEntries(ParseAll(CFtpListParser::LIST, lf, nChunk), whole),
                     qPrintable(QString::number(nChunk)));
        }

        // CR and LF of one line end in different chunks, and a pause right after a name.
        CFtpListParser parser(CFtpListParser::MLSD);
        std::vector<FtpFileInfo> entries;
        const std::string first = "type=file;size=1; a\r";
        const std::string second = "\ntype=dir; b";
        parser.Feed(first.data(), first.size(), entries);
        QCOMPARE(entries.size(), std::size_t(0));
        parser.Feed(second.data(), second.size(), entries);
        QCOMPARE(entries.size(), std::size_t(1));
        QCOMPARE(entries[0].strName, std::string("a"));
        parser.Feed(nullptr, 0, entries);
        parser.Finish(entries);
        QCOMPARE(entries.size(), std::size_t(2));
        QCOMPARE(entries[1].strName, std::string("b"));

        // Only the CR of the line end goes; one that ends a name stays.
        const std::string crName = "type=file;size=1; ends in CR\r\r\n";
        parser.Feed(crName.data(), crName.size(), entries);
        QCOMPARE(entries.size(), std::size_t(3));
        QCOMPARE(entries[2].strName, std::string("ends in CR\r"));
        entries.pop_back();

        // Finish leaves nothing behind: the parser takes a new listing from the start.
        const std::string next = "type=file;size=2; c\n";
        parser.Feed(next.data(), next.size(), entries);
        parser.Finish(entries);
        QCOMPARE(entries.size(), std::size_t(3));
        QCOMPARE(entries[2].strName, std::string("c"));
    }

    void overlongLineIsDropped()
    {
        // A server that never ends its line must not make us hold it all; the lines around
        // it still count.
        CFtpListParser parser(CFtpListParser::MLSD);
        std::vector<FtpFileInfo> entries;
        const std::string before = "type=file;size=1; before\r\ntype=file;size=2; ";
        parser.Feed(before.data(), before.size(), entries);
        const std::string filler(64 * 1024, 'x');
        for (int i = 0; i < 32; ++i)
            parser.Feed(filler.data(), filler.size(), entries);
        const std::string after = "\r\ntype=file;size=3; after\r\n";
        parser.Feed(after.data(), after.size(), entries);
        parser.Finish(entries);
        QCOMPARE(entries.size(), std::size_t(2));
        QCOMPARE(entries[0].strName, std::string("before"));
        QCOMPARE(entries[1].strName, std::string("after"));

        // A long name that is still a line is kept whole; refusing it is the job's call.
        const std::string longName(300, 'n');
        FtpFileInfo entry;
        QVERIFY(CFtpListParser::ParseMlsdLine("type=file;size=1; " + longName, entry));
        QCOMPARE(entry.strName, longName);
    }

    void garbageNeverCrashes_data()
    {
        QTest::addColumn<bool>("bMlsd");
        QTest::newRow("LIST") << false;
        QTest::newRow("MLSD") << true;
    }

    void garbageNeverCrashes()
    {
        // Random bytes, and random runs of blanks between fragments of real lines, fed in random
        // chunks. Under the sanitizer build this catches any read past a line's end.
        QFETCH(bool, bMlsd);
        const CFtpListParser::Format format = bMlsd ? CFtpListParser::MLSD : CFtpListParser::LIST;
        static const char* const s_fragments[] = {
            "-rw-r--r--",
            "drwxr-xr-x",
            "lrwxrwxrwx",
            "crw-rw-rw-",
            "1",
            "0",
            "ftp",
            "4096",
            "1,",
            "Dec",
            "07",
            "05:52",
            "2021",
            "24:00",
            "29",
            "Jul",
            "2005-06-07",
            "21:22",
            "->",
            "name",
            "04-27-00",
            "12:09PM",
            "<DIR>",
            "9,730",
            "PM",
            "type=file;",
            "type=dir;",
            "size=1;",
            "modify=20210305000000;",
            "modify=",
            "size=",
            "type=",
            "=",
            ";",
            "\r",
            "\n",
            "\r\n",
            "\t",
            " ",
            "  ",
            "\0",
            "\xff",
        };
        QRandomGenerator random(20240607);
        for (int nRound = 0; nRound < 300; ++nRound) {
            std::string text;
            const int nPieces = random.bounded(1, 200);
            for (int i = 0; i < nPieces; ++i) {
                if (random.bounded(4) == 0) {
                    text += static_cast<char>(random.bounded(256));
                } else {
                    const char* const szFragment =
                        s_fragments[random.bounded(int(std::size(s_fragments)))];
                    text += *szFragment ? std::string(szFragment) : std::string(1, '\0');
                    text.append(static_cast<std::size_t>(random.bounded(3)),
                                random.bounded(2) ? ' ' : '\t');
                }
            }
            const std::vector<FtpFileInfo> whole = ParseAll(format, text);
            const std::vector<FtpFileInfo> chunked =
                ParseAll(format, text, static_cast<std::size_t>(random.bounded(1, 9)));
            QVERIFY(SameEntries(whole, chunked));
            for (const FtpFileInfo& entry : whole) {
                QVERIFY(!entry.strName.empty());
                QVERIFY(entry.strName.find('\n') == std::string::npos);
                QVERIFY(entry.nSize >= -1); // -1: a size that was no number
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestFtpListParser)
#include "tst_ftplistparser.moc"
