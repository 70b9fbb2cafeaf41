#pragma once
// What a name in a server's listing may be used for. Listings come from a server we do not
// control, so a name is checked before it becomes part of a path or a command.
#include <string_view>

// "." and "..": the folder itself and its parent, which some listings show among the
// entries ("LIST -a"), though neither is an entry of the folder.
bool IsFolderLink(std::string_view name);

// A name that may safely be fetched or deleted: not empty, no folder link, and without "/"
// or text that could end an FTP command (CFtpAddress::IsSafeText), so it can neither leave
// the chosen folder nor smuggle in a command.
bool IsSafeRemoteName(std::string_view name);

// A path below a folder ("letters/a.txt") whose every part is a safe name.
bool IsSafeRemotePath(std::string_view path);
