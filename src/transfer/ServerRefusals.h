#pragma once
// What each server and account has refused once (MLSD, SIZE, the rename), so that later
// connections of the session go the way that works at once instead of finding out again
// with every file. Shared by a session and its connections; safe between threads.
#include <map>
#include <mutex>
#include <string>

class CServerRefusals
{
public:
    // REFUSES_LIST_ALL: "LIST -a", the form that does not hide names beginning with a dot.
    enum : unsigned {
        REFUSES_MLSD = 1,
        REFUSES_SIZE = 2,
        // Renames nothing, and the user agreed to have files stored directly instead.
        REFUSES_RENAME = 4,
        REFUSES_LIST_ALL = 8,
        REFUSES_MLST = 16,
        FEATURES_READ = 32, // not a refusal: FEAT was read (REFUSES_SIZE when it lacked SIZE)
        // The commands that set a file's time, each refused for good.
        REFUSES_MFMT = 64,
        REFUSES_MDTM_SET = 128, // vsftpd's "MDTM YYYYMMDDHHMMSS path"
        REFUSES_SITE_UTIME = 256,
    };

    // The bits noted for the account ("server URL\nuser").
    unsigned Of(const std::string& strAccount) const;
    void Note(const std::string& strAccount, unsigned nRefusal);

private:
    mutable std::mutex m_lock;
    std::map<std::string, unsigned> m_refusals;
};
