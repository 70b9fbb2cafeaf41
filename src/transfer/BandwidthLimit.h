#pragma once
// The user's bandwidth limits, one for uploads and one for restores, shared by every connection
// of the process: each transfer draws the bytes it is about to move from its direction's
// budget, and waits when the budget is spent. The budget is a schedule, not a per-connection
// share: two uploads at once together move what one would alone.
//
// Thread-safe; the transfers' libcurl callbacks call Take() on their worker threads.
#include <atomic>
#include <cstddef>
#include <cstdint>

class CBandwidthLimit
{
public:
    enum EDirection { Upload = 0, Download = 1 };

    // Bytes a second; 0 for no limit. Takes effect for the bytes taken next.
    static void Set(EDirection eDirection, std::int64_t nBytesPerSecond);
    static std::int64_t Get(EDirection eDirection);

    // How many bytes a transfer should move in one go under the limit, at most nWanted: small
    // enough that the waits stay short and even.
    static std::size_t Chunk(EDirection eDirection, std::size_t nWanted);
    // Waits until nBytes fit the direction's budget, and spends them. Returns at once without
    // a limit, and as soon as *pCancel is set.
    static void Take(EDirection eDirection, std::size_t nBytes,
                     const std::atomic<bool>* pCancel = nullptr);
};
