#pragma once
// The login dialog: the user names the FTP account, Login checks it by connecting once
// and, when the connection opens, makes it the account of every later job.
//
// The check is a job on a worker thread: the dialog stays responsive while it connects (at
// most the session's connect time-out, 20 s by default), and Quit or Esc stops it at once.
// A successful login emits loggedIn, on which the remote list is listed.
#include "AccountStore.h"
#include "transfer/JobReports.h"
#include "transfer/JobState.h"

#include <QDialog>
#include <QString>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

class CLoginDlg : public QDialog
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

    // A text for the status line from elsewhere (a listing that found no server).
    void OnLoginResult(const QString& strText);
    // True while a Login press's check runs.
    bool IsChecking() const { return m_pCheck != nullptr; }

    QLabel* m_staticStatus = nullptr; // control 1006
    QLabel* m_staticReason = nullptr; // why the last login failed, below the status line
    QString m_strUserName;            // edit 1003
    QString m_strPassword;            // edit 1004
    QString m_strServer;              // edit 1021

protected:
    // Runs when the dialog is shown for a modal run: loads the remembered account into the
    // edits.
    virtual void OnInitDialog();
    // Button 1007, the default button: also Enter.
    virtual void OnLogin();
    // The check job's answer.
    void OnLoginChecked(const LoginReport& report);

    // true: edits -> fields; false: fields -> edits.
    void UpdateData(bool bSaveAndValidate);

    void done(int nResult) override;
    void showEvent(QShowEvent* pEvent) override;

private:
    void CreateControls();
    void SetStatus(const QString& strText);
    // Stops a check still running; its answer is then not waited for.
    void StopCheck();

    QLineEdit* m_editServer = nullptr;
    QLineEdit* m_editUserName = nullptr;
    QLineEdit* m_editPassword = nullptr;
    QPushButton* m_btnLogin = nullptr;
    QPushButton* m_btnQuit = nullptr;

    bool m_bInitialised = false;
    std::shared_ptr<CJobState> m_pCheck; // the running check's, null when none runs
    unsigned m_nCheckJob = 0;

signals:
    void loggedIn();
};
