#include "CustomizeKeyboardPage.h"

#include "CommandBars.h"
#include "ShortcutEdit.h"
#include "ShortcutManager.h"
#include "resources/Texts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int ROLE_COMMAND = Qt::UserRole;

} // namespace

CCustomizeKeyboardPage::CCustomizeKeyboardPage(CCommandBars* pBars, QWidget* pParent)
    : QWidget(pParent), m_pBars(pBars), m_pCategory(new QComboBox(this)),
      m_pCommands(new QListWidget(this)), m_pKeys(new QListWidget(this)),
      m_pNewKey(new CShortcutEdit(this)), m_pAssignedTo(new QLabel(this)),
      m_pDescription(new QLabel(this)), m_btnAssign(new QPushButton(Texts::AssignButton(), this)),
      m_btnRemove(new QPushButton(Texts::RemoveKeyButton(), this)),
      m_btnResetAll(new QPushButton(Texts::ResetAllButton(), this))
{
    setWindowTitle(Texts::KeyboardPageTitle());
    m_pDescription->setWordWrap(true);
    m_pAssignedTo->setWordWrap(true);

    auto* pCategoryLabel = new QLabel(Texts::CategoryLabel(), this);
    pCategoryLabel->setBuddy(m_pCategory);
    auto* pCommandsLabel = new QLabel(Texts::CommandsLabel(), this);
    pCommandsLabel->setBuddy(m_pCommands);
    auto* pKeysLabel = new QLabel(Texts::CurrentKeysLabel(), this);
    pKeysLabel->setBuddy(m_pKeys);
    auto* pNewKeyLabel = new QLabel(Texts::NewShortcutKeyLabel(), this);
    pNewKeyLabel->setBuddy(m_pNewKey);

    auto* pLeft = new QVBoxLayout;
    pLeft->addWidget(pCategoryLabel);
    pLeft->addWidget(m_pCategory);
    pLeft->addWidget(pCommandsLabel);
    pLeft->addWidget(m_pCommands, 1);
    auto* pRight = new QVBoxLayout;
    pRight->addWidget(pKeysLabel);
    pRight->addWidget(m_pKeys, 1);
    pRight->addWidget(pNewKeyLabel);
    pRight->addWidget(m_pNewKey);
    pRight->addWidget(m_pAssignedTo);
    auto* pButtons = new QVBoxLayout;
    pButtons->addWidget(m_btnAssign);
    pButtons->addWidget(m_btnRemove);
    pButtons->addWidget(m_btnResetAll);
    pButtons->addStretch();

    auto* pLayout = new QGridLayout(this);
    pLayout->addLayout(pLeft, 0, 0);
    pLayout->addLayout(pRight, 0, 1);
    pLayout->addLayout(pButtons, 0, 2);
    pLayout->addWidget(m_pDescription, 1, 0, 1, 3);

    connect(m_pCategory, &QComboBox::currentIndexChanged, this,
            &CCustomizeKeyboardPage::OnCategoryChanged);
    connect(m_pCommands, &QListWidget::currentRowChanged, this,
            &CCustomizeKeyboardPage::OnCommandChanged);
    connect(m_pKeys, &QListWidget::currentRowChanged, this, &CCustomizeKeyboardPage::UpdateButtons);
    connect(m_pNewKey, &CShortcutEdit::KeyChanged, this, &CCustomizeKeyboardPage::OnNewKey);
    connect(m_btnAssign, &QPushButton::clicked, this, &CCustomizeKeyboardPage::OnAssign);
    connect(m_btnRemove, &QPushButton::clicked, this, &CCustomizeKeyboardPage::OnRemove);
    connect(m_btnResetAll, &QPushButton::clicked, this, &CCustomizeKeyboardPage::OnResetAll);
    connect(m_pBars->GetShortcutManager(), &CShortcutManager::ShortcutsChanged, this,
            &CCustomizeKeyboardPage::FillKeys);
    UpdateButtons();
}

void CCustomizeKeyboardPage::InsertCategories(const QString& strAllCommands)
{
    for (const QString& strCategory : m_pBars->MenuCategories()) {
        m_categoryCommands.push_back(m_pBars->CategoryCommands(strCategory));
        m_pCategory->addItem(strCategory);
    }
    m_categoryCommands.push_back(m_pBars->AllCommands());
    m_pCategory->addItem(strAllCommands);
    OnCategoryChanged();
}

UINT CCustomizeKeyboardPage::CurrentCommand() const
{
    const QListWidgetItem* pItem = m_pCommands->currentItem();
    return pItem ? pItem->data(ROLE_COMMAND).toUInt() : 0;
}

void CCustomizeKeyboardPage::OnCategoryChanged()
{
    m_pCommands->clear();
    const int nIndex = m_pCategory->currentIndex();
    if (nIndex < 0 || nIndex >= int(m_categoryCommands.size()))
        return;
    for (UINT nID : m_categoryCommands[size_t(nIndex)]) {
        auto* pItem = new QListWidgetItem(CFrameResources::CommandName(nID), m_pCommands);
        pItem->setData(ROLE_COMMAND, nID);
    }
    m_pCommands->setCurrentRow(0);
}

void CCustomizeKeyboardPage::OnCommandChanged()
{
    const UINT nID = CurrentCommand();
    const QString strPrompt = nID ? CFrameResources::Prompt(nID) : QString();
    m_pDescription->setText(strPrompt.isEmpty() ? QString() : Texts::Description(strPrompt));
    FillKeys();
}

void CCustomizeKeyboardPage::FillKeys()
{
    m_pKeys->clear();
    for (const QKeySequence& key : m_pBars->GetShortcutManager()->Keys(CurrentCommand())) {
        auto* pItem = new QListWidgetItem(key.toString(QKeySequence::NativeText), m_pKeys);
        pItem->setData(Qt::UserRole, key);
    }
    if (m_pKeys->count() > 0)
        m_pKeys->setCurrentRow(0);
    OnNewKey();
}

void CCustomizeKeyboardPage::OnNewKey()
{
    const QKeySequence key = m_pNewKey->Key();
    const UINT nOwner = key.isEmpty() ? 0 : m_pBars->GetShortcutManager()->CommandOf(key);
    m_pAssignedTo->setText(nOwner ? Texts::CurrentlyAssignedTo(CFrameResources::CommandName(nOwner))
                                  : QString());
    UpdateButtons();
}

void CCustomizeKeyboardPage::UpdateButtons()
{
    const UINT nID = CurrentCommand();
    const QKeySequence key = m_pNewKey->Key();
    m_btnAssign->setEnabled(nID != 0 && !key.isEmpty() &&
                            m_pBars->GetShortcutManager()->CommandOf(key) != nID);
    m_btnRemove->setEnabled(nID != 0 && m_pKeys->currentItem() != nullptr);
}

void CCustomizeKeyboardPage::OnAssign()
{
    const UINT nID = CurrentCommand();
    if (nID == 0 || m_pNewKey->Key().isEmpty())
        return;
    m_pBars->GetShortcutManager()->Assign(nID, m_pNewKey->Key());
    m_pNewKey->SetKey(QKeySequence());
}

void CCustomizeKeyboardPage::OnRemove()
{
    const QListWidgetItem* pItem = m_pKeys->currentItem();
    if (!pItem)
        return;
    m_pBars->GetShortcutManager()->Remove(CurrentCommand(),
                                          pItem->data(Qt::UserRole).value<QKeySequence>());
}

void CCustomizeKeyboardPage::OnResetAll()
{
    m_pBars->GetShortcutManager()->Reset();
}
