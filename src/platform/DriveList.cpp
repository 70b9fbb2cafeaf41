#include "DriveList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <map>

#include <mntent.h>
#include <stdio.h>

namespace {

QString g_strMountTable;

bool IsOneOf(const QString& str, std::initializer_list<const char*> list)
{
    for (const char* psz : list) {
        if (str == QLatin1String(psz))
            return true;
    }
    return false;
}

bool IsUnder(const QString& strPath, const char* pszFolder)
{
    const QLatin1String folder(pszFolder);
    return strPath == folder || strPath.startsWith(folder + QLatin1Char('/'));
}

bool IsNetworkFs(const QString& strType)
{
    return IsOneOf(strType, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph",
                             "glusterfs", "lustre", "davfs", "9p", "sshfs", "fuse.sshfs",
                             "fuse.rclone", "fuse.s3fs", "fuse.glusterfs", "fuse.davfs2"});
}

// File systems that are never drives, whatever their source says.
bool IsPseudoFs(const QString& strType)
{
    return IsOneOf(strType, {"proc",        "sysfs",
                             "cgroup",      "cgroup2",
                             "devpts",      "devtmpfs",
                             "debugfs",     "tracefs",
                             "securityfs",  "bpf",
                             "mqueue",      "overlay",
                             "hugetlbfs",   "pstore",
                             "configfs",    "fusectl",
                             "autofs",      "binfmt_misc",
                             "efivarfs",    "nsfs",
                             "rpc_pipefs",  "selinuxfs",
                             "squashfs",    "aufs",
                             "nfsd",        "fuse.gvfsd-fuse",
                             "fuse.portal", "fuse.lxcfs"});
}

// The sysfs "removable" flag of a block device, looked up on the device itself and then
// on the disk that holds it (a partition has no flag of its own).
bool IsRemovableDevice(const QString& strSource, const QString& strSysBlock)
{
    if (!strSource.startsWith(QLatin1String("/dev/")))
        return false;
    // /dev/disk/by-uuid/... and /dev/mapper/... are links; the kernel name is the target's.
    QString strDevice = QFileInfo(strSource).canonicalFilePath();
    if (strDevice.isEmpty())
        strDevice = strSource;
    const QString strName = QFileInfo(strDevice).fileName();
    if (strName.isEmpty())
        return false;
    for (const char* pszFlag : {"/removable", "/../removable"}) {
        QFile file(strSysBlock + QLatin1Char('/') + strName + QLatin1String(pszFlag));
        if (file.open(QIODevice::ReadOnly))
            return file.read(1) == "1";
    }
    return false;
}

} // namespace

UINT ClassifyMount(const QString& strSource, const QString& strMountPoint, const QString& strFsType,
                   const QString& strSysBlock)
{
    if (strMountPoint.isEmpty() || !strMountPoint.startsWith(QLatin1Char('/')))
        return DRIVE_UNKNOWN;
    const bool bRoot = strMountPoint == QLatin1String("/");
    // Anything mounted inside the kernel's own trees is plumbing (systemd puts a tmpfs at
    // /sys/fs/cgroup, for instance).
    if (!bRoot && (IsUnder(strMountPoint, "/proc") || IsUnder(strMountPoint, "/sys")))
        return DRIVE_UNKNOWN;

    if (IsOneOf(strFsType, {"iso9660", "udf"}))
        return DRIVE_CDROM;
    if (IsOneOf(strFsType, {"tmpfs", "ramfs"}))
        return DRIVE_RAMDISK;
    if (IsNetworkFs(strFsType))
        return DRIVE_REMOTE;

    if (IsPseudoFs(strFsType))
        return bRoot ? DRIVE_FIXED : DRIVE_UNKNOWN; // "/" is a drive even on an overlay

    // Real disks: a device node as source, or a pooled file system that names its pool.
    const bool bBlock = strSource.startsWith(QLatin1String("/dev/")) ||
                        IsOneOf(strFsType, {"zfs", "btrfs", "bcachefs"});
    if (!bBlock)
        return bRoot ? DRIVE_FIXED : DRIVE_UNKNOWN;
    const bool bRemovable = IsUnder(strMountPoint, "/media") ||
                            IsUnder(strMountPoint, "/run/media") ||
                            IsRemovableDevice(strSource, strSysBlock);
    return bRemovable ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

std::vector<MountEntry> ReadMountTable(const QString& strMountTable)
{
    // The C library's reader: it reads /proc files (which report no size) to their end,
    // skips comments and undoes the octal escapes (\040 for a space and so on).
    std::vector<MountEntry> entries;
    FILE* pTable = setmntent(QFile::encodeName(strMountTable).constData(), "r");
    if (!pTable)
        return entries;
    mntent entry;
    char buffer[4096];
    while (getmntent_r(pTable, &entry, buffer, sizeof buffer))
        entries.push_back({entry.mnt_fsname, entry.mnt_dir, entry.mnt_type});
    endmntent(pTable);
    return entries;
}

std::vector<DriveInfo> ReadDrives(const QString& strMountTable, const QString& strSysBlock)
{
    // Ordered by mount point; a later mount over the same point replaces the earlier one.
    // Classifying looks at prefixes such as "/media" only, which decoded text keeps.
    std::map<QByteArray, UINT> drives;
    for (const MountEntry& mount : ReadMountTable(strMountTable)) {
        const UINT nType =
            ClassifyMount(QFile::decodeName(mount.source), QFile::decodeName(mount.mountPoint),
                          QString::fromLatin1(mount.type), strSysBlock);
        if (nType != DRIVE_UNKNOWN)
            drives[mount.mountPoint] = nType;
        else
            drives.erase(mount.mountPoint); // the visible mount is not a drive
    }

    std::vector<DriveInfo> result;
    const QByteArray root("/");
    auto itRoot = drives.find(root);
    result.push_back({root, itRoot != drives.end() ? itRoot->second : DRIVE_FIXED});
    for (const auto& [mountPoint, nType] : drives) {
        if (mountPoint != root)
            result.push_back({mountPoint, nType});
    }
    return result;
}

std::vector<DriveInfo> GetLogicalDrives()
{
    return ReadDrives(GetMountTable());
}

namespace {
QByteArray g_homeFolder;
} // namespace

void SetMountTable(const QString& strPath)
{
    g_strMountTable = strPath;
}

QByteArray GetHomeFolder()
{
    if (!g_strMountTable.isEmpty())
        return g_homeFolder;
    const QByteArray home = QFile::encodeName(QDir::homePath());
    return home == "/" ? QByteArray() : home;
}

void SetHomeFolder(const QByteArray& path)
{
    g_homeFolder = path;
}

QString GetMountTable()
{
    return g_strMountTable.isEmpty() ? QStringLiteral("/proc/self/mounts") : g_strMountTable;
}
