#pragma once
// The one owner of the program's job threads: uploads, downloads, deletes, listings and the
// folder probes all run on threads this registry creates and frees. A launcher gets a
// number for its thread; it may wait for that thread to end, and otherwise just forgets the
// number. A thread that has ended is joined and freed here, soon after its end (through the
// application's event loop) or at the latest by the next call, so no thread object is left
// behind and no helper thread is needed to delete one.
//
// At exit the application waits for the jobs still running, but only EXIT_WAIT_MS: a job
// stuck on a silent server must not keep the program from ending.
//
// Thread safe. Create, Resume and WaitFor may be called from any thread but a job's own.
#include "WinThread.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

class CJobThreads
{
public:
    static constexpr int EXIT_WAIT_MS = 3000;

    // The registry of the process. It is never destroyed: a destructor would wait without
    // bound for threads still running while the statics go.
    static CJobThreads& Get();

    // A suspended thread that will run pfnProc(pParam); 0 when none could be created.
    unsigned Create(AFX_THREADPROC pfnProc, void* pParam, int nPriority);
    void Resume(unsigned nThread);
    // Blocks until the thread has ended, and frees it; true at once for 0 and for a thread
    // already freed. A negative timeout waits without limit; false when the time ran out.
    bool WaitFor(unsigned nThread, int nTimeoutMs = -1);
    // Waits up to nTimeoutMs for every thread to end, answering the messages that jobs send
    // to windows meanwhile when called on the application's thread. True when none is left.
    bool WaitForAll(int nTimeoutMs);
    // The threads held: running, suspended, or ended and not yet freed.
    int Count() const;

private:
    CJobThreads() = default;

    struct Job {
        AFX_THREADPROC pfnProc;
        void* pParam;
        // Set as the job's function has returned; its thread is then about to end.
        std::atomic<bool> bReturned{false};
        // Deleting a thread object waits for its thread (~CWinThread), so a job is never
        // freed under its running function.
        std::unique_ptr<CWinThread> pThread;
    };

    static unsigned RunJob(void* pJob);
    void OnJobReturned();
    // Joins and frees the threads whose jobs have returned.
    void FreeEnded();
    std::shared_ptr<Job> Find(unsigned nThread) const;

    mutable std::mutex m_lock;
    std::condition_variable m_returned;
    std::map<unsigned, std::shared_ptr<Job>> m_jobs;
    unsigned m_nLastId = 0;
};

// What main returns with once the event loop has ended: nResult when every job ended within
// the wait; otherwise the process ends here, at once, with nResult.
int FinishJobsForExit(int nResult, int nWaitMs = CJobThreads::EXIT_WAIT_MS);
