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
        REFUSES_RENAME = 4,
        REFUSES_LIST_ALL = 8,
        RENAMES = 16, // not a refusal: the server was seen renaming a temporary of ours
        // The commands that set a file's time, each refused for good.
        REFUSES_MFMT = 32,
        REFUSES_MDTM_SET = 64, // vsftpd's "MDTM YYYYMMDDHHMMSS path"
        REFUSES_SITE_UTIME = 128,
    };

    // The bits noted for the account ("server URL\nuser").
    unsigned Of(const std::string& strAccount) const;
    void Note(const std::string& strAccount, unsigned nRefusal);

private:
    mutable std::mutex m_lock;
    std::map<std::string, unsigned> m_refusals;
};
