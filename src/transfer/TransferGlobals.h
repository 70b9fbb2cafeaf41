#pragma once
// The process-wide state that jobs and windows share. The window pointers are message
// targets, so the engine needs no window class; each window sets its pointer when it
// initialises, on the window thread, and workers read them.
#include <atomic>
#include <string>

class CMsgWnd;
class CInternetSession;

extern std::atomic<CMsgWnd*> g_pCommandView; // receives WM_TRANSFER_DONE, WM_TRANSFER_PROGRESS
extern std::atomic<CMsgWnd*> g_pRemoteView;  // receives the listing, deletion and refresh reports
extern std::atomic<CMsgWnd*> g_pLoginDlg;    // null unless the login dialog is open
extern std::atomic<CMsgWnd*> g_pWaitDlg;     // the command view's wait dialog; WM_CLOSE closes it

// The logged-in account, empty until a login succeeds; set and read on the window thread.
extern std::string g_strServer;
extern std::string g_strUserName;
extern std::string g_strPassword;

// The program's FTP session: opened by the login dialog, closed by the main frame.
extern CInternetSession* g_hInternet;

// Upload, download and delete jobs started and not yet past their end barrier.
// Launchers raise it (on the window thread) before resuming the job's thread.
extern std::atomic<int> g_nPendingJobs;

// The end barrier of an entry job: lowers g_nPendingJobs, then waits until it has read 0.
// A job that was asleep while the count touched 0 and rose again still passes.
void PassEndBarrier();
