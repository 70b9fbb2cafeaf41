#pragma once
// The temporary files our transfers leave beside their targets until they are complete:
// ".mossvale-" + 16 lower-case hex digits + ".part" on the server (an upload before its
// rename), ".mossvale-" + 6 letters or digits locally (a restore before its rename). A crash
// or a lost connection can leave one behind; one older than an hour belongs to no running
// transfer, since a transfer that moves no data for a minute gives up.
#include <ctime>
#include <string>

class CTemporaries
{
public:
    // Exactly the name an upload gives its temporary, nothing more general.
    static bool IsUploadTemporary(const std::string& strName);
    static std::string NewUploadName();
    // ".mossvale-" + 16 hex digits + ".old": a file's old copy, set aside on an SFTP server
    // for the moment its new copy takes the name. Neither hidden nor ever deleted as stale:
    // should a broken connection leave one behind, it is the user's old copy.
    static std::string NewAsideName();
    // Exactly the name mkstemp makes of RestoreTemplate().
    static bool IsRestoreTemporary(const std::string& strName);
    static std::string RestoreTemplate(); // for mkstemp: ends in "XXXXXX"

    // Written more than an hour before tNow; never for an unknown time (0).
    static bool IsStale(std::time_t tWritten, std::time_t tNow);
    // Deletes the stale restore temporaries in a local folder: regular files of ours only,
    // never through a link. Failures are ignored: the next restore tries again.
    static void RemoveStaleLocal(const std::string& strFolder, std::time_t tNow);
};
