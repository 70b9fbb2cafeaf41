#pragma once
// What the window and a running job share while the job runs: the window asks it to stop,
// and reads how far it got on a timer of its own. Held by both through a shared_ptr, so
// neither outlives the other's use of it; every field is atomic.
#include <atomic>
#include <cstdint>

struct CJobState {
    std::atomic<bool> bCancel{false};
    std::atomic<std::int64_t> nDone{0};   // bytes of the current file moved so far
    std::atomic<std::int64_t> nTotal{-1}; // its size; -1 while unknown
};
