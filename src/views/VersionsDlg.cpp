#include "VersionsDlg.h"

#include "backup/BackupSession.h"
#include "platform/Path.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

CVersionsDlg::CVersionsDlg(std::shared_ptr<CBackupSession> pSession, QByteArray remoteFolder,
                           QByteArray name, QWidget* pParent)
    : QDialog(pParent), m_pSession(std::move(pSession)), m_remoteFolder(std::move(remoteFolder)),
      m_name(std::move(name))
{
    setWindowTitle(tr("“%1”的早先版本").arg(DisplayName(m_name)));
    m_pList = new QTreeWidget(this);
    m_pList->setHeaderLabels({tr("日期"), tr("大小")});
    m_pList->setRootIsDecorated(false);
    m_pList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_pStatus = new QLabel(tr("正在列出…"), this);
    m_pStatus->setWordWrap(true);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_pRestore = pButtons->addButton(tr("恢复到…"), QDialogButtonBox::ActionRole);
    m_pRestore->setEnabled(false);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pList);
    pLayout->addWidget(m_pStatus);
    pLayout->addWidget(pButtons);
    resize(420, 300);

    m_pfnChooseFolder = [this] {
        return QFileDialog::getExistingDirectory(this, tr("恢复到文件夹"), QDir::homePath());
    };
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pList, &QTreeWidget::currentItemChanged, this,
            [this] { m_pRestore->setEnabled(m_pList->currentItem() != nullptr); });
    connect(m_pRestore, &QPushButton::clicked, this, [this] {
        const int nRow = m_pList->indexOfTopLevelItem(m_pList->currentItem());
        const QString strFolder = m_pfnChooseFolder();
        if (nRow >= 0 && !strFolder.isEmpty())
            Restore(nRow, QFile::encodeName(strFolder));
    });
}

void CVersionsDlg::StartListing()
{
    m_items.clear();
    auto pJob =
        std::make_unique<CMyThread>(CMyThread::EKind::List, m_pSession->MakeAccount(), QByteArray(),
                                    CServerVersions::FolderOf(m_remoteFolder).toStdString());
    connect(pJob.get(), &CMyThread::remoteItemsAdded, this,
            [this](const RemoteItems& items, unsigned) { m_items += items; });
    connect(pJob.get(), &CMyThread::listingEnded, this, &CVersionsDlg::OnListingEnded);
    CJobPool::Get().Start(std::move(pJob));
}

void CVersionsDlg::OnListingEnded(const ListingReport& report)
{
    m_versions.clear();
    for (const CServerVersions::Version& version : CServerVersions::ParseAll(m_items))
        if (version.name == m_name)
            m_versions.append(version);
    std::sort(m_versions.begin(), m_versions.end(),
              [](const CServerVersions::Version& a, const CServerVersions::Version& b) {
                  return a.tCopy != b.tCopy ? a.tCopy > b.tCopy : a.nNumber > b.nNumber;
              });
    m_pList->clear();
    const QLocale locale;
    for (const CServerVersions::Version& version : std::as_const(m_versions)) {
        auto* pItem = new QTreeWidgetItem(m_pList);
        pItem->setText(
            0, locale.toString(QDateTime::fromSecsSinceEpoch(version.tCopy), QLocale::ShortFormat));
        pItem->setText(1, version.nSize >= 0 ? locale.formattedDataSize(version.nSize)
                                             : QStringLiteral("?"));
    }
    const bool bWhole =
        report.eOutcome != EListingOutcome::Cut && report.eOutcome != EListingOutcome::NotConnected;
    if (!bWhole)
        m_pStatus->setText(tr("无法完整列出服务器上的版本。"));
    else if (m_versions.isEmpty())
        m_pStatus->setText(tr("服务器没有保留此文件的早先版本。"));
    else
        m_pStatus->setText(tr("%n 个早先版本", nullptr, int(m_versions.size())));
    emit listed();
}

void CVersionsDlg::Restore(int nRow, const QByteArray& localFolder)
{
    if (nRow < 0 || nRow >= m_versions.size())
        return;
    const CServerVersions::Version version = m_versions[nRow];
    QByteArray localName;
    if (!CReplaceQuestionDlg::Settle(this, localFolder, m_name, {version.nSize, version.tCopy},
                                     m_pfnAsk, localName))
        return;
    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::Download, m_pSession->MakeAccount(),
                                            localFolder,
                                            CServerVersions::FolderOf(m_remoteFolder).toStdString(),
                                            QList<QByteArray>{version.versionName});
    pJob->SetLocalNames({localName});
    m_pRestore->setEnabled(false);
    m_pStatus->setText(tr("正在恢复…"));
    connect(pJob.get(), &CMyThread::transferDone, this,
            [this, localName](const TransferReport& report) {
                m_pRestore->setEnabled(m_pList->currentItem() != nullptr);
                const bool bDone = report.eOutcome == EJobOutcome::Succeeded;
                QString strText =
                    bDone ? tr("已恢复为“%1”。").arg(DisplayName(localName)) : tr("恢复失败。");
                if (!bDone && !report.replyLine.isEmpty())
                    strText += ' ' + QString::fromUtf8(report.replyLine);
                m_pStatus->setText(strText);
                emit restored(bDone, strText);
            });
    CJobPool::Get().Start(std::move(pJob));
}

bool CVersionsDlg::AskAsOfTime(QWidget* pParent, const QString& strFolder, QDateTime& asOf)
{
    QDialog dialog(pParent);
    dialog.setWindowTitle(tr("恢复到某一时刻"));
    auto* pLabel = new QLabel(
        tr("将“%1”中的文件恢复为此时刻的样子（每个文件取不晚于此时刻的最新副本）：").arg(strFolder),
        &dialog);
    pLabel->setWordWrap(true);
    auto* pEdit = new QDateTimeEdit(QDateTime::currentDateTime(), &dialog);
    pEdit->setCalendarPopup(true);
    pEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* pLayout = new QVBoxLayout(&dialog);
    pLayout->addWidget(pLabel);
    pLayout->addWidget(pEdit);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    asOf = pEdit->dateTime();
    return true;
}
