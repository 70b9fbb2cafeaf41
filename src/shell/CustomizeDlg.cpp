#include "CustomizeDlg.h"

#include "CustomizeCommandsPage.h"
#include "resources/Texts.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

CCustomizeDlg::CCustomizeDlg(CCommandBars* pBars, QWidget* pParent)
    : QDialog(pParent), m_pPages(new QTabWidget(this)),
      m_pCommandsPage(new CCustomizeCommandsPage(pBars, this))
{
    setWindowTitle(Texts::CustomizeTitle());
    AddPage(m_pCommandsPage);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pPages);
    pLayout->addWidget(pButtons);
}

void CCustomizeDlg::AddPage(QWidget* pPage)
{
    m_pPages->addTab(pPage, pPage->windowTitle());
}
