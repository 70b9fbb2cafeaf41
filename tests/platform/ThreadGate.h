#pragma once
// A job for test threads: CountRun counts that it ran; RunUntilOpen holds its thread until the
// test opens the gate, then counts. The gate outlives every thread started on it.
#include <atomic>
#include <chrono>
#include <thread>

struct ThreadGate {
    std::atomic<int> nRuns{0};
    std::atomic<bool> bOpen{false};
};

inline unsigned CountRun(void* pParam)
{
    static_cast<ThreadGate*>(pParam)->nRuns++;
    return 0;
}

inline unsigned RunUntilOpen(void* pParam)
{
    auto* pGate = static_cast<ThreadGate*>(pParam);
    while (!pGate->bOpen)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pGate->nRuns++;
    return 0;
}
