// The folder tree in its left view, on a temporary folder tree behind a fixture mount
// table, driven with the mouse and the keyboard as a user would.
#include "platform/DriveList.h"
#include "tree/LeftView.h"
#include "TestFiles.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Raw(const QString& strPath)
{
    return QFile::encodeName(strPath);
}

} // namespace

class TestFolderTree : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstLevelAndRepeatedUpdate();
    void readsEachFolderOnce();
    void vanishedAndUnreadableFolders();
    void siblingOrder();
    void ticksMakeThePlan();
    void patternsShowUnticked();
    void homeShowsThePlanAtStart();
    void planDrawnWithoutReading();
    void boxLabelAndSpaceBar();
    void specialFilesListed();
    void namesThatAreNotUtf8();
    void listIntoExistingChildren();
    void asteriskExpandsOneLevel();
    void screenReaderReadsBoxes();

private:
    CFolderTreeCtrl& Tree() { return m_pView->m_treeCtrl; }
    QString Path(const QString& strName) const { return m_pDir->filePath(strName); }
    QString Disk() const { return Path("disk"); }
    HTREEITEM Child(HTREEITEM hParent, const QString& strText);
    // The item at the end of the texts, from the disk drive down, each level expanded.
    HTREEITEM Open(const QStringList& texts);
    QStringList ChildTexts(HTREEITEM hParent);
    int Check(HTREEITEM hItem) { return Tree().GetCheckIndex(hItem); }
    QStringList Files() { return Texts(Tree().Plan().Files()); }
    QStringList Folders() { return Texts(Tree().Plan().Folders()); }
    QStringList LeftOut() { return Texts(Tree().Plan().LeftOut()); }
    static QStringList Texts(const QList<QByteArray>& paths)
    {
        QStringList texts;
        for (const QByteArray& path : paths)
            texts << QFile::decodeName(path);
        return texts;
    }
    void ClickBox(HTREEITEM hItem);
    void ClickLabel(HTREEITEM hItem);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<CLeftView> m_pView;
    std::unique_ptr<QAbstractItemModelTester> m_pTester;
};

void TestFolderTree::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    QDir d(m_pDir->path());
    for (const char* pszFolder : {"disk/Docs/Sub", "disk/Two", "disk/Empty", "disk/Hidden",
                                  "disk/Gone", "disk/Special", "ram/Only"})
        QVERIFY(d.mkpath(pszFolder));
    for (const char* pszFile :
         {"disk/Docs/a.txt", "disk/Docs/b.txt", "disk/Docs/Sub/x.txt", "disk/Two/one.txt",
          "disk/Two/two.txt", "disk/Hidden/.h", "disk/Gone/y.txt", "ram/Only/one.txt"})
        QVERIFY(WriteFile(d.filePath(pszFile)));

    const QByteArray table = "overlay / overlay rw 0 0\n"
                             "proc /proc proc rw 0 0\n"
                             "/dev/sdz1 " +
                             QFile::encodeName(Disk()) +
                             " ext4 rw 0 0\n"
                             "/dev/sr9 " +
                             QFile::encodeName(d.filePath("nomedia")) +
                             " iso9660 ro 0 0\n"
                             "tmpfs " +
                             QFile::encodeName(d.filePath("ram")) + " tmpfs rw 0 0\n";
    QFile file(d.filePath("mounts"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(table) == table.size());
    file.close();
    SetMountTable(file.fileName());

    m_pView = std::make_unique<CLeftView>();
    m_pView->resize(400, 600);
    m_pTester = std::make_unique<QAbstractItemModelTester>(
        Tree().model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_pView->OnInitialUpdate();
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView.get()));
}

void TestFolderTree::cleanup()
{
    m_pTester.reset();
    m_pView.reset();
    SetMountTable(QString());
    m_pDir.reset();
}

HTREEITEM TestFolderTree::Child(HTREEITEM hParent, const QString& strText)
{
    for (HTREEITEM h = Tree().GetChildItem(hParent); h; h = Tree().GetNextSiblingItem(h)) {
        if (Tree().GetItemText(h) == strText)
            return h;
    }
    return nullptr;
}

HTREEITEM TestFolderTree::Open(const QStringList& texts)
{
    HTREEITEM hItem = Child(Tree().GetRootItem(), Disk());
    for (const QString& strText : texts) {
        if (!hItem)
            return nullptr;
        Tree().Expand(hItem, TVE_EXPAND);
        hItem = Child(hItem, strText);
    }
    return hItem;
}

QStringList TestFolderTree::ChildTexts(HTREEITEM hParent)
{
    QStringList texts;
    for (HTREEITEM h = Tree().GetChildItem(hParent); h; h = Tree().GetNextSiblingItem(h))
        texts << Tree().GetItemText(h);
    return texts;
}

void TestFolderTree::ClickBox(HTREEITEM hItem)
{
    Tree().scrollTo(Tree().IndexFromItem(hItem));
    const QRect box = Tree().GetStateIconRect(hItem);
    QVERIFY(!box.isEmpty());
    QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {}, box.center());
}

void TestFolderTree::ClickLabel(HTREEITEM hItem)
{
    Tree().scrollTo(Tree().IndexFromItem(hItem));
    QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {},
                      Tree().GetItemRect(hItem, true).center());
}

void TestFolderTree::firstLevelAndRepeatedUpdate()
{
    CFolderTreeCtrl& tree = Tree();
    QCOMPARE(tree.geometry(), m_pView->rect().adjusted(10, 10, -10, -10));

    HTREEITEM hRoot = tree.GetRootItem();
    QCOMPARE(tree.GetItemText(hRoot), QString("My Computer"));
    QVERIFY(!tree.GetNextSiblingItem(hRoot));
    QCOMPARE(Check(hRoot), 0);
    QVERIFY(tree.GetItemState(hRoot, TVIS_EXPANDED));
    QCOMPARE(tree.GetFullPath(hRoot), QByteArray("My Computer"));

    // One unchecked, unread drive per mount, "/" first; each has an empty placeholder,
    // also the drive whose mount point holds nothing at all.
    const QString strNoMedia = Path("nomedia");
    QCOMPARE(ChildTexts(hRoot), QStringList({"/", Disk(), strNoMedia, Path("ram")}));
    const QList<int> images{CFolderTreeCtrl::IMAGE_HARDDISK, CFolderTreeCtrl::IMAGE_HARDDISK,
                            CFolderTreeCtrl::IMAGE_CDROM, CFolderTreeCtrl::IMAGE_CDROM};
    int i = 0;
    for (HTREEITEM hDrive = tree.GetChildItem(hRoot); hDrive;
         hDrive = tree.GetNextSiblingItem(hDrive), ++i) {
        int nImage = -1, nSelected = -1;
        tree.GetItemImage(hDrive, nImage, nSelected);
        QCOMPARE(nImage, images[i]);
        QCOMPARE(nSelected, images[i]);
        QCOMPARE(Check(hDrive), 1);
        QCOMPARE(tree.GetItemData(hDrive), LPARAM(0));
        QVERIFY(!tree.GetItemState(hDrive, TVIS_EXPANDED));
        QCOMPARE(ChildTexts(hDrive), QStringList({QString()}));
        QCOMPARE(Check(tree.GetChildItem(hDrive)), 0);
        QCOMPARE(tree.GetFullPath(tree.GetChildItem(hDrive)), tree.GetItemName(hDrive));
    }

    // The tree follows the pane's size, keeping its margin.
    m_pView->resize(600, 700);
    QTRY_COMPARE(tree.geometry(), QRect(10, 10, 580, 680));

    // A repeated initial update (New, Open) keeps the one tree and its ticks.
    HTREEITEM hTwo = Open({"Two", "one.txt"});
    ClickBox(hTwo);
    const int nCount = tree.GetCount();
    m_pView->OnInitialUpdate();
    QCOMPARE(tree.GetRootItem(), hRoot);
    QCOMPARE(tree.GetCount(), nCount);
    QCOMPARE(Files(), QStringList({Disk() + "/Two/one.txt"}));
    QCOMPARE(Check(hTwo), 3);
}

void TestFolderTree::readsEachFolderOnce()
{
    CFolderTreeCtrl& tree = Tree();
    HTREEITEM hDisk = Child(tree.GetRootItem(), Disk());
    QVERIFY(tree.Expand(hDisk, TVE_EXPAND));
    QCOMPARE(tree.GetItemData(hDisk), LPARAM(1));
    QCOMPARE(ChildTexts(hDisk), QStringList({"Docs", "Empty", "Gone", "Hidden", "Special", "Two"}));
    // Every folder has an expand button before it is read; its first expansion keeps the
    // button only where there is something to show, and a hidden file counts.
    for (const char* pszFolder : {"Docs", "Empty", "Hidden", "Special"}) {
        HTREEITEM hFolder = Child(hDisk, pszFolder);
        QVERIFY2(tree.ItemHasChildren(hFolder), pszFolder);
        QCOMPARE(tree.GetItemData(hFolder), LPARAM(0));
    }
    HTREEITEM hEmpty = Child(hDisk, "Empty");
    auto hitLeftOf = [&](HTREEITEM hItem) {
        const QRect row = tree.GetItemRect(hItem, false);
        UINT nFlags = 0;
        return tree.HitTest(QPoint(row.left() - 8, row.center().y()), &nFlags) == hItem ? nFlags
                                                                                        : 0;
    };
    QCOMPARE(hitLeftOf(hEmpty), TVHT_ONITEMBUTTON);
    for (const char* pszFolder : {"Empty", "Hidden", "Special"})
        tree.Expand(Child(hDisk, pszFolder), TVE_EXPAND);
    QVERIFY(!tree.ItemHasChildren(hEmpty));
    QVERIFY(tree.ItemHasChildren(Child(hDisk, "Hidden")));
    QVERIFY(!tree.ItemHasChildren(Child(hDisk, "Special")));
    QCOMPARE(hitLeftOf(hEmpty), TVHT_ONITEMINDENT); // no button left to press

    HTREEITEM hDocs = Open({"Docs"});
    QVERIFY(tree.Expand(hDocs, TVE_EXPAND));
    QCOMPARE(tree.GetFullPath(Child(hDocs, "a.txt")), Raw(Disk() + "/Docs/a.txt"));
    QCOMPARE(ChildTexts(hDocs), QStringList({"a.txt", "b.txt", "Sub"}));
    QCOMPARE(ChildTexts(Child(hDocs, "Sub")), QStringList({QString()})); // still unread

    // Collapsing and expanding again reads nothing again; what changes on the disk comes in
    // by itself, in its place, and what was ticked stays ticked.
    ClickBox(Child(hDocs, "a.txt"));
    tree.Expand(hDocs, TVE_COLLAPSE);
    tree.Expand(hDisk, TVE_COLLAPSE);
    QVERIFY(tree.Expand(hDisk, TVE_EXPAND));
    QVERIFY(tree.Expand(hDocs, TVE_EXPAND));
    QCOMPARE(ChildTexts(hDocs), QStringList({"a.txt", "b.txt", "Sub"}));
    QVERIFY(WriteFile(Disk() + "/Docs/c.txt"));
    QVERIFY(QFile::remove(Disk() + "/Docs/b.txt"));
    QVERIFY(QDir(Disk()).mkdir("New"));
    QTRY_VERIFY(Child(hDisk, "New"));
    QTRY_COMPARE(ChildTexts(hDocs), QStringList({"a.txt", "c.txt", "Sub"}));
    QCOMPARE(Check(Child(hDocs, "a.txt")), 3);
    QCOMPARE(Check(Child(hDocs, "c.txt")), 1);
    QCOMPARE(Check(hDocs), 2);
    QCOMPARE(tree.Plan().Files(), QList<QByteArray>{Raw(Disk() + "/Docs/a.txt")});
    QVERIFY(tree.ItemHasChildren(Child(hDisk, "New"))); // unread, like its siblings
}

void TestFolderTree::vanishedAndUnreadableFolders()
{
    CFolderTreeCtrl& tree = Tree();
    HTREEITEM hGone = Open({"Gone"});
    HTREEITEM hDisk = tree.GetParentItem(hGone);
    QVERIFY(QDir(Disk() + "/Gone").removeRecursively());

    // The Right key expands the folder; it is gone, so its item goes and nothing expands.
    tree.setFocus();
    tree.SelectItem(hGone);
    QTest::keyClick(&tree, Qt::Key_Right);
    QVERIFY(!Child(hDisk, "Gone"));
    QCOMPARE(ChildTexts(hDisk), QStringList({"Docs", "Empty", "Hidden", "Special", "Two"}));
    QTest::keyClick(&tree, Qt::Key_Down); // the view carries on with a sound current item
    QVERIFY(tree.GetSelectedItem());

    // A drive that can't be read keeps its item but loses its expand button.
    HTREEITEM hNoMedia = Child(tree.GetRootItem(), Path("nomedia"));
    tree.Expand(hNoMedia, TVE_EXPAND);
    QCOMPARE(Child(tree.GetRootItem(), Path("nomedia")), hNoMedia);
    QVERIFY(!tree.ItemHasChildren(hNoMedia));

    if (geteuid() == 0)
        QSKIP("root reads every folder; the unreadable folder case needs another user");
    HTREEITEM hDocs = Open({"Docs"});
    QVERIFY(chmod(QFile::encodeName(Disk() + "/Docs").constData(), 0) == 0);
    tree.Expand(hDocs, TVE_EXPAND);
    chmod(QFile::encodeName(Disk() + "/Docs").constData(), 0755);
    QVERIFY(Child(hDisk, "Docs"));
    QVERIFY(!tree.ItemHasChildren(hDocs));
}

void TestFolderTree::siblingOrder()
{
    QDir d(Disk() + "/Two");
    for (const char* pszFolder : {"beta", "Alpha", "_under"})
        QVERIFY(d.mkdir(pszFolder));
    for (const char* pszFile : {"README", "Readme", "apple.txt", "Zoo.txt", ".dot"})
        QVERIFY(WriteFile(d.filePath(pszFile)));
    HTREEITEM hTwo = Open({"Two"});
    Tree().Expand(hTwo, TVE_EXPAND);
    // Folders and files mixed in one case-insensitive order, hidden entries included.
    QCOMPARE(ChildTexts(hTwo), QStringList({".dot", "Alpha", "apple.txt", "beta", "one.txt",
                                            "README", "Readme", "two.txt", "Zoo.txt", "_under"}));
}

void TestFolderTree::ticksMakeThePlan()
{
    CFolderTreeCtrl& tree = Tree();
    QSignalSpy changed(&tree, &CFolderTreeCtrl::planChanged);
    HTREEITEM hDocs = Open({"Docs"});
    HTREEITEM hDisk = tree.GetParentItem(hDocs);
    tree.Expand(hDocs, TVE_EXPAND);
    HTREEITEM hSub = Child(hDocs, "Sub");

    // A ticked folder is the whole folder: everything loaded below it shows ticked, and its
    // drive partly.
    ClickBox(hDocs);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(Folders(), QStringList({Disk() + "/Docs"}));
    QVERIFY(Files().isEmpty());
    for (HTREEITEM h : {hDocs, Child(hDocs, "a.txt"), Child(hDocs, "b.txt"), hSub})
        QCOMPARE(Check(h), 3);
    QCOMPARE(Check(hDisk), 2);
    QCOMPARE(Check(tree.GetRootItem()), 0);
    // What a ticked folder shows when first opened is ticked too.
    tree.Expand(hSub, TVE_EXPAND);
    QCOMPARE(Check(Child(hSub, "x.txt")), 3);

    // Unticking inside it leaves that out, and the folder is partly ticked; ticking it again
    // takes the entry away.
    ClickBox(Child(hDocs, "a.txt"));
    QCOMPARE(LeftOut(), QStringList({Disk() + "/Docs/a.txt"}));
    QCOMPARE(Check(hDocs), 2);
    QCOMPARE(Check(hSub), 3);
    ClickBox(Child(hDocs, "a.txt"));
    QVERIFY(LeftOut().isEmpty());
    QCOMPARE(Check(hDocs), 3);

    // Files ticked one by one are those files, not their folder: the folder stays partly
    // ticked, since what comes later is not in the plan. Toggling it takes it whole.
    HTREEITEM hOne = Open({"Two", "one.txt"});
    HTREEITEM hTwo = tree.GetParentItem(hOne);
    ClickBox(Child(hTwo, "two.txt"));
    QCOMPARE(Check(hTwo), 2);
    ClickBox(Child(hTwo, "two.txt"));
    QCOMPARE(Check(hTwo), 1);
    ClickBox(hOne);
    ClickBox(Child(hTwo, "two.txt"));
    QCOMPARE(Check(hTwo), 2);
    QCOMPARE(Files(), QStringList({Disk() + "/Two/one.txt", Disk() + "/Two/two.txt"}));
    ClickBox(hTwo);
    QCOMPARE(Check(hTwo), 3);
    QVERIFY(Files().isEmpty());
    QCOMPARE(Folders(), QStringList({Disk() + "/Docs", Disk() + "/Two"}));

    // A folder that turns out empty when first expanded keeps its tick.
    HTREEITEM hEmpty = Child(hDisk, "Empty");
    ClickBox(hEmpty);
    tree.Expand(hEmpty, TVE_EXPAND);
    QVERIFY(!tree.ItemHasChildren(hEmpty));
    QCOMPARE(Check(hEmpty), 3);
    ClickBox(hEmpty);
    QCOMPARE(Check(hEmpty), 1);

    // A partly ticked drive becomes ticked whole, and its plan is that one entry.
    QCOMPARE(Check(hDisk), 2);
    ClickBox(hDisk);
    QCOMPARE(Check(hDisk), 3);
    QCOMPARE(Check(Child(hSub, "x.txt")), 3);
    QCOMPARE(Folders(), QStringList({Disk()}));
    ClickBox(hDisk);
    QVERIFY(tree.Plan().IsEmpty());
    QCOMPARE(Check(Child(hSub, "x.txt")), 1);
}

void TestFolderTree::patternsShowUnticked()
{
    // What a pattern leaves out of a ticked folder shows unticked, there and below, whether
    // it was on screen when the patterns came or opened later. The patterns rule it (Options
    // changes them): its box does not change the plan.
    CFolderTreeCtrl& tree = Tree();
    HTREEITEM hDocs = Open({"Docs"});
    tree.Expand(hDocs, TVE_EXPAND);
    ClickBox(hDocs);
    CBackupPlan plan = tree.Plan();
    plan.SetPatterns({"Sub/", "b.txt"});
    tree.SetPlan(plan);
    HTREEITEM hSub = Child(hDocs, "Sub");
    QCOMPARE(Check(Child(hDocs, "a.txt")), 3);
    QCOMPARE(Check(Child(hDocs, "b.txt")), 1);
    QCOMPARE(Check(hSub), 1);
    tree.Expand(hSub, TVE_EXPAND);
    QCOMPARE(Check(Child(hSub, "x.txt")), 1);
    ClickBox(hSub);
    QCOMPARE(Check(hSub), 1);
    QCOMPARE(Folders(), QStringList({Disk() + "/Docs"}));
    QVERIFY(LeftOut().isEmpty() && Files().isEmpty());
    plan.SetPatterns({});
    tree.SetPlan(plan);
    QCOMPARE(Check(Child(hSub, "x.txt")), 3);
}

void TestFolderTree::homeShowsThePlanAtStart()
{
    // The window loads the plan before the tree's items are made: the home folder's shortcut
    // shows what is ticked below it, as the drives do.
    SetHomeFolder(Raw(Disk()));
    const auto forget = qScopeGuard([] { SetHomeFolder(QByteArray()); });
    CBackupPlan plan;
    plan.TickFolder(Raw(Disk() + "/Docs"));
    CLeftView view;
    view.m_treeCtrl.SetPlan(plan);
    view.OnInitialUpdate();
    CFolderTreeCtrl& tree = view.m_treeCtrl;
    HTREEITEM hHome = tree.GetChildItem(tree.GetRootItem());
    QCOMPARE(tree.GetItemName(hHome), Raw(Disk()));
    QCOMPARE(tree.GetCheckIndex(hHome), 2);
}

void TestFolderTree::planDrawnWithoutReading()
{
    // The plan of the last run: a folder whole but for one file, and one file of another.
    CBackupPlan plan;
    plan.TickFolder(Raw(Disk() + "/Docs"));
    plan.Untick(Raw(Disk() + "/Docs/b.txt"));
    plan.TickFile(Raw(Disk() + "/Two/one.txt"));
    Tree().SetPlan(plan);
    HTREEITEM hDisk = Child(Tree().GetRootItem(), Disk());
    QCOMPARE(Check(hDisk), 2);
    QCOMPARE(Check(Child(Tree().GetRootItem(), Path("ram"))), 1);
    Tree().Expand(hDisk, TVE_EXPAND);
    HTREEITEM hDocs = Child(hDisk, "Docs");
    QCOMPARE(Check(hDocs), 2);
    QCOMPARE(Check(Child(hDisk, "Two")), 2);
    QCOMPARE(Check(Child(hDisk, "Empty")), 1);
    // Neither folder was read to show that.
    QCOMPARE(Tree().GetItemData(hDocs), LPARAM(0));
    QCOMPARE(ChildTexts(hDocs), QStringList({QString()}));

    // A file added since is part of the ticked folder; the left-out one stays out.
    QVERIFY(WriteFile(Disk() + "/Docs/new.txt"));
    Tree().Expand(hDocs, TVE_EXPAND);
    QCOMPARE(Check(Child(hDocs, "a.txt")), 3);
    QCOMPARE(Check(Child(hDocs, "new.txt")), 3);
    QCOMPARE(Check(Child(hDocs, "b.txt")), 1);
    QCOMPARE(Check(Child(hDocs, "Sub")), 3);
    HTREEITEM hOne = Open({"Two", "one.txt"});
    QCOMPARE(Check(hOne), 3);
    QCOMPARE(Check(Child(Tree().GetParentItem(hOne), "two.txt")), 1);
}

void TestFolderTree::boxLabelAndSpaceBar()
{
    CFolderTreeCtrl& tree = Tree();
    HTREEITEM hA = Open({"Docs", "a.txt"});
    HTREEITEM hB = tree.GetNextSiblingItem(hA);
    tree.setFocus();

    ClickLabel(hA); // selects only
    QCOMPARE(tree.GetSelectedItem(), hA);
    QCOMPARE(tree.m_uHitFlags, TVHT_ONITEMLABEL);
    QCOMPARE(Check(hA), 1);
    QVERIFY(tree.Plan().IsEmpty());

    ClickBox(hB); // toggles and selects
    QCOMPARE(tree.m_uHitFlags, TVHT_ONITEMSTATEICON);
    QCOMPARE(Check(hB), 3);
    QCOMPARE(tree.GetSelectedItem(), hB);
    QCOMPARE(Files(), QStringList({Disk() + "/Docs/b.txt"}));

    // The icon is neither box nor label: it selects without toggling.
    tree.scrollTo(tree.IndexFromItem(hA));
    const QRect label = tree.GetItemRect(hA, true);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      QPoint(label.left() - 8, label.center().y()));
    QCOMPARE(tree.m_uHitFlags, TVHT_ONITEMICON);
    QCOMPARE(Check(hA), 1);

    // The space bar toggles the selected item, twice back to where it was.
    tree.SelectItem(hB);
    QTest::keyClick(&tree, Qt::Key_Space);
    QCOMPARE(Check(hB), 1);
    QVERIFY(tree.Plan().IsEmpty());
    QTest::keyClick(&tree, Qt::Key_Space);
    QCOMPARE(Check(hB), 3);
    QCOMPARE(tree.GetSelectedItem(), hB); // the space bar does not move the selection

    // On "My Computer", which has no box, it does nothing.
    tree.SelectItem(tree.GetRootItem());
    QTest::keyClick(&tree, Qt::Key_Space);
    QCOMPARE(Check(tree.GetRootItem()), 0);
    QCOMPARE(Files().size(), 1);

    // Other keys keep the tree's own handling, type-ahead included.
    tree.SelectItem(tree.GetParentItem(tree.GetParentItem(hA)));
    QTest::keyClicks(&tree, "Hid");
    QCOMPARE(tree.GetItemText(tree.GetSelectedItem()), QString("Hidden"));

    // What the keyboard selects comes into view, also from far above it.
    tree.resize(tree.width(), 100);
    tree.scrollToTop();
    tree.SelectItem(tree.GetRootItem());
    QTest::keyClick(&tree, Qt::Key_End);
    const auto inView = [&] {
        const QRect row = tree.visualRect(tree.currentIndex());
        return row.top() >= 0 && row.bottom() < tree.viewport()->height();
    };
    QTRY_VERIFY(inView());
}

void TestFolderTree::specialFilesListed()
{
    const QString strSpecial = Disk() + "/Special";
    QVERIFY(mkfifo(QFile::encodeName(strSpecial + "/pipe").constData(), 0600) == 0);
    QVERIFY(QFile::link("/dev/zero", strSpecial + "/zero"));
    QVERIFY(WriteFile(strSpecial + "/real.txt"));
    QVERIFY(QFile::link(strSpecial + "/real.txt", strSpecial + "/link.txt"));
    QVERIFY(QFile::link(strSpecial + "/missing", strSpecial + "/dangling"));

    CFolderTreeCtrl& tree = Tree();
    HTREEITEM hSpecial = Open({"Special"});
    tree.Expand(hSpecial, TVE_EXPAND);
    // Listed, so the user sees them; a backup sends only regular files (or links to one).
    QCOMPARE(ChildTexts(hSpecial),
             QStringList({"dangling", "link.txt", "pipe", "real.txt", "zero"}));
    QCOMPARE(CFolderTreeCtrl::GetPathKind(Raw(strSpecial + "/zero")),
             int(CFolderTreeCtrl::PATH_SPECIAL));
}

void TestFolderTree::namesThatAreNotUtf8()
{
    // An archive from an old machine: GBK and Latin-1 names, and a GBK folder (中). Beside
    // them a restore's temporary, which is the program's own.
    const QByteArray old = Raw(Disk() + "/Old");
    const QByteArray gbk = old + "/\xC4\xE3\xBA\xC3.txt";
    const QByteArray latin1 = old + "/caf\xE9.txt";
    const QByteArray folder = old + "/\xD6\xD0";
    QVERIFY(QDir().mkpath(QFile::decodeName(old + "/Temps")));
    QVERIFY(mkdir(folder.constData(), 0755) == 0);
    for (const QByteArray& path : {gbk, latin1, folder + "/x.txt", old + "/.mossvale-Ab12Cd",
                                   old + "/Temps/.mossvale-Ef34Gh"})
        QVERIFY(WriteRawFile(path));

    const auto cleanup = qScopeGuard([&] { RemoveRawContents(old); });

    CFolderTreeCtrl& tree = Tree();
    HTREEITEM hOld = Open({"Old"});
    QVERIFY(tree.Expand(hOld, TVE_EXPAND));
    QCOMPARE(ChildTexts(hOld),
             QStringList({"caf\\xE9.txt", "Temps", "\\xC4\\xE3\\xBA\\xC3.txt", "\\xD6\\xD0"}));
    HTREEITEM hTemps = Child(hOld, "Temps"); // holds only a temporary
    tree.Expand(hTemps, TVE_EXPAND);
    QVERIFY(!tree.ItemHasChildren(hTemps));
    QCOMPARE(CFolderTreeCtrl::GetPathKind(gbk), int(CFolderTreeCtrl::PATH_FILE));
    // The folder is found by its bytes: it is read, not taken for one that has gone.
    HTREEITEM hFolder = Child(hOld, "\\xD6\\xD0");
    QVERIFY(tree.Expand(hFolder, TVE_EXPAND));
    QCOMPARE(ChildTexts(hFolder), QStringList({"x.txt"}));

    // The plan keeps the exact bytes, and finds them again to draw the boxes.
    ClickBox(hOld);
    ClickBox(Child(hFolder, "x.txt"));
    QCOMPARE(tree.Plan().Folders(), QList<QByteArray>({old}));
    QCOMPARE(tree.Plan().LeftOut(), QList<QByteArray>({folder + "/x.txt"}));
    QCOMPARE(Check(hFolder), 2);
    QCOMPARE(Check(Child(hOld, "caf\\xE9.txt")), 3);
}

void TestFolderTree::listIntoExistingChildren()
{
    // Files go before the first child already there whose text sorts after them; folders
    // are appended.
    CFolderTreeCtrl& tree = Tree();
    HTREEITEM hDocs = Open({"Docs"});
    tree.InsertItem("m", 1, 5, hDocs);
    tree.InsertItem("0", 1, 5, hDocs);
    tree.ListFolder(hDocs, Raw(Disk() + "/Docs"));
    QCOMPARE(ChildTexts(hDocs), QStringList({QString(), "a.txt", "b.txt", "m", "0", "Sub"}));
}

void TestFolderTree::asteriskExpandsOneLevel()
{
    // Links back up make the folder endless for a walk that follows them.
    QVERIFY(QFile::link("..", Disk() + "/Docs/up"));
    QVERIFY(QFile::link("../..", Disk() + "/Docs/Sub/upup"));
    HTREEITEM hDocs = Open({"Docs"});
    QVERIFY(hDocs);
    HTREEITEM hDisk = Tree().GetParentItem(hDocs);
    Tree().Expand(hDocs, TVE_COLLAPSE);
    Tree().SelectItem(hDisk);
    const int nBefore = Tree().GetCount();
    QTest::keyClick(&Tree(), Qt::Key_Asterisk);
    QVERIFY(Tree().GetItemState(hDisk, TVIS_EXPANDED));
    QVERIFY(!Tree().GetItemState(hDocs, TVIS_EXPANDED));
    QCOMPARE(Tree().GetCount(), nBefore);

    Tree().SelectItem(hDocs);
    QTest::keyClick(&Tree(), Qt::Key_Asterisk);
    QVERIFY(Tree().GetItemState(hDocs, TVIS_EXPANDED));
    HTREEITEM hUp = Child(hDocs, "up");
    QVERIFY(hUp);
    QVERIFY(!Tree().GetItemState(hUp, TVIS_EXPANDED));
    QVERIFY(!Tree().GetItemState(Child(hDocs, "Sub"), TVIS_EXPANDED));
}

void TestFolderTree::screenReaderReadsBoxes()
{
    HTREEITEM hDocs = Open({"Docs"});
    QVERIFY(hDocs);
    Tree().Expand(hDocs, TVE_EXPAND);
    Tree().SelectItem(Child(hDocs, "a.txt"));
    QTest::keyClick(&Tree(), Qt::Key_Space);
    QAccessibleInterface* pTree = QAccessible::queryAccessibleInterface(&Tree());
    QVERIFY(pTree);
    QCOMPARE(pTree->text(QAccessible::Name), QString("My Computer"));
    // The cell of an item as a screen reader sees it, found by its spoken name.
    auto cell = [&](const QString& strName) -> QAccessibleInterface* {
        for (int i = 0; i < pTree->childCount(); ++i) {
            QAccessibleInterface* pCell = pTree->child(i);
            if (pCell && pCell->text(QAccessible::Name) == strName)
                return pCell;
        }
        return nullptr;
    };
    for (const char* pszName : {"a.txt", "b.txt", "Docs", "My Computer"})
        QVERIFY2(cell(pszName), pszName);
    QVERIFY(cell("a.txt")->state().checkable && cell("a.txt")->state().checked);
    QVERIFY(cell("b.txt")->state().checkable && !cell("b.txt")->state().checked);
    QCOMPARE(cell("a.txt")->text(QAccessible::Description), QString("checked"));
    QCOMPARE(cell("b.txt")->text(QAccessible::Description), QString("unchecked"));
    QCOMPARE(cell("Docs")->text(QAccessible::Description), QString("partly checked"));
    // Whatever ticks through the model (a screen reader's toggle) ticks the plan.
    QVERIFY(Tree().model()->setData(Tree().IndexFromItem(Child(hDocs, "b.txt")), Qt::Checked,
                                    Qt::CheckStateRole));
    QCOMPARE(Files(), QStringList({Disk() + "/Docs/a.txt", Disk() + "/Docs/b.txt"}));
    QCOMPARE(cell("b.txt")->text(QAccessible::Description), QString("checked"));
    QVERIFY(!cell("My Computer")->state().checkable); // the root has no box
    // The hidden header is read as what the column holds, not as its number.
    QCOMPARE(pTree->child(0)->role(), QAccessible::ColumnHeader);
    QCOMPARE(pTree->child(0)->text(QAccessible::Name), QString("Name"));
}

QTEST_MAIN(TestFolderTree)
#include "tst_tree_foldertree.moc"
