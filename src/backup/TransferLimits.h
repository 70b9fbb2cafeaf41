#pragma once
// The user's bandwidth limits, in KB/s (0: none), kept in the profile and handed to every
// connection of the process (CBandwidthLimit): one for uploads, one for restores. The window
// applies them when it starts and when they change, `mossvale --backup` before it runs.
class CTransferLimits
{
public:
    static constexpr int kMaxKBps = 1024 * 1024; // 1 GB/s, the largest a field takes

    static int UploadKBps();
    static int RestoreKBps();
    // Keeps both in the profile and applies them.
    static void Save(int nUploadKBps, int nRestoreKBps);
    // Applies the profile's values.
    static void Apply();
};
