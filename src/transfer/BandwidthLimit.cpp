#include "BandwidthLimit.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// What a direction that was idle may move at once: enough that a transfer starting does not
// wait, too little to be seen in a rate measured over seconds.
constexpr auto kBurst = std::chrono::milliseconds(100);
// A waiting transfer looks at its cancel flag this often.
constexpr auto kCancelCheck = std::chrono::milliseconds(20);

struct Budget {
    std::mutex lock;
    std::atomic<std::int64_t> nRate{0};
    // When the bytes taken so far have all been paid for at the rate.
    Clock::time_point paidUntil{};
};

Budget g_budgets[2];

} // namespace

void CBandwidthLimit::Set(EDirection eDirection, std::int64_t nBytesPerSecond)
{
    g_budgets[eDirection].nRate = std::max<std::int64_t>(0, nBytesPerSecond);
}

std::int64_t CBandwidthLimit::Get(EDirection eDirection)
{
    return g_budgets[eDirection].nRate;
}

std::size_t CBandwidthLimit::Chunk(EDirection eDirection, std::size_t nWanted)
{
    const std::int64_t nRate = Get(eDirection);
    if (nRate <= 0)
        return nWanted;
    // A twentieth of a second's worth, but never so little that the calls themselves cost.
    const std::size_t nChunk = static_cast<std::size_t>(std::max<std::int64_t>(nRate / 20, 4096));
    return std::min(nWanted, nChunk);
}

void CBandwidthLimit::Take(EDirection eDirection, std::size_t nBytes,
                           const std::atomic<bool>* pCancel)
{
    Budget& budget = g_budgets[eDirection];
    const std::int64_t nRate = budget.nRate;
    if (nRate <= 0 || nBytes == 0)
        return;
    Clock::time_point ready;
    {
        const std::lock_guard<std::mutex> hold(budget.lock);
        const Clock::time_point now = Clock::now();
        // Time left unused is not saved up: after a pause only the burst goes at once.
        budget.paidUntil = std::max(budget.paidUntil, now);
        budget.paidUntil +=
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                static_cast<double>(nBytes) / static_cast<double>(nRate)));
        ready = budget.paidUntil - kBurst; // the bytes may run this far ahead of their pay
    }
    while (Clock::now() < ready) {
        if (pCancel && pCancel->load())
            return;
        std::this_thread::sleep_for(std::min<Clock::duration>(kCancelCheck, ready - Clock::now()));
    }
}
