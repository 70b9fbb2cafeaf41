#include "Profile.h"

std::unique_ptr<QSettings> CProfile::Open()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QString::fromLatin1(ORGANISATION),
                                       QString::fromLatin1(APPLICATION));
}
