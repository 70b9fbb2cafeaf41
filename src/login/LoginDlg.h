#pragma once
// The login dialog: the user names the FTP account, Login checks it by connecting once
// and, when the connection opens, makes it the account of every later job.
//
// Each Login press is one blocking check on the window thread (at most the session's
// connect time-out, 20 s by default). The only entry from other threads is WM_LOGIN_RESULT,
// sent by a listing job that could not connect; the dialog is reachable through g_pLoginDlg
// only while it is open, so such a report never finds a dialog that has gone away.
#include "AccountStore.h"
#include "platform/MsgWnd.h"

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

class CLoginDlg : public QDialog, public CMsgWnd
{
    Q_OBJECT
public:
    enum { IDD = 146 };
    // Control ids of the template.
    enum {
        IDCANCEL = 2,
        IDC_USERNAME = 1003,
        IDC_PASSWORD = 1004,
        IDC_STATUS = 1006,
        IDC_LOGIN = 1007,
        IDC_SERVER = 1021,
    };

    explicit CLoginDlg(QWidget* pParent = nullptr);
    ~CLoginDlg() override;

    // Runs the dialog modally; QDialog::Accepted after a successful login, else Rejected.
    int DoModal();
    // The control of a template id (labels without an id are not reachable); null if none.
    QWidget* GetDlgItem(int nID) const;

    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

    QLabel* m_staticStatus = nullptr; // control 1006
    QLabel* m_staticReason = nullptr; // why the last login failed, below the status line
    QString m_strUserName;            // edit 1003
    QString m_strPassword;            // edit 1004
    QString m_strServer;              // edit 1021

protected:
    // Runs when the dialog is shown for a modal run: takes the g_pLoginDlg slot and loads
    // the remembered account into the edits.
    virtual void OnInitDialog();
    // Button 1007, the default button: also Enter.
    virtual void OnLogin();
    // WM_LOGIN_RESULT: lParam is the UTF-8 text for the status line. Returns 0.
    LRESULT OnLoginResult(WPARAM wParam, LPARAM lParam);

    // true: edits -> fields; false: fields -> edits.
    void UpdateData(bool bSaveAndValidate);

    void done(int nResult) override;
    void showEvent(QShowEvent* pEvent) override;

private:
    void CreateControls();
    void SetStatus(const QString& strText);
    // Gives up the g_pLoginDlg slot if it is still ours.
    void ReleaseSlot();

    QLineEdit* m_editServer = nullptr;
    QLineEdit* m_editUserName = nullptr;
    QLineEdit* m_editPassword = nullptr;
    QPushButton* m_btnLogin = nullptr;
    QPushButton* m_btnQuit = nullptr;

    bool m_bInitialised = false;
};
