// Shows the three views as the main window will: the command view on top, the left view and
// the remote list below. Not a test: for looking at them and driving them by hand.
//   views_demo [--expand PATH]... [SERVER USER PASSWORD]
// With an account it logs in as the login dialog would and lists the server. Each --expand
// opens the tree down to that folder, so its files are a click away.
#include "transfer/JobPool.h"
#include "transfer/InternetSession.h"
#include "backup/BackupSession.h"
#include "tree/LeftView.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSplitter>

namespace {

// Expands the items from "My Computer" down to the folder strPath.
void ExpandTo(CFolderTreeCtrl& tree, const QString& strPath)
{
    HTREEITEM hItem = tree.GetRootItem();
    tree.Expand(hItem, TVE_EXPAND);
    for (bool bFound = true; bFound && tree.GetFullPath(hItem) != strPath;) {
        bFound = false;
        for (HTREEITEM h = tree.GetChildItem(hItem); h; h = tree.GetNextSiblingItem(h)) {
            const QString strItem = tree.GetFullPath(h);
            if (strItem == strPath || strItem == QLatin1String("/") ||
                strPath.startsWith(strItem + QLatin1Char('/'))) {
                tree.Expand(h, TVE_EXPAND);
                hItem = h;
                bFound = true;
                break;
            }
        }
    }
    tree.SelectItem(hItem);
    tree.scrollTo(tree.IndexFromItem(hItem), QAbstractItemView::PositionAtTop);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"expand", "Open the folder tree down to this folder.", "path"});
    parser.addPositionalArgument("account", "SERVER USER PASSWORD to log in with.");
    parser.process(app);
    const QStringList args = parser.positionalArguments();

    QSplitter window(Qt::Vertical);
    window.setWindowTitle(QStringLiteral("Mossvale - views"));
    auto* pCommand = new CMossvaleView(&window);
    auto* pLower = new QSplitter(Qt::Horizontal, &window);
    auto* pLeft = new CLeftView(pLower);
    auto* pRight = new CRightView(pLower);
    pCommand->SetRemoteView(pRight);
    window.setStretchFactor(1, 1);
    pLower->setSizes({320, 900});
    window.resize(1240, 760);

    pCommand->OnInitialUpdate();
    pLeft->OnInitialUpdate();
    pRight->OnInitialUpdate();
    for (const QString& strPath : parser.values("expand"))
        ExpandTo(pLeft->m_treeCtrl, strPath);
    window.show();

    if (args.size() >= 3) {
        const auto pSession = std::make_shared<CBackupSession>(
            args[0].toStdString(), args[1].toStdString(), args[2].toStdString());
        pCommand->SetSession(pSession);
        pRight->SetSession(pSession);
        pRight->StartListing();
    }
    pCommand->SetLeftView(pLeft);
    const int nResult = app.exec();
    return FinishJobsForExit(nResult);
}
