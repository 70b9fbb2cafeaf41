#pragma once
// Drives the running program as a user does, with mouse and key events: the login dialog,
// the folder tree, the menus, the remote list. Shared by the whole-program test and the
// screenshot tool.
#include "tree/FolderTreeCtrl.h"

#include <QString>

#include <functional>

class CMainFrame;
class CMossvaleApp;
class QDialog;
class QMessageBox;

class CAppDriver
{
public:
    explicit CAppDriver(CMossvaleApp* pApp) : m_pApp(pApp) {}

    CMainFrame* Frame() const;
    CFolderTreeCtrl& Tree() const;

    // Runs the login dialog modally (from File > Log In with bFromMenu) and fills it in;
    // true once logged in.
    bool LogIn(const QString& strServer, const QString& strUser, const QString& strPassword,
               bool bFromMenu = false);
    // The child of hParent labelled strText, or null.
    HTREEITEM Child(HTREEITEM hParent, const QString& strText) const;
    // Selects an item by its label and opens it with the Right key.
    void OpenItem(HTREEITEM hItem);
    void ClickBox(HTREEITEM hItem);
    // Opens a menu of the menu bar and clicks one of its commands; false when not found.
    bool ChooseMenu(const QString& strMenu, unsigned nCommand);
    // The remote list's row labelled strName, or -1.
    int RowOf(const QString& strName) const;
    void ClickRow(const QString& strName);

    // Calls fnAnswer with the next modal message box once it is up, inside its modal loop.
    static void WhenMessageBox(std::function<void(QMessageBox*)> fnAnswer);
    static void WhenModalDialog(std::function<void(QDialog*)> fnAnswer);
    // Presses the message box's OK button.
    static void PressOk(QMessageBox* pBox);
    // A machine of the run's own under strHome: one drive mounted at strDrive (made when
    // missing) and the layout files there too, so no test sees the real disks or settings.
    static bool UseOwnMachine(const QString& strHome, const QString& strDrive);

private:
    CMossvaleApp* m_pApp;
};
