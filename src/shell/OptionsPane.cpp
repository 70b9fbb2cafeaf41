#include "OptionsPane.h"

#include "Profile.h"
#include "login/AccountStore.h"
#include "backup/BackupSession.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"

#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {

const QString kParallelUploadsKey = QStringLiteral("Settings/ParallelUploads");

// The account logged in; before any login, the one the login dialog would offer.
CAccountStore::Account CurrentAccount(const CAccountStore& store, const CBackupSession* pSession)
{
    if (pSession)
        return {QString::fromStdString(pSession->Server()),
                QString::fromStdString(pSession->UserName()), QString()};
    return store.ReadAccount();
}

// The largest quota the meter can show: its range is in KB and must fit an int.
constexpr int kMaxQuotaMB = 1024 * 1024;

QLabel* NewValue(QWidget* pParent)
{
    auto* pLabel = new QLabel(pParent);
    pLabel->setWordWrap(true);
    pLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return pLabel;
}

} // namespace

COptionsPane::COptionsPane(CMossvaleView* pCommandView, CRightView* pRightView, QWidget* pParent)
    : QWidget(pParent), m_pCommandView(pCommandView), m_pRightView(pRightView)
{
    m_pTicked = NewValue(this);
    m_pServerFolder = NewValue(this);
    // Every file lands in the server's root folder.
    m_pServerFolder->setText(QStringLiteral("/"));

    m_pParallel = new QSpinBox(this);
    m_pParallel->setRange(1, CMossvaleView::kMaxParallelUploads);
    m_pParallel->setValue(CMossvaleView::kDefaultParallelUploads);

    m_pQuota = new QSpinBox(this);
    m_pQuota->setRange(1, kMaxQuotaMB);
    m_pQuota->setSuffix(QStringLiteral(" MB"));
    m_pQuota->setValue(CRightView::kQuotaKB / 1024);
    m_pQuota->setToolTip(tr("服务器为此账户提供的空间；空间表按它计算"));

    auto* pForm = new QFormLayout(this);
    // Labels above their fields: the pane is narrow (200 pixels) and may be narrower.
    pForm->setRowWrapPolicy(QFormLayout::WrapAllRows);
    pForm->setContentsMargins(6, 6, 6, 6);
    pForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    pForm->addRow(tr("已勾选："), m_pTicked);
    pForm->addRow(tr("服务器文件夹："), m_pServerFolder);
    pForm->addRow(tr("同时发送："), m_pParallel);
    pForm->addRow(tr("账户空间："), m_pQuota);
    // Each field is named by its label for a screen reader.
    for (int nRow = 0; nRow < pForm->rowCount(); ++nRow) {
        auto* pLabel = qobject_cast<QLabel*>(pForm->itemAt(nRow, QFormLayout::LabelRole)->widget());
        QWidget* pField = pForm->itemAt(nRow, QFormLayout::FieldRole)->widget();
        pField->setAccessibleName(pLabel->text().chopped(1));
    }
    SetTicked(QString());

    connect(m_pParallel, &QSpinBox::valueChanged, this, &COptionsPane::parallelUploadsChanged);
    connect(m_pQuota, &QSpinBox::valueChanged, this, &COptionsPane::quotaChanged);
    connect(this, &COptionsPane::parallelUploadsChanged, this, [this](int nCount) {
        CProfile::Open()->setValue(kParallelUploadsKey, nCount);
        if (m_pCommandView)
            m_pCommandView->SetParallelUploads(nCount);
    });
    connect(this, &COptionsPane::quotaChanged, this, [this](int nMB) {
        SetAccountQuotaMB(Session(), nMB);
        if (m_pRightView)
            m_pRightView->SetQuotaKB(nMB * 1024);
    });
    Refresh();
}

const CBackupSession* COptionsPane::Session() const
{
    return m_pCommandView ? m_pCommandView->Session().get() : nullptr;
}

void COptionsPane::Refresh()
{
    SetParallelUploads(ParallelUploads());
    SetQuotaMB(AccountQuotaMB(Session()));
}

int COptionsPane::AccountQuotaMB(const CBackupSession* pSession)
{
    CAccountStore store;
    if (!store.Open())
        return 0;
    const CAccountStore::Account account = CurrentAccount(store, pSession);
    return store.QuotaMB(account.strServer, account.strUserName);
}

void COptionsPane::SetAccountQuotaMB(const CBackupSession* pSession, int nMB)
{
    CAccountStore::EnsureExists();
    CAccountStore store;
    if (!store.Open())
        return;
    const CAccountStore::Account account = CurrentAccount(store, pSession);
    store.SetQuotaMB(account.strServer, account.strUserName, nMB);
}

int COptionsPane::ParallelUploads()
{
    return qBound(1,
                  CProfile::Open()
                      ->value(kParallelUploadsKey, CMossvaleView::kDefaultParallelUploads)
                      .toInt(),
                  CMossvaleView::kMaxParallelUploads);
}

void COptionsPane::SetTicked(const QString& strText)
{
    m_pTicked->setText(strText.isEmpty() ? tr("无") : strText);
}

void COptionsPane::SetParallelUploads(int nCount)
{
    const QSignalBlocker blocker(m_pParallel);
    m_pParallel->setValue(nCount);
}

void COptionsPane::SetQuotaMB(int nMB)
{
    const QSignalBlocker blocker(m_pQuota);
    m_pQuota->setValue(nMB > 0 ? nMB : CRightView::kQuotaKB / 1024);
}
