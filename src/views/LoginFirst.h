#pragma once
// BACKUP, RESTORE, Delete File and Refresh work on the logged-in account. Without one (the
// login was quit) they would only fail later with a connection error, so they say first that
// the user must log in, and do nothing.
class CBackupSession;
class QWidget;

// True when there is a session (a login has succeeded); otherwise tells the user so in a
// message box over pParent's window and returns false.
bool CheckLoggedIn(const CBackupSession* pSession, QWidget* pParent);
