#include "FolderTreeCtrl.h"

#include "platform/DriveList.h"
#include "platform/FileFind.h"
#include "platform/Path.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSet>

namespace {

const QByteArray kMyComputer(CFolderTreeCtrl::ROOT_NAME);
constexpr UINT VK_SPACE = 0x20;
// How long the tree lets a burst of changes in a watched folder settle before reading it.
constexpr int kChangeDelayMs = 200;

// The wait cursor around folder reading; nests.
class CWaitCursor
{
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

TreeInsertItem MakeItem(QByteArray name, QString strText, int nImage, int nSelectedImage,
                        int nCheck)
{
    TreeInsertItem item;
    item.strText = std::move(strText);
    item.name = std::move(name);
    item.nImage = nImage;
    item.nSelectedImage = nSelectedImage;
    item.nState = INDEXTOSTATEIMAGEMASK(nCheck);
    return item;
}

// The empty child that gives an unread item its expand button.
TreeInsertItem MakePlaceholder()
{
    return MakeItem(QByteArray(), QString(), CFolderTreeCtrl::IMAGE_CDROM,
                    CFolderTreeCtrl::IMAGE_CDROM, CHECK_NO_BOX);
}

// The items a folder's entries show as, in the same order; the names move into them.
std::vector<TreeInsertItem> ItemsOf(std::vector<FindEntry>& entries)
{
    std::vector<TreeInsertItem> items;
    items.reserve(entries.size());
    for (FindEntry& entry : entries) {
        if (IsOwnTemporary(entry.name.constData()))
            continue; // a restore's file on its way; it is renamed into place or removed
        if (!(entry.nAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            items.push_back(MakeItem(std::move(entry.name), std::move(entry.strName),
                                     CFolderTreeCtrl::IMAGE_FILE, CFolderTreeCtrl::IMAGE_FILE,
                                     CHECK_UNCHECKED));
            continue;
        }
        if (entry.name == "." || entry.name == "..")
            continue;
        // Exactly directory + hidden + system, not a bit test. Linux has no system
        // attribute, so this never hides a folder here.
        if (entry.nAttributes ==
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            continue;
        // Every folder gets an expand button without being opened: looking into each of
        // 10,000 sub-folders here would cost far more than reading this one. Expanding a
        // folder that holds nothing to show takes its button away (OnItemExpanding).
        items.push_back(MakeItem(std::move(entry.name), std::move(entry.strName),
                                 CFolderTreeCtrl::IMAGE_FOLDER,
                                 CFolderTreeCtrl::IMAGE_FOLDER_SELECTED, CHECK_UNCHECKED));
        items.back().children.push_back(MakePlaceholder());
    }
    return items;
}

} // namespace

CFolderTreeCtrl::CFolderTreeCtrl(QWidget* pParent) : CTreeCtrl(pParent)
{
    // The view reports expansions after the fact; the first one of an item reads it.
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        OnItemExpanding(ItemFromIndex(index), TVE_EXPAND);
    });
    // A burst of changes (a download being written) is read once, a moment after it began.
    m_tmrChanges.setSingleShot(true);
    m_tmrChanges.setInterval(kChangeDelayMs);
    connect(&m_tmrChanges, &QTimer::timeout, this, &CFolderTreeCtrl::OnWatchedChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            [this](const QString& strPath) {
                m_changed.insert(strPath);
                if (!m_tmrChanges.isActive())
                    m_tmrChanges.start();
            });
    GetTreeModel()->SetCheckHandler(
        [this](TreeNode* pNode, bool bChecked) { OnCheck(pNode, bChecked); });
}

CFolderTreeCtrl::~CFolderTreeCtrl() = default;

void CFolderTreeCtrl::InsertDrives(HTREEITEM hParent)
{
    // The user's files are one click away, not a walk down from "/".
    if (const QByteArray home = GetHomeFolder(); !home.isEmpty()) {
        std::vector<TreeInsertItem> items{MakeItem(home, DisplayName(home), IMAGE_FOLDER,
                                                   IMAGE_FOLDER_SELECTED,
                                                   CheckIndexOf(home, true))};
        items[0].children.push_back(MakePlaceholder());
        InsertItems(hParent, items);
    }
    for (const DriveInfo& drive : GetLogicalDrives())
        InsertDrive(drive.root, drive.nType, hParent);
}

bool CFolderTreeCtrl::InsertDrive(const QByteArray& root, UINT nDriveType, HTREEITEM hParent)
{
    int nImage;
    switch (nDriveType) {
    case DRIVE_REMOVABLE:
        nImage = IMAGE_FLOPPY;
        break;
    case DRIVE_FIXED:
    case DRIVE_REMOTE:
        nImage = IMAGE_HARDDISK;
        break;
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        nImage = IMAGE_CDROM;
        break;
    default:
        return false;
    }
    // The drive is not read here, whether or not it answers.
    std::vector<TreeInsertItem> items{
        MakeItem(root, DisplayName(root), nImage, nImage, CheckIndexOf(root, true))};
    items[0].children.push_back(MakePlaceholder());
    return InsertItems(hParent, items) != nullptr;
}

QByteArray CFolderTreeCtrl::GetFullPath(HTREEITEM hItem) const
{
    QByteArray path;
    for (HTREEITEM h = hItem; h; h = GetParentItem(h)) {
        QByteArray name = GetItemName(h);
        if (!name.endsWith('/') && !path.isEmpty())
            name += '/';
        path = name + path;
    }
    if (path.startsWith(kMyComputer) && path.size() > kMyComputer.size())
        path.remove(0, kMyComputer.size() + 1);
    return path;
}

bool CFolderTreeCtrl::IsFolderItem(HTREEITEM hItem) const
{
    int nImage = 0, nSelectedImage = 0;
    return !GetItemImage(hItem, nImage, nSelectedImage) || nImage != IMAGE_FILE;
}

bool CFolderTreeCtrl::IsFolder(const QByteArray& path) const
{
    // A drive counts as a folder without asking its file system, so a drive that does not
    // answer keeps its item, as a drive without a medium did.
    for (HTREEITEM hTop = GetRootItem(); hTop; hTop = GetNextSiblingItem(hTop)) {
        for (HTREEITEM hDrive = GetChildItem(hTop); hDrive; hDrive = GetNextSiblingItem(hDrive)) {
            if (GetItemName(hDrive) == path)
                return true;
        }
    }
    const UINT nAttributes = GetFileAttributes(path);
    return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CFolderTreeCtrl::GetPathKind(const QByteArray& path)
{
    const UINT nAttributes = GetFileAttributes(path);
    if (nAttributes == INVALID_FILE_ATTRIBUTES)
        return PATH_MISSING;
    if (nAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return PATH_FOLDER;
    // An upload of /dev/zero or of a FIFO would never end: only regular files are files.
    if (nAttributes & FILE_ATTRIBUTE_DEVICE)
        return PATH_SPECIAL;
    return PATH_FILE;
}

void CFolderTreeCtrl::ListFolder(HTREEITEM hItem, const QByteArray& path)
{
    std::vector<FindEntry> entries;
    if (!FindFolderEntries(path, entries))
        return; // no medium, no access: the item stays without children
    FillFolder(hItem, entries);
}

void CFolderTreeCtrl::FillFolder(HTREEITEM hItem, std::vector<FindEntry>& entries)
{
    // The entries go as soon as their names have moved into the items: for a folder of
    // a million files they are tens of MiB that need not sit beside the new nodes.
    std::vector<TreeInsertItem> items = ItemsOf(entries);
    entries = {};
    DrawNewItems(items, GetFullPath(hItem));
    CWaitCursor wait;

    // Folders are appended in enumeration order; a file goes before the first child
    // already there whose text sorts after it. The enumeration comes sorted by that same
    // comparison, so into an item without children every file lands last too and the
    // whole batch goes in as it is, in one insertion.
    if (!ItemHasChildren(hItem)) {
        InsertItems(hItem, items);
        return;
    }
    for (TreeInsertItem& item : items) {
        HTREEITEM hBefore = nullptr;
        if (item.nImage == IMAGE_FILE) {
            hBefore = GetChildItem(hItem);
            while (hBefore && CompareFileNames(GetItemText(hBefore), item.strText) <= 0)
                hBefore = GetNextSiblingItem(hBefore);
        }
        std::vector<TreeInsertItem> one{std::move(item)};
        GetTreeModel()->InsertNodes(hItem, hBefore ? hBefore->nRow : GetChildCount(hItem), one);
    }
}

void CFolderTreeCtrl::DeleteChildren(HTREEITEM hItem)
{
    if (hItem && ItemHasChildren(hItem))
        GetTreeModel()->RemoveNodes(hItem, 0, GetChildCount(hItem));
}

int CFolderTreeCtrl::GetCheckIndex(HTREEITEM hItem) const
{
    return int(GetItemState(hItem, TVIS_STATEIMAGEMASK) >> 12);
}

bool CFolderTreeCtrl::SetCheckState(HTREEITEM hItem, int nIndex)
{
    return GetTreeModel()->setData(IndexFromItem(hItem),
                                   nIndex == CHECK_CHECKED ? Qt::Checked : Qt::Unchecked,
                                   Qt::CheckStateRole);
}

void CFolderTreeCtrl::OnCheck(HTREEITEM hItem, bool bChecked)
{
    const QByteArray path = CBackupPlan::Normalised(GetFullPath(hItem));
    if (!bChecked)
        m_plan.Untick(path);
    else if (hItem->nImage == IMAGE_FILE)
        m_plan.TickFile(path);
    else
        m_plan.TickFolder(path); // a drive or folder: all of it, also what comes later
    DrawTicks(path);
    emit planChanged();
}

void CFolderTreeCtrl::SetPlan(const CBackupPlan& plan)
{
    m_plan = plan;
    BeginBatch();
    if (HTREEITEM hRoot = GetRootItem())
        for (HTREEITEM hDrive = GetChildItem(hRoot); hDrive; hDrive = GetNextSiblingItem(hDrive))
            DrawAllTicks(hDrive, GetItemName(hDrive));
    EndBatch();
}

int CFolderTreeCtrl::CheckIndexOf(const QByteArray& path, bool bFolder) const
{
    switch (m_plan.TickOf(path, bFolder)) {
    case CBackupPlan::ETick::Whole:
        return CHECK_CHECKED;
    case CBackupPlan::ETick::Partly:
        return CHECK_PARTLY;
    default:
        return CHECK_UNCHECKED;
    }
}

void CFolderTreeCtrl::DrawTicks(const QByteArray& changed)
{
    // A path can show twice (a drive mounted inside another one's folders): every drive's
    // items are looked at, but only down the branches that lead to changed.
    BeginBatch();
    if (HTREEITEM hRoot = GetRootItem())
        for (HTREEITEM hDrive = GetChildItem(hRoot); hDrive; hDrive = GetNextSiblingItem(hDrive))
            DrawTicks(hDrive, GetItemName(hDrive), changed);
    EndBatch();
}

void CFolderTreeCtrl::DrawTicks(HTREEITEM hItem, const QByteArray& path, const QByteArray& changed)
{
    const QByteArray normal = CBackupPlan::Normalised(path);
    if (normal == changed || CBackupPlan::IsBelow(normal, changed)) {
        // A tick leaves no entry below what it ticked: all of it shows the same, but for what
        // the patterns leave out.
        if (m_plan.Patterns().isEmpty())
            SetSubtreeCheck(hItem, m_plan.Contains(changed) ? CHECK_CHECKED : CHECK_UNCHECKED);
        else
            DrawAllTicks(hItem, path);
        return;
    }
    if (!CBackupPlan::IsBelow(changed, normal))
        return; // nothing below this item changed
    SetItemState(hItem, INDEXTOSTATEIMAGEMASK(CheckIndexOf(normal, IsFolderItem(hItem))),
                 TVIS_STATEIMAGEMASK);
    for (HTREEITEM hChild = GetChildItem(hItem); hChild; hChild = GetNextSiblingItem(hChild)) {
        const QByteArray name = GetItemName(hChild);
        if (!name.isEmpty())
            DrawTicks(hChild, JoinPath(path, name), changed);
    }
}

void CFolderTreeCtrl::DrawAllTicks(HTREEITEM hItem, const QByteArray& path)
{
    if (GetCheckIndex(hItem) != CHECK_NO_BOX)
        SetItemState(hItem, INDEXTOSTATEIMAGEMASK(CheckIndexOf(path, IsFolderItem(hItem))),
                     TVIS_STATEIMAGEMASK);
    for (HTREEITEM hChild = GetChildItem(hItem); hChild; hChild = GetNextSiblingItem(hChild)) {
        const QByteArray name = GetItemName(hChild);
        if (!name.isEmpty())
            DrawAllTicks(hChild, JoinPath(path, name));
    }
}

void CFolderTreeCtrl::SetSubtreeCheck(HTREEITEM hItem, int nIndex)
{
    std::vector<HTREEITEM> pending{hItem};
    while (!pending.empty()) {
        HTREEITEM h = pending.back();
        pending.pop_back();
        if (GetCheckIndex(h) != CHECK_NO_BOX)
            SetItemState(h, INDEXTOSTATEIMAGEMASK(nIndex), TVIS_STATEIMAGEMASK);
        for (HTREEITEM hChild = GetChildItem(h); hChild; hChild = GetNextSiblingItem(hChild))
            pending.push_back(hChild);
    }
}

void CFolderTreeCtrl::DrawNewItems(std::vector<TreeInsertItem>& items,
                                   const QByteArray& folder) const
{
    // Most folders have no entry of the plan below them: their items all show what the
    // folder is. Only the items on the way to an entry are looked up one by one, so a folder
    // of a million files costs no plan look-up per file.
    const QByteArray normal = CBackupPlan::Normalised(folder);
    const bool bIn = m_plan.Contains(normal) && !m_plan.IsLeftOutByPatterns(normal, true);
    const int nBase = bIn ? CHECK_CHECKED : CHECK_UNCHECKED;
    QSet<QByteArray> onTheWay; // names of the items with an entry at or below them
    if (m_plan.HasEntriesBelow(normal)) {
        const int nSkip = normal == "/" ? 1 : normal.size() + 1;
        for (const QList<QByteArray>& entries :
             {m_plan.Files(), m_plan.Folders(), m_plan.LeftOut()})
            for (const QByteArray& entry : entries)
                if (CBackupPlan::IsBelow(entry, normal)) {
                    const int nSlash = entry.indexOf('/', nSkip);
                    onTheWay.insert(entry.mid(nSkip, nSlash < 0 ? -1 : nSlash - nSkip));
                }
    }
    const bool bPatterns = bIn && !m_plan.Patterns().isEmpty();
    for (TreeInsertItem& item : items) {
        const bool bFolder = item.nImage != IMAGE_FILE;
        int nIndex = nBase;
        if (onTheWay.contains(item.name))
            nIndex = CheckIndexOf(JoinPath(folder, item.name), bFolder);
        else if (bPatterns && m_plan.IsLeftOutByPattern(JoinPath(folder, item.name), bFolder))
            nIndex = CHECK_UNCHECKED;
        item.nState = INDEXTOSTATEIMAGEMASK(nIndex);
    }
}

void CFolderTreeCtrl::ToggleCheck(HTREEITEM hItem)
{
    // A partly ticked folder becomes ticked whole.
    SetCheckState(hItem, GetCheckIndex(hItem) == CHECK_CHECKED ? CHECK_UNCHECKED : CHECK_CHECKED);
    NotifyCheckChanged(hItem);
}

void CFolderTreeCtrl::OnLButtonDown(UINT nFlags, const QPoint& point)
{
    Q_UNUSED(nFlags);
    HTREEITEM hItem = HitTest(point, &m_uHitFlags);
    if (hItem && (m_uHitFlags & TVHT_ONITEMSTATEICON))
        ToggleCheck(hItem);
}

LRESULT CFolderTreeCtrl::OnClick() const
{
    return (m_uHitFlags & TVHT_ONITEMSTATEICON) ? 1 : 0;
}

bool CFolderTreeCtrl::OnKeyDown(UINT nChar)
{
    if (nChar != VK_SPACE)
        return false;
    HTREEITEM hItem = GetSelectedItem();
    if (hItem && GetCheckIndex(hItem) != CHECK_NO_BOX)
        ToggleCheck(hItem);
    return true;
}

LRESULT CFolderTreeCtrl::OnItemExpanding(HTREEITEM hItem, UINT nAction)
{
    if (!hItem || GetItemData(hItem) != 0)
        return 0; // read once; later changes come through the watcher or F5
    SetItemData(hItem, 1);
    const QByteArray path = GetFullPath(hItem);
    if (path == kMyComputer || path.isEmpty() || nAction != TVE_EXPAND)
        return 0;
    // Read on a worker: a folder on a hung mount must not freeze the window. Most reads end
    // within the wait and show at once; a slower one shows as being read until it ends.
    m_bLastReadGone = false;
    const QList<QByteArray> names = NamesOf(hItem);
    if (m_reader.Read(path, CFolderReader::kWaitMs,
                      [this, names](FolderContents& contents) { OnFolderRead(names, contents); }))
        return m_bLastReadGone ? 1 : 0;
    DeleteChildren(hItem);
    std::vector<TreeInsertItem> reading{
        MakeItem(QByteArray(), tr("正在读取…"), IMAGE_CDROM, IMAGE_CDROM, CHECK_NO_BOX)};
    InsertItems(hItem, reading);
    return 0;
}

bool CFolderTreeCtrl::IsReading(HTREEITEM hItem) const
{
    HTREEITEM hChild = hItem ? GetChildItem(hItem) : nullptr;
    return hChild && GetItemName(hChild).isEmpty() && !GetItemText(hChild).isEmpty();
}

QList<QByteArray> CFolderTreeCtrl::NamesOf(HTREEITEM hItem) const
{
    QList<QByteArray> names;
    for (HTREEITEM h = hItem; h; h = GetParentItem(h))
        names.prepend(GetItemName(h));
    return names;
}

HTREEITEM CFolderTreeCtrl::FindByNames(const QList<QByteArray>& names) const
{
    HTREEITEM hFound = nullptr;
    HTREEITEM hLevel = GetRootItem();
    for (const QByteArray& name : names) {
        HTREEITEM h = hLevel;
        while (h && GetItemName(h) != name)
            h = GetNextSiblingItem(h);
        if (!h)
            return nullptr;
        hFound = h;
        hLevel = GetChildItem(h);
    }
    return hFound;
}

bool CFolderTreeCtrl::IsTopFolder(HTREEITEM hItem) const
{
    HTREEITEM hParent = GetParentItem(hItem);
    return hParent && !GetParentItem(hParent);
}

void CFolderTreeCtrl::OnFolderRead(const QList<QByteArray>& names, FolderContents& contents)
{
    HTREEITEM hItem = FindByNames(names);
    if (!hItem)
        return; // gone from the tree meanwhile
    if (!contents.bExists && !IsTopFolder(hItem)) {
        // Gone or moved since it was listed. A drive keeps its item, answering or not.
        DeleteItem(hItem);
        m_bLastReadGone = true;
        return;
    }
    DeleteChildren(hItem);
    if (!contents.bReadable)
        return; // no medium, no access: the item stays without children
    FillFolder(hItem, contents.entries);
    Watch(hItem, GetFullPath(hItem));
}

void CFolderTreeCtrl::Watch(HTREEITEM hItem, const QByteArray& path)
{
    const QString strPath = QFile::decodeName(path);
    QList<QList<QByteArray>>& items = m_watched[strPath];
    const QList<QByteArray> names = NamesOf(hItem);
    if (!items.contains(names))
        items << names;
    if (items.size() == 1)
        m_watcher.addPath(strPath);
}

void CFolderTreeCtrl::OnWatchedChanged()
{
    const QSet<QString> changed = std::exchange(m_changed, {});
    for (const QString& strPath : changed) {
        QList<QList<QByteArray>>& items = m_watched[strPath];
        for (auto it = items.begin(); it != items.end();) {
            HTREEITEM hItem = FindByNames(*it);
            if (!hItem) {
                it = items.erase(it); // no longer in the tree
                continue;
            }
            Refresh(hItem);
            ++it;
        }
        if (items.isEmpty()) {
            m_watched.remove(strPath);
            m_watcher.removePath(strPath);
        }
    }
}

void CFolderTreeCtrl::RefreshOpenFolders()
{
    std::vector<HTREEITEM> read;
    std::vector<HTREEITEM> pending{GetRootItem()};
    while (!pending.empty()) {
        HTREEITEM hItem = pending.back();
        pending.pop_back();
        for (HTREEITEM h = hItem ? GetChildItem(hItem) : nullptr; h; h = GetNextSiblingItem(h)) {
            if (GetItemData(h) != 0) {
                read.push_back(h);
                pending.push_back(h);
            }
        }
    }
    for (HTREEITEM hItem : read)
        Refresh(hItem);
}

void CFolderTreeCtrl::Refresh(HTREEITEM hItem)
{
    if (IsReading(hItem))
        return; // its first read has not ended yet
    const QList<QByteArray> names = NamesOf(hItem);
    m_reader.Read(GetFullPath(hItem), 0, [this, names](FolderContents& contents) {
        if (HTREEITEM h = FindByNames(names); h && !IsReading(h))
            MergeFolder(h, contents);
    });
}

void CFolderTreeCtrl::MergeFolder(HTREEITEM hItem, FolderContents& contents)
{
    if (!contents.bExists) {
        if (!IsTopFolder(hItem))
            DeleteItem(hItem);
        return;
    }
    if (!contents.bReadable)
        return;
    std::vector<TreeInsertItem> items = ItemsOf(contents.entries);
    QSet<QByteArray> fresh;
    for (const TreeInsertItem& item : items)
        fresh.insert(item.name);

    // What is still there keeps its item, its tick and what is open below it.
    const QByteArray path = GetFullPath(hItem);
    QSet<QByteArray> present;
    bool bChanged = false;
    for (HTREEITEM h = GetChildItem(hItem); h;) {
        HTREEITEM hNext = GetNextSiblingItem(h);
        const QByteArray name = GetItemName(h);
        if (name.isEmpty()) {
            if (!items.empty()) // a placeholder, no longer needed
                DeleteItem(h);
        } else if (!fresh.contains(name)) {
            DeleteItem(h);
            bChanged = true;
        } else {
            present.insert(name);
        }
        h = hNext;
    }
    // New entries come in at their sorted places.
    for (TreeInsertItem& item : items) {
        if (present.contains(item.name))
            continue;
        HTREEITEM hBefore = GetChildItem(hItem);
        while (hBefore && CompareFileNames(GetItemText(hBefore), item.strText) <= 0)
            hBefore = GetNextSiblingItem(hBefore);
        std::vector<TreeInsertItem> one{std::move(item)};
        GetTreeModel()->InsertNodes(hItem, hBefore ? hBefore->nRow : GetChildCount(hItem), one);
        bChanged = true;
    }
    // The ticks come from the plan: a new file in a ticked folder is part of it.
    if (bChanged)
        DrawAllTicks(hItem, path);
}

bool CFolderTreeCtrl::event(QEvent* pEvent)
{
    // F5 on the tree reads its folders again, before the window's F5 (the server's list).
    if (pEvent->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_F5 &&
        static_cast<QKeyEvent*>(pEvent)->modifiers() == Qt::NoModifier) {
        pEvent->accept();
        return true;
    }
    return CTreeCtrl::event(pEvent);
}

void CFolderTreeCtrl::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        OnLButtonDown(0, pEvent->position().toPoint());
    CTreeCtrl::mousePressEvent(pEvent);
}

void CFolderTreeCtrl::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton && OnClick() != 0) {
        // A press on a box has done its work; the view still ends the press, but the
        // release is not reported as a click on the item.
        const QSignalBlocker blocker(this);
        CTreeCtrl::mouseReleaseEvent(pEvent);
        return;
    }
    CTreeCtrl::mouseReleaseEvent(pEvent);
}

void CFolderTreeCtrl::keyPressEvent(QKeyEvent* pEvent)
{
    // The view's own "*" expands every folder below, reading the whole disk on this
    // thread and never ending on links to parent folders: one level is enough.
    if (pEvent->key() == Qt::Key_Asterisk) {
        if (HTREEITEM hItem = GetSelectedItem())
            Expand(hItem, TVE_EXPAND);
        pEvent->accept();
        return;
    }
    if (pEvent->key() == Qt::Key_F5 && pEvent->modifiers() == Qt::NoModifier) {
        RefreshOpenFolders();
        pEvent->accept();
        return;
    }
    if (OnKeyDown(UINT(pEvent->key()))) {
        pEvent->accept();
        return;
    }
    CTreeCtrl::keyPressEvent(pEvent);
}
