#include "TransferGlobals.h"

#include <condition_variable>
#include <mutex>

std::atomic<CMsgWnd*> g_pCommandView{nullptr};
std::atomic<CMsgWnd*> g_pRemoteView{nullptr};
std::atomic<CMsgWnd*> g_pLoginDlg{nullptr};
std::atomic<CMsgWnd*> g_pWaitDlg{nullptr};

std::string g_strServer;
std::string g_strUserName;
std::string g_strPassword;

CInternetSession* g_hInternet = nullptr;

std::atomic<int> g_nPendingJobs{0};

namespace {
std::mutex g_barrierLock;
std::condition_variable g_barrierOpened;
unsigned long g_nBarrierOpenings = 0; // how often the count has reached 0
} // namespace

void PassEndBarrier()
{
    std::unique_lock<std::mutex> guard(g_barrierLock);
    if (g_nPendingJobs.fetch_sub(1) == 1) {
        ++g_nBarrierOpenings;
        g_barrierOpened.notify_all();
        return;
    }
    const unsigned long nSeen = g_nBarrierOpenings;
    g_barrierOpened.wait(
        guard, [nSeen] { return g_nPendingJobs.load() == 0 || g_nBarrierOpenings != nSeen; });
}
