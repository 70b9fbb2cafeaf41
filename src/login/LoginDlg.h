#pragma once
// The login dialog: the user names the FTP account, Login checks it by connecting once
// and, when the connection opens, makes the session every later job runs with (Session()).
//
// The check is a job on a worker thread: the dialog stays responsive while it connects (at
// most the session's connect time-out, 20 s by default), and Quit or Esc stops it at once.
// A successful login emits loggedIn, on which the remote list is listed.
//
// Nothing secret crosses the network in clear text unless the user agrees: TLS is asked for,
// and a server that does not offer it is used in clear only after the user says so (once per
// server and account, remembered, and only while the server offers no TLS: once it has, the
// consent goes, and a server that stops offering TLS is met with a warning). A certificate that the
// system's authorities do not vouch for, or an SFTP host key not seen before, is shown before the
// user name is sent, to be trusted or not; one that differs from the key trusted before is refused
// with a warning that shows both, and is trusted only in a second, deliberate step. The password is
// remembered only once it has logged in, in the keyring where there is one (CRememberedPassword).
#include "AccountStore.h"
#include "RememberedPassword.h"
#include "transfer/JobReports.h"
#include "transfer/JobState.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <string>

class CBackupSession;
class CInternetSession;
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
    // The account that logged in, with its session; null until a login has succeeded.
    const std::shared_ptr<CBackupSession>& Session() const { return m_pSession; }
    // True while a Login press waits for the keyring, while its check runs, and while its
    // password is being put away.
    bool IsChecking() const { return m_pCheck != nullptr || m_bSaving || m_bLoginWhenLoaded; }

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
    void OnPasswordLoaded(const QString& strPassword, bool bNoKeyring);
    void StartCheck();
    // Stops a check still running; its answer is then not waited for.
    void StopCheck();
    void ShowFailure(const LoginReport& report);
    // Once the server has let the account in: remembers it, then logs in for good.
    void OnLoginProven();
    // The user's word (asked now, or remembered) to go on in clear text, or to trust the
    // certificate the server showed; each true when the check is worth trying again.
    bool AgreeToClearText();
    bool AgreeToTrust(const CertificateInfo& certificate);
    bool AgreeToTrust(const HostKeyInfo& hostKey);
    // A certificate or host key other than the one trusted: shown beside the old one, and
    // trusted only after a second question.
    bool AgreeToReplace(const LoginReport& report);
    bool AskToTrust(const QString& strText, const QString& strDetails, const QString& strProblem,
                    const QString& strTrustButton);

    QLineEdit* m_editServer = nullptr;
    QLineEdit* m_editUserName = nullptr;
    QLineEdit* m_editPassword = nullptr;
    QPushButton* m_btnLogin = nullptr;
    QPushButton* m_btnQuit = nullptr;

    bool m_bInitialised = false;
    std::shared_ptr<CJobState> m_pCheck;           // the running check's, null when none runs
    std::shared_ptr<CInternetSession> m_pInternet; // the session of the latest Login press
    std::shared_ptr<CBackupSession> m_pSession;
    unsigned m_nCheckJob = 0;
    std::string m_strServerKey;      // "host:port" of the server being checked
    bool m_bTlsByDefault = false;    // its text names no encryption: TLS asked for, not demanded
    bool m_bSaving = false;          // the login worked; the password is being put away
    unsigned m_nPasswordLoad = 0;    // the latest load: an answer for an earlier one is dropped
    bool m_bPasswordPending = false; // the keyring has not answered yet
    bool m_bLoginWhenLoaded = false; // Login was pressed meanwhile
    CRememberedPassword m_password;

signals:
    void loggedIn();
};
