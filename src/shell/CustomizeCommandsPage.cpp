#include "CustomizeCommandsPage.h"

#include "CommandBars.h"
#include "resources/Texts.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int ROLE_BUTTON = Qt::UserRole;

QListWidgetItem* NewButtonItem(CCommandBars* pBars, int nButton)
{
    auto* pItem = new QListWidgetItem(pBars->ButtonName(nButton));
    pItem->setData(ROLE_BUTTON, nButton);
    if (nButton > 0) {
        if (QAction* pAction = pBars->Action(UINT(nButton)))
            pItem->setIcon(pAction->icon());
    }
    return pItem;
}

} // namespace

CCustomizeCommandsPage::CCustomizeCommandsPage(CCommandBars* pBars, QWidget* pParent)
    : QWidget(pParent), m_pBars(pBars), m_pCategories(new QListWidget(this)),
      m_pCommands(new QListWidget(this)), m_pButtons(new QListWidget(this)),
      m_pDescription(new QLabel(this)), m_btnAdd(new QPushButton(Texts::AddButton(), this)),
      m_btnRemove(new QPushButton(Texts::RemoveButton(), this)),
      m_btnReset(new QPushButton(Texts::ResetToolBarButton(), this))
{
    setWindowTitle(Texts::CommandsPageTitle());
    auto* pHint = new QLabel(Texts::CommandsPageHint(), this);
    pHint->setWordWrap(true);
    m_pDescription->setWordWrap(true);

    auto* pButtons = new QVBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(m_btnAdd);
    pButtons->addWidget(m_btnRemove);
    pButtons->addStretch();
    pButtons->addWidget(m_btnReset);

    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(pHint, 0, 0, 1, 4);
    const std::pair<QString, QListWidget*> labels[] = {{Texts::CategoriesLabel(), m_pCategories},
                                                       {Texts::CommandsLabel(), m_pCommands},
                                                       {Texts::ToolBarButtonsLabel(), m_pButtons}};
    int nColumn = 0;
    for (const auto& label : labels) {
        auto* pLabel = new QLabel(label.first, this);
        pLabel->setBuddy(label.second);
        label.second->setIconSize(QSize(16, 16));
        pLayout->addWidget(pLabel, 1, nColumn);
        nColumn += nColumn == 1 ? 2 : 1;
    }
    pLayout->addWidget(m_pCategories, 2, 0);
    pLayout->addWidget(m_pCommands, 2, 1);
    pLayout->addLayout(pButtons, 2, 2);
    pLayout->addWidget(m_pButtons, 2, 3);
    pLayout->addWidget(m_pDescription, 3, 0, 1, 4);

    connect(m_pCategories, &QListWidget::currentRowChanged, this,
            &CCustomizeCommandsPage::OnCategoryChanged);
    connect(m_pCommands, &QListWidget::currentRowChanged, this,
            &CCustomizeCommandsPage::OnSelectionChanged);
    connect(m_pButtons, &QListWidget::currentRowChanged, this,
            &CCustomizeCommandsPage::OnSelectionChanged);
    connect(m_pCommands, &QListWidget::itemDoubleClicked, this, &CCustomizeCommandsPage::OnAdd);
    connect(m_btnAdd, &QPushButton::clicked, this, &CCustomizeCommandsPage::OnAdd);
    connect(m_btnRemove, &QPushButton::clicked, this, &CCustomizeCommandsPage::OnRemove);
    connect(m_btnReset, &QPushButton::clicked, this, &CCustomizeCommandsPage::OnReset);
    connect(m_pBars, &CCommandBars::ToolBarChanged, this,
            &CCustomizeCommandsPage::FillToolBarButtons);
    FillToolBarButtons();
    OnSelectionChanged();
}

void CCustomizeCommandsPage::AddCategory(const QString& strName, const std::vector<int>& buttons)
{
    m_categoryButtons.push_back(buttons);
    m_pCategories->addItem(strName);
    if (m_pCategories->currentRow() < 0)
        m_pCategories->setCurrentRow(0);
}

void CCustomizeCommandsPage::InsertCategories()
{
    for (const QString& strCategory : m_pBars->MenuCategories()) {
        const std::vector<UINT> ids = m_pBars->CategoryCommands(strCategory);
        AddCategory(strCategory, std::vector<int>(ids.begin(), ids.end()));
    }
}

void CCustomizeCommandsPage::InsertAllCommandsCategory(const QString& strName)
{
    const std::vector<UINT> ids = m_pBars->AllCommands();
    AddCategory(strName, std::vector<int>(ids.begin(), ids.end()));
}

void CCustomizeCommandsPage::InsertBuiltInMenus(const QString& strName)
{
    std::vector<int> menus;
    for (int i = 0; i < m_pBars->MenuCategories().size(); ++i)
        menus.push_back(CCommandBars::MENU_BUILTIN - i);
    AddCategory(strName, menus);
}

void CCustomizeCommandsPage::InsertNewMenuCategory(const QString& strName)
{
    AddCategory(strName, {CCommandBars::MENU_NEW});
}

void CCustomizeCommandsPage::OnCategoryChanged()
{
    m_pCommands->clear();
    const int nRow = m_pCategories->currentRow();
    if (nRow < 0 || nRow >= int(m_categoryButtons.size()))
        return;
    for (int nButton : m_categoryButtons[size_t(nRow)])
        m_pCommands->addItem(NewButtonItem(m_pBars, nButton));
    m_pCommands->setCurrentRow(0);
    OnSelectionChanged();
}

void CCustomizeCommandsPage::OnSelectionChanged()
{
    const QListWidgetItem* pCommand = m_pCommands->currentItem();
    m_btnAdd->setEnabled(pCommand != nullptr);
    m_btnRemove->setEnabled(m_pButtons->currentItem() != nullptr);
    QString strDescription;
    if (pCommand) {
        const int nButton = pCommand->data(ROLE_BUTTON).toInt();
        if (nButton > 0)
            strDescription = CFrameResources::Prompt(UINT(nButton));
    }
    m_pDescription->setText(strDescription.isEmpty() ? QString()
                                                     : Texts::Description(strDescription));
}

void CCustomizeCommandsPage::OnAdd()
{
    const QListWidgetItem* pCommand = m_pCommands->currentItem();
    if (!pCommand)
        return;
    const int nButton = pCommand->data(ROLE_BUTTON).toInt();
    std::vector<int> buttons = m_pBars->ToolBarButtons();
    // A command already on the toolbar moves to the new place instead of appearing twice.
    const bool bUnique = nButton != CCommandBars::MENU_NEW;
    int nAt = m_pButtons->currentRow() + 1;
    if (nAt <= 0 || nAt > int(buttons.size()))
        nAt = int(buttons.size());
    if (bUnique) {
        for (int i = 0; i < int(buttons.size()); ++i) {
            if (buttons[size_t(i)] == nButton) {
                buttons.erase(buttons.begin() + i);
                if (i < nAt)
                    --nAt;
                break;
            }
        }
    }
    buttons.insert(buttons.begin() + nAt, nButton);
    m_pBars->SetToolBarButtons(buttons);
    m_pButtons->setCurrentRow(nAt);
}

void CCustomizeCommandsPage::OnRemove()
{
    const int nRow = m_pButtons->currentRow();
    std::vector<int> buttons = m_pBars->ToolBarButtons();
    if (nRow < 0 || nRow >= int(buttons.size()))
        return;
    buttons.erase(buttons.begin() + nRow);
    m_pBars->SetToolBarButtons(buttons);
    m_pButtons->setCurrentRow(std::min(nRow, m_pButtons->count() - 1));
}

void CCustomizeCommandsPage::OnReset()
{
    m_pBars->ResetToolBar();
}

void CCustomizeCommandsPage::FillToolBarButtons()
{
    const int nRow = m_pButtons->currentRow();
    m_pButtons->clear();
    for (int nButton : m_pBars->ToolBarButtons()) {
        QListWidgetItem* pItem = NewButtonItem(m_pBars, nButton);
        if (nButton == 0)
            pItem->setText(Texts::SeparatorItem());
        m_pButtons->addItem(pItem);
    }
    m_pButtons->setCurrentRow(std::min(nRow, m_pButtons->count() - 1));
    OnSelectionChanged();
}
