#pragma once
// Worker threads as the program was designed around them: created suspended with a
// priority, resumed once the job is fully set up, and either deleting their own thread
// object when they end (auto-delete) or kept by their owner, who waits for the end and
// then deletes the object.
#include <condition_variable>
#include <mutex>
#include <thread>

enum {
    THREAD_PRIORITY_BELOW_NORMAL = -1,
    THREAD_PRIORITY_NORMAL = 0,
    THREAD_PRIORITY_ABOVE_NORMAL = 1,
};
constexpr unsigned CREATE_SUSPENDED = 0x4;

using AFX_THREADPROC = unsigned (*)(void* pParam);

class CWinThread
{
public:
    // Deleting a thread object whose thread still runs waits for that thread first.
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Lets a suspended thread run. Only the first call has an effect.
    void ResumeThread();
    // Blocks until the thread function has returned (true at once when it never ran).
    // A negative timeout waits without limit; false when the time ran out.
    bool WaitForEnd(int nTimeoutMs = -1);
    bool HasEnded() const;

    bool m_bAutoDelete = true;

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, void*, int, unsigned);
    CWinThread(AFX_THREADPROC pfnProc, void* pParam, int nPriority);
    bool Start(bool bSuspended);
    void Run();

    AFX_THREADPROC m_pfnProc;
    void* m_pParam;
    int m_nPriority;
    std::thread m_thread;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bResumed = false;
    bool m_bEnded = false;
    bool m_bAbandoned = false;
};

// Creates a worker thread running pfnProc(pParam). With CREATE_SUSPENDED in dwFlags it
// waits for ResumeThread. Null when the thread could not be created.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnProc, void* pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, unsigned dwFlags = 0);
