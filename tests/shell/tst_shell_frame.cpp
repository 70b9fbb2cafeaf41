// The main frame as the user meets it: its layout, menus, toolbar and status bar, the
// commands it handles, those it leaves disabled, and the keys, worked with mouse and keyboard.
#include "ShellTestUtil.h"
#include "TestFiles.h"
#include "shell/AboutDlg.h"
#include "shell/HelpFile.h"
#include "shell/OptionsPane.h"
#include "shell/CommandIds.h"
#include "shell/PaneCaption.h"
#include "shell/Profile.h"
#include "shell/PropertiesPane.h"
#include "shell/StatusBar.h"
#include "transfer/JobPool.h"
#include "backup/BackupHistory.h"
#include "backup/BackupPlan.h"
#include "backup/BackupSession.h"
#include "tree/LeftView.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QDockWidget>
#include <QLabel>
#include <QToolButton>
#include <QTranslator>
#include <QSpinBox>
#include <QSettings>
#include <QScopeGuard>

#include <memory>

namespace {

// Tells whether the frame's remote list has started a listing since the tap was made.
class CRefreshTap
{
public:
    explicit CRefreshTap(const CMainFrame& frame)
        : m_frame(frame), m_nFirstTag(frame.RightView()->m_nListingTag)
    {
    }
    bool Refreshed() const { return m_frame.RightView()->m_nListingTag != m_nFirstTag; }

private:
    const CMainFrame& m_frame;
    unsigned m_nFirstTag;
};

// Takes the addresses the desktop would be asked to open.
class CUrlTap : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> m_urls;
public slots:
    void Open(const QUrl& url) { m_urls << url; }
};

QStringList MenuTexts(const QMenu* pMenu)
{
    QStringList texts;
    for (const QAction* pAction : pMenu->actions())
        texts << (pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
    return texts;
}

QMenu* BarMenu(CMainFrame& frame, const QString& strTitle)
{
    for (QAction* pAction : frame.menuBar()->actions()) {
        if (pAction->text() == strTitle)
            return pAction->menu();
    }
    return nullptr;
}

} // namespace

class TestShellFrame : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void clientAreaAndBars();
    void paneContentsAppearWhenFirstShown();
    void menusAsTabled();
    void toolbarButtonsWorkTheirCommands();
    void commandsWithoutHandlerAreDisabled();
    void promptsRecentFilesAndIndicators();
    void backupAndRestoreAskFirst_data();
    void backupAndRestoreAskFirst();
    void withoutLoginCommandsSaySo();
    void helpContentAndOnlineSupport();
    void f6MovesBetweenPanes();
    void titlesFollowApplicationName();

private:
    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<CLoggedIn> m_pLogin;
};

void TestShellFrame::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    CMainFrame::SetLayoutFolders(m_pDir->filePath("program"), m_pDir->filePath("user"));
    QVERIFY(QDir().mkpath(m_pDir->filePath("program")));
    CProfile::Open()->clear();
    m_pLogin = std::make_unique<CLoggedIn>();
    QVERIFY(m_pLogin->Start());
}

void TestShellFrame::cleanup()
{
    m_pLogin.reset();
    CMainFrame::SetLayoutFolders({}, {});
    m_pDir.reset();
}

void TestShellFrame::clientAreaAndBars()
{
    CMainFrame frame;
    m_pLogin->Into(frame);
    frame.InitialUpdateViews();
    QVERIFY(ShowFrame(frame));
    QCOMPARE(frame.windowTitle(), QStringLiteral("Mossvale"));
    QVERIFY(!frame.windowIcon().isNull());

    // The command row is tall enough for its buttons and shorter than the lower row, which
    // takes the rest; the tree column is 400 pixels.
    QSplitter* pMain = frame.MainSplitter();
    CMossvaleView* pCommand = frame.CommandView();
    const int nCommandHeight = pCommand->height();
    for (const QPushButton* pButton : {&pCommand->m_btnBackup, &pCommand->m_btnRestore})
        QVERIFY(pButton->geometry().bottom() <
                nCommandHeight); // the form does not follow the width
    QVERIFY(nCommandHeight < frame.LowerSplitter()->height());
    QCOMPARE(nCommandHeight + pMain->handleWidth() + frame.LowerSplitter()->height(),
             pMain->height());
    QCOMPARE(frame.LeftView()->width(), 400);
    QVERIFY(frame.RightView()->x() > frame.LeftView()->x() + 400);
    QCOMPARE(frame.RightView()->geometry().right(), frame.LowerSplitter()->width() - 1);
    QVERIFY(frame.LeftView()->mapTo(&frame, QPoint()).y() >=
            pCommand->mapTo(&frame, QPoint()).y() + nCommandHeight);

    // A bigger window goes to the lower row, the tree and the remote list.
    const int nClientHeight = pMain->height();
    const int nListWidth = frame.RightView()->width();
    frame.resize(1200, 900);
    QTRY_VERIFY(pMain->height() > nClientHeight);
    QCOMPARE(pCommand->height(), nCommandHeight);
    QVERIFY(frame.LeftView()->width() > 400);
    QVERIFY(frame.RightView()->width() > nListWidth);

    // "Options" docked at the left of the client area, "Properties" below it.
    QDockWidget* pOptions = frame.GetPane(IDR_PANE_OPTIONS);
    QDockWidget* pProperties = frame.GetPane(IDR_PANE_PROPERTIES);
    QVERIFY(pOptions && pProperties);
    QCOMPARE(pOptions->windowTitle(), QStringLiteral("Options"));
    QCOMPARE(pProperties->windowTitle(), QStringLiteral("Properties"));
    QVERIFY(!pOptions->windowIcon().isNull() && !pProperties->windowIcon().isNull());
    for (QDockWidget* pPane : {pOptions, pProperties}) {
        QCOMPARE(frame.dockWidgetArea(pPane), Qt::LeftDockWidgetArea);
        QVERIFY(pPane->isVisible() && !pPane->isFloating());
        // A screen reader names the caption's buttons and their pane.
        auto* pCaption = qobject_cast<CPaneCaption*>(pPane->titleBarWidget());
        QVERIFY(pCaption);
        QCOMPARE(pCaption->FloatButton()->accessibleName(), QStringLiteral("Float"));
        QCOMPARE(pCaption->CloseButton()->accessibleName(), QStringLiteral("Close"));
        QCOMPARE(pCaption->CloseButton()->accessibleDescription(), pPane->windowTitle());
    }
    // The wait dialog has no caption, but a name, as its bar has.
    QCOMPARE(pCommand->m_dlgWait.accessibleName(), QStringLiteral("Transfer in progress"));
    QCOMPARE(pCommand->m_dlgWait.m_prgFile.accessibleName(),
             QStringLiteral("Progress of the file"));
    QCOMPARE(pOptions->width(), 200);
    QCOMPARE(pProperties->x(), pOptions->x());
    QVERIFY(pProperties->y() > pOptions->geometry().bottom());
    QVERIFY(pOptions->geometry().right() < pMain->geometry().left());

    // Menu bar, then the toolbar, the client area, and the status bar at the bottom.
    QToolBar* pToolBar = frame.GetCommandBars()->ToolBar();
    QCOMPARE(frame.toolBarArea(pToolBar), Qt::TopToolBarArea);
    QVERIFY(pToolBar->isVisible());
    QVERIFY(pToolBar->y() > frame.menuBar()->geometry().bottom() - 1);
    QVERIFY(pOptions->y() > pToolBar->geometry().bottom());
    QVERIFY(frame.GetStatusBar()->isVisible());
    QCOMPARE(frame.GetStatusBar()->geometry().bottom(), frame.height() - 1);
}

void TestShellFrame::paneContentsAppearWhenFirstShown()
{
    // Read as an English user reads the panes.
    QTranslator english;
    QVERIFY(english.load(QLocale(QLocale::English), "mossvale", "_", ":/i18n"));
    QVERIFY(qApp->installTranslator(&english));
    const auto untranslate = qScopeGuard([&english] { qApp->removeTranslator(&english); });
    CMainFrame frame;
    m_pLogin->Into(frame);
    QVERIFY(!frame.GetPaneContent(IDR_PANE_OPTIONS)->Content());
    // As a layout that was saved with the pane closed leaves it.
    frame.GetPane(IDR_PANE_PROPERTIES)->hide();
    CFolderTreeCtrl& tree = frame.LeftView()->m_treeCtrl;
    const QByteArray folder = QFile::encodeName(m_pDir->filePath("program"));
    CBackupPlan plan;
    plan.TickFolder(folder);
    plan.TickFile("/gone/a.txt");
    plan.TickFile("/gone/b.txt");
    tree.SetPlan(plan);
    QVERIFY(ShowFrame(frame));

    // The plan at a glance, each part editable where it can be.
    auto* pOptions = qobject_cast<COptionsPane*>(frame.GetPaneContent(IDR_PANE_OPTIONS)->Content());
    QVERIFY(pOptions);
    QCOMPARE(pOptions->m_pTicked->text(), QStringLiteral("1 folder, 2 files"));
    QCOMPARE(pOptions->m_pServerFolder->text(), QStringLiteral("/"));
    QCOMPARE(pOptions->m_pParallel->value(), 2);
    QCOMPARE(pOptions->m_pQuota->value(), 100);
    QVERIFY(!pOptions->m_pQuota->accessibleName().isEmpty());
    QCOMPARE(pOptions->m_pSchedule->text(), QStringLiteral("Never"));
    QCOMPARE(pOptions->m_pPatterns->text(), QStringLiteral("None"));
    QVERIFY(!frame.GetPaneContent(IDR_PANE_PROPERTIES)->Content());
    // The patterns, edited in their dialog, join the plan the tree keeps, and its profile.
    const auto restore = qScopeGuard(
        [pfnAsk = COptionsPane::s_pfnAskPatterns] { COptionsPane::s_pfnAskPatterns = pfnAsk; });
    COptionsPane::s_pfnAskPatterns = [](QWidget*, QStringList& patterns) {
        patterns = {"*.tmp", " ", "node_modules/"};
        return true;
    };
    QTest::mouseClick(pOptions->m_pPatternsButton, Qt::LeftButton);
    const QStringList patterns = {"*.tmp", "node_modules/"};
    QCOMPARE(pOptions->m_pPatterns->text(), QStringLiteral("*.tmp  node_modules/"));
    QCOMPARE(tree.Plan().Patterns(), patterns);
    QCOMPARE(tree.Plan().Files().size(), 2);
    QCOMPARE(CBackupPlan::LoadFromProfile(), tree.Plan());

    frame.GetPane(IDR_PANE_PROPERTIES)->toggleViewAction()->trigger();
    CFlatBorderWnd* pHolder = frame.GetPaneContent(IDR_PANE_PROPERTIES);
    QTRY_VERIFY(pHolder->isVisible());
    auto* pProperties = qobject_cast<CPropertiesPane*>(pHolder->Content());
    QVERIFY(pProperties);
    QCOMPARE(QAccessible::queryAccessibleInterface(pProperties)->text(QAccessible::Name),
             QStringLiteral("Properties"));
    // A local file: the disk's facts, its tick, and the account's history of it.
    const QByteArray file = folder + "/letter.txt";
    QVERIFY(WriteFile(QFile::decodeName(file), "hello"));
    {
        CBackupHistory history(frame.Session()->AccountKey());
        const qint64 nRun = history.BeginRun(EBackupTrigger::Window);
        BackupFileReport report;
        report.path = file;
        report.eOutcome = EFileOutcome::Unchanged;
        history.AddFile(nRun, report);
        history.RecordSent(file, {5, 0, "/program/letter.txt", 5});
        history.EndRun(nRun, {});
    }
    pProperties->ShowLocal(file, tree.Plan(), frame.Session().get());
    QTRY_COMPARE(pProperties->m_pSize->text(), QLocale().formattedDataSize(5));
    QCOMPARE(pProperties->m_pName->text(), QStringLiteral("letter.txt"));
    QCOMPARE(pProperties->m_pTicked->text(), QStringLiteral("Ticked"));
    QVERIFY(pProperties->m_pLastSent->text() != QStringLiteral("Never"));
    QVERIFY(pProperties->m_pLastOutcome->text().endsWith(
        QStringLiteral("Unchanged, already on the server")));
    // An entry chosen in the server's list: what the server listed.
    CRightView* pRight = frame.RightView();
    pRight->m_model.AddEntries({{"report.pdf", 2048, 0, TIME_UNKNOWN, false}});
    pRight->m_lstRemote.setCurrentIndex(
        pRight->m_model.index(pRight->m_model.FindName("report.pdf")));
    QCOMPARE(pProperties->m_pName->text(), QStringLiteral("report.pdf"));
    QCOMPARE(pProperties->m_pSize->text(), QLocale().formattedDataSize(2048));
    QVERIFY(!pProperties->m_pTicked->isVisible());

    // The 1-pixel flat border: shadow at the top left, highlight at the bottom right.
    QCOMPARE(pProperties->geometry(), pHolder->rect().adjusted(1, 1, -1, -1));
    const QImage image = pHolder->grab().toImage();
    QCOMPARE(image.pixel(0, 0), pHolder->palette().color(QPalette::Dark).rgb());
    QCOMPARE(image.pixel(image.width() - 1, image.height() - 1),
             pHolder->palette().color(QPalette::Light).rgb());
}

void TestShellFrame::menusAsTabled()
{
    CMainFrame frame;
    m_pLogin->Into(frame);
    QStringList titles;
    for (const QAction* pAction : frame.menuBar()->actions())
        titles << pAction->text();
    QCOMPARE(titles, QStringList({"&File", "&Edit", "&View", "&Help"}));
    QCOMPARE(MenuTexts(BarMenu(frame, "&File")),
             QStringList({"&Log In...", "-", "&Backup...", "&Restore...", "&Versions...",
                          "Restore &As Of...", "Check Every Server &Copy", "-", "Recent File", "-",
                          "E&xit"}));
    QCOMPARE(MenuTexts(BarMenu(frame, "&Edit")),
             QStringList({"&Undo", "-", "Cu&t", "&Copy", "&Paste"}));
    QCOMPARE(MenuTexts(BarMenu(frame, "&View")),
             QStringList(
                 {"&Toolbars", "&Status Bar", "&Details", "-", "&Refresh", "Backup &History..."}));
    QCOMPARE(MenuTexts(FindAction(BarMenu(frame, "&View"), "&Toolbars")->menu()),
             QStringList({"&Toolbar", "-", "&Customize..."}));
    QCOMPARE(MenuTexts(BarMenu(frame, "&Help")),
             QStringList({"Help &Content", "Online &Support", "-", "&About Mossvale..."}));
    // Menus show each command's first key; the keys the labels name work.
    QCOMPARE(frame.Action(ID_FILE_BACKUP)->shortcut(), QKeySequence("Ctrl+B"));
    QCOMPARE(frame.Action(ID_FILE_RESTORE)->shortcut(), QKeySequence("Ctrl+R"));
    QCOMPARE(frame.Action(ID_VIEW_REFRESH)->shortcut(), QKeySequence("F5"));
    QCOMPARE(frame.Action(ID_EDIT_UNDO)->shortcuts(),
             QList<QKeySequence>({QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")}));
    QCOMPARE(frame.Action(ID_EDIT_PASTE)->shortcuts(),
             QList<QKeySequence>({QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")}));
}

void TestShellFrame::toolbarButtonsWorkTheirCommands()
{
    CMainFrame frame;
    m_pLogin->Into(frame);
    frame.InitialUpdateViews();
    CRefreshTap tap(frame);
    frame.CommandView()->m_pfnChooseFolder = [] { return QString(); };
    int nAbout = 0;
    frame.SetCommandHandler(ID_APP_ABOUT, [&] { ++nAbout; });
    QVERIFY(ShowFrame(frame));
    QToolBar* pToolBar = frame.GetCommandBars()->ToolBar();
    QCOMPARE(pToolBar->windowTitle(), QStringLiteral("Standard"));

    // Every button is clicked as the user finds it; only those whose command someone
    // handles answer, and Backup and Restore ask first.
    QSignalSpy executed(frame.GetCommandBars(), &CCommandBars::Execute);
    CModalUser user;
    QStringList names;
    QList<QImage> images;
    for (QAction* pAction : pToolBar->actions()) {
        if (pAction->isSeparator())
            continue;
        QWidget* pButton = pToolBar->widgetForAction(pAction);
        QVERIFY(pButton && pButton->isVisible());
        names << pButton->toolTip();
        QCOMPARE(pButton->isEnabled(), pAction->isEnabled());
        const QImage image = pAction->icon().pixmap(QSize(16, 15)).toImage();
        QCOMPARE(image.size(), QSize(16, 15));
        QVERIFY2(!images.contains(image), "each button has a picture of its own");
        images << image;
        QTest::mouseClick(pButton, Qt::LeftButton);
    }
    QCOMPARE(names, QStringList({"Backup", "Restore", "Cut", "Copy", "Paste", "Print", "About"}));
    QList<UINT> ids;
    for (const QList<QVariant>& call : executed)
        ids << call.value(0).toUInt();
    QCOMPARE(ids, QList<UINT>({ID_FILE_BACKUP, ID_FILE_RESTORE, ID_APP_ABOUT}));
    // Nothing is ticked: the backup says so.
    QCOMPARE(user.m_texts,
             QStringList({QString::fromUtf8("现在执行OnButtonBackup"), Texts::NothingToBackUp(),
                          QString::fromUtf8("现在执行OnButtonRestore")}));
    QCOMPARE(nAbout, 1);
    // A button and its menu item are the same command.
    QCOMPARE(pToolBar->actions().first(), frame.Action(ID_FILE_BACKUP));
    QCOMPARE(FindAction(BarMenu(frame, "&Help"), "&About Mossvale..."), pToolBar->actions().last());
}

void TestShellFrame::commandsWithoutHandlerAreDisabled()
{
    CMainFrame frame;
    m_pLogin->Into(frame);
    QVERIFY(ShowFrame(frame));
    for (UINT nID : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_FILE_PRINT,
                     ID_FILE_PRINT_PREVIEW, ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_APP_ABOUT,
                     ID_FILE_MRU_FILE1})
        QVERIFY2(!frame.Action(nID)->isEnabled(), qPrintable(QString::number(nID)));
    for (UINT nID : {ID_FILE_BACKUP, ID_FILE_RESTORE, ID_APP_EXIT, ID_HELP_CONTENT, ID_HELP_ONLINE,
                     ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_CUSTOMIZE})
        QVERIFY2(frame.Action(nID)->isEnabled(), qPrintable(QString::number(nID)));
    QVERIFY(!ToolButton(frame, ID_FILE_PRINT)->isEnabled());

    // The application's commands come alive with their handlers, by button and by key.
    int nAbout = 0;
    int nNew = 0;
    frame.SetCommandHandler(ID_APP_ABOUT, [&] { ++nAbout; });
    QVERIFY(ToolButton(frame, ID_APP_ABOUT)->isEnabled());
    QTest::mouseClick(ToolButton(frame, ID_APP_ABOUT), Qt::LeftButton);
    QCOMPARE(nAbout, 1);
    QTest::keyClick(&frame, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(nNew, 0);
    frame.SetCommandHandler(ID_FILE_NEW, [&] { ++nNew; });
    QTest::keyClick(&frame, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(nNew, 1);
    frame.SetCommandHandler(ID_APP_ABOUT, {});
    QVERIFY(!frame.Action(ID_APP_ABOUT)->isEnabled());

    // Ctrl+B and Ctrl+R do what the menu says: its notice, then the command.
    frame.CommandView()->m_pfnChooseFolder = [] { return QString(); };
    CModalUser user;
    QTest::keyClick(&frame, Qt::Key_B, Qt::ControlModifier);
    QVERIFY(BackToFrame(frame));
    QTest::keyClick(&frame, Qt::Key_R, Qt::ControlModifier);
    // Nothing is ticked: the backup says so.
    QCOMPARE(user.m_texts,
             QStringList({QString::fromUtf8("现在执行OnButtonBackup"), Texts::NothingToBackUp(),
                          QString::fromUtf8("现在执行OnButtonRestore")}));

    // Exit closes the frame, through the same close as the window's close box.
    QVERIFY(ChooseMenu(frame, {"&File", "E&xit"}));
    QTRY_VERIFY(!frame.isVisible());
}

void TestShellFrame::promptsRecentFilesAndIndicators()
{
    CMainFrame frame;
    m_pLogin->Into(frame);
    QStringList opened;
    frame.SetRecentFiles({"/tmp/a & b.mossva", "/tmp/second.mossva"},
                         [&](const QString& strPath) { opened << strPath; });
    frame.SetCommandHandler(ID_APP_ABOUT, [] {});
    QVERIFY(ShowFrame(frame));
    CStatusBar* pStatus = frame.GetStatusBar();
    QCOMPARE(pStatus->MessageText(), QStringLiteral("Ready"));

    // The pointer may rest where an earlier test left it, over the File menu's Exit: a menu
    // takes no hover until the pointer has moved since it opened.
    QTest::mouseMove(&frame, QPoint(1, 1));
    QMenu* pFile = OpenMenu(frame, "&File");
    QVERIFY(pFile);
    QCOMPARE(MenuTexts(pFile).mid(8, 3),
             QStringList({"&1 /tmp/a && b.mossva", "&2 /tmp/second.mossva", "Recent File"}));
    QVERIFY(!FindAction(pFile, "Recent File")->isVisible());
    QTest::mouseMove(pFile, pFile->actionGeometry(FindAction(pFile, "E&xit")).center());
    QTRY_COMPARE(pStatus->MessageText(),
                 QStringLiteral("Quit the application; prompts to save documents"));
    QAction* pRecent = FindAction(pFile, "&2 /tmp/second.mossva");
    QTest::mouseMove(pFile, pFile->actionGeometry(pRecent).center());
    QTRY_COMPARE(pStatus->MessageText(), QStringLiteral("Open this document"));
    // Backup has no prompt: the pane says "Ready" again.
    QTest::mouseMove(pFile, pFile->actionGeometry(frame.Action(ID_FILE_BACKUP)).center());
    QTRY_COMPARE(pStatus->MessageText(), QStringLiteral("Ready"));
    QTest::mouseMove(pFile, pFile->actionGeometry(pRecent).center());
    QTest::mouseClick(pFile, Qt::LeftButton, {}, pFile->actionGeometry(pRecent).center());
    QCOMPARE(opened, QStringList({"/tmp/second.mossva"}));
    QTRY_COMPARE(pStatus->MessageText(), QStringLiteral("Ready"));

    QTest::mouseMove(ToolButton(frame, ID_APP_ABOUT));
    QTRY_COMPARE(pStatus->MessageText(),
                 QStringLiteral("Display program information, version number and copyright"));
    QTest::mouseMove(frame.LeftView());
    QTRY_COMPARE(pStatus->MessageText(), QStringLiteral("Ready"));

    // The idle text stays behind an outcome, and is back once the outcome has had its time.
    pStatus->ShowOutcome("2 files backed up");
    pStatus->SetIdleText("Last backup: today");
    QCOMPARE(pStatus->MessageText(), QStringLiteral("2 files backed up"));
    pStatus->ShowOutcome("b.bin deleted");
    QCOMPARE(pStatus->MessageText(), QStringLiteral("b.bin deleted"));
    pStatus->clearMessage(); // what the outcome's timer does
    QCOMPARE(pStatus->MessageText(), QStringLiteral("Last backup: today"));
    pStatus->SetIdleText(QStringLiteral("Ready"));

    // The key-state indicators, in order after the message pane; without an X display no
    // lock can be read, so none is lit.
    int nLastX = 0;
    for (const auto& indicator :
         {std::make_pair(ID_INDICATOR_CAPS, "CAP"), std::make_pair(ID_INDICATOR_NUM, "NUM"),
          std::make_pair(ID_INDICATOR_SCRL, "SCRL")}) {
        QLabel* pLabel = pStatus->Indicator(indicator.first);
        QVERIFY(pLabel && pLabel->isVisible());
        QCOMPARE(pLabel->text(), QString::fromLatin1(indicator.second));
        QVERIFY(pLabel->x() > nLastX);
        nLastX = pLabel->x();
        QVERIFY(!pStatus->IsIndicatorLit(indicator.first));
    }
    QCOMPARE(CStatusBar::KeyboardLocks(), 0u);
}

void TestShellFrame::backupAndRestoreAskFirst_data()
{
    QTest::addColumn<bool>("bMenu");
    QTest::addColumn<bool>("bBackup");
    QTest::newRow("File > Backup") << true << true;
    QTest::newRow("Backup button") << false << true;
    QTest::newRow("File > Restore") << true << false;
    QTest::newRow("Restore button") << false << false;
}

void TestShellFrame::backupAndRestoreAskFirst()
{
    QFETCH(bool, bMenu);
    QFETCH(bool, bBackup);
    CMainFrame frame;
    m_pLogin->Into(frame);
    frame.InitialUpdateViews();
    CRefreshTap tap(frame);
    int nChooser = 0;
    bool bBoxGoneFirst = false;
    frame.CommandView()->m_pfnChooseFolder = [&] {
        ++nChooser;
        bBoxGoneFirst = QApplication::activeModalWidget() == nullptr;
        return QString(); // cancelled
    };
    QVERIFY(ShowFrame(frame));

    CModalUser user;
    bool bNothingYet = false;
    user.m_onModal = [&](QWidget* pModal) {
        bNothingYet = !tap.Refreshed() && nChooser == 0 && !frame.CommandView()->m_dlgWait.IsOpen();
        QTest::mouseClick(static_cast<QMessageBox*>(pModal)->button(QMessageBox::Ok),
                          Qt::LeftButton);
    };
    const UINT nID = bBackup ? ID_FILE_BACKUP : ID_FILE_RESTORE;
    if (bMenu)
        QVERIFY(ChooseMenu(frame, {"&File", bBackup ? "&Backup..." : "&Restore..."}));
    else
        QTest::mouseClick(ToolButton(frame, nID), Qt::LeftButton);

    // Nothing ticked: the backup says so after the notice, and starts nothing.
    QCOMPARE(user.m_texts.first(),
             QString::fromUtf8(bBackup ? "现在执行OnButtonBackup" : "现在执行OnButtonRestore"));
    QCOMPARE(user.m_texts.mid(1), bBackup ? QStringList(Texts::NothingToBackUp()) : QStringList());
    QCOMPARE(user.m_titles.first(), QStringLiteral("Mossvale"));
    QCOMPARE(user.m_nPlainBoxes, 1);
    QVERIFY(bNothingYet);
    if (bBackup) {
        QVERIFY(!tap.Refreshed());
    } else {
        QCOMPARE(nChooser, 1);
        QVERIFY(bBoxGoneFirst);
    }
}

void TestShellFrame::withoutLoginCommandsSaySo()
{
    // The login was quit: no session.
    CMainFrame frame;
    frame.InitialUpdateViews();
    CRefreshTap tap(frame);
    int nChooser = 0;
    frame.CommandView()->m_pfnChooseFolder = [&] { return QString::number(++nChooser); };
    QVERIFY(ShowFrame(frame));

    CModalUser user;
    QTest::mouseClick(&frame.CommandView()->m_btnBackup, Qt::LeftButton);
    QTest::mouseClick(&frame.CommandView()->m_btnRestore, Qt::LeftButton);
    QTest::mouseClick(&frame.RightView()->m_btnDelete, Qt::LeftButton);
    QVERIFY(BackToFrame(frame));
    QTest::keyClick(&frame, Qt::Key_F5);
    const QString strSay = QString::fromUtf8("请先登录服务器（File > Log In...）。");
    QCOMPARE(user.m_texts, QStringList({strSay, strSay, strSay, strSay}));
    QCOMPARE(nChooser, 0);
    QVERIFY(!frame.CommandView()->m_dlgWait.IsOpen());
    QVERIFY(!tap.Refreshed());
    QCOMPARE(CJobPool::Get().RunningCount(), 0);
}

void TestShellFrame::helpContentAndOnlineSupport()
{
    CUrlTap urls;
    QDesktopServices::setUrlHandler("file", &urls, "Open");
    QDesktopServices::setUrlHandler("https", &urls, "Open");
    CMainFrame frame;
    m_pLogin->Into(frame);
    QVERIFY(ShowFrame(frame));

    // No help page to be found: a message says so and names it.
    CHelpFile::SetFolder(m_pDir->filePath("program"));
    const auto restore = qScopeGuard([] { CHelpFile::SetFolder({}); });
    {
        CModalUser user;
        QVERIFY(ChooseMenu(frame, {"&Help", "Help &Content"}));
        QTRY_COMPARE(user.m_texts.size(), 1);
        QVERIFY(user.m_texts[0].contains("help.html"));
    }
    QFile page(m_pDir->filePath("program/help.html"));
    QVERIFY(page.open(QIODevice::WriteOnly) && page.write("<html></html>") > 0);
    page.close();
    QVERIFY(ChooseMenu(frame, {"&Help", "Help &Content"}));
    QVERIFY(ChooseMenu(frame, {"&Help", "Online &Support"}));
    CProfile::Open()->setValue("Settings/OnlineSupport", "https://support.example.org/mossvale");
    QVERIFY(ChooseMenu(frame, {"&Help", "Online &Support"}));
    QDesktopServices::unsetUrlHandler("file");
    QDesktopServices::unsetUrlHandler("https");

    QCOMPARE(urls.m_urls.size(), 3);
    QCOMPARE(urls.m_urls[0], QUrl::fromLocalFile(page.fileName()));
    QVERIFY(urls.m_urls[1].isLocalFile());
    QVERIFY(urls.m_urls[1].path().endsWith("/README.md"));
    QCOMPARE(urls.m_urls[2], QUrl("https://support.example.org/mossvale"));
}

void TestShellFrame::f6MovesBetweenPanes()
{
    CMainFrame frame;
    m_pLogin->Into(frame);
    frame.InitialUpdateViews();
    QVERIFY(ShowFrame(frame));
    QWidget* const panes[] = {frame.CommandView(), frame.LeftView(), frame.RightView()};
    auto paneOfFocus = [&]() -> int {
        for (int i = 0; i < 3; ++i) {
            if (panes[i]->isAncestorOf(QApplication::focusWidget()))
                return i;
        }
        return -1;
    };
    frame.GetPane(IDR_PANE_PROPERTIES)->setFocus();
    for (int nExpected : {0, 1, 2, 0}) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &frame,
                        Qt::Key_F6);
        QTRY_COMPARE(paneOfFocus(), nExpected);
    }
    for (int nExpected : {2, 1}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
        QTRY_COMPARE(paneOfFocus(), nExpected);
    }
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&frame.LeftView()->m_treeCtrl));
}

void TestShellFrame::titlesFollowApplicationName()
{
    QCoreApplication::setApplicationName(QStringLiteral("Lindenhall"));
    const auto rename =
        qScopeGuard([] { QCoreApplication::setApplicationName(QLatin1String(Texts::APP_NAME)); });
    CMainFrame frame;
    m_pLogin->Into(frame);
    frame.InitialUpdateViews();
    QCOMPARE(frame.windowTitle(), QStringLiteral("Lindenhall"));

    CAboutDlg about(&frame);
    QCOMPARE(about.windowTitle(), QStringLiteral("About Lindenhall"));
    QStringList labels;
    for (const QLabel* pLabel : about.findChildren<QLabel*>())
        labels << pLabel->text();
    QVERIFY2(labels.contains("Lindenhall Version 1.0"), qPrintable(labels.join('|')));

    CRefreshTap tap(frame);
    frame.CommandView()->m_pfnChooseFolder = [] { return QString(); };
    QVERIFY(ShowFrame(frame));
    CModalUser user;
    QTest::mouseClick(ToolButton(frame, ID_FILE_BACKUP), Qt::LeftButton);
    QCOMPARE(user.m_titles, QStringList({"Lindenhall", "Lindenhall"}));
}

MOSSVALE_SHELL_TEST_MAIN(TestShellFrame)
#include "tst_shell_frame.moc"
