#pragma once
// The lower-right pane of the main window: what a folder of the account holds, one icon with
// a label per entry (or a Details table of name, size and date), the folder it shows, a meter
// of the space the whole account uses, and Delete File. Enter or a double-click opens a
// folder; Backspace or the ".." row goes back up. It never talks to the server itself: it
// starts listing, walking and delete jobs and is fed by their reports. Its controls stand at
// their template places; the list grows and shrinks with the pane.
//
// Listings are tagged: a refresh supersedes any listing still running, whose entries and
// end report are then dropped, so two refreshes close together give one copy of each row.
// After a refresh has shown its folder, the meter's count walks every folder of the account
// in the background, and says so while it counts.
#include "RemoteListModel.h"
#include "RemoteSortModel.h"
#include "backup/BackupSession.h"
#include "transfer/JobReports.h"
#include "transfer/JobState.h"

#include <QHash>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
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
    // The account shows from its root.
    void SetSession(std::shared_ptr<CBackupSession> pSession);
    // Deletes the first selected entry on the server (an empty name when none is), once the
    // user has said yes; a folder with everything in it, once the user has been told how many
    // files it holds. Also the Delete key on the list. Needs a login.
    void OnButtonDelete();
    // Asks whether to delete the named entry on the server; true for yes. Tests replace it.
    std::function<bool(const QString&)> m_pfnConfirmDelete;
    // The earlier copies of the selected file (CVersionsDlg), and the folder selected (else the
    // one shown) restored as it was at a time the user picks, into a local folder.
    void OnVersions();
    void OnRestoreAsOf();
    // The local folder a restore from here goes into, asked of the user ("" gave up). The
    // command view sets it, so that every restore opens where the last one went.
    std::function<QString()> m_pfnChooseRestoreFolder;
    // Asks whether to delete the named folder and the files it holds; true for yes.
    std::function<bool(const QString&, qlonglong nFiles)> m_pfnConfirmFolderDelete;
    // The folder shown, as the server names it: "/" or "/Documents/letters".
    const QByteArray& CurrentFolder() const { return m_currentFolder; }
    // The meter and its label after a listing, and their notes when it was not whole.
    void UpdateUsage(EListingOutcome eOutcome);
    // Opens a folder of the one shown, or goes to the folder above.
    void OpenFolder(const QByteArray& name);
    void GoUp();
    // The Details table instead of the icons; the selection goes along.
    void SetDetailsView(bool bDetails);
    bool IsDetailsView() const { return m_bDetails; }
    // The selected entries in the list's order, the up row left out.
    RemoteItems SelectedItems() const;
    // The first selected row's label (the lowest selected row), "" when nothing is selected.
    QString GetFirstSelectedLabel() const;
    // The same entry's name as the server sent it, for jobs; empty when nothing is selected.
    QByteArray GetFirstSelectedName() const;
    // The same entry's size as listed; -1 when nothing is selected or it is not known.
    qint64 GetFirstSelectedSize() const;
    // The same entry's time when the server gave it to the second (MLSD), UTC; else 0.
    qint64 GetFirstSelectedExactTime() const;

    // Clears the list and starts a listing job of the folder shown, superseding any other;
    // once it has ended, counts what the whole account holds. What a login, F5 and the end
    // of a backup ask for.
    void StartListing();

    // The listing job's reports; those of a superseded listing are dropped.
    void OnRemoteItemsAdded(const RemoteItems& items, unsigned nListingTag);
    void OnListingEnded(const ListingReport& report);
    // The delete job's report: the row of that name goes, wherever the selection is now.
    void OnRemoteDeleted(const DeletionReport& report);
    // The count of the whole account: its entries, and its end, which sets the meter.
    void OnCountItems(const RemoteItems& items, unsigned nTag);
    void OnCountEnded(const ListingReport& report);
    bool IsCounting() const { return m_nCountTag != 0; }

    // "512KB/100M" below 1024 KB, else "1.5M/100M"; the quota's part in whole megabytes.
    static QString FormatUsage(unsigned nTotalKB, int nQuotaKB = kQuotaKB);

    // The account's space unless the user set the account's own: 100 MB.
    static constexpr int kQuotaKB = 100 * 1024;
    void SetQuotaKB(int nQuotaKB);
    int QuotaKB() const { return m_nQuotaKB; }

    QLabel m_stcUsage;
    QLabel m_stcCounting; // "Counting..." while the meter's count runs
    QLabel m_stcFolder;   // the folder shown
    QProgressBar m_prgUsage;
    CRemoteListModel m_model; // before the lists, which draw from it
    CRemoteSortModel m_sortedModel;
    QListView m_lstRemote;
    QTreeView m_treeRemote; // the Details view
    QPushButton m_btnDelete;
    // The bytes of the files the meter counts: the root's files listed since the last
    // refresh, then the whole account's once its count has ended.
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
    void AddVersionCommands();       // the list's context menu
    int FirstSelectedRow() const;    // -1 for none
    QList<int> SelectedRows() const; // rows of m_model, ascending, the up row left out
    void ListFolder(bool bRefresh);
    void StartCount();
    QString ChooseRestoreFolder();
    void OnActivated(const QModelIndex& index);
    // A folder's deletion: walked first, then confirmed with its count, then deleted.
    void DeleteFolder(const QByteArray& name);
    void OnFolderWalked(const ListingReport& report);
    void StartDeletion(const QList<QByteArray>& files, const QList<QByteArray>& folders);
    QAbstractItemView* CurrentView();
    const QAbstractItemView* CurrentView() const;
    CMyThread::Account Account() const;
    // The message box of a listing that broke or could not be read, with its reason.
    void ReportListingFailure(const ListingReport& report);
    QString m_strStatusNote; // the listing's note last put in the status bar
    QByteArray m_currentFolder = "/";
    QByteArray m_listedFolder; // of the current listing
    bool m_bRefreshListing = false;
    QByteArray m_selectAfterListing; // the folder just left, selected once its parent shows
    bool m_bDetails = false;
    // The meter's count: its tag (0 when none runs), its sums, its job's state to cancel it.
    unsigned m_nCountTag = 0;
    std::uint64_t m_nCountedBytes = 0;
    qlonglong m_nCountedUnknown = 0;
    std::uint64_t m_nCountedVersionBytes = 0; // of m_nCountedBytes: the earlier versions'
    std::shared_ptr<CJobState> m_pCountState;
    // The folder being walked for its deletion, its entries, and where it is.
    unsigned m_nDeleteWalkTag = 0;
    QByteArray m_deleteName;
    QByteArray m_deleteFolder;
    RemoteItems m_deleteItems;
    // The folder each delete job works in: only a deletion where the list is shows there.
    QHash<unsigned, QByteArray> m_deleteFolders;
    std::shared_ptr<CBackupSession> m_pSession;
};
