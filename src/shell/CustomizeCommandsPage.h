#pragma once
// The Commands page of the customise dialog: pick a category, pick a command (or a menu)
// and add it to the "Standard" toolbar after the selected button; remove buttons; reset
// the toolbar to its first contents. Changes reach the toolbar at once.
#include <QWidget>

class CCommandBars;
class QLabel;
class QListWidget;
class QPushButton;

class CCustomizeCommandsPage : public QWidget
{
    Q_OBJECT
public:
    explicit CCustomizeCommandsPage(CCommandBars* pBars, QWidget* pParent = nullptr);

    // The menu bar's popups as categories (in menu order), without their recent-file entries.
    void InsertCategories();
    // Every command, ordered by name.
    void InsertAllCommandsCategory(const QString& strName);
    // The menu bar's popups themselves, to place as menus on the toolbar.
    void InsertBuiltInMenus(const QString& strName);
    // One new, empty menu.
    void InsertNewMenuCategory(const QString& strName);

    QListWidget* Categories() const { return m_pCategories; }
    QListWidget* Commands() const { return m_pCommands; }
    QListWidget* ToolBarButtons() const { return m_pButtons; }
    QPushButton* AddButton() const { return m_btnAdd; }
    QPushButton* RemoveButton() const { return m_btnRemove; }
    QPushButton* ResetButton() const { return m_btnReset; }

private:
    void OnCategoryChanged();
    void OnSelectionChanged();
    void OnAdd();
    void OnRemove();
    void OnReset();
    void FillToolBarButtons();
    void AddCategory(const QString& strName, const std::vector<int>& buttons);

    CCommandBars* m_pBars;
    std::vector<std::vector<int>> m_categoryButtons; // per category row
    QListWidget* m_pCategories;
    QListWidget* m_pCommands;
    QListWidget* m_pButtons;
    QLabel* m_pDescription;
    QPushButton* m_btnAdd;
    QPushButton* m_btnRemove;
    QPushButton* m_btnReset;
};
