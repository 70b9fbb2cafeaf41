#include "HistoryDlg.h"

#include "backup/BackupHistory.h"
#include "resources/Texts.h"
#include "views/MossvaleView.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace {

QString TriggerText(EBackupTrigger eTrigger)
{
    switch (eTrigger) {
    case EBackupTrigger::CommandLine:
        return Texts::TriggerCommandLine();
    case EBackupTrigger::Timer:
        return Texts::TriggerTimer();
    case EBackupTrigger::Window:
        break;
    }
    return Texts::TriggerWindow();
}

QStandardItem* Cell(const QString& strText)
{
    auto* pItem = new QStandardItem(strText);
    pItem->setEditable(false);
    return pItem;
}

} // namespace

QString CHistoryDlg::ResultText(const BackupRunRecord& run)
{
    switch (run.eState) {
    case BackupRunRecord::EState::Running:
        return Texts::RunRunning();
    case BackupRunRecord::EState::Cancelled:
        return Texts::RunCancelled();
    case BackupRunRecord::EState::Interrupted:
        return Texts::RunInterrupted();
    case BackupRunRecord::EState::Finished:
        break;
    }
    const bool bProblems = run.nFailed + run.nMissing > 0 || run.eConnectFailure != FAILURE_NONE;
    return bProblems ? Texts::RunWithFailures() : Texts::RunComplete();
}

CHistoryDlg::CHistoryDlg(const QString& strAccountKey, QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(Texts::HistoryTitle());
    m_model.setHorizontalHeaderLabels(
        {Texts::StartedColumn(), Texts::TriggerColumn(), Texts::ResultColumn(), Texts::SentColumn(),
         Texts::UnchangedColumn(), Texts::FailedColumn(), Texts::SizeColumn()});
    const CBackupHistory history(strAccountKey);
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    for (const BackupRunRecord& run : history.Runs()) {
        QList<QStandardItem*> row = {Cell(Texts::WhenRun(run.started, now)),
                                     Cell(TriggerText(run.eTrigger)),
                                     Cell(ResultText(run)),
                                     Cell(QString::number(run.nSent)),
                                     Cell(QString::number(run.nUnchanged)),
                                     Cell(QString::number(run.nFailed + run.nMissing)),
                                     Cell(locale.formattedDataSize(run.nBytes))};
        // The files it did not back up, each with why, as the end message named them.
        if (run.eConnectFailure != FAILURE_NONE)
            row.first()->appendRow(
                Cell(Texts::ReasonWithReply(Texts::FailureReason(run.eConnectFailure),
                                            QString::fromUtf8(run.connectReplyLine))));
        for (const BackupFileReport& file : history.Files(run.nId))
            row.first()->appendRow(Cell(CMossvaleView::ProblemText(file)));
        if (run.nLeftOut > 0)
            row.first()->appendRow(Cell(Texts::LeftOutByPatterns(run.nLeftOut)));
        if (run.nGoneHere > 0)
            row.first()->appendRow(Cell(
                tr("计划中有 %n 个文件已在本机删除；服务器上的副本保留", nullptr, run.nGoneHere)));
        m_model.appendRow(row);
    }

    m_treeRuns.setModel(&m_model);
    m_treeRuns.setAccessibleName(Texts::HistoryTitle());
    m_treeRuns.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_treeRuns.setSelectionBehavior(QAbstractItemView::SelectRows);
    m_treeRuns.setUniformRowHeights(true);
    m_treeRuns.header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // A failure's line runs across the columns, as the text it is.
    for (int nRow = 0; nRow < m_model.rowCount(); ++nRow)
        for (int nChild = 0; nChild < m_model.item(nRow)->rowCount(); ++nChild)
            m_treeRuns.setFirstColumnSpanned(nChild, m_model.index(nRow, 0), true);
    if (m_model.rowCount() > 0)
        m_treeRuns.setCurrentIndex(m_model.index(0, 0));

    m_pEmpty = new QLabel(Texts::HistoryEmpty(), this);
    m_pEmpty->setVisible(m_model.rowCount() == 0);
    m_treeRuns.setVisible(m_model.rowCount() > 0);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pEmpty);
    pLayout->addWidget(&m_treeRuns);
    pLayout->addWidget(pButtons);
    resize(720, 420);
}

CHistoryDlg::~CHistoryDlg() = default;
