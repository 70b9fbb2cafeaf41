#pragma once
// The History window (View > Backup History): the account's backups, newest first, one row
// each (when it started, how, how it ended, files sent, unchanged and failed, bytes), with the
// files a run did not back up, and why, as the rows below it. A tree with a model and named
// columns, so a screen reader reads each run and opens it to hear its files.
#include <QDialog>
#include <QStandardItemModel>
#include <QTreeView>

class QLabel;
struct BackupRunRecord;

class CHistoryDlg : public QDialog
{
    Q_OBJECT
public:
    // The history of the account strAccountKey names, read once when the window opens.
    CHistoryDlg(const QString& strAccountKey, QWidget* pParent = nullptr);
    ~CHistoryDlg() override;

    // How a run ended, in words ("complete", "with failures", "cancelled", ...).
    static QString ResultText(const BackupRunRecord& run);

    QStandardItemModel m_model;
    QTreeView m_treeRuns;
    QLabel* m_pEmpty = nullptr; // shown instead of the tree while nothing has run
};
