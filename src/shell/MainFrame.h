#pragma once
// The main window: the command view across the top, the folder tree at the lower left and
// the remote list at the lower right, in two splitters; the menu bar, the "Standard"
// toolbar and the status bar; the "Options" and "Properties" docking panes.
//
// The frame handles Backup, Restore, Refresh, Help Content, Online Support, Customize, the toolbar
// and status-bar toggles, next and previous pane, and Exit (it closes the frame). The
// application's commands (New, Open, Save, About, Log In, the recent files) are handled where
// the application says through SetCommandHandler and SetRecentFiles; a command that no
// one handles is shown disabled, and its key does nothing.
//
// User-interface state, each piece in one place: the window's place in the profile's
// "Settings" section; the toolbar's buttons, the options, the
// shortcuts and the status bar's visibility in the profile's "CommandBars" section; the
// docking layout (the panes, and the toolbar's place and visibility) in "pane.dxl" under
// "NormalLayout", in the program's folder, or in the per-user data folder when the
// program's folder cannot be written. Both are read when the frame is built and written
// when it closes; without pane.dxl the frame starts with the default layout. Closing while
// transfers run asks whether to wait for them or to cancel them; it then lets the session go.
// The backup plan the tree shows is read from the profile when the frame is built and saved
// there whenever a tick changes it.
#include "FlatBorderWnd.h"
#include "StatusBar.h"
#include "platform/WinTypes.h"

#include <QHash>
#include <QMainWindow>
#include <QSplitter>
#include <functional>
#include <map>
#include <memory>

class CBackupSession;
class CCommandBars;
class CLeftView;
class CMossvaleView;
class CRightView;
class CScheduleStatus;
class QDockWidget;

class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* pParent = nullptr);
    ~CMainFrame() override;

    CMossvaleView* CommandView() const { return m_pCommandView; }
    CLeftView* LeftView() const { return m_pLeftView; }
    CRightView* RightView() const { return m_pRightView; }
    // Every view's initial update: after creation, and again on New and Open.
    void InitialUpdateViews();
    // After a login: what belongs to the account (its quota) follows it.
    void OnAccountChanged();
    // The logged-in account's session, handed to the views; null logs out. The status bar
    // then shows the account's last backup.
    void SetSession(std::shared_ptr<CBackupSession> pSession);
    const std::shared_ptr<CBackupSession>& Session() const { return m_pSession; }
    // Shows the session's last backup in the status bar (nothing without a session).
    void ShowLastBackup();

    // The handler of a command the frame does not handle itself, or an empty function to
    // take it away; the command is enabled exactly while it has a handler. A handler for
    // Exit replaces the frame's own (which closes the frame).
    void SetCommandHandler(UINT nID, std::function<void()> fnHandler);
    // The File menu's recent files, newest first; choosing one calls fnOpen with its path.
    void SetRecentFiles(const QStringList& files, std::function<void(const QString&)> fnOpen);

    CCommandBars* GetCommandBars() const { return m_pCommandBars; }
    QAction* Action(UINT nID) const;
    CStatusBar* GetStatusBar() { return &m_wndStatusBar; }
    // The next automatic backup and the overdue warning, in the status bar.
    CScheduleStatus* GetScheduleStatus() { return m_pScheduleStatus; }
    QSplitter* MainSplitter() { return &m_wndMainSplitter; }
    QSplitter* LowerSplitter() { return &m_wndLowerSplitter; }
    // Docking pane IDR_PANE_OPTIONS or IDR_PANE_PROPERTIES, and its content window, whose
    // control exists once the pane has first shown.
    QDockWidget* GetPane(UINT nPaneID) const;
    CFlatBorderWnd* GetPaneContent(UINT nPaneID);
    // The file the docking layout is saved to.
    const QString& LayoutFile() const { return m_strLayoutFile; }

    // The command handlers of the frame.
    void OnFileBackup();
    void OnFileRestore();
    void OnViewRefresh(); // F5: lists the server again
    void OnHelpContent();
    void OnHelpOnline();
    // With bSchedulePage, the dialog opens at the automatic backups' page.
    void OnCustomize(bool bSchedulePage = false);
    void OnViewToolBar();
    void OnViewStatusBar();
    void OnNextPane(bool bForward);
    void OnViewHistory();
    void OnViewDetails(); // the server list as a table, remembered in the profile

    // Writes the window's place, the command-bar state and the docking layout (what closing
    // does first).
    void SaveUserInterfaceState();
    // The window's size, place and maximised state as it closed last; false, and nothing
    // changed, when none is saved.
    bool RestorePlacement();

    // The two folders of "pane.dxl": it is written to the program's folder, or to the
    // per-user data folder when the program's folder cannot be written, and read from where
    // it is written first, then from the other. Tests point them elsewhere; an empty string
    // returns to the default.
    static void SetLayoutFolders(const QString& strProgramDir, const QString& strUserDir);
    static QString LayoutProgramFolder();
    static QString LayoutUserFolder();

    // The address Online Support opens: the profile's "Settings/OnlineSupport", else the
    // README beside the program or in its installed documentation folder.
    static QString OnlineSupportAddress();

    static constexpr const char* COMMAND_BARS_SECTION = "CommandBars";
    static constexpr const char* LAYOUT_FILE_NAME = "pane.dxl";
    static constexpr const char* LAYOUT_NAME = "NormalLayout";

signals:
    // The frame has closed and let its session go.
    void sessionClosed();

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    // False when the user would rather wait for the transfers still running.
    bool AgreeToClose();
    void OnCreateClient();
    void OnCreate();
    void SetUpCommandBars();
    void SetUpDockingPanes();
    QDockWidget* CreatePane(UINT nID, const QSize& size, Qt::DockWidgetArea area,
                            QDockWidget* pNeighbour);
    void OnPaneShown(UINT nPaneID);
    void OnCommand(UINT nID);
    void UpdateCommandStates();
    void UpdateToggleChecks();

    QSplitter m_wndMainSplitter;
    QSplitter m_wndLowerSplitter;
    QString m_strLayoutFile;
    CStatusBar m_wndStatusBar;
    CFlatBorderWnd m_wndOptionsPane;
    CFlatBorderWnd m_wndPropertiesPane;

    CMossvaleView* m_pCommandView = nullptr;
    CLeftView* m_pLeftView = nullptr;
    CRightView* m_pRightView = nullptr;
    CCommandBars* m_pCommandBars = nullptr;
    CScheduleStatus* m_pScheduleStatus = nullptr;
    std::map<UINT, QDockWidget*> m_panes;
    bool m_bSplittersSized = false;
    QHash<UINT, std::function<void()>> m_handlers;
    QStringList m_recentFiles;
    std::function<void(const QString&)> m_fnOpenRecent;
    std::shared_ptr<CBackupSession> m_pSession;
};
