#pragma once
// The tree of the local machine: "My Computer", one item per drive, and below them the
// folders and files, each with a three-state check box. Folders are read once, at the
// first expansion of their item; until then every folder shows an expand button, which
// goes when that expansion finds nothing to show.
//
// The ticks are the backup plan's: a tick, from the mouse, the space bar or a screen reader,
// goes in through the model (setData with Qt::CheckStateRole) and changes the plan: a ticked
// file is that file, a ticked folder or drive the whole folder, now and later; unticking
// something inside a ticked folder leaves it out. Every box is then drawn from the plan: the
// items already loaded at, below and above the ticked one at once, and new items as their
// folder is read, so the plan of the last run shows without reading any folder at start-up.
// A folder with some, not all, of what is below it in the plan is partly ticked.
//
// Paths are the file system's bytes, built from the items' names (GetItemName); the item
// texts only show them, so a name that is not UTF-8 is still found, ticked and sent.
// The program's own temporaries (a restore's file not yet in place) are not shown.
//
// Check states are state-image indices: 0 no box, 1 unchecked, 2 partly checked,
// 3 checked. Item data is 0 until the item's first expansion has been handled, then 1.
// Image indices refer to the normal image list the left view gives the control.
#include "FolderReader.h"
#include "TreeCtrl.h"
#include "backup/BackupPlan.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QSet>
#include <QTimer>

class QKeyEvent;
class QMouseEvent;

class CFolderTreeCtrl : public CTreeCtrl
{
    Q_OBJECT
public:
    // Normal image list indices.
    enum {
        IMAGE_CDROM = 0, // also RAM disks and placeholders
        IMAGE_FOLDER = 1,
        IMAGE_HARDDISK = 2, // fixed and network drives
        IMAGE_FLOPPY = 3,   // removable drives
        IMAGE_COMPUTER = 4,
        IMAGE_FOLDER_SELECTED = 5,
        IMAGE_FILE = 6,
    };
    // What GetPathKind reports.
    enum {
        PATH_MISSING = 0,
        PATH_FILE = 1, // a regular file, or a link to one
        PATH_FOLDER = 2,
        PATH_SPECIAL = 3, // device, FIFO or socket: listed, skipped by a backup
    };

    // The root item's text, which is also its path: GetFullPath leaves it out of the paths
    // below it, and it is no folder to read.
    static constexpr char ROOT_NAME[] = "My Computer";

    explicit CFolderTreeCtrl(QWidget* pParent = nullptr);
    ~CFolderTreeCtrl() override;

    // The user's home folder, then one item per drive under hParent, each with a
    // placeholder; none is read.
    void InsertDrives(HTREEITEM hParent);
    // False, and nothing inserted, for a type that is not shown.
    bool InsertDrive(const QByteArray& root, UINT nDriveType, HTREEITEM hParent);

    // The item's full local path from the item names up to "My Computer"; the root's
    // own path is "My Computer", a placeholder's is its parent's.
    QByteArray GetFullPath(HTREEITEM hItem) const;
    // True for a drive's mount point and for an existing folder.
    bool IsFolder(const QByteArray& path) const;
    static int GetPathKind(const QByteArray& path);
    // Fills a folder or drive item from the disk; nothing when the folder can't be read.
    void ListFolder(HTREEITEM hItem, const QByteArray& path);
    void DeleteChildren(HTREEITEM hItem);
    // Reads every opened folder again and shows what changed on the disk, keeping the ticks
    // and what is open below (F5 on the tree; a change the watcher reports does the same for
    // its folder). The reads end later, off the window thread.
    void RefreshOpenFolders();
    // True while the item's folder is being read (its child says so).
    bool IsReading(HTREEITEM hItem) const;

    int GetCheckIndex(HTREEITEM hItem) const;
    // Ticks (CHECK_CHECKED) or unticks (CHECK_UNCHECKED) the item in the plan, through the
    // model; false for an item without a box.
    bool SetCheckState(HTREEITEM hItem, int nIndex);

    // The plan the boxes show. SetPlan draws every loaded box again (a plan read at start-up
    // is set before the drives are inserted, and costs nothing then).
    const CBackupPlan& Plan() const { return m_plan; }
    void SetPlan(const CBackupPlan& plan);

    // The handlers: a left-button press (point in viewport coordinates), the click that
    // follows it, a key press, and the first expansion of an item. OnKeyDown is true
    // when it consumed the key. OnItemExpanding is 1 when it refused the expansion (the
    // folder is gone and its item was removed), else 0.
    void OnLButtonDown(UINT nFlags, const QPoint& point);
    LRESULT OnClick() const;
    bool OnKeyDown(UINT nChar);
    LRESULT OnItemExpanding(HTREEITEM hItem, UINT nAction);

    UINT m_uHitFlags = 0;

signals:
    // A tick changed the plan.
    void planChanged();

protected:
    bool event(QEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    // Items are found again by their names from the top, since a read may end after its item
    // was removed.
    QList<QByteArray> NamesOf(HTREEITEM hItem) const;
    HTREEITEM FindByNames(const QList<QByteArray>& names) const;
    bool IsTopFolder(HTREEITEM hItem) const; // a drive or the home folder
    void OnFolderRead(const QList<QByteArray>& names, FolderContents& contents);
    void FillFolder(HTREEITEM hItem, std::vector<FindEntry>& entries);
    // Brings the children of an item already read in line with contents.
    void MergeFolder(HTREEITEM hItem, FolderContents& contents);
    void Refresh(HTREEITEM hItem);
    void Watch(HTREEITEM hItem, const QByteArray& path);
    void OnWatchedChanged();
    void ToggleCheck(HTREEITEM hItem);
    void OnCheck(HTREEITEM hItem, bool bChecked);
    // The box the plan gives a path (a folder's when bFolder).
    int CheckIndexOf(const QByteArray& path, bool bFolder) const;
    bool IsFolderItem(HTREEITEM hItem) const; // a drive or folder, not a file
    // Draws the boxes of the loaded items whose path is changed, lies below it or above it:
    // the only ones a tick of changed can alter.
    void DrawTicks(const QByteArray& changed);
    void DrawTicks(HTREEITEM hItem, const QByteArray& path, const QByteArray& changed);
    void DrawAllTicks(HTREEITEM hItem, const QByteArray& path);
    // Sets the box of the item and of every loaded item below it.
    void SetSubtreeCheck(HTREEITEM hItem, int nIndex);
    // The boxes of a folder's items before they are inserted.
    void DrawNewItems(std::vector<TreeInsertItem>& items, const QByteArray& folder) const;

    CBackupPlan m_plan;

    CFolderReader m_reader;
    bool m_bLastReadGone = false; // the last read found its folder gone
    QFileSystemWatcher m_watcher;
    QHash<QString, QList<QList<QByteArray>>> m_watched; // folder path: the items showing it
    QSet<QString> m_changed;                            // watched folders changed meanwhile
    QTimer m_tmrChanges;
};
