#include "CustomizeOptionsPage.h"

#include "CommandBars.h"
#include "backup/TransferLimits.h"
#include "backup/ServerVersions.h"
#include "resources/Texts.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* NewLimitBox(int nKBps, QWidget* pParent)
{
    auto* pBox = new QSpinBox(pParent);
    pBox->setRange(0, CTransferLimits::kMaxKBps);
    pBox->setSingleStep(100);
    pBox->setSuffix(QStringLiteral(" KB/s"));
    pBox->setSpecialValueText(Texts::NoLimit()); // 0, or a field left empty
    pBox->setValue(nKBps);
    return pBox;
}

} // namespace

CCustomizeOptionsPage::CCustomizeOptionsPage(CCommandBars* pBars, QWidget* pParent)
    : QWidget(pParent), m_pBars(pBars),
      m_pFullMenus(new QCheckBox(Texts::AlwaysShowFullMenus(), this)),
      m_pLargeIcons(new QCheckBox(Texts::LargeIcons(), this)),
      m_pToolTips(new QCheckBox(Texts::ShowScreenTips(), this)),
      m_pUploadLimit(NewLimitBox(CTransferLimits::UploadKBps(), this)),
      m_pRestoreLimit(NewLimitBox(CTransferLimits::RestoreKBps(), this))
{
    setWindowTitle(Texts::OptionsPageTitle());
    auto* pMenus = new QGroupBox(Texts::PersonalizedGroup(), this);
    auto* pMenusLayout = new QVBoxLayout(pMenus);
    pMenusLayout->addWidget(m_pFullMenus);
    auto* pOther = new QGroupBox(Texts::OtherGroup(), this);
    auto* pOtherLayout = new QVBoxLayout(pOther);
    pOtherLayout->addWidget(m_pLargeIcons);
    pOtherLayout->addWidget(m_pToolTips);
    auto* pLimits = new QGroupBox(Texts::BandwidthGroup(), this);
    auto* pLimitsLayout = new QFormLayout(pLimits);
    pLimitsLayout->addRow(Texts::UploadLimitLabel(), m_pUploadLimit);
    pLimitsLayout->addRow(Texts::RestoreLimitLabel(), m_pRestoreLimit);
    m_pUploadLimit->setAccessibleName(Texts::UploadLimitLabel());
    m_pRestoreLimit->setAccessibleName(Texts::RestoreLimitLabel());
    // Earlier copies the server keeps of replaced files, kept in the profile beside the plan.
    auto* pVersions = new QGroupBox(tr("服务器上的早先版本"), this);
    pVersions->setToolTip(tr("备份替换服务器上的文件时，旧副本移入 /.mossvale-versions"));
    auto* pDays = new QSpinBox(pVersions);
    pDays->setRange(1, CServerVersions::kMaxDays);
    pDays->setSuffix(tr(" 天"));
    auto* pPerFile = new QSpinBox(pVersions);
    pPerFile->setRange(0, CServerVersions::kMaxPerFile);
    pPerFile->setSpecialValueText(tr("不保留"));
    const CServerVersions::Limits limits = CServerVersions::LimitsSetting();
    pDays->setValue(limits.nDays);
    pPerFile->setValue(limits.nPerFile);
    auto* pVersionsLayout = new QFormLayout(pVersions);
    pVersionsLayout->addRow(tr("版本保留："), pDays);
    pVersionsLayout->addRow(tr("每个文件的版本数："), pPerFile);
    for (QSpinBox* pBox : {pDays, pPerFile})
        connect(pBox, &QSpinBox::valueChanged, this, [pDays, pPerFile] {
            CServerVersions::SaveLimits({pDays->value(), pPerFile->value()});
        });
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pMenus);
    pLayout->addWidget(pOther);
    pLayout->addWidget(pVersions);
    pLayout->addWidget(pLimits);
    pLayout->addStretch();

    const CCommandBars::Options& options = m_pBars->GetOptions();
    m_pFullMenus->setChecked(options.bAlwaysShowFullMenus);
    m_pLargeIcons->setChecked(options.bLargeIcons);
    m_pToolTips->setChecked(options.bToolTips);
    for (QCheckBox* pBox : {m_pFullMenus, m_pLargeIcons, m_pToolTips})
        connect(pBox, &QCheckBox::toggled, this, &CCustomizeOptionsPage::OnChanged);
    // Together, for every connection, running ones included.
    for (QSpinBox* pBox : {m_pUploadLimit, m_pRestoreLimit})
        connect(pBox, &QSpinBox::valueChanged, this, [this] {
            CTransferLimits::Save(m_pUploadLimit->value(), m_pRestoreLimit->value());
        });
}

void CCustomizeOptionsPage::OnChanged()
{
    CCommandBars::Options options;
    options.bAlwaysShowFullMenus = m_pFullMenus->isChecked();
    options.bLargeIcons = m_pLargeIcons->isChecked();
    options.bToolTips = m_pToolTips->isChecked();
    m_pBars->SetOptions(options);
}
