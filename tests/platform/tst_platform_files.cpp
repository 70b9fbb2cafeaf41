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
#include <map>

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
    void probeManyFolders();
    void joinPath();
};

void TestPlatformFiles::drivesFromMountTable()
{
    QTemporaryDir noSysfs; // no device says it is removable
    const auto drives = ReadDrives(QStringLiteral(FIXTURE_DIR "/mounts"), noSysfs.path());
    QStringList roots;
    QList<UINT> types;
    for (const DriveInfo& drive : drives) {
        roots << drive.strRoot;
        types << drive.nType;
    }
    // "/" first, then by mount point; kernel plumbing, snaps, overlays, docker and gvfs
    // mounts left out; a mount hidden under a later one takes the later one's kind.
    QCOMPARE(roots,
             QStringList({"/", "/boot/efi", "/dev/shm", "/home", "/media/ann/DVD",
                          "/media/ann/USB STICK", "/mnt/cd", "/mnt/nas", "/mnt/ram", "/mnt/ssh",
                          "/mnt/twice", "/net/share", "/run", "/run/media/ann/Backup"}));
    QCOMPARE(types,
             QList<UINT>({DRIVE_FIXED, DRIVE_FIXED, DRIVE_RAMDISK, DRIVE_FIXED, DRIVE_CDROM,
                          DRIVE_REMOVABLE, DRIVE_CDROM, DRIVE_REMOTE, DRIVE_RAMDISK, DRIVE_REMOTE,
                          DRIVE_RAMDISK, DRIVE_REMOTE, DRIVE_RAMDISK, DRIVE_REMOVABLE}));

    // "/" is a drive even on an overlay, and is there when the table lacks it.
    QCOMPARE(ClassifyMount("overlay", "/", "overlay", noSysfs.path()), DRIVE_FIXED);
    QTemporaryDir dir;
    const QString strTable = dir.filePath("mounts");
    QVERIFY(WriteFile(strTable, "/dev/sda1 /data xfs rw 0 0\n"));
    const auto noRoot = ReadDrives(strTable, noSysfs.path());
    QCOMPARE(int(noRoot.size()), 2);
    QCOMPARE(noRoot[0].strRoot, QString("/"));
    QCOMPARE(noRoot[1].strRoot, QString("/data"));

    // GetLogicalDrives reads the table it is pointed at.
    SetMountTable(strTable);
    QCOMPARE(GetLogicalDrives().back().strRoot, QString("/data"));
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
    QCOMPARE(drives[0].strRoot, QString("/"));
    QCOMPARE(drives[0].nType, DRIVE_FIXED);
}

void TestPlatformFiles::liveMountTable()
{
    // /proc files report a size of 0: a reader that trusts it reads nothing and falls back
    // to "/" alone. Read the table independently and compare.
    QFile file(QStringLiteral("/proc/self/mounts"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    std::map<QString, UINT> expected; // the visible mount of each point
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        const QString strPoint = QString::fromUtf8(fields[1]).replace("\\040", " ");
        expected[strPoint] = ClassifyMount(QString::fromUtf8(fields[0]), strPoint,
                                           QString::fromUtf8(fields[2]), "/sys/class/block");
    }
    QVERIFY2(expected.count("/"), "every Linux mount table lists /");

    const auto mounts = ReadMountTable("/proc/self/mounts");
    QVERIFY(std::any_of(mounts.begin(), mounts.end(),
                        [](const MountEntry& m) { return m.mountPoint == "/"; }));
    const auto drives = ReadDrives("/proc/self/mounts");
    std::map<QString, UINT> found;
    for (const DriveInfo& drive : drives)
        found[drive.strRoot] = drive.nType;
    for (const auto& [strPoint, nType] : expected) {
        if (nType != DRIVE_UNKNOWN)
            QVERIFY2(found.count(strPoint) && found[strPoint] == nType, qPrintable(strPoint));
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

    std::vector<FindEntry> entries;
    QVERIFY(FindFolderEntries(dir.path(), entries));
    // Upper-cased code units: "_" (0x5F) after the letters; names equal but for case
    // in code-unit order; "." and ".." left out.
    QCOMPARE(Names(entries),
             QStringList({".hidden", "Alpha", "apple.txt", "beta", "dangling", "link-to-dir",
                          "pipe", "README", "Readme", "zeta", "Zoo.txt", "_under"}));
    QCOMPARE(AttributesOf(entries, "Alpha"), FILE_ATTRIBUTE_DIRECTORY);
    QCOMPARE(AttributesOf(entries, "apple.txt"), FILE_ATTRIBUTE_NORMAL);
    QCOMPARE(AttributesOf(entries, ".hidden"), FILE_ATTRIBUTE_HIDDEN);
    QCOMPARE(AttributesOf(entries, "pipe"), FILE_ATTRIBUTE_DEVICE);
    QCOMPARE(AttributesOf(entries, "link-to-dir"),
             FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    QCOMPARE(AttributesOf(entries, "dangling"), FILE_ATTRIBUTE_REPARSE_POINT);

    // Missing folders and files are not folders that can be read.
    QVERIFY(!FindFolderEntries(d.filePath("nothing"), entries));
    QVERIFY(entries.empty());
    QVERIFY(!FindFolderEntries(d.filePath("apple.txt"), entries));
}

void TestPlatformFiles::hasEntriesAndAttributes()
{
    QTemporaryDir dir;
    QDir d(dir.path());
    QVERIFY(d.mkpath("empty") && d.mkpath("onlyhidden") && d.mkpath("full/sub"));
    QVERIFY(WriteFile(d.filePath("onlyhidden/.keep")));
    QVERIFY(!FolderHasEntries(d.filePath("empty")));
    QVERIFY(FolderHasEntries(d.filePath("onlyhidden")));
    QVERIFY(FolderHasEntries(d.filePath("full")));
    QVERIFY(!FolderHasEntries(d.filePath("missing")));

    QCOMPARE(GetFileAttributes(d.filePath("missing")), INVALID_FILE_ATTRIBUTES);
    QVERIFY(QFile::link(d.filePath("missing"), d.filePath("dangling")));
    QCOMPARE(GetFileAttributes(d.filePath("dangling")), INVALID_FILE_ATTRIBUTES);
    QCOMPARE(GetFileAttributes(d.filePath("full")), FILE_ATTRIBUTE_DIRECTORY);
    QCOMPARE(GetFileAttributes(d.filePath("onlyhidden/.keep")), FILE_ATTRIBUTE_HIDDEN);
    QCOMPARE(GetFileAttributes("/dev/null"), FILE_ATTRIBUTE_DEVICE);
    QCOMPARE(GetFileAttributes(QString()), INVALID_FILE_ATTRIBUTES);
}

void TestPlatformFiles::probeManyFolders()
{
    // Enough sub-folders to be probed on several threads; every slice must answer.
    QTemporaryDir dir;
    QDir d(dir.path());
    std::vector<QString> names;
    std::vector<bool> expected;
    for (int i = 0; i < 1500; ++i) {
        const QString strName = QStringLiteral("f%1").arg(i);
        QVERIFY(d.mkdir(strName));
        if (i % 3 == 0)
            QVERIFY(WriteFile(d.filePath(strName + "/.one")));
        names.push_back(strName);
        expected.push_back(i % 3 == 0);
    }
    QVERIFY(WriteFile(d.filePath("plain")));
    names.push_back("plain");
    expected.push_back(false);
    names.push_back("missing");
    expected.push_back(false);
    QVERIFY(FoldersHaveEntries(dir.path(), names) == expected);
    QVERIFY(FoldersHaveEntries(d.filePath("missing"), names) ==
            std::vector<bool>(names.size(), false));
}

void TestPlatformFiles::joinPath()
{
    QCOMPARE(JoinPath("/", "home"), QString("/home"));
    QCOMPARE(JoinPath("/mnt/data", "a.txt"), QString("/mnt/data/a.txt"));
    QCOMPARE(JoinPath("/mnt/data/", "a.txt"), QString("/mnt/data/a.txt"));
}

QTEST_APPLESS_MAIN(TestPlatformFiles)
#include "tst_platform_files.moc"
