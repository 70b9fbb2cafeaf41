#include "JobPool.h"

#include "MyThread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {
// Jobs wait on servers, not on the processor: a silent server must not hold up the next
// job, so there are threads enough for every job the user can start by hand.
constexpr int kMaxThreads = 64;
// After the wait at exit, what cancelled jobs get to notice it.
constexpr int kCancelledWaitMs = 1000;
} // namespace

CJobPool& CJobPool::Get()
{
    static auto* s_pPool = new CJobPool;
    return *s_pPool;
}

CJobPool::CJobPool()
{
    m_threads.setMaxThreadCount(kMaxThreads);
    m_threads.setExpiryTimeout(30000);
    qRegisterMetaType<TransferReport>();
    qRegisterMetaType<RemoteItems>();
    qRegisterMetaType<ListingReport>();
    qRegisterMetaType<DeletionReport>();
    qRegisterMetaType<LoginReport>();
}

unsigned CJobPool::Start(std::unique_ptr<CMyThread> pOwned)
{
    std::shared_ptr<CMyThread> pJob(pOwned.release());
    if (pJob->m_nJobId == 0) {
        do {
            ++m_nLastId;
        } while (m_nLastId == 0 || m_running.count(m_nLastId) != 0);
        pJob->m_nJobId = m_nLastId;
    }
    const unsigned nJobId = pJob->m_nJobId;
    m_running.emplace(nJobId, pJob);
    // The worker hands its reference back with the end notice, so the job is always freed
    // here, on the thread it belongs to, after every report it queued.
    m_threads.start([this, pJob]() mutable {
        pJob->Run();
        QMetaObject::invokeMethod(
            this, [this, pJob = std::move(pJob)] { OnJobReturned(pJob); }, Qt::QueuedConnection);
    });
    return nJobId;
}

void CJobPool::OnJobReturned(const std::shared_ptr<CMyThread>& pJob)
{
    const unsigned nJobId = pJob->m_nJobId;
    m_running.erase(nJobId);
    emit jobEnded(nJobId);
    if (m_running.empty())
        emit allJobsEnded();
}

int CJobPool::RunningTransfers() const
{
    int nCount = 0;
    for (const auto& running : m_running)
        nCount += running.second->IsTransfer();
    return nCount;
}

void CJobPool::CancelAll()
{
    for (const auto& running : m_running)
        running.second->Cancel();
}

void CJobPool::CancelAllForQuit(int nWaitMs)
{
    if (!m_bQuitting)
        m_quitDeadline = QDeadlineTimer(nWaitMs);
    m_bQuitting = true;
    CancelAll();
}

bool CJobPool::WaitForAll(int nTimeoutMs)
{
    // A poll rather than a nested event loop: it must also work after the application's
    // loop has ended, when a new loop would return at once.
    const QDeadlineTimer deadline(nTimeoutMs);
    while (!m_running.empty() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!m_running.empty())
            QThread::msleep(5);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return m_running.empty();
}

int FinishJobsForExit(int nResult, int nWaitMs)
{
    CJobPool& pool = CJobPool::Get();
    if (pool.IsQuitting()) {
        // The user cancelled everything to quit: what is left of the time given then.
        if (pool.WaitForAll(pool.QuitTimeLeftMs()))
            return nResult;
    } else {
        if (pool.WaitForAll(nWaitMs))
            return nResult;
        pool.CancelAll();
        if (pool.WaitForAll(kCancelledWaitMs))
            return nResult;
    }
    // A job still runs and did not notice its cancel. Returning would destroy the statics it
    // uses (the account, curl's global state) under it, so the process ends here without
    // running destructors.
    std::fflush(nullptr);
    std::_Exit(nResult);
}
