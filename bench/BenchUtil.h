#pragma once
// Timing helpers shared by the benchmark programs.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <functional>

inline double Seconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

// The best of a few runs: these machines are noisy, and the best run is the least disturbed.
inline double Best(int nRuns, const std::function<double()>& run)
{
    double best = 1e30;
    for (int i = 0; i < nRuns; ++i)
        best = std::min(best, run());
    return best;
}

// The best of a few runs of ours and of a peer, taken in turn, so that a disturbance (the
// disk writing back what an earlier run wrote) falls on both sides alike.
struct BestPair {
    double ours = 1e30;
    double peer = 1e30;
};
inline BestPair BestInTurn(int nRuns, const std::function<double()>& runOurs,
                           const std::function<double()>& runPeer)
{
    BestPair best;
    for (int i = 0; i < nRuns; ++i) {
        best.peer = std::min(best.peer, runPeer());
        best.ours = std::min(best.ours, runOurs());
    }
    return best;
}

// Runs the event loop until the condition holds.
inline void WaitFor(const std::function<bool()>& condition)
{
    while (!condition())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}
