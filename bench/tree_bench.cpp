// Folder tree figures: expanding big folders against a bare scan of the same folder in
// the same run, and ticking and unticking a folder of 100,000 files. Prints
// "name: value (target)" lines. Not part of the test suite.
#include "platform/DriveList.h"
#include "tree/LeftView.h"

#include "BenchUtil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kPairs = 9;
// A million files take seconds per side, and a fresh view each: a few pairs are enough.
constexpr int kMillionPairs = 3;

bool Touch(const QString& strPath)
{
    const int fd = open(QFile::encodeName(strPath).constData(), O_CREAT | O_WRONLY, 0644);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

// The peers: read every entry of the folder, nothing else. readdir's d_type already tells
// folders from files, as the tree uses it; the second peer also stats every entry.
enum class Scan { Readdir, Stat };
long BareScan(const QString& strFolder, Scan scan)
{
    DIR* pDir = opendir(QFile::encodeName(strFolder).constData());
    if (!pDir)
        return -1;
    long nFolders = 0;
    struct stat st;
    while (const dirent* pEntry = readdir(pDir)) {
        if (scan == Scan::Readdir)
            nFolders += pEntry->d_type == DT_DIR;
        else if (fstatat(dirfd(pDir), pEntry->d_name, &st, 0) == 0)
            nFolders += S_ISDIR(st.st_mode);
    }
    closedir(pDir);
    return nFolders;
}

HTREEITEM Child(CFolderTreeCtrl& tree, HTREEITEM hParent, const QString& strText)
{
    for (HTREEITEM h = tree.GetChildItem(hParent); h; h = tree.GetNextSiblingItem(h)) {
        if (tree.GetItemText(h) == strText)
            return h;
    }
    return nullptr;
}

// The mixed-case names of a big folder, so the case-insensitive order has work to do.
bool MakeFiles(const QString& strFolder, int nCount)
{
    if (!QDir().mkdir(strFolder))
        return false;
    const int nWidth = int(QString::number(nCount).size());
    for (int i = 0; i < nCount; ++i) {
        const QString strName = QStringLiteral("%1_%2.dat")
                                    .arg(i % 2 ? "File" : "file")
                                    .arg((i * 7919) % nCount, nWidth, 10, QLatin1Char('0'));
        if (!Touch(strFolder + "/" + strName))
            return false;
    }
    return true;
}

// Removes a folder of files; QDir's walk would stat every one of a million entries.
void RemoveFiles(const QString& strFolder)
{
    const QByteArray folder = QFile::encodeName(strFolder);
    if (DIR* pDir = opendir(folder.constData())) {
        while (const dirent* pEntry = readdir(pDir)) {
            if (pEntry->d_type == DT_REG)
                unlinkat(dirfd(pDir), pEntry->d_name, 0);
        }
        closedir(pDir);
    }
    rmdir(folder.constData());
}

// A line of /proc/self/status in KiB ("VmHWM", the resident peak, or "VmRSS"); 0 if absent.
long StatusKiB(const char* pszField)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(pszField) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return 0;
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

// A first expansion of the folder on a fresh tree (an item is read only once), in turn
// with both peers' scans of the same folder. Without bTargets the lines carry no target.
void ReportExpand(const char* pszName, const QString& strDrive, const QString& strFolder,
                  int nPairs = kPairs, bool bTargets = true)
{
    const QString strPath = strDrive + "/" + strFolder;
    const auto rounds =
        TakeInTurn(nPairs, {
                               [&] { return Seconds([&] { BareScan(strPath, Scan::Readdir); }); },
                               [&] { return Seconds([&] { BareScan(strPath, Scan::Stat); }); },
                               [&] {
                                   Bench bench(strDrive);
                                   return Seconds([&] { bench.Open(strFolder); });
                               },
                           });
    PrintFigure(pszName,
                Pairs(rounds,
                      [](const Round& r) {
                          return TimePair{r[2], r[0]};
                      }),
                Ratio::OursOverPeer, bTargets ? "target <= 3" : "no target", "readdir with d_type");
    PrintFigure((std::string(pszName) + "_vs_stat_scan").c_str(),
                Pairs(rounds,
                      [](const Round& r) {
                          return TimePair{r[2], r[1]};
                      }),
                Ratio::OursOverPeer, "no target", "readdir and fstatat");
    std::vector<double> ours;
    for (const Round& round : rounds)
        ours.push_back(round[2]);
    PrintSpread((std::string(pszName) + "_seconds").c_str(), ours,
                bTargets ? "target < 1" : "no target");
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
    if (!d.mkdir("folders"))
        return 1;
    if (!MakeFiles(strDrive + "/files", 100000) || !MakeFiles(strDrive + "/million", 1000000))
        return 1;
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
    BareScan(strDrive + "/files", Scan::Stat); // warm the caches for every side
    BareScan(strDrive + "/folders", Scan::Stat);
    // The million first, so that the resident peak before it is the program's own.
    BareScan(strDrive + "/million", Scan::Stat);
    const long nPeakBefore = StatusKiB("VmHWM");
    ReportExpand("tree_expand_1M_files", strDrive, "million", kMillionPairs, false);
    const long nPeakAfter = StatusKiB("VmHWM");
    std::printf("tree_expand_1M_files_peak_memory: %.0f MiB (no target) VmHWM %.0f MiB before, "
                "%.0f MiB after\n",
                (nPeakAfter - nPeakBefore) / 1024.0, nPeakBefore / 1024.0, nPeakAfter / 1024.0);
    std::fflush(stdout);
    RemoveFiles(strDrive + "/million");

    ReportExpand("tree_expand_100k_files", strDrive, "files");
    ReportExpand("tree_expand_10k_subfolders", strDrive, "folders");

    // Ticking and unticking the expanded folder through a press on its box.
    std::vector<double> check, uncheck;
    for (int i = 0; i < kPairs; ++i) {
        Bench bench(strDrive);
        CFolderTreeCtrl& tree = bench.view.m_treeCtrl;
        HTREEITEM hFiles = bench.Open("files");
        const QPoint box = tree.GetStateIconRect(hFiles).center();
        auto press = [&] {
            tree.OnLButtonDown(0, box);
            tree.viewport()->repaint();
        };
        check.push_back(Seconds(press));
        const bool bTicked = tree.Plan().Folders().size() == 1;
        uncheck.push_back(Seconds(press));
        if (!bTicked || !tree.Plan().IsEmpty()) {
            std::printf("tree_check_uncheck_100k: wrong plan\n");
            return 1;
        }
    }
    PrintSpread("tree_check_100k_seconds", check, "target < 1");
    PrintSpread("tree_uncheck_100k_seconds", uncheck, "target < 1");
    SetMountTable(QString());
    return 0;
}
