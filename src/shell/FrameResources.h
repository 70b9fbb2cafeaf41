#pragma once
// The main frame's resources of id 128: its menu, its "Standard" toolbar, its accelerator
// table and the string table behind prompts, tooltips, indicators and pane titles. The
// command bars are built from these tables and a reset returns to them.
#include "platform/WinTypes.h"

#include <QCoreApplication>
#include <QIcon>
#include <QKeySequence>
#include <QString>
#include <utility>
#include <vector>

// One entry of a menu: a command, a separator (no text, no id) or a popup (items, no id).
struct MenuItemDef {
    QString strText; // "&Backup...\tCtrl+B": the text after the tab is only a label
    UINT nID = 0;
    std::vector<MenuItemDef> items;

    bool IsSeparator() const { return strText.isEmpty(); }
    bool IsPopup() const { return nID == 0 && !strText.isEmpty(); }
};

using AcceleratorTable = std::vector<std::pair<QKeySequence, UINT>>;

class CFrameResources
{
    Q_DECLARE_TR_FUNCTIONS(CFrameResources) // the tables' texts are translated in this context

public:
    // Menu 128: the popups of the menu bar, in order.
    static const std::vector<MenuItemDef>& Menu();
    // Toolbar 128, "Standard": command ids in button order, 0 for a separator.
    static const std::vector<UINT>& ToolBar();
    // Accelerator table 128, in table order (a command's first key is the one menus show).
    static const AcceleratorTable& Accelerators();
    // Commands left out of short menus.
    static const std::vector<UINT>& HiddenCommands();
    // Every command the frame knows: the menu's, the toolbar's, the accelerators' and the
    // hidden ones, each once, in that order of appearance.
    static const std::vector<UINT>& Commands();

    // The string table: an empty string for an id it does not hold.
    static QString String(UINT nID);
    // The status-bar prompt of a command: its string up to the newline.
    static QString Prompt(UINT nID);
    // The tooltip: its string after the newline, else the command's name.
    static QString ToolTip(UINT nID);
    // A command's text as the menu shows it ("&Backup...\tCtrl+B"); commands outside the
    // menu have a text of their own.
    static QString CommandText(UINT nID);
    // The text without the "&" marks, the "..." and the label after the tab: "Backup".
    static QString CommandName(UINT nID);
    static QString StripText(const QString& strText);

    // The toolbar picture of a command (bitmap 128, 16 x 15, seven images in button
    // order), with a large variant; a null icon for commands without a picture.
    static QIcon ToolBarIcon(UINT nID);
    // The picture of a docking pane (bitmap 130, 16 x 16); a null icon for other ids.
    static QIcon PaneIcon(UINT nPaneID);
    // The program's icon.
    static QIcon AppIcon();

    static constexpr int TOOLBAR_IMAGE_CX = 16;
    static constexpr int TOOLBAR_IMAGE_CY = 15;
};
