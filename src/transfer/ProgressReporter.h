#pragma once
// Posts WM_TRANSFER_PROGRESS for one file to the command view, at most about ten times a
// second, plus the first and the last figure, so a fast transfer does not flood the window.
#include <chrono>
#include <cstdint>

class CProgressReporter
{
public:
    explicit CProgressReporter(unsigned nJobId) : m_nJobId(nJobId) {}
    void operator()(std::int64_t nDone, std::int64_t nTotal);

private:
    unsigned m_nJobId; // echoed in every report
    std::chrono::steady_clock::time_point m_lastPost{};
    bool m_bPosted = false;
    std::int64_t m_nLastDone = -1;
};
