#include "LoginFirst.h"

#include "resources/Texts.h"
#include "transfer/TransferGlobals.h"

#include <QMessageBox>

bool IsLoggedIn()
{
    // Only a successful login sets the account, and the server is never empty then.
    return !g_strServer.empty();
}

bool CheckLoggedIn(QWidget* pParent)
{
    if (IsLoggedIn())
        return true;
    QMessageBox::information(pParent ? pParent->window() : nullptr, Texts::AppName(),
                             Texts::LogInFirst());
    return false;
}
