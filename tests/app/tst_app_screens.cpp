// The main window on screens of several sizes, as the program starts on them: maximised, and at
// the size it opens with where no window manager maximises it. Every control must lie wholly
// inside the window and on the screen, large enough for its text, and the tree and the list
// grow with the window. The window's place is remembered from one start to the next.
//     tst_app_screens WIDTHxHEIGHT[@SCALE]   (CTest runs it for a few screens)
#include "shell/MainFrame.h"
#include "shell/MossvaleApp.h"
#include "transfer/JobReports.h"
#include "tree/LeftView.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"
#include "widgets/ReportDlg.h"

#include <QtTest>

#include <QClipboard>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {

// Whether pControl shows in full: inside each of its parents up to the window, and the
// window on its screen.
bool ShownInFull(const QWidget* pControl, QString& strWhy)
{
    QRect rect = pControl->rect();
    for (const QWidget* p = pControl; !p->isWindow(); p = p->parentWidget()) {
        rect.translate(p->pos());
        if (!p->parentWidget()->rect().contains(rect)) {
            strWhy = QStringLiteral("cut by %1").arg(p->parentWidget()->metaObject()->className());
            return false;
        }
    }
    const QWidget* pWindow = pControl->window();
    if (!pWindow->screen()->geometry().contains(pWindow->frameGeometry())) {
        strWhy = QStringLiteral("window off the screen");
        return false;
    }
    return true;
}

} // namespace

class TestScreens : public QObject
{
    Q_OBJECT

    CMossvaleApp* m_pApp = static_cast<CMossvaleApp*>(QCoreApplication::instance());
    CMainFrame* Frame() { return m_pApp->MainFrame(); }

    void FillRemoteList();
    void VerifyEveryControlShown();

private slots:
    void initTestCase();
    void maximised();
    void defaultSizeAndGrowing();
    void placementIsRemembered();
    void longReportFits();
};

void TestScreens::initTestCase()
{
    QVERIFY(m_pApp->CreateMainWindow());
    QVERIFY(QTest::qWaitForWindowExposed(Frame()));
    FillRemoteList();
}

void TestScreens::FillRemoteList()
{
    // Enough rows for a scroll bar, and the widest meter text there is at the quota.
    CRightView* pView = Frame()->RightView();
    RemoteItems items;
    for (int i = 0; i < 300; ++i) {
        RemoteItem item;
        item.name = QStringLiteral("photo-%1.jpg").arg(i, 3, 10, QLatin1Char('0')).toUtf8();
        item.nSize = 15 * 1024;
        items.append(item);
    }
    pView->OnRemoteItemsAdded(items, pView->m_nListingTag);
    pView->m_nUsedBytes = std::uint64_t(CRightView::kQuotaKB) * 1024;
    pView->UpdateUsage(EListingOutcome::Complete);
    QCOMPARE(pView->m_stcUsage.text(), QString("100.0M/100M"));
}

void TestScreens::VerifyEveryControlShown()
{
    CMossvaleView* pCommand = Frame()->CommandView();
    CRightView* pRemote = Frame()->RightView();
    QApplication::processEvents(); // the layouts run
    QTRY_VERIFY(pRemote->m_lstRemote.verticalScrollBar()->isVisible());
    const QList<QWidget*> controls = {&pCommand->m_btnBackup,
                                      &pCommand->m_btnRestore,
                                      &pRemote->m_btnDelete,
                                      &pRemote->m_lstRemote,
                                      pRemote->m_lstRemote.verticalScrollBar(),
                                      &pRemote->m_prgUsage,
                                      &pRemote->m_stcUsage,
                                      &Frame()->LeftView()->m_treeCtrl};
    for (QWidget* pControl : controls) {
        const QByteArray name = pControl->metaObject()->className();
        QVERIFY2(pControl->isVisible(), name);
        QString strWhy;
        QVERIFY2(ShownInFull(pControl, strWhy), name + ": " + strWhy.toUtf8());
    }
    // Texts in full: the buttons and the meter's text at least at their own size.
    for (QWidget* pText : {static_cast<QWidget*>(&pCommand->m_btnBackup),
                           static_cast<QWidget*>(&pCommand->m_btnRestore),
                           static_cast<QWidget*>(&pRemote->m_btnDelete),
                           static_cast<QWidget*>(&pRemote->m_stcUsage)}) {
        QVERIFY2(pText->width() >= pText->sizeHint().width(), pText->metaObject()->className());
        QVERIFY(pText->height() >= pText->minimumSizeHint().height());
    }
}

void TestScreens::maximised()
{
    QTRY_VERIFY(Frame()->isMaximized());
    VerifyEveryControlShown();
}

void TestScreens::defaultSizeAndGrowing()
{
    // Where no window manager maximises it, the window keeps the size it was built with.
    Frame()->showNormal();
    QTRY_VERIFY(!Frame()->isMaximized());
    const QRect available = Frame()->screen()->availableGeometry();
    QTRY_COMPARE(Frame()->width(), available.width() * 3 / 4);
    VerifyEveryControlShown();

    const QSize tree = Frame()->LeftView()->m_treeCtrl.size();
    const QSize list = Frame()->RightView()->m_lstRemote.size();
    Frame()->setGeometry(available);
    QTRY_VERIFY(Frame()->RightView()->m_lstRemote.width() > list.width());
    QVERIFY(Frame()->RightView()->m_lstRemote.height() > list.height());
    QVERIFY(Frame()->LeftView()->m_treeCtrl.width() > tree.width());
    QVERIFY(Frame()->LeftView()->m_treeCtrl.height() > tree.height());
}

void TestScreens::placementIsRemembered()
{
    const QRect available = Frame()->screen()->availableGeometry();
    const QRect placed(available.topLeft() + QPoint(40, 30), available.size() * 4 / 5);
    Frame()->showNormal();
    Frame()->setGeometry(placed);
    QTRY_COMPARE(Frame()->geometry(), placed);
    QVERIFY(Frame()->close());

    QVERIFY(m_pApp->CreateMainWindow());
    QVERIFY(QTest::qWaitForWindowExposed(Frame()));
    QVERIFY(!Frame()->isMaximized());
    QCOMPARE(Frame()->geometry(), placed);

    Frame()->showMaximized();
    QTRY_VERIFY(Frame()->isMaximized());
    QVERIFY(Frame()->close());
    QVERIFY(m_pApp->CreateMainWindow());
    QTRY_VERIFY(Frame()->isMaximized());
    Frame()->showNormal();
    QTRY_COMPARE(Frame()->geometry(), placed); // and the size it had before
}

void TestScreens::longReportFits()
{
    // 300 files with long paths: the window stays on the screen, its buttons whole, and the
    // list scrolls and copies every line.
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QStringLiteral("/home/someone/Documents/projects/archive-%1/a rather long "
                                "folder name/report %1.txt（本地文件无法读取）")
                     .arg(i);
    CReportDlg report("Mossvale", "These files could not be backed up:", lines, Frame());
    report.show();
    QVERIFY(QTest::qWaitForWindowExposed(&report));
    const QRect available = report.screen()->availableGeometry();
    QVERIFY2(available.contains(report.frameGeometry()),
             qPrintable(QStringLiteral("%1x%2").arg(report.width()).arg(report.height())));
    QString strWhy;
    QVERIFY2(ShownInFull(report.m_pCopy, strWhy), qPrintable(strWhy));
    QVERIFY2(ShownInFull(report.m_pList, strWhy), qPrintable(strWhy));
    QVERIFY(report.m_pList->verticalScrollBar()->maximum() > 0);
    QCOMPARE(report.m_pList->count(), 300);
    QTest::mouseClick(report.m_pCopy, Qt::LeftButton);
    const QStringList copied = QGuiApplication::clipboard()->text().split('\n');
    QCOMPARE(copied.mid(1, 300), lines);
}

int main(int argc, char** argv)
{
    // The screen comes from the first argument: offscreen, with a screen of that size.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    int nWidth = 1024, nHeight = 768;
    double dScale = 1;
    if (argc > 1 && std::sscanf(argv[1], "%dx%d@%lf", &nWidth, &nHeight, &dScale) >= 2) {
        --argc;
        std::memmove(argv + 1, argv + 2, sizeof(char*) * size_t(argc));
    }
    QFile config(home.filePath("screen.json"));
    if (!config.open(QIODevice::WriteOnly))
        return 1;
    config.write(QString("{\"screens\": [{\"name\": \"test\", \"x\": 0, \"y\": 0, \"width\": %1, "
                         "\"height\": %2, \"logicalDpi\": 96}]}")
                     .arg(nWidth)
                     .arg(nHeight)
                     .toUtf8());
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    qputenv("QT_SCALE_FACTOR", QByteArray::number(dScale));
    CMainFrame::SetLayoutFolders(home.filePath("layout"), home.filePath("layout"));

    CMossvaleApp app(argc, argv);
    TestScreens test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_screens.moc"
