#pragma once
// The Keyboard page of the customise dialog: pick a command by category, see its keys,
// press a new key and assign it (taking it from the command that had it), remove a key,
// or go back to the accelerator table. Changes work at once.
#include "platform/WinTypes.h"

#include <QWidget>

class CCommandBars;
class CShortcutEdit;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

class CCustomizeKeyboardPage : public QWidget
{
    Q_OBJECT
public:
    explicit CCustomizeKeyboardPage(CCommandBars* pBars, QWidget* pParent = nullptr);

    // The menu bar's popups as categories, then every command under strAllCommands.
    void InsertCategories(const QString& strAllCommands);

    QComboBox* Category() const { return m_pCategory; }
    QListWidget* Commands() const { return m_pCommands; }
    QListWidget* Keys() const { return m_pKeys; }
    CShortcutEdit* NewKey() const { return m_pNewKey; }
    QLabel* AssignedTo() const { return m_pAssignedTo; }
    QPushButton* AssignButton() const { return m_btnAssign; }
    QPushButton* RemoveButton() const { return m_btnRemove; }
    QPushButton* ResetAllButton() const { return m_btnResetAll; }

private:
    void OnCategoryChanged();
    void OnCommandChanged();
    void OnNewKey();
    void OnAssign();
    void OnRemove();
    void OnResetAll();
    void FillKeys();
    void UpdateButtons();
    UINT CurrentCommand() const;

    CCommandBars* m_pBars;
    std::vector<std::vector<UINT>> m_categoryCommands;
    QComboBox* m_pCategory;
    QListWidget* m_pCommands;
    QListWidget* m_pKeys;
    CShortcutEdit* m_pNewKey;
    QLabel* m_pAssignedTo;
    QLabel* m_pDescription;
    QPushButton* m_btnAssign;
    QPushButton* m_btnRemove;
    QPushButton* m_btnResetAll;
};
