#include "RightView.h"

#include "EntryJobs.h"
#include "LoginFirst.h"
#include "widgets/DialogUnits.h"
#include "widgets/TemplateLayout.h"
#include "resources/Texts.h"
#include "transfer/FtpAddress.h"
#include "transfer/Messages.h"
#include "transfer/MyThread.h"
#include "transfer/ReplyLines.h"
#include "platform/Path.h"
#include "transfer/TransferGlobals.h"

#include <QItemSelectionModel>
#include <QMessageBox>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>

#include <cstdlib>
#include <cstring>

namespace {

// What a record that came without its values (WM_ADD_REMOTE_ITEM) says of its size: a byte
// count up to 1024, or whole kilobytes and "KB", as much as its rounded text is sure of.
std::uint64_t BytesOfSizeText(const char* pszSize)
{
    char* pEnd = nullptr;
    const unsigned long long nValue = std::strtoull(pszSize, &pEnd, 10);
    if (pEnd == pszSize || pszSize[0] == '-')
        return 0;
    return std::strcmp(pEnd, "KB") == 0 ? nValue * 1024 : nValue;
}

// Tags of all listings in the process, so a listing launched by a view that has gone cannot
// pass for the current listing of a new one.
unsigned g_nLastListingTag = 0;

// Form 145 ("System" 10) in template units.
constexpr int kFormWidth = 299;
constexpr int kFormHeight = 257;
constexpr QSize kMinListSize(150, 90);

} // namespace

CRightView::CRightView(QWidget* pParent)
    : QWidget(pParent), m_stcUsage(this), m_prgUsage(this), m_lstRemote(this), m_btnDelete(this)
{
    const CDialogUnits units(QStringLiteral("System"), 10);
    setFont(units.Font());
    // The list takes what the pane gives; Delete File stays above its right end, the meter
    // and its text below it.
    using Anchor = CTemplateLayout;
    auto* pLayout = new CTemplateLayout(this, units.ToPixels(QSize(kFormWidth, kFormHeight)));
    pLayout->AddControl(&m_lstRemote, units.ToPixels(7, 42, 238, 171), Anchor::STRETCH,
                        Anchor::STRETCH);
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
    m_pfnConfirmDelete = [this](const QString& strName) {
        QMessageBox box(QMessageBox::Question, Texts::AppName(), Texts::ConfirmDelete(strName),
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
}

CRightView::~CRightView()
{
    if (g_pRemoteView.load() == this)
        g_pRemoteView = nullptr;
}

void CRightView::OnInitialUpdate()
{
    g_pRemoteView = this;
    m_nUsedBytes = 0;
    QIcon folder(QStringLiteral(":/views/folder.png"));
    if (folder.isNull())
        folder = style()->standardIcon(QStyle::SP_DirIcon);
    m_model.SetIcon(folder);
}

QString CRightView::GetFirstSelectedLabel() const
{
    return QString::fromUtf8(GetFirstSelectedName());
}

QByteArray CRightView::GetFirstSelectedName() const
{
    int nFirst = -1;
    if (const QItemSelectionModel* pSelection = m_lstRemote.selectionModel()) {
        for (const QItemSelectionRange& range : pSelection->selection())
            if (nFirst < 0 || range.top() < nFirst)
                nFirst = range.top();
    }
    return nFirst >= 0 && nFirst < m_model.rowCount() ? m_model.Name(nFirst) : QByteArray();
}

LRESULT CRightView::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_ADD_REMOTE_ITEM:
        return OnAddRemoteItem(wParam, lParam);
    case WM_ADD_REMOTE_ITEMS:
        return OnAddRemoteItems(wParam, lParam);
    case WM_REFRESH_REMOTE:
        return OnRefreshRemote(wParam, lParam);
    case WM_REMOTE_FOLDER_EMPTY:
        return OnRemoteFolderEmpty(wParam, lParam);
    case WM_REMOTE_DELETED:
        return OnRemoteDeleted(wParam, lParam);
    case WM_USAGE_UPDATE:
        return OnUsageUpdate(wParam, lParam);
    default:
        return 0;
    }
}

LRESULT CRightView::OnRefreshRemote(WPARAM, LPARAM)
{
    StartListing();
    return 0;
}

void CRightView::StartListing()
{
    if (++g_nLastListingTag == 0)
        ++g_nLastListingTag; // 0 marks an untagged listing
    m_nListingTag = g_nLastListingTag;
    m_nUsedBytes = 0;
    m_nUnknownSizes = 0;
    m_model.Clear();

    auto* pJob = new CMyThread(nullptr, g_strServer, g_strUserName, g_strPassword,
                               INTERNET_DEFAULT_FTP_PORT, "/", true, 0);
    pJob->m_nListingTag = m_nListingTag;
    const unsigned nThread =
        CJobThreads::Get().Create(ListThreadProc, pJob, THREAD_PRIORITY_BELOW_NORMAL);
    if (!nThread) {
        delete pJob;
        return;
    }
    CJobThreads::Get().Resume(nThread);
}

LRESULT CRightView::OnAddRemoteItem(WPARAM wParam, LPARAM)
{
    if (const auto* pEntry = reinterpret_cast<const RemoteEntry*>(wParam))
        AddEntries(pEntry, nullptr, 1);
    return 0;
}

LRESULT CRightView::OnAddRemoteItems(WPARAM wParam, LPARAM)
{
    const auto* pBatch = reinterpret_cast<const RemoteEntryBatch*>(wParam);
    if (pBatch && pBatch->nListingTag == m_nListingTag && pBatch->nCount > 0)
        AddEntries(pBatch->pEntries, pBatch->pValues, pBatch->nCount);
    return 0;
}

void CRightView::AddEntries(const RemoteEntry* pEntries, const RemoteEntryValues* pValues,
                            int nCount)
{
    for (int i = 0; i < nCount; ++i) {
        if (pEntries[i].bFolder == 1)
            continue;
        if (pValues && pValues[i].nSize < 0)
            ++m_nUnknownSizes; // counted as unknown, not as nothing
        else
            m_nUsedBytes += pValues ? static_cast<std::uint64_t>(pValues[i].nSize)
                                    : BytesOfSizeText(pEntries[i].szSize);
    }
    m_model.AddEntries(pEntries, pValues, nCount);
}

LRESULT CRightView::OnRemoteFolderEmpty(WPARAM wParam, LPARAM)
{
    if (wParam != m_nListingTag)
        return 0;
    // The listing waits until the user has read this.
    QMessageBox box(QMessageBox::Information, Texts::AppName(), Texts::FolderEmpty(),
                    QMessageBox::Ok, this);
    box.exec();
    return 0;
}

LRESULT CRightView::OnRemoteDeleted(WPARAM wParam, LPARAM lParam)
{
    const QByteArray name = m_deletesRunning.take(static_cast<std::uint64_t>(wParam));
    if (DeleteOutcome(lParam) == DELETE_FAILED && !name.isEmpty()) {
        // The row stays; the user learns why the server still holds the file.
        const unsigned nJobId = TransferJobOf(static_cast<WPARAM>(lParam));
        const QString strReason = Texts::ReasonWithReply(
            Texts::FailureReason(TransferFailureOf(static_cast<WPARAM>(lParam))),
            QString::fromStdString(g_replyLines.Take(CReplyLines::JobKey(nJobId))));
        const QString strName = DisplayName(name);
        QMessageBox::warning(
            this, Texts::AppName(),
            Texts::DeleteFailedHeading() +
                (strReason.isEmpty() ? strName : Texts::NameWithReason(strName, strReason)));
        return 0;
    }
    // The report names the deleted file; the selection may have moved since Delete File. With
    // nothing selected there was nothing to delete, and nothing to say.
    if (DeleteOutcome(lParam) != DELETE_SUCCEEDED || wParam == 0)
        return 0;
    const int nRow = m_model.FindNameKey(static_cast<std::uint64_t>(wParam));
    if (nRow >= 0) {
        m_model.RemoveRow(nRow);
        m_lstRemote.doItemsLayout();
    }
    return 0;
}

LRESULT CRightView::OnUsageUpdate(WPARAM wParam, LPARAM lParam)
{
    if (wParam != m_nListingTag)
        return 0;
    const EListingOutcome eOutcome = ListingOutcomeOf(lParam);
    m_prgUsage.setRange(0, kQuotaKB);
    const std::uint64_t nUsedKB = m_nUsedBytes / 1024;
    m_prgUsage.setValue(static_cast<int>(qMin<std::uint64_t>(nUsedKB, kQuotaKB)));
    const QString strUsage =
        FormatUsage(static_cast<unsigned>(qMin<std::uint64_t>(nUsedKB, 0xFFFFFFFFu)));
    // An empty account and a list that could not be read must never look alike: what the
    // meter adds up is only a lower bound when entries are missing or of unknown size.
    QStringList notes;
    if (eOutcome == LISTING_FAILED) {
        m_stcUsage.setText(Texts::UsageUnknown(strUsage.section(QLatin1Char('/'), 1)));
        notes << Texts::ListingUnreadable();
    } else if (eOutcome == LISTING_CUT || m_nUnknownSizes > 0) {
        m_stcUsage.setText(Texts::UsageAtLeast(strUsage));
        if (eOutcome == LISTING_CUT)
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
    // A listing that went well takes back its own earlier note only, not what a backup
    // or restore said there meanwhile.
    QStatusBar* pStatus = window()->findChild<QStatusBar*>();
    if (pStatus && (!strNotes.isEmpty() || pStatus->currentMessage() == m_strStatusNote))
        pStatus->showMessage(strNotes);
    m_strStatusNote = strNotes;
    if (eOutcome != LISTING_COMPLETE)
        ReportListingFailure(eOutcome, TransferFailureOf(static_cast<WPARAM>(lParam)));
    return 0;
}

void CRightView::ReportListingFailure(EListingOutcome eOutcome, ETransferFailure eFailure)
{
    const QString strReason = Texts::ReasonWithReply(
        Texts::FailureReason(eFailure),
        QString::fromStdString(g_replyLines.Take(CReplyLines::ListingKey(m_nListingTag))));
    const QString strHeading =
        eOutcome == LISTING_CUT ? Texts::ListingIncomplete() : Texts::ListingUnreadable();
    QMessageBox::warning(this, Texts::AppName(),
                         strReason.isEmpty() ? strHeading
                                             : Texts::NameWithReason(strHeading, strReason));
}

QString CRightView::FormatUsage(unsigned nTotalKB)
{
    const int nQuotaMB = kQuotaKB / 1024;
    if (nTotalKB < 1024)
        return QString::asprintf("%uKB/%dM", nTotalKB, nQuotaMB);
    return QString::asprintf("%.1fM/%dM", nTotalKB / 1024.0, nQuotaMB);
}

void CRightView::OnButtonDelete()
{
    if (!CheckLoggedIn(this))
        return;
    // The server's copy may be the only one left: ask first, No being the safe answer.
    const QByteArray name = GetFirstSelectedName();
    if (!name.isEmpty() && m_pfnConfirmDelete && !m_pfnConfirmDelete(GetFirstSelectedLabel()))
        return;
    JobRequest* pRequest = NewEntryRequest(QByteArray(), name);
    if (!pRequest)
        return;
    m_deletesRunning.insert(RemoteNameKey(name.constData()), name);
    StartEntryJob(DeleteThreadProc, pRequest, THREAD_PRIORITY_ABOVE_NORMAL);
}
