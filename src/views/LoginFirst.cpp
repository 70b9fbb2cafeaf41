#include "LoginFirst.h"

#include "resources/Texts.h"

#include <QMessageBox>

bool CheckLoggedIn(const CBackupSession* pSession, QWidget* pParent)
{
    if (pSession)
        return true;
    QMessageBox::information(pParent ? pParent->window() : nullptr, Texts::AppName(),
                             Texts::LogInFirst());
    return false;
}
