// Shows the left view on its own, as the main window's lower-left pane will.
//   lefttree_demo [--mounts FILE] [--expand PATH]...
// --mounts points the drive list at another mount table; each --expand opens the item
// of that path (a drive's mount point, then the folders below it) at start.
#include "platform/DriveList.h"
#include "tree/LeftView.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

HTREEITEM FindItem(CFolderTreeCtrl& tree, const QString& strPath)
{
    // Breadth-first over what is loaded; expanding along the way reads what is needed.
    std::vector<HTREEITEM> pending{tree.GetRootItem()};
    while (!pending.empty()) {
        HTREEITEM hItem = pending.back();
        pending.pop_back();
        const QString strItemPath = tree.GetFullPath(hItem);
        if (strItemPath == strPath)
            return hItem;
        const bool bOnTheWay = hItem == tree.GetRootItem() || strItemPath == QLatin1String("/") ||
                               strPath.startsWith(strItemPath + QLatin1Char('/'));
        if (!bOnTheWay)
            continue;
        tree.Expand(hItem, TVE_EXPAND);
        for (HTREEITEM h = tree.GetChildItem(hItem); h; h = tree.GetNextSiblingItem(h))
            pending.push_back(h);
    }
    return nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"mounts", "Mount table to list drives from.", "file"});
    parser.addOption({"expand", "Expand the item of this path at start.", "path"});
    parser.process(app);
    if (parser.isSet("mounts"))
        SetMountTable(parser.value("mounts"));

    CLeftView view;
    view.setWindowTitle(QStringLiteral("Mossvale - left view"));
    view.resize(320, 520);
    view.OnInitialUpdate();
    for (const QString& strPath : parser.values("expand")) {
        if (HTREEITEM hItem = FindItem(view.m_treeCtrl, strPath))
            view.m_treeCtrl.Expand(hItem, TVE_EXPAND);
    }
    view.show();
    return app.exec();
}
