#pragma once
// The lower-right pane of the main window: what the account's root folder holds, one icon
// with a label per entry, a meter of the space used out of 100 MB, and Delete File. It never
// talks to the server itself: it starts listing and delete jobs and is fed by their reports.
// Its controls stand at their template places; the list grows and shrinks with the pane.
//
// Listings are tagged: a refresh supersedes any listing still running, whose entries and
// end report are then dropped, so two refreshes close together give one copy of each row.
#include "RemoteListModel.h"
#include "backup/BackupSession.h"
#include "transfer/JobReports.h"

#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class CRightView : public QWidget
{
    Q_OBJECT
public:
    explicit CRightView(QWidget* pParent = nullptr);
    ~CRightView() override;

    // Sets the pictures; repeatable, and keeps the rows.
    virtual void OnInitialUpdate();
    // The logged-in account's session the listings and deletions run with; null logs out.
    void SetSession(std::shared_ptr<CBackupSession> pSession) { m_pSession = std::move(pSession); }
    // Deletes the first selected entry on the server (an empty name when none is), once the
    // user has said yes; also the Delete key on the list. Needs a login.
    void OnButtonDelete();
    // Asks whether to delete the named entry on the server; true for yes. Tests replace it.
    std::function<bool(const QString&)> m_pfnConfirmDelete;
    // The earlier copies of the selected file (CVersionsDlg), and the folder selected (else the
    // one shown) restored as it was at a time the user picks, into a local folder.
    void OnVersions();
    void OnRestoreAsOf();
    // The first selected row's label (the lowest selected row), "" when nothing is selected.
    QString GetFirstSelectedLabel() const;
    // The same entry's name as the server sent it, for jobs; empty when nothing is selected.
    QByteArray GetFirstSelectedName() const;
    // The same entry's size as listed; -1 when nothing is selected or it is not known.
    qint64 GetFirstSelectedSize() const;
    // The same entry's time when the server gave it to the second (MLSD), UTC; else 0.
    qint64 GetFirstSelectedExactTime() const;

    // Clears the list and the total and starts a listing job of "/", superseding any other.
    // What a login and the end of a backup ask for.
    void StartListing();

    // The listing job's reports; those of a superseded listing are dropped.
    void OnRemoteItemsAdded(const RemoteItems& items, unsigned nListingTag);
    void OnListingEnded(const ListingReport& report);
    // The delete job's report: the row of that name goes, wherever the selection is now.
    void OnRemoteDeleted(const DeletionReport& report);

    // "512KB/100M" below 1024 KB, else "1.5M/100M"; the quota's part in whole megabytes.
    static QString FormatUsage(unsigned nTotalKB, int nQuotaKB = kQuotaKB);

    // The account's space unless the user set the account's own: 100 MB.
    static constexpr int kQuotaKB = 100 * 1024;
    void SetQuotaKB(int nQuotaKB);
    int QuotaKB() const { return m_nQuotaKB; }

    QLabel m_stcUsage;
    QProgressBar m_prgUsage;
    CRemoteListModel m_model; // before the list, which draws from it
    QListView m_lstRemote;
    QPushButton m_btnDelete;
    // The bytes of the files listed since the last refresh.
    std::uint64_t m_nUsedBytes = 0;
    // The tag of the current listing; reports with any other tag are dropped.
    unsigned m_nListingTag = 0;
    // Files of the current listing whose size the server gave as no number.
    qlonglong m_nUnknownSizes = 0;
    int m_nQuotaKB = kQuotaKB;
    EListingOutcome m_eLastOutcome = EListingOutcome::Complete;
    // What the server said it has left for the account at the last listing; -1: not told.
    qint64 m_nFreeBytes = -1;

signals:
    // A listing found the server unreachable or the login refused; the text says so in the
    // program's words, for the login dialog while it is open.
    void listingNotConnected(const QString& strText);

private:
    void AddVersionCommands();    // the list's context menu
    int FirstSelectedRow() const; // -1 for none
    CMyThread::Account Account() const;
    // The meter and its label after a listing, and their notes when it was not whole.
    void UpdateUsage(EListingOutcome eOutcome);
    // The message box of a listing that broke or could not be read, with its reason.
    void ReportListingFailure(const ListingReport& report);
    QString m_strStatusNote; // the listing's note last put in the status bar
    std::shared_ptr<CBackupSession> m_pSession;
};
