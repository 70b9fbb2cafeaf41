// Folder tree figures: expanding big folders against a bare scan of the same folder in
// the same run, and ticking and unticking a folder of 100,000 files. Prints
// "name: value (target)" lines. Not part of the test suite.
#include "platform/DriveList.h"
#include "tree/LeftView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kRuns = 5;

bool Touch(const QString& strPath)
{
    const int fd = open(QFile::encodeName(strPath).constData(), O_CREAT | O_WRONLY, 0644);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

// The peer: read every entry of the folder and stat it, nothing else.
long BareScan(const QString& strFolder)
{
    long nEntries = 0;
    DIR* pDir = opendir(QFile::encodeName(strFolder).constData());
    if (!pDir)
        return -1;
    struct stat st;
    while (const dirent* pEntry = readdir(pDir)) {
        if (fstatat(dirfd(pDir), pEntry->d_name, &st, 0) == 0)
            ++nEntries;
    }
    closedir(pDir);
    return nEntries;
}

double BestOf(const std::function<void()>& run)
{
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

HTREEITEM Child(CFolderTreeCtrl& tree, HTREEITEM hParent, const QString& strText)
{
    for (HTREEITEM h = tree.GetChildItem(hParent); h; h = tree.GetNextSiblingItem(h)) {
        if (tree.GetItemText(h) == strText)
            return h;
    }
    return nullptr;
}

// A fresh left view whose only drives are "/" and the bench folder, shown offscreen.
struct Bench {
    explicit Bench(const QString& strDrive)
    {
        view.resize(320, 520);
        view.OnInitialUpdate();
        view.show();
        QApplication::processEvents();
        hDrive = Child(view.m_treeCtrl, view.m_treeCtrl.GetRootItem(), strDrive);
        view.m_treeCtrl.Expand(hDrive, TVE_EXPAND);
        QApplication::processEvents();
    }
    // Expands the folder and lets the view lay it out and paint it.
    HTREEITEM Open(const QString& strName)
    {
        HTREEITEM hItem = Child(view.m_treeCtrl, hDrive, strName);
        view.m_treeCtrl.Expand(hItem, TVE_EXPAND);
        view.m_treeCtrl.viewport()->repaint();
        QApplication::processEvents();
        return hItem;
    }
    CLeftView view;
    HTREEITEM hDrive = nullptr;
};

// The best of a few first expansions, each on a fresh tree (an item is read only once).
double BestOpen(const QString& strDrive, const QString& strFolder)
{
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        Bench bench(strDrive);
        QElapsedTimer timer;
        timer.start();
        bench.Open(strFolder);
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

void Report(const char* pszName, double tree, double scan)
{
    std::printf("%s: %.2fx bare scan, %.3f s (target <= 3x, < 1 s; bare scan %.3f s)\n", pszName,
                tree / scan, tree, scan);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString strDrive = dir.path();
    QDir d(strDrive);
    if (!d.mkdir("files") || !d.mkdir("folders"))
        return 1;
    // Mixed case, so the case-insensitive order has work to do.
    for (int i = 0; i < 100000; ++i) {
        const QString strName = QStringLiteral("%1_%2.dat")
                                    .arg(i % 2 ? "File" : "file")
                                    .arg((i * 7919) % 100000, 6, 10, QLatin1Char('0'));
        if (!Touch(strDrive + "/files/" + strName))
            return 1;
    }
    for (int i = 0; i < 10000; ++i) {
        const QString strFolder =
            strDrive + QStringLiteral("/folders/Folder %1").arg(i, 5, 10, QLatin1Char('0'));
        if (!d.mkdir(strFolder) || (i % 2 == 0 && !Touch(strFolder + "/one")))
            return 1;
    }
    const QString strTable = d.filePath("mounts");
    QFile table(strTable);
    if (!table.open(QIODevice::WriteOnly))
        return 1;
    table.write("/dev/bench " + QFile::encodeName(strDrive) + " ext4 rw 0 0\n");
    table.close();
    SetMountTable(strTable);
    BareScan(strDrive + "/files"); // warm the caches for both sides
    BareScan(strDrive + "/folders");

    const double scanFiles = BestOf([&] { BareScan(strDrive + "/files"); });
    const double expandFiles = BestOpen(strDrive, "files");
    Report("tree_expand_100k_files", expandFiles, scanFiles);

    const double scanFolders = BestOf([&] { BareScan(strDrive + "/folders"); });
    const double expandFolders = BestOpen(strDrive, "folders");
    Report("tree_expand_10k_subfolders", expandFolders, scanFolders);

    // Ticking and unticking the expanded folder through a press on its box.
    double check = 1e9, uncheck = 1e9;
    int nQueued = -1;
    for (int i = 0; i < kRuns; ++i) {
        Bench bench(strDrive);
        CFolderTreeCtrl& tree = bench.view.m_treeCtrl;
        HTREEITEM hFiles = bench.Open("files");
        const QPoint box = tree.GetStateIconRect(hFiles).center();
        QElapsedTimer timer;
        timer.start();
        tree.OnLButtonDown(0, box);
        tree.viewport()->repaint();
        check = std::min(check, timer.nsecsElapsed() / 1e9);
        nQueued = tree.m_backupList.GetCount();
        timer.restart();
        tree.OnLButtonDown(0, box);
        tree.viewport()->repaint();
        uncheck = std::min(uncheck, timer.nsecsElapsed() / 1e9);
        if (nQueued != 100000 || !tree.m_backupList.IsEmpty()) {
            std::printf("tree_check_uncheck_100k: wrong selection (%d queued)\n", nQueued);
            return 1;
        }
    }
    std::printf("tree_check_uncheck_100k: check %.3f s, uncheck %.3f s (target < 1 s each)\n",
                check, uncheck);
    SetMountTable(QString());
    return 0;
}
