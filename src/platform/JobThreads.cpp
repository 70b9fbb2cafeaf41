#include "JobThreads.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool OnApplicationThread()
{
    const QCoreApplication* pApp = QCoreApplication::instance();
    return pApp && pApp->thread() == QThread::currentThread();
}

} // namespace

CJobThreads& CJobThreads::Get()
{
    static auto* s_pThreads = new CJobThreads;
    return *s_pThreads;
}

unsigned CJobThreads::Create(AFX_THREADPROC pfnProc, void* pParam, int nPriority)
{
    FreeEnded();
    auto pJob = std::make_shared<Job>();
    pJob->pfnProc = pfnProc;
    pJob->pParam = pParam;
    CWinThread* pThread = AfxBeginThread(RunJob, pJob.get(), nPriority, CREATE_SUSPENDED);
    if (!pThread)
        return 0;
    pThread->m_bAutoDelete = false; // still suspended: it cannot have read the flag yet
    pJob->pThread.reset(pThread);
    std::lock_guard<std::mutex> guard(m_lock);
    do {
        ++m_nLastId;
    } while (m_nLastId == 0 || m_jobs.count(m_nLastId) != 0);
    m_jobs.emplace(m_nLastId, std::move(pJob));
    return m_nLastId;
}

void CJobThreads::Resume(unsigned nThread)
{
    if (const std::shared_ptr<Job> pJob = Find(nThread))
        pJob->pThread->ResumeThread();
}

bool CJobThreads::WaitFor(unsigned nThread, int nTimeoutMs)
{
    std::shared_ptr<Job> pJob = Find(nThread);
    if (!pJob)
        return true;
    if (!pJob->pThread->WaitForEnd(nTimeoutMs))
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_jobs.erase(nThread); // the last reference, pJob, joins the thread on its way out
    return true;
}

bool CJobThreads::WaitForAll(int nTimeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    // A job may be blocked in a message it sends to a window: it is answered from here.
    const bool bPump = OnApplicationThread();
    for (;;) {
        FreeEnded();
        if (Count() == 0)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (bPump)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::unique_lock<std::mutex> guard(m_lock);
        m_returned.wait_for(guard, std::chrono::milliseconds(10));
    }
}

int CJobThreads::Count() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<int>(m_jobs.size());
}

unsigned CJobThreads::RunJob(void* pParam)
{
    auto* pJob = static_cast<Job*>(pParam);
    const unsigned nResult = pJob->pfnProc(pJob->pParam);
    pJob->bReturned = true;
    Get().OnJobReturned();
    return nResult;
}

void CJobThreads::OnJobReturned()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_returned.notify_all();
    }
    // Freed on the application's thread soon after; without an event loop, by the next call.
    if (QCoreApplication* pApp = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            pApp, [] { Get().FreeEnded(); }, Qt::QueuedConnection);
}

void CJobThreads::FreeEnded()
{
    std::vector<std::shared_ptr<Job>> ended;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto it = m_jobs.begin(); it != m_jobs.end();) {
            if (it->second->bReturned) {
                ended.push_back(std::move(it->second));
                it = m_jobs.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Joined outside the lock: a thread that has just returned may still be on its last lines.
}

std::shared_ptr<CJobThreads::Job> CJobThreads::Find(unsigned nThread) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_jobs.find(nThread);
    return it == m_jobs.end() ? nullptr : it->second;
}

int FinishJobsForExit(int nResult, int nWaitMs)
{
    if (CJobThreads::Get().WaitForAll(nWaitMs))
        return nResult;
    // A job still runs, on a server that does not answer. Returning would destroy the
    // statics it uses (the account, the session, curl's global state) under it, and the
    // registry could not join it, so the process ends here without running destructors.
    std::fflush(nullptr);
    std::_Exit(nResult);
}
