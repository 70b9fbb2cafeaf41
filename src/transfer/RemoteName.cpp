#include "RemoteName.h"

#include "FtpAddress.h"

#include <string>

bool IsFolderLink(std::string_view name)
{
    return name == "." || name == "..";
}

bool IsSafeRemoteName(std::string_view name)
{
    return !name.empty() && !IsFolderLink(name) && name.find('/') == std::string_view::npos &&
           CFtpAddress::IsSafeText(std::string(name));
}

bool IsSafeRemotePath(std::string_view path)
{
    for (;;) {
        const std::size_t nSlash = path.find('/');
        if (!IsSafeRemoteName(path.substr(0, nSlash)))
            return false;
        if (nSlash == std::string_view::npos)
            return true;
        path.remove_prefix(nSlash + 1);
    }
}
