#pragma once
// What to back up, as the user chose it: files ticked one by one, folders ticked whole (now and
// later: files added to them afterwards belong to the plan too), and paths left out inside a
// ticked folder. Paths are the file system's raw bytes, absolute, without a trailing "/".
//
// The entries nest: for any path, the deepest entry that is the path itself or one of its
// folders decides. A ticked entry takes it in, a left-out entry leaves it out, no entry at all
// leaves it out. The operations keep the entries minimal, so the plan never holds an entry
// that changes nothing.
//
// Patterns leave out, wherever a ticked folder is read, the entries whose name they match:
// "*.tmp" files and folders alike, "node_modules/" (a trailing "/") folders only; a pattern
// with a "/" inside is matched against the whole path. What is ticked by itself is never
// left out by a pattern. There are none at first.
//
// A plan is a plain value; the application keeps it in the user's profile and saves it
// whenever it changes.
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QStringList>

#include <memory>

class QSettings;

class CBackupPlan
{
public:
    // How a tree item shows its tick.
    enum class ETick {
        None,   // neither it nor anything below it is backed up
        Partly, // a folder with some of what is below it backed up
        Whole   // it, and for a folder everything below it
    };

    // A file ticked by itself, in or out of a ticked folder.
    void TickFile(const QByteArray& path);
    // A folder ticked whole: what was ticked or left out below it no longer says anything.
    void TickFolder(const QByteArray& path);
    // A file or folder unticked: entries at and below it go, and inside a ticked folder it is
    // left out.
    void Untick(const QByteArray& path);
    // Every tick goes; the patterns stay.
    void Clear();

    bool IsEmpty() const { return m_files.isEmpty() && m_folders.isEmpty(); }
    // Whether the file or folder at path is backed up (for a folder: at least as a whole
    // that is not left out; parts of it may be).
    bool Contains(const QByteArray& path) const;
    // Whether something strictly below the folder is ticked while the folder is not, or left
    // out while the folder is: what a partly ticked mark needs, without reading the disk.
    bool HasEntriesBelow(const QByteArray& folder) const;
    // A file or folder a pattern leaves out shows no tick, though its folder is ticked.
    ETick TickOf(const QByteArray& path, bool bFolder = true) const;

    // The entries, each sorted by their bytes.
    QList<QByteArray> Files() const { return Sorted(m_files); }
    QList<QByteArray> Folders() const { return Sorted(m_folders); }
    QList<QByteArray> LeftOut() const { return Sorted(m_leftOut); }

    // Blank and repeated patterns are dropped; the order is kept.
    void SetPatterns(const QStringList& patterns);
    const QStringList& Patterns() const { return m_patterns; }
    // Whether a pattern leaves out the entry at path (a folder when bFolder).
    bool IsLeftOutByPattern(const QByteArray& path, bool bFolder) const;
    // Whether the patterns leave out what the plan takes in at path: a pattern matches it, or
    // a folder between it and the ticked folder that takes it in, and it is not ticked itself.
    bool IsLeftOutByPatterns(const QByteArray& path, bool bFolder) const;

    // Reads and writes the group "BackupPlan" of the settings; Save replaces what was there.
    void Load(QSettings& settings);
    void Save(QSettings& settings) const;
    // The user's profile ($XDG_CONFIG_HOME/Local AppWizard-Generated Applications/Mossvale.ini),
    // where the window and `mossvale --backup` both find the plan.
    static std::unique_ptr<QSettings> OpenProfile();
    static CBackupPlan LoadFromProfile();
    // False when the profile could not be written.
    bool SaveToProfile() const;

    // A path as the plan keeps it: no trailing "/" except for "/" itself.
    static QByteArray Normalised(QByteArray path);
    // Whether path lies strictly below folder.
    static bool IsBelow(const QByteArray& path, const QByteArray& folder);

    bool operator==(const CBackupPlan& other) const
    {
        return m_files == other.m_files && m_folders == other.m_folders &&
               m_leftOut == other.m_leftOut && m_patterns == other.m_patterns;
    }
    bool operator!=(const CBackupPlan& other) const { return !(*this == other); }

private:
    static QList<QByteArray> Sorted(const QSet<QByteArray>& set);
    // Drops the entries at path and, with bBelow, those below it.
    void RemoveEntries(const QByteArray& path, bool bBelow);

    QSet<QByteArray> m_files;
    QSet<QByteArray> m_folders;
    QSet<QByteArray> m_leftOut;
    QStringList m_patterns;
};
