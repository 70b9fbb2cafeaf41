#include "OptionsPane.h"

#include "Profile.h"
#include "backup/BackupSchedule.h"
#include "login/AccountStore.h"
#include "backup/BackupSession.h"
#include "resources/Texts.h"
#include "views/MossvaleView.h"
#include "views/RightView.h"
#include "widgets/ScrollingPane.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

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

// A value with the button that edits it beside it.
QWidget* WithButton(QLabel* pValue, QPushButton* pButton)
{
    auto* pRow = new QWidget;
    auto* pLayout = new QHBoxLayout(pRow);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(pValue, 1);
    pLayout->addWidget(pButton, 0, Qt::AlignTop);
    return pRow;
}

bool AskPatterns(QWidget* pParent, QStringList& patterns)
{
    bool bOk = false;
    const QString strText = QInputDialog::getMultiLineText(
        pParent, COptionsPane::tr("排除规则"),
        COptionsPane::tr("名称符合规则的文件和文件夹不备份，每行一条，如 *.tmp。") +
            QLatin1Char('\n') + COptionsPane::tr("以 / 结尾的只用于文件夹，如 node_modules/"),
        patterns.join(QLatin1Char('\n')), &bOk);
    if (bOk)
        patterns = strText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return bOk;
}

} // namespace

bool (*COptionsPane::s_pfnAskPatterns)(QWidget*, QStringList&) = AskPatterns;

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

    m_pSchedule = NewValue(this);
    m_pScheduleButton = new QPushButton(tr("更改..."), this);
    m_pPatterns = NewValue(this);
    m_pPatternsButton = new QPushButton(tr("编辑..."), this);

    QWidget* pInner = AddScrollingBody(this);
    auto* pForm = new QFormLayout(pInner);
    m_pForm = pForm;
    // Labels above their fields: the pane is narrow (200 pixels) and may be narrower.
    pForm->setRowWrapPolicy(QFormLayout::WrapAllRows);
    pForm->setContentsMargins(6, 6, 6, 6);
    pForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    pForm->addRow(tr("已勾选："), m_pTicked);
    pForm->addRow(tr("服务器文件夹："), m_pServerFolder);
    pForm->addRow(tr("同时发送："), m_pParallel);
    pForm->addRow(tr("账户空间："), m_pQuota);
    pForm->addRow(tr("自动备份："), WithButton(m_pSchedule, m_pScheduleButton));
    pForm->addRow(tr("排除规则："), WithButton(m_pPatterns, m_pPatternsButton));
    // Each field is named by its label for a screen reader, a button by what it edits.
    for (int nRow = 0; nRow < pForm->rowCount(); ++nRow) {
        auto* pLabel = qobject_cast<QLabel*>(pForm->itemAt(nRow, QFormLayout::LabelRole)->widget());
        QWidget* pField = pForm->itemAt(nRow, QFormLayout::FieldRole)->widget();
        pField->setAccessibleName(pLabel->text().chopped(1));
    }
    m_pSchedule->setAccessibleName(m_pSchedule->parentWidget()->accessibleName());
    m_pScheduleButton->setAccessibleDescription(m_pSchedule->accessibleName());
    m_pPatterns->setAccessibleName(m_pPatterns->parentWidget()->accessibleName());
    m_pPatternsButton->setAccessibleDescription(m_pPatterns->accessibleName());
    SetPlan(CBackupPlan());
    ShowSchedule();
    connect(m_pScheduleButton, &QPushButton::clicked, this, &COptionsPane::scheduleRequested);
    connect(m_pPatternsButton, &QPushButton::clicked, this, &COptionsPane::OnEditPatterns);

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

void COptionsPane::SetPlan(const CBackupPlan& plan)
{
    m_pTicked->setText(TickedText(plan));
    m_patterns = plan.Patterns();
    m_pPatterns->setText(PatternsText(m_patterns));
}

QString COptionsPane::TickedText(const CBackupPlan& plan)
{
    // As the plan holds them: the disk is not asked, so a hung mount never stops the window.
    const int nFolders = static_cast<int>(plan.Folders().size());
    const int nFiles = static_cast<int>(plan.Files().size());
    QStringList parts;
    if (nFolders > 0)
        parts << tr("%n 个文件夹", nullptr, nFolders);
    if (nFiles > 0)
        parts << tr("%n 个文件", nullptr, nFiles);
    return parts.isEmpty() ? tr("无") : parts.join(tr("，"));
}

QString COptionsPane::PatternsText(const QStringList& patterns)
{
    return patterns.isEmpty() ? tr("没有") : patterns.join(QStringLiteral("  "));
}

void COptionsPane::ShowSchedule()
{
    const CBackupSchedule schedule = CBackupSchedule::Load(*CProfile::Open());
    const QString strTime = QLocale().toString(schedule.Time(), QLocale::ShortFormat);
    QString strText;
    switch (schedule.Every()) {
    case CBackupSchedule::EVERY_NEVER:
        strText = Texts::ScheduleNever();
        break;
    case CBackupSchedule::EVERY_HOUR:
        strText = Texts::ScheduleHourly();
        break;
    case CBackupSchedule::EVERY_DAY:
        strText = Texts::ScheduleDaily() + QLatin1Char(' ') + strTime;
        break;
    case CBackupSchedule::EVERY_WEEK:
        strText = Texts::ScheduleWeekly() + QLatin1Char(' ') + Texts::DayName(schedule.Day()) +
                  QLatin1Char(' ') + strTime;
        break;
    }
    // The page's words continue a sentence; here they stand alone.
    if (!strText.isEmpty())
        strText[0] = strText[0].toUpper();
    m_pSchedule->setText(strText);
}

void COptionsPane::OnEditPatterns()
{
    QStringList patterns = m_patterns;
    if (!s_pfnAskPatterns(this, patterns))
        return;
    CBackupPlan cleaned;
    cleaned.SetPatterns(patterns);
    if (cleaned.Patterns() == m_patterns)
        return;
    m_patterns = cleaned.Patterns();
    m_pPatterns->setText(PatternsText(m_patterns));
    emit patternsChanged(m_patterns);
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
