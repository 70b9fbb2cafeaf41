#include "CustomizeOptionsPage.h"

#include "CommandBars.h"
#include "resources/Texts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

CCustomizeOptionsPage::CCustomizeOptionsPage(CCommandBars* pBars, QWidget* pParent)
    : QWidget(pParent), m_pBars(pBars),
      m_pFullMenus(new QCheckBox(Texts::AlwaysShowFullMenus(), this)),
      m_pLargeIcons(new QCheckBox(Texts::LargeIcons(), this)),
      m_pToolTips(new QCheckBox(Texts::ShowScreenTips(), this))
{
    setWindowTitle(Texts::OptionsPageTitle());
    auto* pMenus = new QGroupBox(Texts::PersonalizedGroup(), this);
    auto* pMenusLayout = new QVBoxLayout(pMenus);
    pMenusLayout->addWidget(m_pFullMenus);
    auto* pOther = new QGroupBox(Texts::OtherGroup(), this);
    auto* pOtherLayout = new QVBoxLayout(pOther);
    pOtherLayout->addWidget(m_pLargeIcons);
    pOtherLayout->addWidget(m_pToolTips);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pMenus);
    pLayout->addWidget(pOther);
    pLayout->addStretch();

    const CCommandBars::Options& options = m_pBars->GetOptions();
    m_pFullMenus->setChecked(options.bAlwaysShowFullMenus);
    m_pLargeIcons->setChecked(options.bLargeIcons);
    m_pToolTips->setChecked(options.bToolTips);
    for (QCheckBox* pBox : {m_pFullMenus, m_pLargeIcons, m_pToolTips})
        connect(pBox, &QCheckBox::toggled, this, &CCustomizeOptionsPage::OnChanged);
}

void CCustomizeOptionsPage::OnChanged()
{
    CCommandBars::Options options;
    options.bAlwaysShowFullMenus = m_pFullMenus->isChecked();
    options.bLargeIcons = m_pLargeIcons->isChecked();
    options.bToolTips = m_pToolTips->isChecked();
    m_pBars->SetOptions(options);
}
