// What the frame keeps from one run to the next: the docking layout (panes and the
// toolbar's place) in pane.dxl, the toolbar's buttons and keyboard shortcuts in the profile,
// and what the customise dialog changes; and what closing the frame does to the jobs still
// running.
#include "FtpTestServer.h"
#include "LatencyProbe.h"
#include "ShellTestUtil.h"
#include "TestFiles.h"
#include "shell/CommandIds.h"
#include "shell/CustomizeCommandsPage.h"
#include "shell/CustomizeDlg.h"
#include "shell/CustomizeKeyboardPage.h"
#include "shell/CustomizeOptionsPage.h"
#include "shell/PaneCaption.h"
#include "shell/PaneLayout.h"
#include "shell/Profile.h"
#include "shell/ShortcutEdit.h"
#include "shell/ShortcutManager.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"
#include "backup/BackupPlan.h"
#include "backup/BackupSession.h"
#include "tree/LeftView.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QLabel>
#include <QScopeGuard>
#include <QListWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <memory>

namespace {

CPaneCaption* Caption(CMainFrame& frame, UINT nPaneID)
{
    return qobject_cast<CPaneCaption*>(frame.GetPane(nPaneID)->titleBarWidget());
}

// The panes as a first run places them: "Options" docked at the left, "Properties" below.
bool HasDefaultPanes(CMainFrame& frame)
{
    QDockWidget* pOptions = frame.GetPane(IDR_PANE_OPTIONS);
    QDockWidget* pProperties = frame.GetPane(IDR_PANE_PROPERTIES);
    return frame.dockWidgetArea(pOptions) == Qt::LeftDockWidgetArea &&
           frame.dockWidgetArea(pProperties) == Qt::LeftDockWidgetArea && !pOptions->isFloating() &&
           !pProperties->isFloating() && pOptions->isVisible() && pProperties->isVisible() &&
           pProperties->y() > pOptions->geometry().bottom() && pOptions->width() == 200;
}

void ClickItem(QListWidget* pList, const QString& strText)
{
    const QList<QListWidgetItem*> items = pList->findItems(strText, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(strText));
    pList->scrollToItem(items[0]);
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, {},
                      pList->visualItemRect(items[0]).center());
}

void ClickTab(CCustomizeDlg* pDlg, const QString& strTitle)
{
    QTabBar* pTabs = pDlg->Pages()->tabBar();
    for (int i = 0; i < pTabs->count(); ++i) {
        if (pTabs->tabText(i) == strTitle)
            QTest::mouseClick(pTabs, Qt::LeftButton, {}, pTabs->tabRect(i).center());
    }
}

// Runs the customise dialog from the View menu, hands it to fnWork, then closes it.
bool Customise(CMainFrame& frame, const std::function<void(CCustomizeDlg*)>& fnWork)
{
    CModalUser user;
    bool bSeen = false;
    user.m_onModal = [&](QWidget* pModal) {
        auto* pDlg = qobject_cast<CCustomizeDlg*>(pModal);
        if (!pDlg)
            return;
        bSeen = true;
        fnWork(pDlg);
        QTest::mouseClick(pDlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close),
                          Qt::LeftButton);
    };
    if (!ChooseMenu(frame, {"&View", "&Toolbars", "&Customize..."}) || !bSeen)
        return false;
    // The desktop gives the frame the keyboard back when the dialog goes.
    frame.activateWindow();
    return QTest::qWaitForWindowActive(&frame);
}

std::vector<int> Buttons(std::initializer_list<UINT> ids)
{
    return std::vector<int>(ids.begin(), ids.end());
}

} // namespace

class TestShellState : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void layoutSurvivesRestartUntilDeleted();
    void unusableLayoutFileKeepsDefaults_data();
    void unusableLayoutFileKeepsDefaults();
    void layoutGoesToUserFolderWhenProgramFolderIsNotWritable();
    void commandBarStateSurvivesRestart();
    void toolbarPlaceIsPartOfTheLayout();
    void shortcutFromCustomiseWorksAndSurvives();
    void shortcutTableRules();
    void savedToolbarButtonsAreChecked_data();
    void savedToolbarButtonsAreChecked();
    void closingAsksWhileTransfersRun();
    void closingBesideAStoppedServerDoesNotWait();

private:
    QString LayoutPath() const { return m_pDir->filePath("program/pane.dxl"); }
    std::unique_ptr<QTemporaryDir> m_pDir;
};

void TestShellState::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    QVERIFY(QDir().mkpath(m_pDir->filePath("program")));
    CMainFrame::SetLayoutFolders(m_pDir->filePath("program"), m_pDir->filePath("user"));
    CProfile::Open()->clear();
}

void TestShellState::cleanup()
{
    CMainFrame::SetLayoutFolders({}, {});
    m_pDir.reset();
}

void TestShellState::layoutSurvivesRestartUntilDeleted()
{
    int nCommandHeight = 0; // as a first run sizes the command row
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        QCOMPARE(frame.LayoutFile(), LayoutPath());
        QVERIFY(HasDefaultPanes(frame));
        nCommandHeight = frame.CommandView()->height();
        QTest::mouseClick(Caption(frame, IDR_PANE_OPTIONS)->FloatButton(), Qt::LeftButton);
        QTRY_VERIFY(frame.GetPane(IDR_PANE_OPTIONS)->isFloating());
        QTest::mouseClick(Caption(frame, IDR_PANE_PROPERTIES)->CloseButton(), Qt::LeftButton);
        QTRY_VERIFY(!frame.GetPane(IDR_PANE_PROPERTIES)->isVisible());
        // Splitter positions are not part of the layout.
        frame.MainSplitter()->setSizes({400, 200});
        QVERIFY(frame.close());
    }
    QVERIFY(QFile::exists(LayoutPath()));
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        QVERIFY(frame.GetPane(IDR_PANE_OPTIONS)->isFloating());
        QVERIFY(frame.GetPane(IDR_PANE_OPTIONS)->isVisible());
        QVERIFY(!frame.GetPane(IDR_PANE_PROPERTIES)->isVisible());
        QCOMPARE(frame.CommandView()->height(), nCommandHeight);
        // The pane closed at the last run has had no reason to make its content yet.
        QVERIFY(!frame.GetPaneContent(IDR_PANE_PROPERTIES)->Content());
        QVERIFY(frame.close());
    }
    QVERIFY(QFile::remove(LayoutPath()));
    CMainFrame frame;
    QVERIFY(ShowFrame(frame));
    QVERIFY(HasDefaultPanes(frame));
}

void TestShellState::unusableLayoutFileKeepsDefaults_data()
{
    // A real layout, but saved under another name.
    QByteArray otherName;
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        frame.GetPane(IDR_PANE_OPTIONS)->setFloating(true);
        CPaneLayout layout(&frame);
        layout.GetLayout();
        QTemporaryDir dir; // _data runs before init()
        const QString strFile = dir.filePath("other.dxl");
        QVERIFY(layout.SaveToFile(strFile, "OtherLayout"));
        QFile file(strFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        otherName = file.readAll();
    }
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("bFolder");
    QTest::newRow("binary junk") << QByteArray("\x00\x01\xff junk\n[", 10) << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("bad base64") << QByteArray("[NormalLayout]\nState=@@not base64@@\n") << false;
    QTest::newRow("not a layout") << ("[NormalLayout]\nState=" +
                                      QByteArray("hello, layout").toBase64() + "\n")
                                  << false;
    QTest::newRow("another layout's name") << otherName << false;
    QTest::newRow("oversized") << QByteArray(2 * 1024 * 1024, '[') << false;
    QTest::newRow("a folder in its place") << QByteArray() << true;
}

void TestShellState::unusableLayoutFileKeepsDefaults()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, bFolder);
    QVERIFY(bFolder ? QDir().mkpath(LayoutPath()) : WriteFile(LayoutPath(), content));
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        QVERIFY(HasDefaultPanes(frame));
        frame.GetPane(IDR_PANE_PROPERTIES)->close();
        QVERIFY(frame.close());
    }
    // Closing wrote a layout the next run can use: over the bad file, or, where that
    // cannot be replaced, in the per-user folder.
    CMainFrame frame;
    QVERIFY(ShowFrame(frame));
    QVERIFY(!frame.GetPane(IDR_PANE_PROPERTIES)->isVisible());
    QCOMPARE(QFileInfo::exists(m_pDir->filePath("user/pane.dxl")), bFolder);
}

void TestShellState::layoutGoesToUserFolderWhenProgramFolderIsNotWritable()
{
    // A program folder that cannot be written even by root: its parent is a file.
    QVERIFY(WriteFile(m_pDir->filePath("file"), "x"));
    CMainFrame::SetLayoutFolders(m_pDir->filePath("file/bin"), QString());
    const QString strUserFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        "/Local AppWizard-Generated Applications/Mossvale/pane.dxl";
    QFile::remove(strUserFile);
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        QCOMPARE(frame.LayoutFile(), strUserFile);
        frame.GetPane(IDR_PANE_OPTIONS)->close();
        QVERIFY(frame.close());
    }
    QVERIFY(QFile::exists(strUserFile));
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        QVERIFY(!frame.GetPane(IDR_PANE_OPTIONS)->isVisible());
    }
    QVERIFY(QFile::remove(strUserFile));
}

void TestShellState::commandBarStateSurvivesRestart()
{
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        CCommandBars* pBars = frame.GetCommandBars();
        QVERIFY(ChooseMenu(frame, {"&View", "&Status Bar"}));
        QVERIFY(!frame.statusBar()->isVisible());

        QVERIFY(Customise(frame, [&](CCustomizeDlg* pDlg) {
            CCustomizeCommandsPage* pPage = pDlg->GetCommandsPage();
            QCOMPARE(pDlg->Pages()->count(), 4);
            QStringList categories;
            for (int i = 0; i < pPage->Categories()->count(); ++i)
                categories << pPage->Categories()->item(i)->text();
            QCOMPARE(categories, QStringList({"File", "Edit", "View", "Help", "All Commands",
                                              "Built-in Menus", "New Menu"}));
            // Take Cut off, put Exit after Restore and the Help menu at the end.
            ClickItem(pPage->ToolBarButtons(), "Cut");
            QTest::mouseClick(pPage->RemoveButton(), Qt::LeftButton);
            ClickItem(pPage->ToolBarButtons(), "Restore");
            ClickItem(pPage->Categories(), "File");
            ClickItem(pPage->Commands(), "Exit");
            QTest::mouseClick(pPage->AddButton(), Qt::LeftButton);
            pPage->ToolBarButtons()->setCurrentRow(pPage->ToolBarButtons()->count() - 1);
            ClickItem(pPage->Categories(), "Built-in Menus");
            ClickItem(pPage->Commands(), "Help");
            QTest::mouseClick(pPage->AddButton(), Qt::LeftButton);

            ClickTab(pDlg, "Options");
            auto* pOptions = qobject_cast<CCustomizeOptionsPage*>(pDlg->Pages()->currentWidget());
            QVERIFY(pOptions);
            QVERIFY(!pOptions->FullMenus()->isChecked());
            for (QCheckBox* pBox : {pOptions->LargeIcons(), pOptions->ToolTips()})
                QTest::mouseClick(pBox, Qt::LeftButton, {}, QPoint(8, pBox->height() / 2));
        }));
        const std::vector<int> expected = {int(ID_FILE_BACKUP),
                                           int(ID_FILE_RESTORE),
                                           int(ID_APP_EXIT),
                                           0,
                                           int(ID_EDIT_COPY),
                                           int(ID_EDIT_PASTE),
                                           0,
                                           int(ID_FILE_PRINT),
                                           0,
                                           int(ID_APP_ABOUT),
                                           CCommandBars::MENU_BUILTIN - 3};
        QCOMPARE(pBars->ToolBarButtons(), expected);
        QCOMPARE(pBars->ToolBar()->iconSize(), QSize(32, 30));
        QVERIFY(frame.close());
    }
    const QString strProfile =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        "/Local AppWizard-Generated Applications/Mossvale.ini";
    QVERIFY(QFile::exists(strProfile));
    // The bar state lives in the profile, not in the layout file.
    QVERIFY(QFile::remove(LayoutPath()));

    CMainFrame frame;
    QVERIFY(ShowFrame(frame));
    CCommandBars* pBars = frame.GetCommandBars();
    QVERIFY(!frame.statusBar()->isVisible());
    QVERIFY(!frame.Action(ID_VIEW_STATUS_BAR)->isChecked());
    QCOMPARE(pBars->ToolBarButtons().size(), size_t(11));
    QCOMPARE(pBars->ToolBarButtons()[2], int(ID_APP_EXIT));
    QCOMPARE(pBars->ToolBar()->iconSize(), QSize(32, 30));
    QVERIFY(!pBars->GetOptions().bToolTips);
    // The Help menu on the toolbar is the menu bar's own.
    auto* pMenuButton = qobject_cast<QToolButton*>(
        pBars->ToolBar()->widgetForAction(pBars->ToolBar()->actions().last()));
    QVERIFY(pMenuButton && pMenuButton->defaultAction()->menu());
    QCOMPARE(pMenuButton->popupMode(), QToolButton::InstantPopup);
    QVERIFY(FindAction(pMenuButton->defaultAction()->menu(), "&About Mossvale..."));
}

// The toolbar's place and visibility come back with pane.dxl and only with it: the README
// tells a user to delete that file to get the default layout back.
void TestShellState::toolbarPlaceIsPartOfTheLayout()
{
    const auto hasDefaultToolBar = [](CMainFrame& frame) {
        QToolBar* pToolBar = frame.GetCommandBars()->ToolBar();
        return pToolBar->isVisible() && frame.Action(ID_VIEW_TOOLBAR)->isChecked() &&
               frame.toolBarArea(pToolBar) == Qt::TopToolBarArea && HasDefaultPanes(frame);
    };
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        QVERIFY(hasDefaultToolBar(frame));
        frame.addToolBar(Qt::LeftToolBarArea, frame.GetCommandBars()->ToolBar());
        QVERIFY(ChooseMenu(frame, {"&View", "&Toolbars", "&Toolbar"}));
        QVERIFY(!frame.GetCommandBars()->ToolBar()->isVisible());
        QVERIFY(frame.close());
    }
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        QToolBar* pToolBar = frame.GetCommandBars()->ToolBar();
        QVERIFY(!pToolBar->isVisible());
        QVERIFY(!frame.Action(ID_VIEW_TOOLBAR)->isChecked());
        QCOMPARE(frame.toolBarArea(pToolBar), Qt::LeftToolBarArea);
        QVERIFY(frame.close());
    }
    QVERIFY(QFile::remove(LayoutPath()));
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        QVERIFY(hasDefaultToolBar(frame));
    }

    // A profile from before kept the place as well; without pane.dxl it must not bring the
    // moved, hidden toolbar back, and the next save drops it.
    QVERIFY(!QFile::exists(LayoutPath()));
    {
        const std::unique_ptr<QSettings> pProfile = CProfile::Open();
        pProfile->setValue("CommandBars/Standard/Area", int(Qt::LeftToolBarArea));
        pProfile->setValue("CommandBars/Standard/Visible", false);
    }
    {
        CMainFrame frame;
        QVERIFY(ShowFrame(frame));
        QVERIFY(hasDefaultToolBar(frame));
        QVERIFY(frame.close());
    }
    const std::unique_ptr<QSettings> pProfile = CProfile::Open();
    QVERIFY(!pProfile->contains("CommandBars/Standard/Area"));
    QVERIFY(!pProfile->contains("CommandBars/Standard/Visible"));
    QVERIFY(pProfile->contains("CommandBars/Standard/Buttons"));
}

void TestShellState::shortcutFromCustomiseWorksAndSurvives()
{
    CLoggedIn login;
    QVERIFY(login.Start());
    {
        CMainFrame frame;
        login.Into(frame);
        frame.InitialUpdateViews();
        QVERIFY(ShowFrame(frame));
        QVERIFY(Customise(frame, [&](CCustomizeDlg* pDlg) {
            ClickTab(pDlg, "Keyboard");
            auto* pPage = qobject_cast<CCustomizeKeyboardPage*>(pDlg->Pages()->currentWidget());
            QVERIFY(pPage);
            QCOMPARE(pPage->Category()->currentText(), QStringLiteral("File"));
            ClickItem(pPage->Commands(), "Backup");
            QCOMPARE(pPage->Keys()->count(), 1); // Ctrl+B
            QVERIFY(!pPage->AssignButton()->isEnabled());
            QTest::mouseClick(pPage->NewKey(), Qt::LeftButton);
            QTest::keyClick(pPage->NewKey(), Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(pPage->NewKey()->text(), QStringLiteral("Ctrl+Shift+B"));
            QVERIFY(pPage->AssignedTo()->text().isEmpty());
            QTest::mouseClick(pPage->AssignButton(), Qt::LeftButton);
            // A key another command has: the page says whose it is, and Assign takes it.
            QTest::keyClick(pPage->NewKey(), Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(pPage->AssignedTo()->text(), QStringLiteral("Currently assigned to: Undo"));
            QTest::mouseClick(pPage->AssignButton(), Qt::LeftButton);
            QCOMPARE(pPage->Keys()->count(), 3);
            // Tab still leaves the field.
            QTest::keyClick(pPage->NewKey(), Qt::Key_Tab);
            QVERIFY(!pPage->NewKey()->hasFocus());
        }));
        QCOMPARE(frame.Action(ID_EDIT_UNDO)->shortcuts(),
                 QList<QKeySequence>({QKeySequence("Alt+Backspace")}));
        // The menu shows the real key now, not its old label.
        QCOMPARE(frame.Action(ID_FILE_BACKUP)->text(), QStringLiteral("&Backup..."));

        CModalUser user;
        frame.CommandView()->m_pfnChooseFolder = [] { return QString(); };
        QTest::keyClick(&frame, Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
        // Nothing is ticked: after the notice, the backup says so.
        QCOMPARE(user.m_texts, QStringList({QString::fromUtf8("现在执行OnButtonBackup"),
                                            Texts::NothingToBackUp()}));
        QVERIFY(frame.close());
    }
    CMainFrame frame;
    login.Into(frame); // closing the frame ended the session
    frame.InitialUpdateViews();
    QVERIFY(ShowFrame(frame));
    QCOMPARE(frame.Action(ID_FILE_BACKUP)->shortcuts(),
             QList<QKeySequence>(
                 {QKeySequence("Ctrl+B"), QKeySequence("Ctrl+Shift+B"), QKeySequence("Ctrl+Z")}));
    CModalUser user;
    QTest::keyClick(&frame, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(user.m_texts,
             QStringList({QString::fromUtf8("现在执行OnButtonBackup"), Texts::NothingToBackUp()}));
    QVERIFY(BackToFrame(frame));

    // Reset All goes back to the accelerator table: Backup keeps Ctrl+B alone.
    QVERIFY(Customise(frame, [&](CCustomizeDlg* pDlg) {
        ClickTab(pDlg, "Keyboard");
        auto* pPage = qobject_cast<CCustomizeKeyboardPage*>(pDlg->Pages()->currentWidget());
        QTest::mouseClick(pPage->ResetAllButton(), Qt::LeftButton);
    }));
    QCOMPARE(frame.Action(ID_FILE_BACKUP)->shortcuts(),
             QList<QKeySequence>({QKeySequence("Ctrl+B")}));
    QCOMPARE(frame.Action(ID_FILE_BACKUP)->text(), QStringLiteral("&Backup..."));
    QTest::keyClick(&frame, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(user.m_texts.size(), 2);
    QTest::keyClick(&frame, Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(user.m_texts.size(), 4);
}

void TestShellState::shortcutTableRules()
{
    CShortcutManager keys;
    keys.SetCommands({ID_FILE_NEW, ID_FILE_OPEN, ID_EDIT_UNDO});
    // A key tabled twice stays with its first command; unknown commands get nothing.
    keys.SetAccelerators({{QKeySequence("Ctrl+N"), ID_FILE_NEW},
                          {QKeySequence("Ctrl+N"), ID_FILE_OPEN},
                          {QKeySequence("Ctrl+Q"), 99999},
                          {QKeySequence("Ctrl+Z"), ID_EDIT_UNDO},
                          {QKeySequence("Alt+Backspace"), ID_EDIT_UNDO}});
    QCOMPARE(keys.CommandOf(QKeySequence("Ctrl+N")), ID_FILE_NEW);
    QCOMPARE(keys.CommandOf(QKeySequence("Ctrl+Q")), 0u);
    QCOMPARE(keys.Assign(99999, QKeySequence("Ctrl+W")), 0u);
    QCOMPARE(keys.CommandOf(QKeySequence("Ctrl+W")), 0u);

    QCOMPARE(keys.Assign(ID_FILE_OPEN, QKeySequence("Ctrl+Z")), ID_EDIT_UNDO);
    QCOMPARE(keys.Keys(ID_EDIT_UNDO), QList<QKeySequence>({QKeySequence("Alt+Backspace")}));
    QVERIFY(keys.Remove(ID_EDIT_UNDO, QKeySequence("Alt+Backspace")));
    QVERIFY(!keys.Remove(ID_EDIT_UNDO, QKeySequence("Alt+Backspace")));

    // Saved with every key gone: the next run has none, not the defaults.
    QSettings settings(m_pDir->filePath("keys.ini"), QSettings::IniFormat);
    QVERIFY(keys.Remove(ID_FILE_OPEN, QKeySequence("Ctrl+Z")));
    QVERIFY(keys.Remove(ID_FILE_NEW, QKeySequence("Ctrl+N")));
    keys.SaveShortcuts(settings, "CommandBars");
    keys.Reset();
    QCOMPARE(keys.Keys(ID_FILE_NEW), QList<QKeySequence>({QKeySequence("Ctrl+N")}));
    keys.LoadShortcuts(settings, "CommandBars");
    QCOMPARE(keys.CommandOf(QKeySequence("Ctrl+N")), 0u);

    // Nothing saved under a section: the keys stay as they are.
    keys.Reset();
    keys.LoadShortcuts(settings, "Elsewhere");
    QCOMPARE(keys.CommandOf(QKeySequence("Ctrl+N")), ID_FILE_NEW);

    // A damaged table: unknown commands, unreadable keys and second owners are dropped.
    settings.beginGroup("Damaged");
    settings.beginWriteArray("Shortcuts");
    const std::pair<QString, QString> entries[] = {{"57601", "Ctrl+K"}, {"99999", "Ctrl+J"},
                                                   {"abc", "Ctrl+L"},   {"57600", "Ctrl+Nonsense"},
                                                   {"57600", "Ctrl+K"}, {"57643", "F4"}};
    for (int i = 0; i < int(std::size(entries)); ++i) {
        settings.setArrayIndex(i);
        settings.setValue("Command", entries[i].first);
        settings.setValue("Key", entries[i].second);
    }
    settings.endArray();
    settings.endGroup();
    keys.LoadShortcuts(settings, "Damaged");
    QCOMPARE(keys.Keys(ID_FILE_OPEN), QList<QKeySequence>({QKeySequence("Ctrl+K")}));
    QCOMPARE(keys.Keys(ID_EDIT_UNDO), QList<QKeySequence>({QKeySequence("F4")}));
    QVERIFY(keys.Keys(ID_FILE_NEW).isEmpty());
    QCOMPARE(keys.CommandOf(QKeySequence("Ctrl+J")), 0u);
}

void TestShellState::savedToolbarButtonsAreChecked_data()
{
    QTest::addColumn<QString>("strSaved");
    QTest::addColumn<std::vector<int>>("expected");
    QTest::newRow("unknown, recent-file and repeated entries dropped")
        << "32773, 99999,32773,57616,-1,-100,-100,-5,0"
        << std::vector<int>({32773, CCommandBars::MENU_BUILTIN, CCommandBars::MENU_NEW,
                             CCommandBars::MENU_NEW, 0});
    QTest::newRow("damaged list keeps the defaults")
        << "32773,abc,57664"
        << Buttons({ID_FILE_BACKUP, ID_FILE_RESTORE, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0,
                    ID_FILE_PRINT, 0, ID_APP_ABOUT});
    QTest::newRow("every button removed") << "" << std::vector<int>();
}

void TestShellState::savedToolbarButtonsAreChecked()
{
    QFETCH(QString, strSaved);
    QFETCH(std::vector<int>, expected);
    CProfile::Open()->setValue("CommandBars/Standard/Buttons", strSaved);
    CMainFrame frame;
    QCOMPARE(frame.GetCommandBars()->ToolBarButtons(), expected);
    QCOMPARE(frame.GetCommandBars()->ToolBar()->actions().size(), int(expected.size()));
}

void TestShellState::closingAsksWhileTransfersRun()
{
    // "Wait" keeps the window until a slow upload has arrived; "cancel and quit" stops an upload
    // stuck on a server that stopped reading, well before its stall time, and ends at once.
    CFtpTestServer slow;
    QVERIFY2(slow.Start(CFtpTestServer::Pyftpdlib, {"slow"}), qPrintable(slow.LastError()));
    CFtpTestServer stalling;
    QVERIFY(stalling.Start(CFtpTestServer::Pyftpdlib, {"stall-stor"}));
    QTemporaryDir local;
    const QString strUp = local.filePath("up.bin");
    const QString strQueued = local.filePath("queued.bin");
    QVERIFY(WriteFile(strUp, QByteArray(320 * 1024, 'u')));
    QVERIFY(WriteFile(strQueued, "q"));
    const CInternetSession::Timeouts saved = CInternetSession::GetTimeouts();
    const auto restore = qScopeGuard([saved] { CInternetSession::SetTimeouts(saved); });
    CInternetSession::SetTimeouts({5, 60});
    const auto logIn = [](CMainFrame& frame, const CFtpTestServer& server) {
        frame.SetSession(CLoggedIn::Session(server));
    };
    QString strChoice;
    CModalUser user;
    user.m_onModal = [&](QWidget* pModal) {
        auto* pBox = qobject_cast<QMessageBox*>(pModal);
        if (QAbstractButton* pOk = pBox->button(QMessageBox::Ok))
            return QTest::mouseClick(pOk, Qt::LeftButton);
        for (QAbstractButton* pButton : pBox->buttons())
            if (pButton->text() == strChoice)
                return QTest::mouseClick(pButton, Qt::LeftButton);
    };

    auto pFrame = std::make_unique<CMainFrame>();
    logIn(*pFrame, slow);
    pFrame->InitialUpdateViews();
    QVERIFY(ShowFrame(*pFrame));
    CBackupPlan plan;
    plan.TickFile(QFile::encodeName(strUp));
    pFrame->LeftView()->m_treeCtrl.SetPlan(plan);
    QTest::mouseClick(&pFrame->CommandView()->m_btnBackup, Qt::LeftButton);
    QTRY_VERIFY(CJobPool::Get().RunningTransfers() > 0);
    strChoice = QString::fromUtf8("等待完成");
    QVERIFY(!pFrame->close());
    QCOMPARE(user.m_texts,
             QStringList(QString::fromUtf8("文件仍在传输。等待传输完成，还是取消传输并退出？")));
    QVERIFY(pFrame->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!pFrame->isVisible(), 20000);
    QCOMPARE(slow.ReadFile("up.bin"), QByteArray(320 * 1024, 'u'));
    QVERIFY(CJobPool::Get().WaitForAll(20000));

    pFrame = std::make_unique<CMainFrame>();
    logIn(*pFrame, stalling);
    pFrame->InitialUpdateViews();
    QVERIFY(ShowFrame(*pFrame));
    pFrame->CommandView()->SetParallelUploads(1); // the second file waits its turn
    plan.TickFile(QFile::encodeName(strQueued));
    pFrame->LeftView()->m_treeCtrl.SetPlan(plan);
    QTest::mouseClick(&pFrame->CommandView()->m_btnBackup, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(pFrame->CommandView()->m_dlgWait.m_prgFile.value() > 0, 20000);
    user.m_texts.clear();
    strChoice = QString::fromUtf8("取消并退出");
    QVERIFY(pFrame->close());
    QCOMPARE(CJobPool::Get().RunningTransfers(), 0);
    // No box holds up the end the user asked for; the run names the files it stopped.
    const QString strHeading = QString::fromUtf8("以下文件已取消：");
    QVERIFY(std::none_of(user.m_texts.cbegin(), user.m_texts.cend(),
                         [&](const QString& strText) { return strText.startsWith(strHeading); }));
    QStringList stopped;
    for (const BackupFileReport& report : pFrame->CommandView()->Run()->Summary().problems)
        stopped << QString::fromUtf8(report.path);
    stopped.sort();
    QCOMPARE(stopped, QStringList({strQueued, strUp}));
    QVERIFY(!pFrame->Session());
    QVERIFY(!QFile::exists(stalling.FilePath("up.bin")));
}

void TestShellState::closingBesideAStoppedServerDoesNotWait()
{
    // Eight connections kept in the session's pool, then the server stops (SIGSTOP): closing
    // the window frees them without a word to the server, and its events keep running.
    CFtpTestServer server;
    QVERIFY(server.Start(CFtpTestServer::Pyftpdlib));
    QVERIFY(server.PutFile("listed.txt", "x"));
    auto pFrame = std::make_unique<CMainFrame>();
    pFrame->SetSession(CLoggedIn::Session(server));
    pFrame->InitialUpdateViews();
    QVERIFY(ShowFrame(*pFrame));
    for (int i = 0; i < 8; ++i)
        pFrame->RightView()->StartListing();
    QVERIFY(CJobPool::Get().WaitForAll(20000));
    QVERIFY(server.Freeze(true));
    const auto thaw = qScopeGuard([&] { server.Freeze(false); });
    CLatencyProbe probe;
    QVERIFY(pFrame->close());
    QVERIFY(!pFrame->Session());
    QVERIFY2(probe.LargestGapMs() < CLatencyProbe::kHeldMs,
             qPrintable(QString::number(probe.LargestGapMs())));
}

MOSSVALE_SHELL_TEST_MAIN(TestShellState)
#include "tst_shell_state.moc"
