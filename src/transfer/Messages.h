#pragma once
// Window messages between the transfer jobs and the windows. The numbers are plain
// message values, not offsets from a user-message base.
//
// No.  Name                  Sender -> receiver                  Way     wParam / lParam
// 110  WM_LOGIN_RESULT       listing job without connection      sent    0 / const char* status text,
//                            -> login dialog                             valid during the call
// 111  WM_ADD_REMOTE_ITEM    (one entry) -> remote list view     sent    const RemoteEntry* / 4, not read
// 113  WM_TRANSFER_DONE      upload job at its end,              posted  see below / 1 upload, 2 download
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
// - WM_TRANSFER_DONE wParam: 1 = the job succeeded, 2 = it failed. Both are non-zero, so a
//   receiver that only asks "did a job end" still sees every report. The upload reports
//   either; a download that failed reports (2, 2) instead of staying silent.
// - WM_REMOTE_DELETED: wParam = RemoteNameKey() of the file's name, so the list can find the
//   row of that name whatever is selected; lParam = 1 deleted, 2 the delete failed.
// - 112 WM_ADD_REMOTE_ITEMS (sent): wParam = const RemoteEntryBatch*, valid during the call,
//   lParam = 0. The listing job hands entries over in batches, in server order, so that a
//   folder of tens of thousands of entries does not cost one thread switch each. The batch
//   carries the listing's tag (CMyThread::m_nListingTag).
// - WM_USAGE_UPDATE wParam: the listing's tag (0 from an untagged listing).
// - 116 WM_REMOTE_FOLDER_EMPTY (sent to the remote list view): wParam = the listing's tag,
//   lParam = const char* message text. The window thread shows the message box; the listing
//   goes on once the user has closed it.
// - 114 WM_TRANSFER_PROGRESS (posted to the command view): wParam = bytes of the current file
//   done, lParam = its size in bytes (-1 when unknown); at most about ten a second per job.
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

// WM_REMOTE_DELETED lParam.
constexpr LPARAM DELETE_SUCCEEDED = 1;
constexpr LPARAM DELETE_FAILED = 2;
