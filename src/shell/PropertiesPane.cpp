#include "PropertiesPane.h"

#include "backup/BackupHistory.h"
#include "backup/BackupPlan.h"
#include "backup/BackupSession.h"
#include "platform/Path.h"
#include "views/MossvaleView.h"
#include "views/RemoteListModel.h"
#include "widgets/ScrollingPane.h"

#include <QCoreApplication>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QThreadPool>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

QLabel* NewValue(QWidget* pParent)
{
    auto* pLabel = new QLabel(pParent);
    pLabel->setWordWrap(true);
    pLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return pLabel;
}

QString When(const QDateTime& time)
{
    return QLocale().toString(time, QLocale::ShortFormat);
}

QString OutcomeText(const BackupFileReport& report)
{
    switch (report.eOutcome) {
    case EFileOutcome::Sent:
        return CPropertiesPane::tr("已发送");
    case EFileOutcome::Unchanged:
        return CPropertiesPane::tr("未改变，服务器上已有");
    default:
        return CMossvaleView::ProblemText(report);
    }
}

} // namespace

CPropertiesPane::CPropertiesPane(QWidget* pParent) : QWidget(pParent)
{
    m_pHint = new QLabel(tr("在文件夹树或服务器列表中选择一项，这里就显示它的属性。"), this);
    m_pHint->setWordWrap(true);
    m_pHint->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_pName = NewValue(this);
    m_pWhere = NewValue(this);
    m_pSize = NewValue(this);
    m_pModified = NewValue(this);
    m_pTicked = NewValue(this);
    m_pLastSent = NewValue(this);
    m_pLastOutcome = NewValue(this);

    QWidget* pInner = AddScrollingBody(this);
    auto* pLayout = new QVBoxLayout(pInner);
    pLayout->setContentsMargins(6, 6, 6, 6);
    pLayout->addWidget(m_pHint);
    m_pForm = new QFormLayout;
    // Labels above their values: the pane is narrow, and paths are long.
    m_pForm->setRowWrapPolicy(QFormLayout::WrapAllRows);
    m_pForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_pForm->addRow(tr("名称："), m_pName);
    m_pForm->addRow(tr("位置："), m_pWhere);
    m_pForm->addRow(tr("大小："), m_pSize);
    m_pForm->addRow(tr("修改时间："), m_pModified);
    m_pForm->addRow(tr("备份计划："), m_pTicked);
    m_pForm->addRow(tr("上次发送："), m_pLastSent);
    m_pForm->addRow(tr("上次备份结果："), m_pLastOutcome);
    for (int nRow = 0; nRow < m_pForm->rowCount(); ++nRow) {
        auto* pLabel =
            qobject_cast<QLabel*>(m_pForm->itemAt(nRow, QFormLayout::LabelRole)->widget());
        m_pForm->itemAt(nRow, QFormLayout::FieldRole)
            ->widget()
            ->setAccessibleName(pLabel->text().chopped(1));
    }
    pLayout->addLayout(m_pForm);
    pLayout->addStretch(1);
    for (int nRow = 0; nRow < m_pForm->rowCount(); ++nRow)
        m_pForm->setRowVisible(nRow, false);
}

void CPropertiesPane::ShowRows(bool bLocal)
{
    m_bLocal = bLocal;
    m_pHint->hide();
    for (QLabel* pValue : {m_pName, m_pWhere, m_pSize, m_pModified})
        m_pForm->setRowVisible(pValue, true);
    for (QLabel* pValue : {m_pTicked, m_pLastSent, m_pLastOutcome})
        m_pForm->setRowVisible(pValue, bLocal);
}

void CPropertiesPane::ShowLocal(const QByteArray& path, const CBackupPlan& plan,
                                const CBackupSession* pSession)
{
    ShowRows(true);
    m_path = path;
    const PathParts<QByteArray> parts = SplitPath(path);
    m_pName->setText(DisplayName(parts.name.isEmpty() ? path : parts.name));
    m_pWhere->setText(DisplayName(parts.folder.isEmpty() ? path : parts.folder));
    m_pSize->setText(tr("正在读取..."));
    m_pModified->clear();
    switch (plan.TickOf(path)) {
    case CBackupPlan::ETick::Whole:
        m_pTicked->setText(tr("已勾选"));
        break;
    case CBackupPlan::ETick::Partly:
        m_pTicked->setText(tr("部分勾选"));
        break;
    case CBackupPlan::ETick::None:
        m_pTicked->setText(tr("未勾选"));
        break;
    }

    // The history of the account logged in; one that never backed up has none to open.
    QDateTime sent;
    QDateTime started;
    std::optional<BackupFileReport> last;
    if (pSession && QFile::exists(CBackupHistory::FilePath(pSession->AccountKey()))) {
        const CBackupHistory history(pSession->AccountKey());
        sent = history.SentAt(path);
        last = history.LastRunOutcome(path, &started);
    }
    m_pLastSent->setText(sent.isValid() ? When(sent) : tr("从未"));
    m_pLastOutcome->setText(last ? When(started) + QLatin1Char('\n') + OutcomeText(*last)
                                 : tr("无"));

    QPointer<CPropertiesPane> pThis(this);
    QThreadPool::globalInstance()->start([pThis, path] {
        struct stat info;
        const bool bThere = ::stat(path.constData(), &info) == 0;
        const bool bFolder = bThere && S_ISDIR(info.st_mode);
        const qint64 nSize = bThere ? qint64(info.st_size) : 0;
        const QDateTime modified =
            bThere ? QDateTime::fromMSecsSinceEpoch(qint64(info.st_mtim.tv_sec) * 1000 +
                                                    info.st_mtim.tv_nsec / 1000000)
                   : QDateTime();
        // Back on the window thread, where the pane may be gone by now.
        QMetaObject::invokeMethod(
            qApp,
            [pThis, path, bThere, bFolder, nSize, modified] {
                if (pThis)
                    pThis->OnRead(path, bThere, bFolder, nSize, modified);
            },
            Qt::QueuedConnection);
    });
}

void CPropertiesPane::OnRead(const QByteArray& path, bool bThere, bool bFolder, qint64 nSize,
                             const QDateTime& modified)
{
    if (!m_bLocal || path != m_path)
        return;
    if (!bThere)
        m_pSize->setText(tr("不存在"));
    else if (bFolder)
        m_pSize->setText(tr("文件夹"));
    else
        m_pSize->setText(QLocale().formattedDataSize(nSize));
    m_pModified->setText(modified.isValid() ? When(modified) : QString());
}

void CPropertiesPane::ShowRemote(const CRemoteListModel& model, int nRow)
{
    if (nRow < 0 || nRow >= model.rowCount())
        return;
    ShowRows(false);
    m_path.clear();
    m_pName->setText(model.Label(nRow));
    m_pWhere->setText(tr("服务器上的 /"));
    if (model.IsFolder(nRow))
        m_pSize->setText(tr("文件夹"));
    else
        m_pSize->setText(model.Size(nRow) < 0 ? tr("未知")
                                              : QLocale().formattedDataSize(model.Size(nRow)));
    const QDateTime time = QDateTime::fromSecsSinceEpoch(model.LastWrite(nRow), Qt::UTC);
    switch (model.TimeKind(nRow)) {
    case TIME_UNKNOWN:
        m_pModified->setText(tr("未知"));
        break;
    case TIME_DAY_ONLY:
        m_pModified->setText(QLocale().toString(time.date(), QLocale::ShortFormat));
        break;
    case TIME_SERVER_CLOCK:
        // A time on the server's clock, shown as the server gave it.
        m_pModified->setText(QLocale().toString(time, QLocale::ShortFormat));
        break;
    case TIME_EXACT:
        m_pModified->setText(When(time.toLocalTime()));
        break;
    }
}
