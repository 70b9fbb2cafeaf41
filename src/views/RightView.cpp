#include "RightView.h"

#include "LoginFirst.h"
#include "VersionsDlg.h"
#include "backup/AsOfRestore.h"
#include "widgets/DialogUnits.h"
#include "widgets/StatusOutcome.h"
#include "widgets/TemplateLayout.h"
#include "platform/Path.h"
#include "resources/Texts.h"
#include "transfer/FtpAddress.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"
#include "transfer/RemoteName.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLocale>
#include <QMessageBox>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>

#include <algorithm>
#include <utility>

namespace {

// Tags of all listings in the process, so a listing launched by a view that has gone cannot
// pass for the current listing of a new one.
unsigned g_nLastListingTag = 0;

// Form 145 ("System" 10) in template units.
constexpr int kFormWidth = 299;
constexpr int kFormHeight = 257;
constexpr QSize kMinListSize(150, 90);

} // namespace

namespace {

// "/" + name, or folder + "/" + name.
QByteArray ChildFolder(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

int Depth(const QByteArray& path)
{
    return path.count('/');
}

} // namespace

CRightView::CRightView(QWidget* pParent)
    : QWidget(pParent), m_stcUsage(this), m_stcCounting(this), m_stcFolder(this), m_prgUsage(this),
      m_lstRemote(this), m_treeRemote(this), m_btnDelete(this)
{
    const CDialogUnits units(QStringLiteral("System"), 10);
    setFont(units.Font());
    // The list takes what the pane gives; Delete File stays above its right end, the meter
    // and its text below it.
    using Anchor = CTemplateLayout;
    auto* pLayout = new CTemplateLayout(this, units.ToPixels(QSize(kFormWidth, kFormHeight)));
    pLayout->AddControl(&m_lstRemote, units.ToPixels(7, 42, 238, 171), Anchor::STRETCH,
                        Anchor::STRETCH);
    pLayout->AddControl(&m_treeRemote, units.ToPixels(7, 42, 238, 171), Anchor::STRETCH,
                        Anchor::STRETCH);
    pLayout->AddControl(&m_stcFolder, units.ToPixels(7, 22, 188, 11), Anchor::STRETCH);
    pLayout->AddControl(&m_stcCounting, units.ToPixels(7, 216, 238, 11), Anchor::STRETCH,
                        Anchor::FOLLOW);
    pLayout->AddControl(&m_btnDelete, units.ToPixels(199, 20, 46, 15), Anchor::FOLLOW);
    pLayout->AddControl(&m_prgUsage, units.ToPixels(7, 230, 238, 20), Anchor::STRETCH,
                        Anchor::FOLLOW);
    pLayout->AddControl(&m_stcUsage, units.ToPixels(245, 233, 48, 11), Anchor::FOLLOW,
                        Anchor::FOLLOW);
    // At least one column and one row of icons beside the scroll bar.
    m_lstRemote.setMinimumSize(kMinListSize);

    // The form stands on white.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    m_stcUsage.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_prgUsage.setRange(0, kQuotaKB);
    m_prgUsage.setValue(0);
    m_prgUsage.setTextVisible(false);

    m_btnDelete.setText(Texts::DeleteFileButton());
    // Flat, and still showing when it has the focus.
    m_btnDelete.setStyleSheet(
        QStringLiteral("QPushButton { border: 1px solid #8a8a8a; background: #f6f6f6; }"
                       "QPushButton:hover { border-color: #3c7fb1; background: #e5f1fb; }"
                       "QPushButton:pressed { background: #cce4f7; }"
                       "QPushButton:focus { border: 2px solid palette(highlight); }"));
    connect(&m_btnDelete, &QPushButton::clicked, this, [this] { OnButtonDelete(); });
    // The Delete key on the list does what the button does.
    auto* pDeleteKey =
        new QShortcut(QKeySequence::Delete, &m_lstRemote, nullptr, nullptr, Qt::WidgetShortcut);
    connect(pDeleteKey, &QShortcut::activated, this, [this] { OnButtonDelete(); });
    AddVersionCommands();
    m_pfnConfirmDelete = [this](const QString& strName) {
        QMessageBox box(QMessageBox::Question, Texts::AppName(), Texts::ConfirmDelete(strName),
                        QMessageBox::Yes | QMessageBox::No, window());
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    m_pfnConfirmFolderDelete = [this](const QString& strName, qlonglong nFiles) {
        QMessageBox box(QMessageBox::Question, Texts::AppName(),
                        Texts::ConfirmFolderDelete(strName, nFiles),
                        QMessageBox::Yes | QMessageBox::No, window());
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };

    // An icon list that stays quick with tens of thousands of rows: every row has the same
    // size and picture, and layout runs in batches between events.
    // Names for screen readers. The meter is "Space used" and says how much in its
    // description; the label is read as the text it shows, with its notes.
    m_lstRemote.setAccessibleName(Texts::ServerFilesName());
    m_prgUsage.setAccessibleName(Texts::SpaceUsedName());
    m_lstRemote.setModel(&m_model);
    m_lstRemote.setViewMode(QListView::IconMode);
    m_lstRemote.setMovement(QListView::Static);
    m_lstRemote.setResizeMode(QListView::Adjust);
    m_lstRemote.setUniformItemSizes(true);
    m_lstRemote.setLayoutMode(QListView::Batched);
    m_lstRemote.setBatchSize(1000);
    m_lstRemote.setIconSize(QSize(32, 32));
    m_lstRemote.setGridSize(QSize(100, 64));
    m_model.SetItemSize(QSize(96, 60));
    // A shortened label keeps its end, where the extension is. The label has room for one
    // line only, and a wrapped label is cut at the end of its last visible line whatever the
    // elide mode says, so labels do not wrap.
    m_lstRemote.setWordWrap(false);
    m_lstRemote.setTextElideMode(Qt::ElideMiddle);
    m_lstRemote.setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lstRemote.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstRemote.setDragEnabled(false);

    // Details: the same rows as a table, sorted by the column clicked; in the list's own
    // order until then.
    m_sortedModel.setSourceModel(&m_model);
    m_treeRemote.setModel(&m_sortedModel);
    m_treeRemote.setAccessibleName(Texts::ServerFilesName());
    m_treeRemote.setRootIsDecorated(false);
    m_treeRemote.setItemsExpandable(false);
    m_treeRemote.setUniformRowHeights(true);
    m_treeRemote.setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_treeRemote.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_treeRemote.setIconSize(QSize(16, 16));
    m_treeRemote.header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_treeRemote.setSortingEnabled(true);
    // The name keeps room to be read in a narrow pane; the date takes what is left.
    m_treeRemote.header()->setStretchLastSection(true);
    m_treeRemote.header()->resizeSection(CRemoteListModel::NameColumn, 160);
    m_treeRemote.header()->resizeSection(CRemoteListModel::SizeColumn, 64);
    m_treeRemote.hide();

    m_stcFolder.setTextFormat(Qt::PlainText);
    m_stcCounting.setTextFormat(Qt::PlainText);
    m_stcFolder.setText(Texts::ServerFolder(QStringLiteral("/")));
    for (QAbstractItemView* pView : {static_cast<QAbstractItemView*>(&m_lstRemote),
                                     static_cast<QAbstractItemView*>(&m_treeRemote)}) {
        // Enter and a double-click open a folder; Backspace goes back up.
        connect(pView, &QAbstractItemView::activated, this, &CRightView::OnActivated);
        auto* pUpKey = new QShortcut(QKeySequence(Qt::Key_Backspace), pView, nullptr, nullptr,
                                     Qt::WidgetShortcut);
        connect(pUpKey, &QShortcut::activated, this, [this] { GoUp(); });
        if (pView == &m_treeRemote) {
            auto* pDelete =
                new QShortcut(QKeySequence::Delete, pView, nullptr, nullptr, Qt::WidgetShortcut);
            connect(pDelete, &QShortcut::activated, this, [this] { OnButtonDelete(); });
        }
    }
}

CRightView::~CRightView() = default;

void CRightView::SetSession(std::shared_ptr<CBackupSession> pSession)
{
    // Another account's folders are not this one's: it starts at the root.
    if (pSession != m_pSession)
        m_currentFolder = "/";
    m_pSession = std::move(pSession);
}

void CRightView::OnInitialUpdate()
{
    m_nUsedBytes = 0;
    QIcon folder(QStringLiteral(":/views/folder.png"));
    if (folder.isNull())
        folder = style()->standardIcon(QStyle::SP_DirIcon);
    m_model.SetIcons(folder, style()->standardIcon(QStyle::SP_FileIcon),
                     style()->standardIcon(QStyle::SP_FileDialogToParent));
}

QAbstractItemView* CRightView::CurrentView()
{
    return m_bDetails ? static_cast<QAbstractItemView*>(&m_treeRemote) : &m_lstRemote;
}

const QAbstractItemView* CRightView::CurrentView() const
{
    return m_bDetails ? static_cast<const QAbstractItemView*>(&m_treeRemote) : &m_lstRemote;
}

void CRightView::SetDetailsView(bool bDetails)
{
    if (bDetails == m_bDetails)
        return;
    const QList<int> rows = SelectedRows();
    const bool bHadFocus = CurrentView()->hasFocus();
    m_bDetails = bDetails;
    m_lstRemote.setVisible(!bDetails);
    m_treeRemote.setVisible(bDetails);
    QAbstractItemView* pView = CurrentView();
    pView->clearSelection();
    for (int nRow : rows) {
        QModelIndex index = m_model.index(nRow);
        if (bDetails)
            index = m_sortedModel.mapFromSource(index);
        pView->selectionModel()->select(index,
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    if (bHadFocus)
        pView->setFocus();
}

void CRightView::OnActivated(const QModelIndex& index)
{
    const QModelIndex source =
        index.model() == &m_sortedModel ? m_sortedModel.mapToSource(index) : index;
    if (!source.isValid())
        return;
    if (m_model.IsUpRow(source.row()))
        GoUp();
    else if (m_model.IsFolder(source.row()))
        OpenFolder(m_model.Name(source.row()));
}

void CRightView::OpenFolder(const QByteArray& name)
{
    if (!IsSafeRemoteName(std::string_view(name.constData(), size_t(name.size()))))
        return;
    m_currentFolder = ChildFolder(m_currentFolder, name);
    m_selectAfterListing.clear();
    ListFolder(false);
}

void CRightView::GoUp()
{
    if (m_currentFolder == "/")
        return;
    const int nSlash = m_currentFolder.lastIndexOf('/');
    m_selectAfterListing = m_currentFolder.mid(nSlash + 1);
    m_currentFolder = nSlash > 0 ? m_currentFolder.left(nSlash) : QByteArray("/");
    ListFolder(false);
}

QString CRightView::GetFirstSelectedLabel() const
{
    return QString::fromUtf8(GetFirstSelectedName());
}

QList<int> CRightView::SelectedRows() const
{
    QList<int> rows;
    const QItemSelectionModel* pSelection = CurrentView()->selectionModel();
    if (!pSelection)
        return rows;
    // The icon view selects the name's column only, the table whole rows.
    for (const QModelIndex& index : pSelection->selectedIndexes()) {
        const int nRow = m_bDetails ? m_sortedModel.mapToSource(index).row() : index.row();
        if (nRow >= 0 && nRow < m_model.rowCount() && !m_model.IsUpRow(nRow))
            rows.append(nRow);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int CRightView::FirstSelectedRow() const
{
    const QList<int> rows = SelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

RemoteItems CRightView::SelectedItems() const
{
    RemoteItems items;
    for (int nRow : SelectedRows())
        items.append(m_model.Item(nRow));
    return items;
}

QByteArray CRightView::GetFirstSelectedName() const
{
    const int nRow = FirstSelectedRow();
    return nRow >= 0 ? m_model.Name(nRow) : QByteArray();
}

qint64 CRightView::GetFirstSelectedSize() const
{
    const int nRow = FirstSelectedRow();
    return nRow >= 0 && !m_model.IsFolder(nRow) ? m_model.Size(nRow) : -1;
}

qint64 CRightView::GetFirstSelectedExactTime() const
{
    const int nRow = FirstSelectedRow();
    return nRow >= 0 && m_model.TimeKind(nRow) == TIME_EXACT ? m_model.LastWrite(nRow) : 0;
}

CMyThread::Account CRightView::Account() const
{
    // Without a login the listing finds no server and says so, as it always did.
    return m_pSession ? m_pSession->MakeAccount()
                      : CMyThread::Account{{}, {}, {}, INTERNET_DEFAULT_FTP_PORT, nullptr};
}

void CRightView::StartListing()
{
    ListFolder(true);
}

void CRightView::ListFolder(bool bRefresh)
{
    if (++g_nLastListingTag == 0)
        ++g_nLastListingTag; // 0 marks an untagged listing
    m_nListingTag = g_nLastListingTag;
    m_bRefreshListing = bRefresh;
    m_listedFolder = m_currentFolder;
    if (bRefresh) {
        m_nUsedBytes = 0;
        m_nUnknownSizes = 0;
        // A new count follows this listing; the one running counts an older state.
        if (m_pCountState)
            m_pCountState->bCancel = true;
        m_pCountState.reset();
        m_nCountTag = 0;
        m_stcCounting.clear();
    }
    m_model.Clear(m_currentFolder != "/");
    const QString strFolder = DisplayName(m_currentFolder);
    m_stcFolder.setText(Texts::ServerFolder(strFolder));
    m_stcFolder.setToolTip(strFolder);

    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::List, Account(), QByteArray(),
                                            m_currentFolder.toStdString());
    pJob->m_nListingTag = m_nListingTag;
    connect(pJob.get(), &CMyThread::remoteItemsAdded, this, &CRightView::OnRemoteItemsAdded);
    connect(pJob.get(), &CMyThread::listingEnded, this, &CRightView::OnListingEnded);
    CJobPool::Get().Start(std::move(pJob));
}

void CRightView::OnRemoteItemsAdded(const RemoteItems& items, unsigned nListingTag)
{
    if (nListingTag != m_nListingTag)
        return;
    RemoteItems shown;
    for (const RemoteItem& item : items)
        if (!CServerVersions::IsVersionsTree(m_listedFolder, item.name))
            shown.append(item);
    for (const RemoteItem& item : shown) {
        if (item.bFolder || !m_bRefreshListing || m_listedFolder != "/")
            continue;
        if (item.nSize < 0)
            ++m_nUnknownSizes; // counted as unknown, not as nothing
        else
            m_nUsedBytes += static_cast<std::uint64_t>(item.nSize);
    }
    m_model.AddEntries(shown);
}

void CRightView::OnListingEnded(const ListingReport& report)
{
    if (report.nListingTag != m_nListingTag)
        return;
    if (report.eOutcome == EListingOutcome::NotConnected)
        emit listingNotConnected(Texts::ServerNotConnected(
            QString::fromStdString(m_pSession ? m_pSession->Server() : std::string())));
    m_nFreeBytes = report.nFreeBytes;
    const bool bUnread = report.eOutcome == EListingOutcome::Refused ||
                         report.eOutcome == EListingOutcome::NotConnected;
    // The meter shows the root's files at once, then the whole account's once counted; a
    // folder opened below it leaves the meter alone.
    if (m_bRefreshListing && (m_listedFolder == "/" || bUnread))
        UpdateUsage(report.eOutcome);
    if (m_bRefreshListing && report.eOutcome == EListingOutcome::Complete)
        StartCount();
    if (!m_selectAfterListing.isEmpty()) {
        const int nRow = m_model.FindName(m_selectAfterListing);
        m_selectAfterListing.clear();
        if (nRow >= 0) {
            QModelIndex index = m_model.index(nRow);
            if (m_bDetails)
                index = m_sortedModel.mapFromSource(index);
            CurrentView()->setCurrentIndex(index);
        }
    }
    switch (report.eOutcome) {
    case EListingOutcome::Complete:
        break;
    case EListingOutcome::Empty: {
        if (m_listedFolder != "/")
            break; // an empty folder below the root shows as such: its ".." row alone
        QMessageBox box(QMessageBox::Information, Texts::AppName(), Texts::FolderEmpty(),
                        QMessageBox::Ok, this);
        box.exec();
        break;
    }
    case EListingOutcome::Cut:
    case EListingOutcome::Refused:
    case EListingOutcome::NotConnected:
        ReportListingFailure(report);
        break;
    }
}

void CRightView::ReportListingFailure(const ListingReport& report)
{
    const QString strReason = Texts::ReasonWithReply(Texts::FailureReason(report.eFailure),
                                                     QString::fromUtf8(report.replyLine));
    const QString strHeading = report.eOutcome == EListingOutcome::Cut ? Texts::ListingIncomplete()
                                                                       : Texts::ListingUnreadable();
    QMessageBox::warning(this, Texts::AppName(),
                         strReason.isEmpty() ? strHeading
                                             : Texts::NameWithReason(strHeading, strReason));
}

void CRightView::OnRemoteDeleted(const DeletionReport& report)
{
    const QByteArray folder = m_deleteFolders.take(report.nJobId);
    // With nothing selected there was nothing to delete, and nothing to say.
    if (report.name.isEmpty())
        return;
    if (!report.bDeleted) {
        // The row stays; the user learns why the server still holds the file.
        const QString strReason = Texts::ReasonWithReply(Texts::FailureReason(report.eFailure),
                                                         QString::fromUtf8(report.replyLine));
        const QString strName = DisplayName(report.name);
        CStatusOutcome::Show(this,
                             QCoreApplication::translate("CRightView", "未能删除 %1").arg(strName));
        QMessageBox::warning(
            this, Texts::AppName(),
            Texts::DeleteFailedHeading() +
                (strReason.isEmpty() ? strName : Texts::NameWithReason(strName, strReason)));
        return;
    }
    CStatusOutcome::Show(
        this, QCoreApplication::translate("CRightView", "已删除 %1").arg(DisplayName(report.name)));
    // The report names the deleted file; the selection may have moved since Delete File,
    // and the list to another folder.
    const int nRow = folder == m_currentFolder ? m_model.FindName(report.name) : -1;
    if (nRow >= 0) {
        m_model.RemoveRow(nRow);
        m_lstRemote.doItemsLayout();
    }
}

void CRightView::SetQuotaKB(int nQuotaKB)
{
    m_nQuotaKB = nQuotaKB > 0 ? nQuotaKB : kQuotaKB;
    m_prgUsage.setRange(0, m_nQuotaKB);
    if (!m_stcUsage.text()
             .isEmpty()) // the meter has shown a listing: show it against the new quota
        UpdateUsage(m_eLastOutcome);
}

void CRightView::UpdateUsage(EListingOutcome eOutcome)
{
    m_eLastOutcome = eOutcome;
    m_prgUsage.setRange(0, m_nQuotaKB);
    const std::uint64_t nUsedKB = m_nUsedBytes / 1024;
    m_prgUsage.setValue(static_cast<int>(qMin<std::uint64_t>(nUsedKB, m_nQuotaKB)));
    const QString strUsage =
        FormatUsage(static_cast<unsigned>(qMin<std::uint64_t>(nUsedKB, 0xFFFFFFFFu)), m_nQuotaKB);
    // An empty account and a list that could not be read must never look alike: what the
    // meter adds up is only a lower bound when entries are missing or of unknown size.
    const bool bUnread =
        eOutcome == EListingOutcome::Refused || eOutcome == EListingOutcome::NotConnected;
    QStringList notes;
    if (bUnread) {
        m_stcUsage.setText(Texts::UsageUnknown(strUsage.section(QLatin1Char('/'), 1)));
        notes << Texts::ListingUnreadable();
    } else if (eOutcome == EListingOutcome::Cut || m_nUnknownSizes > 0) {
        m_stcUsage.setText(Texts::UsageAtLeast(strUsage));
        if (eOutcome == EListingOutcome::Cut)
            notes << Texts::ListingIncomplete();
    } else {
        m_stcUsage.setText(strUsage);
    }
    if (m_nUnknownSizes > 0)
        notes << Texts::SizesUnknown(m_nUnknownSizes);
    const QString strNotes = notes.join(QStringLiteral("; "));
    m_stcUsage.setToolTip(strNotes);
    m_stcUsage.setAccessibleDescription(strNotes);
    m_prgUsage.setAccessibleDescription(m_stcUsage.text());
    // The server's own word on its space, where it gives one, inside the meter.
    m_prgUsage.setTextVisible(m_nFreeBytes >= 0 && !bUnread);
    if (m_nFreeBytes >= 0)
        m_prgUsage.setFormat(Texts::ServerFreeSpace(QLocale().formattedDataSize(m_nFreeBytes)));
    // A listing that went well takes back its own earlier note only, not what a backup
    // or restore said there meanwhile.
    QStatusBar* pStatus = window()->findChild<QStatusBar*>();
    if (pStatus && (!strNotes.isEmpty() || pStatus->currentMessage() == m_strStatusNote))
        CStatusOutcome::Show(this, strNotes);
    m_strStatusNote = strNotes;
}

QString CRightView::FormatUsage(unsigned nTotalKB, int nQuotaKB)
{
    const int nQuotaMB = nQuotaKB / 1024;
    if (nTotalKB < 1024)
        return QString::asprintf("%uKB/%dM", nTotalKB, nQuotaMB);
    return QString::asprintf("%.1fM/%dM", nTotalKB / 1024.0, nQuotaMB);
}

void CRightView::OnButtonDelete()
{
    if (!CheckLoggedIn(m_pSession.get(), this))
        return;
    // The server's copy may be the only one left: ask first, No being the safe answer.
    const QByteArray name = GetFirstSelectedName();
    const int nRow = FirstSelectedRow();
    if (nRow >= 0 && m_model.IsFolder(nRow))
        return DeleteFolder(name);
    if (!name.isEmpty() && m_pfnConfirmDelete && !m_pfnConfirmDelete(GetFirstSelectedLabel()))
        return;
    if (name.size() > kMaxItemNameBytes)
        return;
    StartDeletion({name}, {});
}

void CRightView::StartDeletion(const QList<QByteArray>& files, const QList<QByteArray>& folders)
{
    const QByteArray folder = folders.isEmpty() ? m_currentFolder : m_deleteFolder;
    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::Delete, Account(), QByteArray(),
                                            folder.toStdString(), files);
    pJob->SetFoldersToRemove(folders);
    connect(pJob.get(), &CMyThread::remoteDeleted, this, &CRightView::OnRemoteDeleted);
    m_deleteFolders.insert(CJobPool::Get().Start(std::move(pJob)), folder);
}

void CRightView::DeleteFolder(const QByteArray& name)
{
    // What the folder holds is read first, so the question can say how much goes with it,
    // and only what the user was told of is deleted: a file that arrives meanwhile keeps
    // its folder.
    if (m_nDeleteWalkTag != 0)
        return; // one folder at a time
    if (++g_nLastListingTag == 0)
        ++g_nLastListingTag;
    m_nDeleteWalkTag = g_nLastListingTag;
    m_deleteName = name;
    m_deleteFolder = m_currentFolder;
    m_deleteItems.clear();
    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::Walk, Account(), QByteArray(),
                                            m_currentFolder.toStdString(), QList<QByteArray>{name});
    pJob->m_nListingTag = m_nDeleteWalkTag;
    connect(pJob.get(), &CMyThread::remoteItemsAdded, this,
            [this](const RemoteItems& items, unsigned nTag) {
                if (nTag == m_nDeleteWalkTag)
                    m_deleteItems += items;
            });
    connect(pJob.get(), &CMyThread::listingEnded, this, &CRightView::OnFolderWalked);
    CJobPool::Get().Start(std::move(pJob));
}

void CRightView::AddVersionCommands()
{
    // The icons and the Details table offer the same menu.
    for (QAbstractItemView* pView : {static_cast<QAbstractItemView*>(&m_lstRemote),
                                     static_cast<QAbstractItemView*>(&m_treeRemote)}) {
        pView->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(pView, &QWidget::customContextMenuRequested, this, [this, pView](const QPoint& at) {
            QMenu menu(this);
            QAction* pVersions = menu.addAction(tr("版本…"), this, [this] { OnVersions(); });
            pVersions->setEnabled(GetFirstSelectedSize() >= 0);
            menu.addAction(tr("恢复到某一时刻…"), this, [this] { OnRestoreAsOf(); });
            menu.exec(pView->viewport()->mapToGlobal(at));
        });
    }
}

void CRightView::OnVersions()
{
    const int nRow = FirstSelectedRow();
    if (!m_pSession)
        return;
    if (nRow < 0 || m_model.IsFolder(nRow)) {
        QMessageBox::information(window(), Texts::AppName(),
                                 tr("请先在服务器列表中选择一个文件。"));
        return;
    }
    CVersionsDlg dialog(m_pSession, m_currentFolder, m_model.Name(nRow), window());
    dialog.m_pfnChooseFolder = [this] { return ChooseRestoreFolder(); };
    dialog.StartListing();
    dialog.exec();
}

QString CRightView::ChooseRestoreFolder()
{
    if (m_pfnChooseRestoreFolder)
        return m_pfnChooseRestoreFolder();
    return QFileDialog::getExistingDirectory(window(), Texts::ChooseFolderTitle(),
                                             QDir::homePath());
}

void CRightView::OnRestoreAsOf()
{
    if (!m_pSession)
        return;
    // The folder selected, else the one shown.
    const int nRow = FirstSelectedRow();
    QByteArray folder = nRow >= 0 && m_model.IsFolder(nRow)
                            ? ChildFolder(m_currentFolder, m_model.Name(nRow))
                            : m_currentFolder;
    if (!folder.endsWith('/'))
        folder += '/';
    QDateTime asOf;
    if (!CVersionsDlg::AskAsOfTime(window(), DisplayName(folder), asOf))
        return;
    const QString strLocal = ChooseRestoreFolder();
    if (strLocal.isEmpty())
        return;
    auto* pRestore = new CAsOfRestore(m_pSession, folder, asOf.toSecsSinceEpoch(), this);
    connect(pRestore, &CAsOfRestore::listed, this, [this, pRestore, strLocal](bool bWhole) {
        int nReplaced = 0;
        for (const CAsOfRestore::Item& item : pRestore->Items())
            nReplaced += QFileInfo::exists(strLocal + '/' + QFile::decodeName(item.RelativePath()));
        QString strAsk;
        if (!bWhole)
            strAsk = tr("服务器上的文件夹未能完整列出，恢复的可能不全。") + '\n';
        if (nReplaced > 0)
            strAsk +=
                tr("“%1”中有 %n 个同名文件将被替换。", nullptr, nReplaced).arg(strLocal) + '\n';
        if (!strAsk.isEmpty() &&
            QMessageBox::question(window(), Texts::AppName(), strAsk + tr("继续吗？")) !=
                QMessageBox::Yes) {
            pRestore->deleteLater();
            return;
        }
        pRestore->Fetch(QFile::encodeName(strLocal));
    });
    connect(pRestore, &CAsOfRestore::finished, this,
            [this, pRestore](int nFetched, int nFailed, const QString& strFirstFailure) {
                QString strText = tr("已恢复 %n 个文件。", nullptr, nFetched);
                if (nFailed > 0)
                    strText += '\n' + tr("%n 个文件未能恢复：", nullptr, nFailed) + strFirstFailure;
                QMessageBox::information(window(), Texts::AppName(), strText);
                pRestore->deleteLater();
            });
    pRestore->List();
}

void CRightView::OnFolderWalked(const ListingReport& report)
{
    if (report.nListingTag != m_nDeleteWalkTag)
        return;
    m_nDeleteWalkTag = 0;
    const RemoteItems items = std::exchange(m_deleteItems, {});
    const QString strName = DisplayName(m_deleteName);
    if (report.eOutcome != EListingOutcome::Complete) {
        // Not knowing all it holds, nothing of it is deleted.
        const QString strReason = Texts::ReasonWithReply(Texts::FailureReason(report.eFailure),
                                                         QString::fromUtf8(report.replyLine));
        QMessageBox::warning(
            this, Texts::AppName(),
            Texts::DeleteFailedHeading() +
                (strReason.isEmpty() ? strName : Texts::NameWithReason(strName, strReason)));
        return;
    }
    QList<QByteArray> files;
    QList<QByteArray> folders;
    for (const RemoteItem& item : items)
        (item.bFolder ? folders : files).append(item.name);
    if (folders.isEmpty())
        folders.append(m_deleteName);
    // The deepest first, the folder itself last.
    std::stable_sort(folders.begin(), folders.end(),
                     [](const QByteArray& a, const QByteArray& b) { return Depth(a) > Depth(b); });
    if (m_pfnConfirmFolderDelete && !m_pfnConfirmFolderDelete(strName, files.size()))
        return;
    StartDeletion(files, folders);
}

void CRightView::StartCount()
{
    if (++g_nLastListingTag == 0)
        ++g_nLastListingTag;
    m_nCountTag = g_nLastListingTag;
    m_nCountedBytes = 0;
    m_nCountedUnknown = 0;
    m_nCountedVersionBytes = 0;
    m_stcCounting.setText(Texts::Counting());
    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::Walk, Account(), QByteArray(), "/");
    pJob->m_nListingTag = m_nCountTag;
    m_pCountState = pJob->State();
    connect(pJob.get(), &CMyThread::remoteItemsAdded, this, &CRightView::OnCountItems);
    connect(pJob.get(), &CMyThread::listingEnded, this, &CRightView::OnCountEnded);
    CJobPool::Get().Start(std::move(pJob));
}

void CRightView::OnCountItems(const RemoteItems& items, unsigned nTag)
{
    if (nTag != m_nCountTag || nTag == 0)
        return;
    for (const RemoteItem& item : items) {
        if (item.bFolder)
            continue;
        if (item.nSize < 0) {
            ++m_nCountedUnknown;
            continue;
        }
        m_nCountedBytes += static_cast<std::uint64_t>(item.nSize);
        // The versions count in the account's use, and are said apart.
        const QByteArray path = item.name.startsWith('/') ? item.name : '/' + item.name;
        if (path.startsWith(CServerVersions::Root() + '/'))
            m_nCountedVersionBytes += static_cast<std::uint64_t>(item.nSize);
    }
}

void CRightView::OnCountEnded(const ListingReport& report)
{
    if (report.nListingTag != m_nCountTag || report.nListingTag == 0)
        return;
    m_nCountTag = 0;
    m_pCountState.reset();
    const bool bWhole = report.eOutcome == EListingOutcome::Complete;
    m_stcCounting.setText(m_nCountedVersionBytes == 0
                              ? QString()
                              : Texts::VersionsShare(QLocale().formattedDataSize(qint64(
                                    qMin<std::uint64_t>(m_nCountedVersionBytes, INT64_MAX)))));
    // A count that broke off is still more than the root alone: the meter says "at least".
    m_nUsedBytes = bWhole ? m_nCountedBytes : qMax(m_nUsedBytes, m_nCountedBytes);
    m_nUnknownSizes = bWhole ? m_nCountedUnknown : qMax(m_nUnknownSizes, m_nCountedUnknown);
    UpdateUsage(bWhole ? EListingOutcome::Complete : EListingOutcome::Cut);
}
