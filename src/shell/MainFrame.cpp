#include "MainFrame.h"

#include "BackupSchedulePage.h"
#include "CommandBars.h"
#include "CommandIds.h"
#include "CustomizeCommandsPage.h"
#include "CustomizeDlg.h"
#include "CustomizeKeyboardPage.h"
#include "CustomizeOptionsPage.h"
#include "FrameResources.h"
#include "HelpFile.h"
#include "OptionsPane.h"
#include "HistoryDlg.h"
#include "PaneCaption.h"
#include "PaneLayout.h"
#include "Profile.h"
#include "PropertiesPane.h"
#include "ScheduleStatus.h"
#include "ShortcutManager.h"
#include "platform/Path.h"
#include "resources/Texts.h"
#include "transfer/DirectStoreAccounts.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "backup/BackupHistory.h"
#include "backup/BackupPlan.h"
#include "backup/BackupSession.h"
#include "backup/TransferLimits.h"
#include "tree/LeftView.h"
#include "views/LoginFirst.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QStandardPaths>
#include <QToolBar>
#include <QUrl>

namespace {

QString g_strLayoutProgramFolder;
QString g_strLayoutUserFolder;

const QString ONLINE_SUPPORT_KEY = QStringLiteral("Settings/OnlineSupport");
const QString SERVER_LIST_DETAILS_KEY = QStringLiteral("Settings/ServerListDetails");
const QString LAST_RESTORE_FOLDER_KEY = QStringLiteral("Settings/LastRestoreFolder");
const QString PLACEMENT_KEY = QStringLiteral("Settings/WindowPlacement");

// A folder the layout can be written to: it exists and lets us replace pane.dxl in it.
bool CanWriteLayout(const QString& strFolder)
{
    const QFileInfo folder(strFolder);
    if (!folder.isDir() || !folder.isWritable())
        return false;
    const QFileInfo file(JoinPath(strFolder, QString::fromLatin1(CMainFrame::LAYOUT_FILE_NAME)));
    return !file.exists() || file.isWritable();
}

// The first widget inside pPane that takes the focus from the keyboard, else the pane.
QWidget* FocusTarget(QWidget* pPane)
{
    for (QWidget* p = pPane->nextInFocusChain(); p && p != pPane; p = p->nextInFocusChain()) {
        if (pPane->isAncestorOf(p) && (p->focusPolicy() & Qt::TabFocus) && p->isEnabled() &&
            p->isVisibleTo(pPane))
            return p;
    }
    return pPane;
}

} // namespace

CMainFrame::CMainFrame(QWidget* pParent) : QMainWindow(pParent)
{
    // The caption is the program's name only, whatever document is open.
    setWindowTitle(Texts::AppName());
    setWindowIcon(CFrameResources::AppIcon());
    OnCreateClient();
    OnCreate();
    // A server that renames nothing: its files are stored over their old copies only if
    // the user says so, once per account, knowing what a broken upload would cost.
    CDirectStoreAccounts::SetAsker([pFrame = QPointer<CMainFrame>(this)](
                                       const std::string& strServer, const std::string&,
                                       const std::string& strRefusal) {
        QMessageBox box(QMessageBox::Warning, Texts::AppName(),
                        Texts::DirectStoreQuestion(QString::fromStdString(strServer),
                                                   QString::fromStdString(strRefusal)),
                        QMessageBox::NoButton, pFrame);
        QPushButton* pStore =
            box.addButton(Texts::StoreDirectlyButton(), QMessageBox::DestructiveRole);
        QPushButton* pKeep = box.addButton(Texts::FailTheseFilesButton(), QMessageBox::RejectRole);
        box.setDefaultButton(pKeep);
        box.setEscapeButton(pKeep);
        box.exec();
        return box.clickedButton() == pStore;
    });
}

CMainFrame::~CMainFrame()
{
    CDirectStoreAccounts::SetAsker(nullptr);
}

void CMainFrame::OnCreateClient()
{
    m_wndMainSplitter.setOrientation(Qt::Vertical);
    m_wndMainSplitter.setChildrenCollapsible(false);
    m_wndLowerSplitter.setOrientation(Qt::Horizontal);
    m_wndLowerSplitter.setChildrenCollapsible(false);

    m_pCommandView = new CMossvaleView;
    m_wndMainSplitter.addWidget(m_pCommandView);
    m_wndMainSplitter.addWidget(&m_wndLowerSplitter);
    m_pLeftView = new CLeftView;
    m_pRightView = new CRightView;
    m_pCommandView->SetRemoteView(m_pRightView);
    m_pCommandView->SetLeftView(m_pLeftView);
    connect(m_pCommandView, &CMossvaleView::backupEnded, this, [this] { ShowLastBackup(); });
    connect(m_pCommandView, &CMossvaleView::restoreFolderChosen, this,
            [](const QString& strFolder) {
                CProfile::Open()->setValue(LAST_RESTORE_FOLDER_KEY, strFolder);
            });
    // The ticks of the last run, drawn as the folders are opened; every change is kept.
    CFolderTreeCtrl& tree = m_pLeftView->m_treeCtrl;
    tree.SetPlan(CBackupPlan::LoadFromProfile());
    connect(&tree, &CFolderTreeCtrl::planChanged, this, [&tree] { tree.Plan().SaveToProfile(); });
    m_wndLowerSplitter.addWidget(m_pLeftView);
    m_wndLowerSplitter.addWidget(m_pRightView);

    // remote list; the command row keeps the height it starts with.
    m_wndMainSplitter.setStretchFactor(0, 0);
    m_wndMainSplitter.setStretchFactor(1, 1);
    m_wndLowerSplitter.setStretchFactor(0, 1);
    m_wndLowerSplitter.setStretchFactor(1, 2);
    setCentralWidget(&m_wndMainSplitter);
    // The starting sizes depend on the client height, known once the splitter is laid out.
    m_wndMainSplitter.installEventFilter(this);
}

void CMainFrame::OnCreate()
{
    setStatusBar(&m_wndStatusBar);
    // Ahead of the indicators, which come after it.
    m_pScheduleStatus = new CScheduleStatus(&m_wndStatusBar);
    m_wndStatusBar.addPermanentWidget(m_pScheduleStatus);
    m_pScheduleStatus->LoadLastSuccess();
    m_wndStatusBar.SetIndicators(
        {ID_SEPARATOR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL});
    SetUpCommandBars();
    SetUpDockingPanes();

    if (const QScreen* pScreen = screen()) {
        const QRect available = pScreen->availableGeometry();
        resize(available.width() * 3 / 4, available.height() * 3 / 4);
        move(available.center() - rect().center());
    }
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == &m_wndMainSplitter && pEvent->type() == QEvent::Resize && !m_bSplittersSized &&
        m_wndMainSplitter.height() > 0) {
        m_bSplittersSized = true;
        const int nHeight = m_wndMainSplitter.height() - m_wndMainSplitter.handleWidth();
        const int nTop = m_wndMainSplitter.height() / 5;
        m_wndMainSplitter.setSizes({nTop, nHeight - nTop});
        const int nWidth = m_wndMainSplitter.width() - m_wndLowerSplitter.handleWidth();
        m_wndLowerSplitter.setSizes({400, nWidth - 400});
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void CMainFrame::SetUpCommandBars()
{
    m_pCommandBars = new CCommandBars(this);
    connect(m_pCommandBars, &CCommandBars::Execute, this, &CMainFrame::OnCommand);
    m_pCommandBars->SetMenu(Texts::MenuBarName(), CFrameResources::Menu());
    QToolBar* pToolBar =
        m_pCommandBars->AddToolBar(Texts::StandardToolBarName(), CFrameResources::ToolBar());
    m_pCommandBars->HideCommands(CFrameResources::HiddenCommands());
    CCommandBars::Options options = m_pCommandBars->GetOptions();
    options.bAlwaysShowFullMenus = false;
    m_pCommandBars->SetOptions(options);
    m_pCommandBars->GetShortcutManager()->SetAccelerators(CFrameResources::Accelerators());

    const QString strSection = QString::fromLatin1(COMMAND_BARS_SECTION);
    std::unique_ptr<QSettings> pProfile = CProfile::Open();
    m_pCommandBars->LoadOptions(*pProfile, strSection);
    m_pCommandBars->LoadBarState(*pProfile, strSection);
    m_pCommandBars->GetShortcutManager()->LoadShortcuts(*pProfile, strSection);

    Action(ID_VIEW_TOOLBAR)->setCheckable(true);
    Action(ID_VIEW_STATUS_BAR)->setCheckable(true);
    Action(ID_VIEW_DETAILS)->setCheckable(true);
    connect(pToolBar->toggleViewAction(), &QAction::toggled, this, &CMainFrame::UpdateToggleChecks);
    UpdateToggleChecks();

    m_handlers.insert(ID_FILE_BACKUP, [this] { OnFileBackup(); });
    m_handlers.insert(ID_FILE_RESTORE, [this] { OnFileRestore(); });
    m_handlers.insert(ID_FILE_VERSIONS, [this] {
        if (CheckLoggedIn(m_pSession.get(), this))
            m_pRightView->OnVersions();
    });
    m_handlers.insert(ID_FILE_RESTORE_AS_OF, [this] {
        if (CheckLoggedIn(m_pSession.get(), this))
            m_pRightView->OnRestoreAsOf();
    });
    m_handlers.insert(ID_VIEW_REFRESH, [this] { OnViewRefresh(); });
    m_handlers.insert(ID_VIEW_HISTORY, [this] { OnViewHistory(); });
    m_handlers.insert(ID_VIEW_DETAILS, [this] { OnViewDetails(); });
    m_handlers.insert(ID_FILE_CHECK_SERVER, [this] { m_pCommandView->OnCheckServerCopies(); });
    m_handlers.insert(ID_HELP_CONTENT, [this] { OnHelpContent(); });
    m_handlers.insert(ID_HELP_ONLINE, [this] { OnHelpOnline(); });
    m_handlers.insert(ID_VIEW_CUSTOMIZE, [this] { OnCustomize(); });
    m_handlers.insert(ID_VIEW_TOOLBAR, [this] { OnViewToolBar(); });
    m_handlers.insert(ID_VIEW_STATUS_BAR, [this] { OnViewStatusBar(); });
    m_handlers.insert(ID_NEXT_PANE, [this] { OnNextPane(true); });
    m_handlers.insert(ID_PREV_PANE, [this] { OnNextPane(false); });
    m_handlers.insert(ID_APP_EXIT, [this] { close(); });
    UpdateCommandStates();
}

QDockWidget* CMainFrame::CreatePane(UINT nID, const QSize& size, Qt::DockWidgetArea area,
                                    QDockWidget* pNeighbour)
{
    auto* pPane = new QDockWidget(CFrameResources::String(nID), this);
    pPane->setObjectName(QStringLiteral("Pane%1").arg(nID));
    pPane->setWindowIcon(CFrameResources::PaneIcon(nID));
    pPane->setTitleBarWidget(new CPaneCaption(pPane));
    if (pNeighbour) {
        addDockWidget(dockWidgetArea(pNeighbour), pPane);
        splitDockWidget(pNeighbour, pPane, Qt::Vertical);
        resizeDocks({pNeighbour, pPane}, {size.height(), size.height()}, Qt::Vertical);
    } else {
        addDockWidget(area, pPane);
        resizeDocks({pPane}, {size.width()}, Qt::Horizontal);
    }
    // The content window is made the first time the pane shows, wherever that is.
    connect(pPane, &QDockWidget::visibilityChanged, this, [this, nID](bool bVisible) {
        if (bVisible)
            OnPaneShown(nID);
    });
    m_panes[nID] = pPane;
    return pPane;
}

void CMainFrame::SetUpDockingPanes()
{
    QDockWidget* pOptions =
        CreatePane(IDR_PANE_OPTIONS, QSize(200, 120), Qt::LeftDockWidgetArea, nullptr);
    CreatePane(IDR_PANE_PROPERTIES, QSize(200, 120), Qt::LeftDockWidgetArea, pOptions);

    // Saved where it can be written; read from there first, then from the other folder, so
    // a layout the user saved wins over one left in a folder we cannot write.
    const QString strFile = QString::fromLatin1(LAYOUT_FILE_NAME);
    const QString strProgramFile = JoinPath(LayoutProgramFolder(), strFile);
    const QString strUserFile = JoinPath(LayoutUserFolder(), strFile);
    const bool bProgramFolder = CanWriteLayout(LayoutProgramFolder());
    m_strLayoutFile = bProgramFolder ? strProgramFile : strUserFile;
    for (const QString& strCandidate :
         {m_strLayoutFile, bProgramFolder ? strUserFile : strProgramFile}) {
        CPaneLayout layout(this);
        if (layout.LoadFromFile(strCandidate, QString::fromLatin1(LAYOUT_NAME)) &&
            layout.SetLayout())
            break;
    }
    UpdateToggleChecks();
}

void CMainFrame::OnPaneShown(UINT nPaneID)
{
    QDockWidget* pPane = GetPane(nPaneID);
    if (!pPane || pPane->widget())
        return;
    CFolderTreeCtrl& tree = m_pLeftView->m_treeCtrl;
    if (nPaneID == IDR_PANE_OPTIONS) {
        if (!m_wndOptionsPane.Content()) {
            auto* pOptions = new COptionsPane(m_pCommandView, m_pRightView);
            pOptions->SetPlan(tree.Plan());
            connect(&tree, &CFolderTreeCtrl::planChanged, pOptions,
                    [pOptions, &tree] { pOptions->SetPlan(tree.Plan()); });
            connect(pOptions, &COptionsPane::scheduleRequested, this,
                    [this] { OnCustomize(true); });
            // The patterns belong to the plan the tree keeps, and are saved with it.
            connect(pOptions, &COptionsPane::patternsChanged, this,
                    [&tree](const QStringList& patterns) {
                        CBackupPlan plan = tree.Plan();
                        plan.SetPatterns(patterns);
                        tree.SetPlan(plan);
                        plan.SaveToProfile();
                    });
            m_wndOptionsPane.Create(pOptions);
        }
        pPane->setWidget(&m_wndOptionsPane);
    } else if (nPaneID == IDR_PANE_PROPERTIES) {
        if (!m_wndPropertiesPane.Content()) {
            auto* pProperties = new CPropertiesPane;
            pProperties->setAccessibleName(CFrameResources::String(IDR_PANE_PROPERTIES));
            // The item chosen last, in the tree or in the server's list, and again when its
            // tick or its backup changes.
            const auto showLocal = [this, pProperties, &tree] {
                const HTREEITEM hItem = tree.GetSelectedItem();
                if (hItem && tree.GetCheckIndex(hItem) != CHECK_NO_BOX)
                    pProperties->ShowLocal(tree.GetFullPath(hItem), tree.Plan(), m_pSession.get());
            };
            connect(tree.selectionModel(), &QItemSelectionModel::currentChanged, pProperties,
                    showLocal);
            connect(&tree, &CFolderTreeCtrl::planChanged, pProperties, [pProperties, showLocal] {
                if (pProperties->IsLocal())
                    showLocal();
            });
            connect(m_pCommandView, &CMossvaleView::backupEnded, pProperties,
                    [pProperties, showLocal] {
                        if (pProperties->IsLocal())
                            showLocal();
                    });
            connect(m_pRightView->m_lstRemote.selectionModel(),
                    &QItemSelectionModel::currentChanged, pProperties,
                    [this, pProperties](const QModelIndex& current) {
                        if (current.isValid())
                            pProperties->ShowRemote(m_pRightView->m_model, current.row());
                    });
            m_wndPropertiesPane.Create(pProperties);
        }
        pPane->setWidget(&m_wndPropertiesPane);
    }
}

QDockWidget* CMainFrame::GetPane(UINT nPaneID) const
{
    const auto it = m_panes.find(nPaneID);
    return it == m_panes.end() ? nullptr : it->second;
}

CFlatBorderWnd* CMainFrame::GetPaneContent(UINT nPaneID)
{
    if (nPaneID == IDR_PANE_OPTIONS)
        return &m_wndOptionsPane;
    if (nPaneID == IDR_PANE_PROPERTIES)
        return &m_wndPropertiesPane;
    return nullptr;
}

QAction* CMainFrame::Action(UINT nID) const
{
    return m_pCommandBars->Action(nID);
}

void CMainFrame::InitialUpdateViews()
{
    // How many files a backup sends at once: a setting of the profile, as other FTP clients
    // keep their number of simultaneous transfers.
    m_pCommandView->SetParallelUploads(COptionsPane::ParallelUploads());
    CTransferLimits::Apply(); // restores are held to theirs too
    {
        const std::unique_ptr<QSettings> pProfile = CProfile::Open();
        m_pCommandView->m_strLastRestoreFolder =
            pProfile->value(LAST_RESTORE_FOLDER_KEY).toString();
        const bool bDetails = pProfile->value(SERVER_LIST_DETAILS_KEY, false).toBool();
        m_pRightView->SetDetailsView(bDetails);
        Action(ID_VIEW_DETAILS)->setChecked(bDetails);
    }
    OnAccountChanged();
    m_pCommandView->OnInitialUpdate();
    m_pLeftView->OnInitialUpdate();
    m_pRightView->OnInitialUpdate();
}

void CMainFrame::OnAccountChanged()
{
    // The meter measures against the account's own quota where the user set one.
    const int nQuotaMB = COptionsPane::AccountQuotaMB(m_pSession.get());
    m_pRightView->SetQuotaKB(nQuotaMB > 0 ? nQuotaMB * 1024 : CRightView::kQuotaKB);
    if (auto* pOptions = qobject_cast<COptionsPane*>(m_wndOptionsPane.Content()))
        pOptions->Refresh();
}

void CMainFrame::SetSession(std::shared_ptr<CBackupSession> pSession)
{
    m_pSession = std::move(pSession);
    m_pCommandView->SetSession(m_pSession);
    m_pRightView->SetSession(m_pSession);
    ShowLastBackup();
}

void CMainFrame::ShowLastBackup()
{
    if (!m_pSession) {
        m_wndStatusBar.SetLastBackup(QString());
        return;
    }
    const CBackupHistory history(m_pSession->AccountKey());
    // The overdue warning goes by the account that logged in, and ends with its next success.
    m_pScheduleStatus->SetLastSuccess(CScheduleStatus::LastSuccess(history.Runs()));
    const std::optional<BackupRunRecord> last = history.LastRun();
    if (!last) {
        m_wndStatusBar.SetLastBackup(QString());
        return;
    }
    QString strEnd;
    if (last->eState == BackupRunRecord::EState::Cancelled)
        strEnd = Texts::RunCancelled();
    else if (last->eState == BackupRunRecord::EState::Interrupted)
        strEnd = Texts::RunInterrupted();
    else if (last->eState == BackupRunRecord::EState::Running)
        strEnd = Texts::RunRunning();
    // The files of the plan that are on the server now: sent, or there already.
    m_wndStatusBar.SetLastBackup(Texts::LastBackup(last->started, QDateTime::currentDateTime(),
                                                   last->nSent + last->nUnchanged,
                                                   last->nFailed + last->nMissing, strEnd));
}

void CMainFrame::OnViewHistory()
{
    if (!CheckLoggedIn(m_pSession.get(), this))
        return;
    CHistoryDlg dlg(m_pSession->AccountKey(), this);
    dlg.exec();
}

void CMainFrame::SetCommandHandler(UINT nID, std::function<void()> fnHandler)
{
    if (fnHandler)
        m_handlers.insert(nID, std::move(fnHandler));
    else
        m_handlers.remove(nID);
    UpdateCommandStates();
}

void CMainFrame::SetRecentFiles(const QStringList& files,
                                std::function<void(const QString&)> fnOpen)
{
    m_recentFiles = files;
    m_fnOpenRecent = std::move(fnOpen);
    m_pCommandBars->SetRecentFiles(files);
}

void CMainFrame::UpdateCommandStates()
{
    for (UINT nID : CFrameResources::Commands()) {
        if (QAction* pAction = Action(nID))
            pAction->setEnabled(m_handlers.contains(nID));
    }
}

void CMainFrame::UpdateToggleChecks()
{
    Action(ID_VIEW_TOOLBAR)->setChecked(m_pCommandBars->ToolBar()->isVisibleTo(this));
    Action(ID_VIEW_STATUS_BAR)->setChecked(m_wndStatusBar.isVisibleTo(this));
}

void CMainFrame::OnCommand(UINT nID)
{
    if (IsRecentFileCommand(nID)) {
        const int nIndex = int(nID - ID_FILE_MRU_FILE1);
        if (m_fnOpenRecent && nIndex < m_recentFiles.size())
            m_fnOpenRecent(m_recentFiles[nIndex]);
        return;
    }
    const auto it = m_handlers.constFind(nID);
    if (it != m_handlers.constEnd()) {
        // A copy: the handler may replace itself.
        const std::function<void()> fnHandler = it.value();
        fnHandler();
    }
}

void CMainFrame::OnFileBackup()
{
    QMessageBox box(QMessageBox::NoIcon, Texts::AppName(), Texts::BackupCommandNotice(),
                    QMessageBox::Ok, this);
    box.exec();
    m_pCommandView->OnButtonBackup();
}

void CMainFrame::OnFileRestore()
{
    QMessageBox box(QMessageBox::NoIcon, Texts::AppName(), Texts::RestoreCommandNotice(),
                    QMessageBox::Ok, this);
    box.exec();
    m_pCommandView->OnButtonRestore();
}

void CMainFrame::OnViewDetails()
{
    const bool bDetails = !m_pRightView->IsDetailsView();
    m_pRightView->SetDetailsView(bDetails);
    Action(ID_VIEW_DETAILS)->setChecked(bDetails);
    CProfile::Open()->setValue(SERVER_LIST_DETAILS_KEY, bDetails);
}

void CMainFrame::OnViewRefresh()
{
    if (CheckLoggedIn(m_pSession.get(), this))
        m_pRightView->StartListing();
}

void CMainFrame::OnHelpContent()
{
    CHelpFile::Open(this);
}

void CMainFrame::OnHelpOnline()
{
    // The setting may be a URL, a bare host name or a local path.
    const QUrl url = QUrl::fromUserInput(OnlineSupportAddress());
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

QString CMainFrame::OnlineSupportAddress()
{
    const std::unique_ptr<QSettings> pProfile = CProfile::Open();
    const QString strAddress = pProfile->value(ONLINE_SUPPORT_KEY).toString().trimmed();
    if (!strAddress.isEmpty())
        return strAddress;
    const QString strProgram = QCoreApplication::applicationDirPath();
    const QString strBeside = JoinPath(strProgram, QStringLiteral("README.md"));
    const QString strInstalled = QDir::cleanPath(strProgram + Texts::InstalledReadme());
    const QString strReadme = QFileInfo::exists(strBeside) ? strBeside : strInstalled;
    return QUrl::fromLocalFile(strReadme).toString();
}

void CMainFrame::OnCustomize(bool bSchedulePage)
{
    if (!m_pCommandBars)
        return;
    CCustomizeDlg dlg(m_pCommandBars, this);
    auto* pKeyboard = new CCustomizeKeyboardPage(m_pCommandBars, &dlg);
    dlg.AddPage(pKeyboard);
    pKeyboard->InsertCategories(Texts::AllCommandsCategory());
    dlg.AddPage(new CCustomizeOptionsPage(m_pCommandBars, &dlg));
    auto* pSchedule = new CBackupSchedulePage(QCoreApplication::applicationFilePath(), &dlg);
    dlg.AddPage(pSchedule);

    CCustomizeCommandsPage* pCommands = dlg.GetCommandsPage();
    pCommands->InsertCategories();
    pCommands->InsertAllCommandsCategory(Texts::AllCommandsCategory());
    pCommands->InsertBuiltInMenus(Texts::BuiltInMenusCategory());
    pCommands->InsertNewMenuCategory(Texts::NewMenuName());
    if (bSchedulePage)
        dlg.Pages()->setCurrentWidget(pSchedule);
    dlg.exec();
    m_pScheduleStatus->Refresh();
    if (auto* pOptions = qobject_cast<COptionsPane*>(m_wndOptionsPane.Content()))
        pOptions->ShowSchedule();
}

void CMainFrame::OnViewToolBar()
{
    QToolBar* pToolBar = m_pCommandBars->ToolBar();
    pToolBar->setVisible(!pToolBar->isVisibleTo(this));
    UpdateToggleChecks();
}

void CMainFrame::OnViewStatusBar()
{
    m_wndStatusBar.setVisible(!m_wndStatusBar.isVisibleTo(this));
    UpdateToggleChecks();
}

void CMainFrame::OnNextPane(bool bForward)
{
    QWidget* panes[] = {m_pCommandView, m_pLeftView, m_pRightView};
    constexpr int nPanes = int(std::size(panes));
    const QWidget* pFocus = QApplication::focusWidget();
    int nCurrent = -1;
    for (int i = 0; i < nPanes && pFocus; ++i) {
        if (panes[i] == pFocus || panes[i]->isAncestorOf(pFocus))
            nCurrent = i;
    }
    int nNext = 0;
    if (nCurrent < 0)
        nNext = bForward ? 0 : nPanes - 1;
    else
        nNext = (nCurrent + (bForward ? 1 : nPanes - 1)) % nPanes;
    FocusTarget(panes[nNext])->setFocus(bForward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

bool CMainFrame::RestorePlacement()
{
    const std::unique_ptr<QSettings> pProfile = CProfile::Open();
    // Qt moves a saved place that is off every screen back onto one.
    return restoreGeometry(pProfile->value(PLACEMENT_KEY).toByteArray());
}

void CMainFrame::SaveUserInterfaceState()
{
    const QString strSection = QString::fromLatin1(COMMAND_BARS_SECTION);
    std::unique_ptr<QSettings> pProfile = CProfile::Open();
    pProfile->setValue(PLACEMENT_KEY, saveGeometry());
    m_pCommandBars->SaveOptions(*pProfile, strSection);
    m_pCommandBars->SaveBarState(*pProfile, strSection);
    m_pCommandBars->GetShortcutManager()->SaveShortcuts(*pProfile, strSection);
    pProfile->sync();

    CPaneLayout layout(this);
    layout.GetLayout();
    // The per-user folder is made on first use.
    QDir().mkpath(QFileInfo(m_strLayoutFile).path());
    if (layout.SaveToFile(m_strLayoutFile, QString::fromLatin1(LAYOUT_NAME)))
        return;
    // The program's folder may have turned read-only since the start.
    const QString strUserFile = JoinPath(LayoutUserFolder(), QString::fromLatin1(LAYOUT_FILE_NAME));
    if (m_strLayoutFile != strUserFile && QDir().mkpath(LayoutUserFolder()))
        layout.SaveToFile(strUserFile, QString::fromLatin1(LAYOUT_NAME));
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    if (!AgreeToClose()) {
        pEvent->ignore();
        return;
    }
    SaveUserInterfaceState();
    // Jobs still running (listings, deletes) hold the session themselves.
    SetSession(nullptr);
    emit sessionClosed();
    QMainWindow::closeEvent(pEvent);
}

bool CMainFrame::AgreeToClose()
{
    if (!m_pCommandView->HasRunningWork())
        return true;
    // A healthy transfer is never cut off without the user's word.
    QMessageBox box(QMessageBox::Question, Texts::AppName(), Texts::TransfersRunningQuestion(),
                    QMessageBox::NoButton, this);
    QPushButton* pWait = box.addButton(Texts::WaitForTransfersButton(), QMessageBox::RejectRole);
    box.addButton(Texts::CancelAndQuitButton(), QMessageBox::DestructiveRole);
    box.setDefaultButton(pWait);
    box.setEscapeButton(pWait);
    box.exec();
    if (box.clickedButton() == pWait) {
        // The window closes by itself once the last transfer has ended.
        connect(m_pCommandView, &CMossvaleView::workEnded, this, &CMainFrame::close,
                Qt::UniqueConnection);
        return false;
    }
    // Cancelled jobs end within moments, a silent server's too; the history names the files.
    // Every job is stopped, listings included, and the process ends within the quit's time
    // even if one is not.
    m_pCommandView->CancelForQuit();
    CJobPool::Get().CancelAllForQuit(CJobPool::QUIT_WAIT_MS);
    CJobPool::Get().WaitForAll(CJobPool::Get().QuitTimeLeftMs());
    return true;
}

void CMainFrame::SetLayoutFolders(const QString& strProgramDir, const QString& strUserDir)
{
    g_strLayoutProgramFolder = strProgramDir;
    g_strLayoutUserFolder = strUserDir;
}

QString CMainFrame::LayoutProgramFolder()
{
    return g_strLayoutProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                              : g_strLayoutProgramFolder;
}

QString CMainFrame::LayoutUserFolder()
{
    if (!g_strLayoutUserFolder.isEmpty())
        return g_strLayoutUserFolder;
    // Named after the profile rather than whatever names the application object was given.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QLatin1Char('/') + QLatin1String(CProfile::ORGANISATION) + QLatin1Char('/') +
           QLatin1String(CProfile::APPLICATION);
}
