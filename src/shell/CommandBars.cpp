#include "CommandBars.h"

#include "CommandIds.h"
#include "ShortcutManager.h"
#include "resources/Texts.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace {

void CollectCommands(const std::vector<MenuItemDef>& items, std::vector<UINT>& ids)
{
    for (const MenuItemDef& item : items) {
        if (item.IsPopup())
            CollectCommands(item.items, ids);
        else if (item.nID != 0 && !IsRecentFileCommand(item.nID))
            ids.push_back(item.nID);
    }
}

QString ButtonsToText(const std::vector<int>& buttons)
{
    QStringList parts;
    for (int nButton : buttons)
        parts << QString::number(nButton);
    return parts.join(QLatin1Char(','));
}

} // namespace

CCommandBars::CCommandBars(QMainWindow* pFrame)
    : QObject(pFrame), m_pFrame(pFrame), m_pShortcuts(new CShortcutManager(this))
{
    m_pShortcuts->SetCommands(CFrameResources::Commands());
    for (UINT nID : CFrameResources::Commands()) {
        auto* pAction = new QAction(this);
        const QString strText = CFrameResources::CommandText(nID);
        m_labels.insert(nID, strText);
        pAction->setText(strText);
        pAction->setIconText(CFrameResources::CommandName(nID));
        pAction->setToolTip(CFrameResources::ToolTip(nID));
        pAction->setStatusTip(CFrameResources::Prompt(nID));
        pAction->setIcon(CFrameResources::ToolBarIcon(nID));
        // Menus draw their own labels; their icons would only crowd them.
        pAction->setIconVisibleInMenu(false);
        connect(pAction, &QAction::triggered, this, [this, nID] { emit Execute(nID); });
        m_actions.insert(nID, pAction);
        // Keys work wherever the focus is in the frame, not only while a menu holds them.
        m_pFrame->addAction(pAction);
    }
    // The placeholder of the recent-file list is never a command.
    if (QAction* pPlaceholder = m_actions.value(ID_FILE_MRU_FILE1)) {
        pPlaceholder->setEnabled(false);
        pPlaceholder->setStatusTip(QString());
    }
    connect(m_pShortcuts, &CShortcutManager::ShortcutsChanged, this, &CCommandBars::ApplyShortcuts);
}

CCommandBars::~CCommandBars()
{
    for (QMenu* pMenu : m_newMenus)
        delete pMenu;
}

bool CCommandBars::SetMenu(const QString& strTitle, const std::vector<MenuItemDef>& menu)
{
    if (!m_pMenuBar) {
        m_pMenuBar = new QMenuBar(m_pFrame);
        m_pMenuBar->setObjectName(strTitle);
        m_pMenuBar->setWindowTitle(strTitle);
        m_pFrame->setMenuBar(m_pMenuBar);
    }
    m_menu = menu;
    BuildMenus();
    return true;
}

void CCommandBars::BuildMenus()
{
    m_pMenuBar->clear();
    for (QMenu* pMenu : m_popups)
        pMenu->deleteLater();
    m_popups.clear();
    m_pRecentMenu = nullptr;
    m_recentActions.clear();
    for (const MenuItemDef& popup : m_menu) {
        if (!popup.IsPopup())
            continue;
        QMenu* pMenu = m_pMenuBar->addMenu(popup.strText);
        FillMenu(pMenu, popup.items);
        m_popups.push_back(pMenu);
    }
    FillRecentFiles();
    // Menu buttons on the toolbar point at the popups just replaced.
    RebuildToolBar();
}

void CCommandBars::FillMenu(QMenu* pMenu, const std::vector<MenuItemDef>& items)
{
    for (const MenuItemDef& item : items) {
        if (item.IsSeparator()) {
            pMenu->addSeparator();
        } else if (item.IsPopup()) {
            FillMenu(pMenu->addMenu(item.strText), item.items);
        } else if (QAction* pAction = Action(item.nID)) {
            if (IsHidden(item.nID) && !m_options.bAlwaysShowFullMenus)
                continue;
            pMenu->addAction(pAction);
            if (item.nID == ID_FILE_MRU_FILE1)
                m_pRecentMenu = pMenu;
        }
    }
}

void CCommandBars::SetRecentFiles(const QStringList& files)
{
    m_recentFiles = files.mid(0, RECENT_FILE_COMMANDS);
    FillRecentFiles();
}

void CCommandBars::FillRecentFiles()
{
    for (QAction* pAction : m_recentActions)
        delete pAction;
    m_recentActions.clear();
    QAction* pPlaceholder = Action(ID_FILE_MRU_FILE1);
    if (!m_pRecentMenu || !pPlaceholder)
        return;
    pPlaceholder->setVisible(m_recentFiles.isEmpty());
    for (int i = 0; i < m_recentFiles.size(); ++i) {
        QString strPath = QDir::toNativeSeparators(m_recentFiles[i]);
        strPath.replace(QLatin1Char('&'), QLatin1String("&&"));
        auto* pAction = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(strPath), this);
        pAction->setStatusTip(CFrameResources::Prompt(ID_FILE_MRU_FILE1 + UINT(i)));
        const UINT nID = ID_FILE_MRU_FILE1 + UINT(i);
        connect(pAction, &QAction::triggered, this, [this, nID] { emit Execute(nID); });
        m_pRecentMenu->insertAction(pPlaceholder, pAction);
        m_recentActions.push_back(pAction);
    }
}

QToolBar* CCommandBars::AddToolBar(const QString& strTitle, const std::vector<UINT>& buttons)
{
    if (m_pToolBar)
        return nullptr;
    m_pToolBar = new QToolBar(strTitle, m_pFrame);
    m_pToolBar->setObjectName(strTitle);
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_pFrame->addToolBar(Qt::TopToolBarArea, m_pToolBar);
    m_defaultButtons.assign(buttons.begin(), buttons.end());
    m_buttons = m_defaultButtons;
    ApplyIconSize();
    RebuildToolBar();
    return m_pToolBar;
}

bool CCommandBars::IsValidButton(int nButton) const
{
    if (nButton == 0 || nButton == MENU_NEW)
        return true;
    if (nButton < 0)
        return MENU_BUILTIN - nButton < int(m_popups.size()) && nButton <= MENU_BUILTIN;
    return m_actions.contains(UINT(nButton)) && !IsRecentFileCommand(UINT(nButton));
}

void CCommandBars::SetToolBarButtons(const std::vector<int>& buttons)
{
    std::vector<int> kept;
    for (int nButton : buttons) {
        if (!IsValidButton(nButton))
            continue;
        // An action can stand on a toolbar once; so can a menu the menu bar owns.
        const bool bUnique = nButton > 0 || (nButton < 0 && nButton != MENU_NEW);
        if (bUnique && std::find(kept.begin(), kept.end(), nButton) != kept.end())
            continue;
        kept.push_back(nButton);
    }
    m_buttons = kept;
    RebuildToolBar();
}

void CCommandBars::ResetToolBar()
{
    SetToolBarButtons(m_defaultButtons);
}

QString CCommandBars::ButtonName(int nButton) const
{
    if (nButton == 0)
        return Texts::SeparatorName();
    if (nButton == MENU_NEW)
        return Texts::NewMenuName();
    if (nButton < 0) {
        const int nPopup = MENU_BUILTIN - nButton;
        return nPopup < int(m_popups.size())
                   ? CFrameResources::StripText(m_popups[size_t(nPopup)]->title())
                   : QString();
    }
    return CFrameResources::CommandName(UINT(nButton));
}

void CCommandBars::RebuildToolBar()
{
    if (!m_pToolBar)
        return;
    // clear() leaves the toolbar's own separators and menus alive; they are ours to free.
    const QList<QAction*> old = m_pToolBar->actions();
    m_pToolBar->clear();
    for (QAction* pAction : old) {
        if (pAction->parent() == m_pToolBar)
            delete pAction;
    }
    for (QMenu* pMenu : m_newMenus)
        delete pMenu;
    m_newMenus.clear();

    for (int nButton : m_buttons) {
        QAction* pAction = nullptr;
        if (nButton == 0) {
            pAction = new QAction(m_pToolBar);
            pAction->setSeparator(true);
        } else if (nButton < 0) {
            QMenu* pMenu = nullptr;
            if (nButton == MENU_NEW) {
                pMenu = new QMenu(Texts::NewMenuName());
                m_newMenus.push_back(pMenu);
            } else {
                pMenu = m_popups[size_t(MENU_BUILTIN - nButton)];
            }
            pAction = new QAction(pMenu->title(), m_pToolBar);
            pAction->setMenu(pMenu);
        } else {
            pAction = Action(UINT(nButton));
        }
        m_pToolBar->addAction(pAction);
        if (auto* pButton = qobject_cast<QToolButton*>(m_pToolBar->widgetForAction(pAction))) {
            if (pAction->icon().isNull())
                pButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
            if (pAction->menu())
                pButton->setPopupMode(QToolButton::InstantPopup);
            pButton->installEventFilter(this);
        }
    }
    emit ToolBarChanged();
}

bool CCommandBars::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::ToolTip && !m_options.bToolTips)
        return true;
    return QObject::eventFilter(pWatched, pEvent);
}

void CCommandBars::HideCommands(const std::vector<UINT>& ids)
{
    m_hidden.insert(ids.begin(), ids.end());
    if (m_pMenuBar)
        BuildMenus();
}

void CCommandBars::SetOptions(const Options& options)
{
    const bool bMenusChange = options.bAlwaysShowFullMenus != m_options.bAlwaysShowFullMenus;
    m_options = options;
    ApplyIconSize();
    if (bMenusChange && m_pMenuBar)
        BuildMenus();
}

void CCommandBars::ApplyIconSize()
{
    if (!m_pToolBar)
        return;
    const int nScale = m_options.bLargeIcons ? 2 : 1;
    m_pToolBar->setIconSize(QSize(CFrameResources::TOOLBAR_IMAGE_CX * nScale,
                                  CFrameResources::TOOLBAR_IMAGE_CY * nScale));
}

void CCommandBars::ApplyShortcuts()
{
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
        const QList<QKeySequence> keys = m_pShortcuts->Keys(it.key());
        it.value()->setShortcuts(keys);
        // A menu shows the first real key; without one it shows the label's own key text,
        // which is only text ("Ctrl+B").
        const QString& strLabel = m_labels[it.key()];
        it.value()->setText(keys.isEmpty() ? strLabel : strLabel.section(QLatin1Char('\t'), 0, 0));
    }
}

QStringList CCommandBars::MenuCategories() const
{
    QStringList categories;
    for (const MenuItemDef& popup : m_menu) {
        if (popup.IsPopup())
            categories << CFrameResources::StripText(popup.strText);
    }
    return categories;
}

std::vector<UINT> CCommandBars::CategoryCommands(const QString& strCategory) const
{
    std::vector<UINT> ids;
    for (const MenuItemDef& popup : m_menu) {
        if (popup.IsPopup() && CFrameResources::StripText(popup.strText) == strCategory)
            CollectCommands(popup.items, ids);
    }
    return ids;
}

std::vector<UINT> CCommandBars::AllCommands() const
{
    std::vector<UINT> ids;
    for (UINT nID : CFrameResources::Commands()) {
        if (!IsRecentFileCommand(nID))
            ids.push_back(nID);
    }
    std::stable_sort(ids.begin(), ids.end(), [](UINT a, UINT b) {
        return CFrameResources::CommandName(a).compare(CFrameResources::CommandName(b),
                                                       Qt::CaseInsensitive) < 0;
    });
    return ids;
}

void CCommandBars::LoadOptions(QSettings& settings, const QString& strSection)
{
    settings.beginGroup(strSection + QStringLiteral("/Options"));
    Options options = m_options;
    options.bAlwaysShowFullMenus =
        settings.value(QStringLiteral("AlwaysShowFullMenus"), options.bAlwaysShowFullMenus)
            .toBool();
    options.bLargeIcons =
        settings.value(QStringLiteral("LargeIcons"), options.bLargeIcons).toBool();
    options.bToolTips = settings.value(QStringLiteral("ToolTips"), options.bToolTips).toBool();
    settings.endGroup();
    SetOptions(options);
}

void CCommandBars::SaveOptions(QSettings& settings, const QString& strSection) const
{
    settings.beginGroup(strSection + QStringLiteral("/Options"));
    settings.setValue(QStringLiteral("AlwaysShowFullMenus"), m_options.bAlwaysShowFullMenus);
    settings.setValue(QStringLiteral("LargeIcons"), m_options.bLargeIcons);
    settings.setValue(QStringLiteral("ToolTips"), m_options.bToolTips);
    settings.endGroup();
}

void CCommandBars::LoadBarState(QSettings& settings, const QString& strSection)
{
    settings.beginGroup(strSection);
    if (m_pToolBar) {
        const QString strBar = m_pToolBar->objectName() + QLatin1Char('/');
        const QVariant buttons = settings.value(strBar + QStringLiteral("Buttons"));
        if (buttons.isValid()) {
            std::vector<int> list;
            bool bAllNumbers = true;
            const QString strButtons = buttons.toString();
            for (const QString& strPart : strButtons.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                bool bNumber = false;
                list.push_back(strPart.trimmed().toInt(&bNumber));
                bAllNumbers = bAllNumbers && bNumber;
            }
            // A damaged list says nothing reliable about what the user wanted.
            if (bAllNumbers)
                SetToolBarButtons(list);
        }
        // Where the toolbar sits and whether it shows belong to the docking layout
        // (pane.dxl): older profiles also kept them here, and they are no longer read, so
        // deleting the layout file gives back the toolbar's default place.
    }
    const QVariant statusVisible = settings.value(QStringLiteral("StatusBar/Visible"));
    if (statusVisible.isValid())
        m_pFrame->statusBar()->setVisible(statusVisible.toBool());
    settings.endGroup();
}

void CCommandBars::SaveBarState(QSettings& settings, const QString& strSection) const
{
    settings.beginGroup(strSection);
    if (m_pToolBar) {
        const QString strBar = m_pToolBar->objectName() + QLatin1Char('/');
        settings.setValue(strBar + QStringLiteral("Buttons"), ButtonsToText(m_buttons));
        // An earlier version kept the place here too; dropped so that only pane.dxl has it.
        settings.remove(strBar + QStringLiteral("Area"));
        settings.remove(strBar + QStringLiteral("Visible"));
    }
    settings.setValue(QStringLiteral("StatusBar/Visible"),
                      m_pFrame->statusBar()->isVisibleTo(m_pFrame));
    settings.endGroup();
}
