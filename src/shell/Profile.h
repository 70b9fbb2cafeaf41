#pragma once
// The per-user profile of the program: an INI file of QSettings, organisation
// "Local AppWizard-Generated Applications", application "Mossvale", in the user's config
// folder ($XDG_CONFIG_HOME). It holds the recent-file list, the command-bar state under
// "CommandBars" and the Online Support address.
#include "resources/Texts.h"

#include <QSettings>
#include <memory>

class CProfile
{
public:
    static constexpr const char* ORGANISATION = "Local AppWizard-Generated Applications";
    static constexpr const char* APPLICATION = Texts::APP_NAME;

    static std::unique_ptr<QSettings> Open();
};
