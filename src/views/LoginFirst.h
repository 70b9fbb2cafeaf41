#pragma once
// BACKUP, RESTORE, Delete File and Refresh work on the logged-in account. Without one (the
// login was quit) they would only fail later with a connection error, so they say first that
// the user must log in, and do nothing.
class QWidget;

// True once a login has succeeded in this run.
bool IsLoggedIn();
// True when logged in; otherwise tells the user so in a message box over pParent's window
// and returns false.
bool CheckLoggedIn(QWidget* pParent);
