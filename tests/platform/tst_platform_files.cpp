// Drives from the mount table, folder enumeration and file attributes.
#include "platform/DriveList.h"
#include "platform/FileFind.h"
#include "platform/Path.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

QStringList Names(const std::vector<FindEntry>& entries)
{
    QStringList names;
    for (const FindEntry& entry : entries)
        names << entry.strName;
    return names;
}

UINT AttributesOf(const std::vector<FindEntry>& entries, const QString& strName)
{
    for (const FindEntry& entry : entries) {
        if (entry.strName == strName)
            return entry.nAttributes;
    }
    return INVALID_FILE_ATTRIBUTES;
}

QByteArray Raw(const QString& strPath)
{
    return QFile::encodeName(strPath);
}

} // namespace

class TestPlatformFiles : public QObject
{
    Q_OBJECT
private slots:
    void drivesFromMountTable();
    void removableFromSysfs();
    void unreadableMountTable();
    void liveMountTable();
    void enumerationOrderAndAttributes();
    void hasEntriesAndAttributes();
    void orderBeyondAscii();
    void joinAndSplitPaths();
    void displayName();
};

void TestPlatformFiles::drivesFromMountTable()
{
    QTemporaryDir noSysfs; // no device says it is removable
    const auto drives = ReadDrives(QStringLiteral(FIXTURE_DIR "/mounts"), noSysfs.path());
    QList<QByteArray> roots;
    QList<UINT> types;
    for (const DriveInfo& drive : drives) {
        roots << drive.root;
        types << drive.nType;
    }
    // "/" first, then by mount point; kernel plumbing, snaps, overlays, docker and gvfs
    // mounts left out; a mount hidden under a later one takes the later one's kind.
    QCOMPARE(roots, QList<QByteArray>({"/", "/boot/efi", "/dev/shm", "/home", "/media/ann/DVD",
                                       "/media/ann/USB STICK", "/mnt/cd", "/mnt/nas", "/mnt/ram",
                                       "/mnt/ssh", "/mnt/twice", "/net/share", "/run",
                                       "/run/media/ann/Backup"}));
    QCOMPARE(types,
             QList<UINT>({DRIVE_FIXED, DRIVE_FIXED, DRIVE_RAMDISK, DRIVE_FIXED, DRIVE_CDROM,
                          DRIVE_REMOVABLE, DRIVE_CDROM, DRIVE_REMOTE, DRIVE_RAMDISK, DRIVE_REMOTE,
                          DRIVE_RAMDISK, DRIVE_REMOTE, DRIVE_RAMDISK, DRIVE_REMOVABLE}));

    // "/" is a drive even on an overlay, and is there when the table lacks it.
    QCOMPARE(ClassifyMount("overlay", "/", "overlay", noSysfs.path()), DRIVE_FIXED);
    QTemporaryDir dir;
    const QString strTable = dir.filePath("mounts");
    // A mount point keeps its bytes: an escaped space unescaped, a Latin-1 byte as it is.
    QVERIFY(WriteFile(strTable, "/dev/sda1 /data xfs rw 0 0\n"
                                "/dev/sdb1 /mnt/caf\xE9 ext4 rw 0 0\n"
                                "/dev/sdc1 /mnt/my\\040disk ext4 rw 0 0\n"));
    const auto noRoot = ReadDrives(strTable, noSysfs.path());
    QCOMPARE(int(noRoot.size()), 4);
    QCOMPARE(noRoot[0].root, QByteArray("/"));
    QCOMPARE(noRoot[1].root, QByteArray("/data"));
    QCOMPARE(noRoot[2].root, QByteArray("/mnt/caf\xE9"));
    QCOMPARE(noRoot[3].root, QByteArray("/mnt/my disk"));
    QCOMPARE(noRoot[2].nType, DRIVE_FIXED);

    // GetLogicalDrives reads the table it is pointed at.
    SetMountTable(strTable);
    QCOMPARE(GetLogicalDrives().back().root, QByteArray("/mnt/my disk"));
    SetMountTable(QString());
    QCOMPARE(GetMountTable(), QString("/proc/self/mounts"));
}

void TestPlatformFiles::removableFromSysfs()
{
    // A partition has no flag of its own: the disk that holds it answers.
    QTemporaryDir sys;
    QVERIFY(QDir(sys.path()).mkpath("sdz/sdz1") && QDir(sys.path()).mkpath("sdy/sdy1"));
    QVERIFY(WriteFile(sys.filePath("sdz/removable"), "1\n"));
    QVERIFY(WriteFile(sys.filePath("sdy/removable"), "0\n"));
    QVERIFY(QFile::link(sys.filePath("sdz/sdz1"), sys.filePath("sdz1")));
    QVERIFY(QFile::link(sys.filePath("sdy/sdy1"), sys.filePath("sdy1")));
    QCOMPARE(ClassifyMount("/dev/sdz1", "/mnt/stick", "vfat", sys.path()), DRIVE_REMOVABLE);
    QCOMPARE(ClassifyMount("/dev/sdz", "/mnt/whole", "vfat", sys.path()), DRIVE_REMOVABLE);
    QCOMPARE(ClassifyMount("/dev/sdy1", "/mnt/disk", "ext4", sys.path()), DRIVE_FIXED);
}

void TestPlatformFiles::unreadableMountTable()
{
    const auto drives = ReadDrives("/nonexistent/mounts");
    QCOMPARE(int(drives.size()), 1);
    QCOMPARE(drives[0].root, QByteArray("/"));
    QCOMPARE(drives[0].nType, DRIVE_FIXED);
}

void TestPlatformFiles::liveMountTable()
{
    // /proc files report a size of 0: a reader that trusts it reads nothing and falls back
    // to "/" alone. Read the table independently and compare.
    QFile file(QStringLiteral("/proc/self/mounts"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    std::map<QByteArray, UINT> expected; // the visible mount of each point
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        const QByteArray point = QByteArray(fields[1]).replace("\\040", " ");
        expected[point] = ClassifyMount(QString::fromUtf8(fields[0]), QFile::decodeName(point),
                                        QString::fromUtf8(fields[2]), "/sys/class/block");
    }
    QVERIFY2(expected.count("/"), "every Linux mount table lists /");

    const auto mounts = ReadMountTable("/proc/self/mounts");
    QVERIFY(std::any_of(mounts.begin(), mounts.end(),
                        [](const MountEntry& m) { return m.mountPoint == "/"; }));
    const auto drives = ReadDrives("/proc/self/mounts");
    std::map<QByteArray, UINT> found;
    for (const DriveInfo& drive : drives)
        found[drive.root] = drive.nType;
    for (const auto& [point, nType] : expected) {
        if (nType != DRIVE_UNKNOWN)
            QVERIFY2(found.count(point) && found[point] == nType, point.constData());
    }
    QCOMPARE(found["/"], expected["/"]);
}

void TestPlatformFiles::enumerationOrderAndAttributes()
{
    QTemporaryDir dir;
    QDir d(dir.path());
    for (const char* pszFolder : {"beta", "Alpha", "_under", "zeta"})
        QVERIFY(d.mkdir(pszFolder));
    for (const char* pszFile : {"README", "Readme", "apple.txt", ".hidden", "Zoo.txt"})
        QVERIFY(WriteFile(d.filePath(pszFile)));
    QVERIFY(mkfifo(QFile::encodeName(d.filePath("pipe")).constData(), 0600) == 0);
    QVERIFY(QFile::link(d.filePath("beta"), d.filePath("link-to-dir")));
    QVERIFY(QFile::link(d.filePath("missing"), d.filePath("dangling")));
    // Names from other machines: GBK and Latin-1.
    const QByteArray gbk = Raw(dir.path()) + "/\xC4\xE3\xBA\xC3.txt";
    const auto cleanup = qScopeGuard([&] { RemoveRawContents(Raw(dir.path())); });
    QVERIFY(WriteRawFile(gbk) && WriteRawFile(Raw(dir.path()) + "/caf\xE9.txt"));

    std::vector<FindEntry> entries;
    QVERIFY(FindFolderEntries(Raw(dir.path()), entries));
    // Upper-cased code units: "_" (0x5F) after the letters and "\" (0x5C) of an escaped
    // byte; names equal but for case in code-unit order; "." and ".." left out.
    QCOMPARE(Names(entries),
             QStringList({".hidden", "Alpha", "apple.txt", "beta", "caf\\xE9.txt", "dangling",
                          "link-to-dir", "pipe", "README", "Readme", "zeta", "Zoo.txt",
                          "\\xC4\\xE3\\xBA\\xC3.txt", "_under"}));
    // The bytes are kept for finding the file again.
    QCOMPARE(entries[4].name, QByteArray("caf\xE9.txt"));
    QCOMPARE(entries[12].name, QByteArray("\xC4\xE3\xBA\xC3.txt"));
    QCOMPARE(entries[12].nAttributes, FILE_ATTRIBUTE_NORMAL);
    QCOMPARE(GetFileAttributes(gbk), FILE_ATTRIBUTE_NORMAL);
    QCOMPARE(AttributesOf(entries, "Alpha"), FILE_ATTRIBUTE_DIRECTORY);
    QCOMPARE(AttributesOf(entries, "apple.txt"), FILE_ATTRIBUTE_NORMAL);
    QCOMPARE(AttributesOf(entries, ".hidden"), FILE_ATTRIBUTE_HIDDEN);
    QCOMPARE(AttributesOf(entries, "pipe"), FILE_ATTRIBUTE_DEVICE);
    QCOMPARE(AttributesOf(entries, "link-to-dir"),
             FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    QCOMPARE(AttributesOf(entries, "dangling"), FILE_ATTRIBUTE_REPARSE_POINT);

    // Missing folders and files are not folders that can be read.
    QVERIFY(!FindFolderEntries(Raw(d.filePath("nothing")), entries));
    QVERIFY(entries.empty());
    QVERIFY(!FindFolderEntries(Raw(d.filePath("apple.txt")), entries));
}

void TestPlatformFiles::hasEntriesAndAttributes()
{
    QTemporaryDir dir;
    QDir d(dir.path());
    QVERIFY(d.mkpath("empty") && d.mkpath("onlyhidden") && d.mkpath("full/sub"));
    QVERIFY(d.mkpath("onlytemp"));
    QVERIFY(WriteFile(d.filePath("onlyhidden/.keep")));
    // A restore's temporary on its way into place is nothing to show.
    QVERIFY(WriteFile(d.filePath("onlytemp/.mossvale-Ab12Cd")));
    QVERIFY(!FolderHasEntries(Raw(d.filePath("empty"))));
    QVERIFY(FolderHasEntries(Raw(d.filePath("onlyhidden"))));
    QVERIFY(FolderHasEntries(Raw(d.filePath("full"))));
    QVERIFY(!FolderHasEntries(Raw(d.filePath("missing"))));
    QVERIFY(!FolderHasEntries(Raw(d.filePath("onlytemp"))));

    QCOMPARE(GetFileAttributes(Raw(d.filePath("missing"))), INVALID_FILE_ATTRIBUTES);
    QVERIFY(QFile::link(d.filePath("missing"), d.filePath("dangling")));
    QCOMPARE(GetFileAttributes(Raw(d.filePath("dangling"))), INVALID_FILE_ATTRIBUTES);
    QCOMPARE(GetFileAttributes(Raw(d.filePath("full"))), FILE_ATTRIBUTE_DIRECTORY);
    QCOMPARE(GetFileAttributes(Raw(d.filePath("onlyhidden/.keep"))), FILE_ATTRIBUTE_HIDDEN);
    QCOMPARE(GetFileAttributes("/dev/null"), FILE_ATTRIBUTE_DEVICE);
    QCOMPARE(GetFileAttributes(QByteArray()), INVALID_FILE_ATTRIBUTES);
}

void TestPlatformFiles::orderBeyondAscii()
{
    // Upper case outside ASCII, names equal but for case, prefixes, a character beyond 16
    // bits and an escaped byte, created in no particular order.
    QTemporaryDir dir;
    const QByteArray root = Raw(dir.path());
    const auto cleanup = qScopeGuard([&] { RemoveRawContents(root); });
    for (const char* pszName :
         {"éa", "Éb", "eb", "Ec", "E",  "É", "é",      "α",  "Αz", "😀", "\xE9x",
          "éx", "_",  "zz", "ZZ", "Zz", "z", "\\xE9x", "ıb", "ia", "Ia"})
        QVERIFY2(WriteRawFile(root + "/" + pszName), pszName);

    std::vector<FindEntry> entries;
    QVERIFY(FindFolderEntries(root, entries));
    // By upper-cased code units ("ı" is an I, "\" 0x5C and "_" 0x5F fall between Z and
    // É 0xC9, Greek after Latin, a surrogate pair last); ties in code-unit order, then in
    // byte order: a name spelt with a backslash shows as the escaped byte does.
    QCOMPARE(Names(entries),
             QStringList({"E",      "eb", "Ec", "Ia", "ia", "ıb", "z",  "ZZ", "Zz", "zz", "\\xE9x",
                          "\\xE9x", "_",  "É",  "é",  "éa", "Éb", "éx", "α",  "Αz", "😀"}));
    QCOMPARE(entries[10].name, QByteArray("\\xE9x"));
    QCOMPARE(entries[11].name, QByteArray("\xE9x"));
}

void TestPlatformFiles::joinAndSplitPaths()
{
    // Folder, name, the joined path: one separator, none doubled, none added to nothing.
    const std::vector<std::array<std::string, 3>> joins{
        {"/", "home", "/home"},
        {"/mnt/data", "a.txt", "/mnt/data/a.txt"},
        {"/mnt/data/", "caf\xE9", "/mnt/data/caf\xE9"},
        {"", "a.txt", "a.txt"},
        {"data", "a.txt", "data/a.txt"},
        {"/x", "", "/x/"},
    };
    for (const auto& [strFolder, strName, strPath] : joins) {
        QCOMPARE(JoinPath(strFolder, strName), strPath);
        QCOMPARE(JoinPath(QByteArray::fromStdString(strFolder), QByteArray::fromStdString(strName)),
                 QByteArray::fromStdString(strPath));
        QCOMPARE(JoinPath(QString::fromStdString(strFolder), QString::fromStdString(strName)),
                 QString::fromStdString(strPath));
    }

    // Path, its folder (which keeps the separator), its name; joined again they give the path.
    const std::vector<std::array<std::string, 3>> splits{
        {"/", "/", ""},
        {"/a.txt", "/", "a.txt"},
        {"/mnt/data/a.txt", "/mnt/data/", "a.txt"},
        {"/mnt/data/", "/mnt/data/", ""},
        {"a.txt", "", "a.txt"},
        {"", "", ""},
        {"//a", "//", "a"},
    };
    for (const auto& [strPath, strFolder, strName] : splits) {
        const PathParts<std::string> parts = SplitPath(strPath);
        QCOMPARE(parts.folder, strFolder);
        QCOMPARE(parts.name, strName);
        QCOMPARE(JoinPath(parts.folder, parts.name), strPath);
        const PathParts<QByteArray> bytes = SplitPath(QByteArray::fromStdString(strPath));
        QCOMPARE(bytes.folder, QByteArray::fromStdString(strFolder));
        QCOMPARE(bytes.name, QByteArray::fromStdString(strName));
    }
}

void TestPlatformFiles::displayName()
{
    // Valid UTF-8 stays as it is; every other byte, and control characters, show escaped.
    const QList<std::pair<QByteArray, QString>> cases{
        {"/data/\xE6\x8A\xA5\xE5\x91\x8A.txt", QString::fromUtf8("/data/报告.txt")},
        {"\xF0\x9F\x98\x80", QString::fromUtf8("\xF0\x9F\x98\x80")},
        {"\xC4\xE3\xBA\xC3.txt", "\\xC4\\xE3\\xBA\\xC3.txt"}, // GBK
        {"caf\xE9.txt", "caf\\xE9.txt"},                      // Latin-1
        {"\xC0\xAF", "\\xC0\\xAF"},                           // overlong "/"
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                  // a surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},         // above U+10FFFF
        {"end\xE6\x8A", "end\\xE6\\x8A"},                     // cut short
        {"a\nb\x7F", "a\\x0Ab\\x7F"},
        {"", ""},
    };
    for (const auto& [name, strText] : cases)
        QCOMPARE(DisplayName(name), strText);
}

QTEST_APPLESS_MAIN(TestPlatformFiles)
#include "tst_platform_files.moc"
