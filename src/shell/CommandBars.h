#pragma once
// The frame's command bars: the menu bar "Menu Bar" and the toolbar "Standard", one action
// per command shared by both, the keyboard shortcuts, and the options of the customise
// dialog. What the user may change (toolbar buttons, status-bar visibility, shortcuts,
// options) is loaded from and saved to one profile section; the toolbar's place and
// visibility are part of the frame's docking layout instead, saved with the panes.
//
// Toolbar buttons are stored as numbers: a command id, 0 for a separator, a negative
// number for a menu placed on the toolbar (MENU_BUILTIN - i for the menu bar's popup i,
// MENU_NEW for a new, empty menu).
#include "FrameResources.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <set>

class CShortcutManager;
class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class QSettings;
class QStatusBar;
class QToolBar;

class CCommandBars : public QObject
{
    Q_OBJECT
public:
    struct Options {
        bool bAlwaysShowFullMenus = false;
        bool bLargeIcons = false;
        bool bToolTips = true;
    };

    static constexpr int MENU_BUILTIN = -1;
    static constexpr int MENU_NEW = -100;

    // Makes one action for every command of the frame's resources; nothing is shown yet.
    explicit CCommandBars(QMainWindow* pFrame);
    ~CCommandBars() override;

    QAction* Action(UINT nID) const { return m_actions.value(nID); }
    CShortcutManager* GetShortcutManager() const { return m_pShortcuts; }
    QMenuBar* MenuBar() const { return m_pMenuBar; }
    QToolBar* ToolBar() const { return m_pToolBar; }

    // Builds the frame's menu bar from the menu table.
    bool SetMenu(const QString& strTitle, const std::vector<MenuItemDef>& menu);
    // Adds the toolbar at the top of the frame with these buttons (0 = separator).
    QToolBar* AddToolBar(const QString& strTitle, const std::vector<UINT>& buttons);
    void HideCommands(const std::vector<UINT>& ids);
    bool IsHidden(UINT nID) const { return m_hidden.count(nID) != 0; }

    const Options& GetOptions() const { return m_options; }
    void SetOptions(const Options& options);

    // The toolbar's buttons; SetToolBarButtons drops unknown entries and second copies of
    // a command or a built-in menu.
    const std::vector<int>& ToolBarButtons() const { return m_buttons; }
    void SetToolBarButtons(const std::vector<int>& buttons);
    void ResetToolBar();
    // The caption of a toolbar entry as lists show it.
    QString ButtonName(int nButton) const;

    // The recent-file entries of the File menu; an empty list shows the greyed placeholder.
    void SetRecentFiles(const QStringList& files);
    QStringList RecentFiles() const { return m_recentFiles; }

    // Categories of the customise dialog: the menu bar's popups by name, then the commands
    // found in each popup (and its sub-menus) in menu order.
    QStringList MenuCategories() const;
    std::vector<UINT> CategoryCommands(const QString& strCategory) const;
    // Every command, ordered by name.
    std::vector<UINT> AllCommands() const;

    // The profile section's parts, loaded and saved in this order: options, bar state,
    // then the shortcuts (through the shortcut manager). Missing state keeps the current.
    void LoadOptions(QSettings& settings, const QString& strSection);
    void LoadBarState(QSettings& settings, const QString& strSection);
    void SaveOptions(QSettings& settings, const QString& strSection) const;
    void SaveBarState(QSettings& settings, const QString& strSection) const;

signals:
    // A command was chosen from a menu, a button or a key.
    void Execute(UINT nID);
    // The toolbar's buttons changed.
    void ToolBarChanged();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void BuildMenus();
    void FillMenu(QMenu* pMenu, const std::vector<MenuItemDef>& items);
    void FillRecentFiles();
    void RebuildToolBar();
    void ApplyShortcuts();
    void ApplyIconSize();
    bool IsValidButton(int nButton) const;

    QMainWindow* m_pFrame;
    CShortcutManager* m_pShortcuts;
    QHash<UINT, QAction*> m_actions;
    QHash<UINT, QString> m_labels; // menu texts, "\tCtrl+B" label parts included
    QMenuBar* m_pMenuBar = nullptr;
    std::vector<MenuItemDef> m_menu;
    std::vector<QMenu*> m_popups;   // the menu bar's popups, in order
    QMenu* m_pRecentMenu = nullptr; // the popup holding the recent-file entries
    std::vector<QAction*> m_recentActions;
    QStringList m_recentFiles;
    QToolBar* m_pToolBar = nullptr;
    std::vector<int> m_defaultButtons;
    std::vector<int> m_buttons;
    std::vector<QMenu*> m_newMenus; // empty menus placed on the toolbar
    std::set<UINT> m_hidden;
    Options m_options;
};
