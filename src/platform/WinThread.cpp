#include "WinThread.h"

#include <chrono>
#include <system_error>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Linux has per-thread nice values under the normal scheduler. Lowering the priority
// always works; raising it needs privileges and is quietly skipped without them.
void ApplyPriority(int nPriority)
{
    if (nPriority == THREAD_PRIORITY_NORMAL)
        return;
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    const int nNice = getpriority(PRIO_PROCESS, tid) - nPriority * 2;
    setpriority(PRIO_PROCESS, tid, nNice);
}

} // namespace

CWinThread::CWinThread(AFX_THREADPROC pfnProc, void* pParam, int nPriority)
    : m_pfnProc(pfnProc), m_pParam(pParam), m_nPriority(nPriority)
{
}

CWinThread::~CWinThread()
{
    if (!m_thread.joinable())
        return;
    if (m_thread.get_id() == std::this_thread::get_id()) {
        m_thread.detach(); // an auto-deleting thread frees itself on its way out
        return;
    }
    {
        // A thread that was never resumed ends without running its function.
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_bResumed)
            m_bAbandoned = true;
        m_bResumed = true;
        m_changed.notify_all();
    }
    m_thread.join();
}

bool CWinThread::Start(bool bSuspended)
{
    m_bResumed = !bSuspended;
    try {
        m_thread = std::thread(&CWinThread::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CWinThread::Run()
{
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait(guard, [this] { return m_bResumed; });
        if (m_bAbandoned)
            return;
    }
    ApplyPriority(m_nPriority);
    m_pfnProc(m_pParam);

    bool bAutoDelete;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bEnded = true;
        bAutoDelete = m_bAutoDelete;
        m_changed.notify_all();
    }
    if (bAutoDelete)
        delete this;
}

void CWinThread::ResumeThread()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_bResumed = true;
    m_changed.notify_all();
}

bool CWinThread::WaitForEnd(int nTimeoutMs)
{
    std::unique_lock<std::mutex> guard(m_lock);
    if (!m_bResumed)
        return true; // never let run: there is nothing to wait for
    auto ended = [this] { return m_bEnded; };
    if (nTimeoutMs < 0) {
        m_changed.wait(guard, ended);
        return true;
    }
    return m_changed.wait_for(guard, std::chrono::milliseconds(nTimeoutMs), ended);
}

bool CWinThread::HasEnded() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bEnded;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnProc, void* pParam, int nPriority, unsigned dwFlags)
{
    auto* pThread = new CWinThread(pfnProc, pParam, nPriority);
    if (!pThread->Start((dwFlags & CREATE_SUSPENDED) != 0)) {
        delete pThread;
        return nullptr;
    }
    return pThread;
}
