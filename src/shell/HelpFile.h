#pragma once
// The program's own help: an HTML page (docs/help.html in the sources) beside the program
// in a build, or where the install puts it (share/doc/Mossvale/), shown in the user's browser.
#include <QString>

class QWidget;

class CHelpFile
{
public:
    // The page found beside the program or in the install's share folder; empty when neither
    // holds it.
    static QString Path();
    // Opens the page in the browser; says so in a message box when there is none or the
    // desktop cannot open it.
    static void Open(QWidget* pParent);
    // Where the account, the settings with the backup plan, and the history are kept, one
    // place a line, with the home folder written "~".
    static QString PlacesText();
    // Looks in strFolder instead of beside the program (tests); empty returns to the default.
    static void SetFolder(const QString& strFolder);
};
