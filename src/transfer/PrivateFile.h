#pragma once
// A small file of the user's own (trusted certificates, known hosts): written whole beside its
// place and renamed over it, readable by its owner alone, so a crash leaves the old contents or
// the new ones and nobody else reads either. Its folder is made (0700) when it is missing.
#include <string>

// False when the file could not be written; the old contents then stay.
bool WritePrivateFile(const std::string& strPath, const std::string& strText);
