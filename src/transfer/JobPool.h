#pragma once
// The one owner of the program's jobs: it runs each on a thread of its own pool and deletes
// it, on the window thread, once the job has returned. A launcher makes a job, connects to its
// reports and hands it over; nothing on the window thread ever waits for a job, except
// WaitForAll, which keeps the window's events running while it waits.
//
// Its count of running jobs is what every entry job once waited on at its end: the program
// ends its work (the wait dialog, the close of the main window) when it reaches 0.
//
// Window thread only, like the QObject it is.
#include <QDeadlineTimer>
#include <QObject>
#include <QThreadPool>

#include <map>
#include <memory>

class CMyThread;

class CJobPool : public QObject
{
    Q_OBJECT
public:
    // How long the program waits at exit for jobs still running.
    static constexpr int EXIT_WAIT_MS = 3000;
    // How long jobs the user cancelled by quitting get to end; a job still running then (the
    // clean-up of a temporary on a slow server) ends with the process, its temporary left.
    static constexpr int QUIT_WAIT_MS = 1500;

    // The pool of the process, made on the window thread at its first use. It is never
    // destroyed: a job stuck on a silent server must not hold up the end of the process.
    static CJobPool& Get();

    // Gives the job an id when it has none, runs it, and gives the id (never 0).
    unsigned Start(std::unique_ptr<CMyThread> pJob);
    int RunningCount() const { return static_cast<int>(m_running.size()); }
    // Running uploads and downloads: the work that closing the window must not drop silently.
    int RunningTransfers() const;
    void CancelAll();
    // Cancels every job as the user quits: they get nWaitMs in all, here and in
    // FinishJobsForExit, whatever else the program waits for.
    void CancelAllForQuit(int nWaitMs);
    // Whether CancelAllForQuit was called, and the time it leaves.
    bool IsQuitting() const { return m_bQuitting; }
    int QuitTimeLeftMs() const { return static_cast<int>(m_quitDeadline.remainingTime()); }
    // Waits up to nTimeoutMs for every job to end, running the window's events meanwhile.
    // True when none is left.
    bool WaitForAll(int nTimeoutMs);

signals:
    // After the job's last report has been delivered; the job itself is gone by then.
    void jobEnded(unsigned nJobId);
    void allJobsEnded();

private:
    CJobPool();
    void OnJobReturned(const std::shared_ptr<CMyThread>& pJob);

    QThreadPool m_threads;
    std::map<unsigned, std::shared_ptr<CMyThread>> m_running;
    unsigned m_nLastId = 0;
    bool m_bQuitting = false;
    QDeadlineTimer m_quitDeadline;
};

// What main returns with once the event loop has ended: nResult when every job ended within
// the wait (jobs still running after it are cancelled and given a moment more); otherwise
// the process ends here, at once, with nResult.
int FinishJobsForExit(int nResult, int nWaitMs = CJobPool::EXIT_WAIT_MS);
