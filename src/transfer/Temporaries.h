#pragma once
// The temporary files our transfers leave beside their targets until they are complete:
// ".mossvale-" + 16 hex digits naming the run (this process) + "-" + 16 hex digits + ".part"
// on the server (an upload before its rename; older versions wrote no run), ".mossvale-" + 6
// letters or digits locally (a restore before its rename). A crash or a lost connection can
// leave one behind.
//
// Locally our own clock dates a temporary: one older than an hour belongs to no running
// restore, since a transfer that moves no data for a minute gives up. A server's dates are
// not trusted for that (its clock, or its MLSD times, may be hours off), so a server
// temporary is judged by when this user's runs first saw it, unchanged, in a listing:
// never one of this run (an upload of ours may be writing it), and others only after a day.
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

class CTemporaries
{
public:
    // Exactly the name an upload gives its temporary, nothing more general.
    static bool IsUploadTemporary(const std::string& strName);
    static std::string NewUploadName();
    // Whether an upload temporary was named by this process.
    static bool IsOfThisRun(const std::string& strName);
    // ".mossvale-" + 16 hex digits + ".old": a file's old copy, set aside on an SFTP server
    // for the moment its new copy takes the name. Neither hidden nor ever deleted as stale:
    // should a broken connection leave one behind, it is the user's old copy.
    static std::string NewAsideName();
    // Exactly the name mkstemp makes of RestoreTemplate().
    static bool IsRestoreTemporary(const std::string& strName);
    static std::string RestoreTemplate(); // for mkstemp: ends in "XXXXXX"

    // Written more than an hour before tNow; never for an unknown time (0).
    static bool IsStale(std::time_t tWritten, std::time_t tNow);
    // Notes the upload temporaries that a listing of a folder showed (strFolderKey: the
    // server's URL and the folder, ending in "/"; each name with its size) and returns those
    // first seen more than a day before tNow at the size they have now; one that changed
    // size meanwhile is someone's running upload and counts as seen now. Temporaries of
    // this run are never returned. Kept in $XDG_STATE_HOME/Mossvale/server-temporaries;
    // should that not be written, nothing is ever found stale.
    static std::vector<std::string>
    StaleOnServer(const std::string& strFolderKey,
                  const std::vector<std::pair<std::string, std::int64_t>>& seen, std::time_t tNow);
    // Deletes the stale restore temporaries in a local folder: regular files of ours only,
    // never through a link. Failures are ignored: the next restore tries again.
    static void RemoveStaleLocal(const std::string& strFolder, std::time_t tNow);
};
