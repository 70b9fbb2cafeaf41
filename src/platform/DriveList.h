#pragma once
// Drives as the program was designed around them. On Linux a drive is a mounted file
// system worth showing to a user: "/" always, then real block-device, removable,
// optical, network and RAM file systems. Kernel plumbing (proc, sysfs, cgroup, devpts,
// overlay layers, snap images and the like) is not a drive. A drive's text is its
// mount point. Listing the drives reads the mount table only, never a drive itself.
// Mount points are kept as the table's bytes (unescaped), like every local path.
#include "WinTypes.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Drive types as GetDriveType reported them.
constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

struct DriveInfo {
    QByteArray root; // the mount point
    UINT nType;      // DRIVE_REMOVABLE .. DRIVE_RAMDISK
};

// Classifies one mount; DRIVE_UNKNOWN when it is not a drive. strSysBlock is the folder
// of block devices in sysfs, asked whether a device is removable.
UINT ClassifyMount(const QString& strSource, const QString& strMountPoint, const QString& strFsType,
                   const QString& strSysBlock);

// One line of a mount table, its fields unescaped.
struct MountEntry {
    QByteArray source;
    QByteArray mountPoint;
    QByteArray type;
};

// Every mount of a table in the format of /proc/self/mounts, in table order; none when it
// can't be read.
std::vector<MountEntry> ReadMountTable(const QString& strMountTable);

// Reads a mount table in the format of /proc/self/mounts. Returns "/" first (added when
// the table lacks it), then the other drives in order of their mount points; a
// mount point mounted over several times counts once, with its last (visible) mount.
// An unreadable table yields "/" alone.
std::vector<DriveInfo> ReadDrives(const QString& strMountTable,
                                  const QString& strSysBlock = QStringLiteral("/sys/class/block"));

// This machine's drives: ReadDrives on the current mount table.
std::vector<DriveInfo> GetLogicalDrives();

// Points GetLogicalDrives at another mount table (tests use a fixture file); an empty
// path restores /proc/self/mounts.
void SetMountTable(const QString& strPath);
QString GetMountTable();

// The user's home folder, offered beside the drives; with another mount table (a machine of
// a test's own), only the one SetHomeFolder gives. Empty when there is none to offer.
QByteArray GetHomeFolder();
void SetHomeFolder(const QByteArray& path);
