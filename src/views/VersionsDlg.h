#pragma once
// The earlier copies the server keeps of one file, newest first, with their dates and sizes;
// Restore fetches the chosen one into a folder the user picks, under the file's own name, or
// beside a local file of that name when the user keeps both (CReplaceQuestionDlg asks).
// Also the question of "restore as of": a date and time.
#include "ReplaceQuestionDlg.h"
#include "backup/ServerVersions.h"

#include <QDateTime>
#include <QDialog>

#include <functional>
#include <memory>

class CBackupSession;
class QLabel;
class QPushButton;
class QTreeWidget;

class CVersionsDlg : public QDialog
{
    Q_OBJECT
public:
    // remoteFolder: the server folder the file is in ("/").
    CVersionsDlg(std::shared_ptr<CBackupSession> pSession, QByteArray remoteFolder, QByteArray name,
                 QWidget* pParent = nullptr);

    // Lists the file's versions; the list fills when the listing ends.
    void StartListing();
    const QList<CServerVersions::Version>& Versions() const { return m_versions; }
    // Fetches the version in row nRow into localFolder, asking first where a local file of
    // the name differs; the outcome shows in the dialog (restored).
    void Restore(int nRow, const QByteArray& localFolder);

    // Tests replace these: the folder to restore into ("" gives up), and the question before
    // a local file is replaced.
    std::function<QString()> m_pfnChooseFolder;
    CReplaceQuestionDlg::AskFn m_pfnAsk;

    // Asks for the date and time to restore a folder as of; false when the user gave up.
    static bool AskAsOfTime(QWidget* pParent, const QString& strFolder, QDateTime& asOf);

signals:
    void listed();
    void restored(bool bRestored, const QString& strText);

private:
    void OnListingEnded(const ListingReport& report);

    std::shared_ptr<CBackupSession> m_pSession;
    QByteArray m_remoteFolder;
    QByteArray m_name;
    RemoteItems m_items;
    QList<CServerVersions::Version> m_versions;
    QTreeWidget* m_pList = nullptr;
    QLabel* m_pStatus = nullptr;
    QPushButton* m_pRestore = nullptr;
};
