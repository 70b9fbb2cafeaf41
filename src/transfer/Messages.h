#pragma once
// Window messages between the transfer jobs and the windows. The numbers are plain
// message values, not offsets from a user-message base.
//
// No.  Name                  Sender -> receiver                  Way     wParam / lParam
// 110  WM_LOGIN_RESULT       listing job without connection      sent    0 / const char* server,
//                            -> login dialog                             valid during the call
// 111  WM_ADD_REMOTE_ITEM    (one entry) -> remote list view     sent    const RemoteEntry* / 4,
// not read 113  WM_TRANSFER_DONE      upload job at its end,              posted  see below / 1
// upload, 2 download
//                            download job after its first file
//                            -> command view
// 115  WM_REFRESH_REMOTE     login dialog, command view          posted  0 / 0
//                            -> remote list view
// 117  WM_REMOTE_DELETED     delete job, per file                posted  see below
//                            -> remote list view
// 119  WM_USAGE_UPDATE       listing job at its end              posted  0 / 0
//                            -> remote list view
//
// Extensions of ours (on the numbers the table above leaves free, or on values it never read):
// - WM_TRANSFER_DONE wParam: bits 0-1 the outcome, 1 = the job succeeded, 2 = it failed; bits
//   2-7 why it failed (ETransferFailure, 0 when unknown); bits 8-23 the job's id
//   (CMyThread::m_nJobId), so a launcher with two jobs of a kind running knows whose report it
//   is. The outcome is never 0, so a receiver that only asks "did a job end" still sees every
//   report. The upload reports either; a download that failed reports failure instead of
//   staying silent. TransferDoneParam() builds it; TransferOutcome(), TransferFailureOf() and
//   TransferJobOf() read it.
// - WM_REMOTE_DELETED: wParam = RemoteNameKey() of the file's name, so the list can find the
//   row of that name whatever is selected; lParam = DeleteDoneParam(): bits 0-1 1 deleted,
//   2 the delete failed, bits 2-7 why (ETransferFailure), bits 8-23 the job's id.
// - The server's reply line of a failed transfer or delete waits in g_replyLines under
//   CReplyLines::JobKey(job id), that of a failed listing under ListingKey(tag).
// - 112 WM_ADD_REMOTE_ITEMS (sent): wParam = const RemoteEntryBatch*, valid during the call,
//   lParam = 0. The listing job hands entries over in batches, in server order, so that a
//   folder of tens of thousands of entries does not cost one thread switch each. The batch
//   carries the listing's tag (CMyThread::m_nListingTag) and, beside the records, each entry's
//   byte count and time as numbers (RemoteEntryValues), which the window shows and adds up.
// - WM_USAGE_UPDATE wParam: the listing's tag (0 from an untagged listing); lParam =
//   ListingOutcomeParam(): bits 0-1 LISTING_COMPLETE, LISTING_CUT (entries arrived, then it
//   broke) or LISTING_FAILED (none did), bits 2-7 why. Also posted by a listing that could not
//   connect, unless it was the login's check.
// - 116 WM_REMOTE_FOLDER_EMPTY (sent to the remote list view): wParam = the listing's tag,
//   lParam = 0. The window thread shows the message box; the listing
//   goes on once the user has closed it.
// - 114 WM_TRANSFER_PROGRESS (posted to the command view): wParam = bits 0-47 bytes of the
//   current file done, bits 48-63 the job's id (TransferProgressParam(), ProgressBytes(),
//   ProgressJobOf()); lParam = its size in bytes (-1 when unknown); at most about ten a second
//   per job.
#include "TransferFailure.h"
#include "platform/WinTypes.h"

constexpr UINT WM_LOGIN_RESULT = 110;
constexpr UINT WM_ADD_REMOTE_ITEM = 111;
constexpr UINT WM_ADD_REMOTE_ITEMS = 112;
constexpr UINT WM_TRANSFER_DONE = 113;
constexpr UINT WM_TRANSFER_PROGRESS = 114;
constexpr UINT WM_REFRESH_REMOTE = 115;
constexpr UINT WM_REMOTE_FOLDER_EMPTY = 116;
constexpr UINT WM_REMOTE_DELETED = 117;
constexpr UINT WM_USAGE_UPDATE = 119;

// WM_TRANSFER_DONE parameters.
constexpr WPARAM TRANSFER_SUCCEEDED = 1;
constexpr WPARAM TRANSFER_FAILED = 2;
constexpr LPARAM TRANSFER_UPLOAD = 1;
constexpr LPARAM TRANSFER_DOWNLOAD = 2;

// Job ids travel in 16 bits; 0 is a report that names no job.
constexpr unsigned TRANSFER_JOB_MASK = 0xFFFF;

constexpr WPARAM TransferDoneParam(bool bSucceeded, ETransferFailure eFailure, unsigned nJobId)
{
    return (bSucceeded ? TRANSFER_SUCCEEDED : TRANSFER_FAILED) |
           (static_cast<WPARAM>(eFailure & 0x3F) << 2) |
           (static_cast<WPARAM>(nJobId & TRANSFER_JOB_MASK) << 8);
}
constexpr WPARAM TransferOutcome(WPARAM wParam)
{
    return wParam & 0x3;
}
constexpr ETransferFailure TransferFailureOf(WPARAM wParam)
{
    return static_cast<ETransferFailure>((wParam >> 2) & 0x3F);
}
constexpr unsigned TransferJobOf(WPARAM wParam)
{
    return static_cast<unsigned>(wParam >> 8) & TRANSFER_JOB_MASK;
}

constexpr int kProgressByteBits = 48;
static_assert(sizeof(WPARAM) >= 8, "progress packs bytes and a job id into one wParam");
constexpr WPARAM TransferProgressParam(std::int64_t nDone, unsigned nJobId)
{
    constexpr WPARAM nByteMask = (WPARAM(1) << kProgressByteBits) - 1;
    return (static_cast<WPARAM>(nDone < 0 ? 0 : nDone) & nByteMask) |
           (static_cast<WPARAM>(nJobId & TRANSFER_JOB_MASK) << kProgressByteBits);
}
constexpr std::int64_t ProgressBytes(WPARAM wParam)
{
    return static_cast<std::int64_t>(wParam & ((WPARAM(1) << kProgressByteBits) - 1));
}
constexpr unsigned ProgressJobOf(WPARAM wParam)
{
    return static_cast<unsigned>(wParam >> kProgressByteBits) & TRANSFER_JOB_MASK;
}

// WM_REMOTE_DELETED lParam.
constexpr LPARAM DELETE_SUCCEEDED = 1;
constexpr LPARAM DELETE_FAILED = 2;
constexpr LPARAM DeleteDoneParam(bool bDeleted, ETransferFailure eFailure, unsigned nJobId)
{
    return static_cast<LPARAM>(TransferDoneParam(bDeleted, eFailure, nJobId));
}
constexpr LPARAM DeleteOutcome(LPARAM lParam)
{
    return lParam & 0x3;
}

// WM_USAGE_UPDATE lParam.
enum EListingOutcome : int { LISTING_COMPLETE = 0, LISTING_CUT = 1, LISTING_FAILED = 2 };
constexpr LPARAM ListingOutcomeParam(EListingOutcome eOutcome, ETransferFailure eFailure)
{
    return eOutcome | (static_cast<LPARAM>(eFailure & 0x3F) << 2);
}
constexpr EListingOutcome ListingOutcomeOf(LPARAM lParam)
{
    return static_cast<EListingOutcome>(lParam & 0x3);
}
