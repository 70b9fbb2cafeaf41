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
