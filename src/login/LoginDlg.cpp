#include "LoginDlg.h"

#include "backup/BackupSession.h"

#include "widgets/DialogUnits.h"
#include "resources/Texts.h"
#include "transfer/ClearTextAccounts.h"
#include "transfer/FtpAddress.h"
#include "transfer/HostKeyProbe.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"
#include "transfer/TrustStore.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <new>

namespace {

// The template's client size in dialog units; the controls reach to 240 x 135.
constexpr int kTemplateWidth = 247;
constexpr int kTemplateHeight = 143;

QLabel* NewLabel(QWidget* pParent, const CDialogUnits& units, const QString& strText, int x, int y,
                 int cx, int cy)
{
    auto* pLabel = new QLabel(strText, pParent);
    pLabel->setTextFormat(Qt::PlainText);
    units.Place(pLabel, x, y, cx, cy);
    return pLabel;
}

QPushButton* NewButton(QWidget* pParent, const CDialogUnits& units, const QString& strText, int nID,
                       bool bFlat, int x, int y, int cx, int cy)
{
    auto* pButton = new QPushButton(strText, pParent);
    pButton->setObjectName(QString::number(nID));
    if (bFlat) {
        // Flat, as the template asks, but still framed: Qt's flat buttons have no frame at
        // all and read as plain text.
        pButton->setFlat(true);
        pButton->setStyleSheet(QStringLiteral(
            "QPushButton { border: 1px solid palette(dark); background: palette(button); }"
            "QPushButton:focus { border-color: palette(highlight); }"
            "QPushButton:pressed { background: palette(mid); }"));
    }
    units.Place(pButton, x, y, cx, cy);
    return pButton;
}

QLineEdit* NewEdit(QWidget* pParent, const CDialogUnits& units, int nID, int x, int y, int cx,
                   int cy)
{
    auto* pEdit = new QLineEdit(pParent);
    pEdit->setObjectName(QString::number(nID));
    units.Place(pEdit, x, y, cx, cy);
    return pEdit;
}

std::string Utf8(const QString& strText)
{
    return strText.toStdString();
}

} // namespace

CLoginDlg::CLoginDlg(QWidget* pParent)
    // A caption bar without a system menu, so there is no close box; Esc and Quit cancel.
    : QDialog(pParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QString());
    setModal(true);
    CreateControls();
}

CLoginDlg::~CLoginDlg()
{
    StopCheck();
}

void CLoginDlg::CreateControls()
{
    const CDialogUnits units(QStringLiteral("Arial"), 9);
    setFont(units.Font());
    setFixedSize(units.ToPixels(QSize(kTemplateWidth, kTemplateHeight)));

    // Template order, which is also the tab order.
    // Each edit is its label's buddy, so a screen reader names it by the label.
    QLabel* pLabel = NewLabel(this, units, Texts::FtpServerLabel(), 37, 21, 39, 8);
    m_editServer = NewEdit(this, units, IDC_SERVER, 101, 18, 109, 12);
    pLabel->setBuddy(m_editServer);
    pLabel = NewLabel(this, units, Texts::UserNameLabel(), 37, 40, 39, 11);
    m_editUserName = NewEdit(this, units, IDC_USERNAME, 101, 39, 70, 13);
    pLabel->setBuddy(m_editUserName);
    pLabel = NewLabel(this, units, Texts::PasswordLabel(), 37, 65, 43, 13);
    m_editPassword = NewEdit(this, units, IDC_PASSWORD, 101, 63, 72, 14);
    pLabel->setBuddy(m_editPassword);
    m_editPassword->setEchoMode(QLineEdit::Password); // nobody reads it over a shoulder

    m_staticStatus = NewLabel(this, units, Texts::PleaseLogin(), 78, 87, 124, 9);
    m_staticStatus->setObjectName(QString::number(IDC_STATUS));
    // Why a login failed, under the status line where the template's unused check box was.
    m_staticReason = NewLabel(this, units, QString(), 78, 98, 140, 18);
    m_staticReason->setWordWrap(true);
    m_staticReason->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_btnLogin = NewButton(this, units, Texts::LoginButton(), IDC_LOGIN, true, 35, 121, 59, 14);
    m_btnQuit = NewButton(this, units, Texts::QuitButton(), IDCANCEL, true, 164, 121, 51, 14);
    // Enter logs in. The template's hidden buttons and check box had no function and are
    // left out, so a screen reader does not find them.
    m_btnLogin->setDefault(true);
    setAccessibleName(Texts::LoginDialogName());

    QWidget* const tabOrder[] = {m_editServer, m_editUserName, m_editPassword, m_btnLogin,
                                 m_btnQuit};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(m_btnLogin, &QPushButton::clicked, this, [this] { OnLogin(); });
    connect(m_btnQuit, &QPushButton::clicked, this, &QDialog::reject);
}

int CLoginDlg::DoModal()
{
    return exec();
}

QWidget* CLoginDlg::GetDlgItem(int nID) const
{
    return findChild<QWidget*>(QString::number(nID), Qt::FindDirectChildrenOnly);
}

void CLoginDlg::OnInitDialog()
{
    m_strServer.clear();
    m_strUserName.clear();
    m_strPassword.clear();
    CAccountStore::Account remembered;
    CAccountStore store;
    if (store.Open())
        remembered = store.ReadAccount();
    m_strServer = remembered.strServer;
    m_strUserName = remembered.strUserName;
    UpdateData(false);
    // The keyring answers a moment later (or asks the user to unlock it first); what the user
    // types meanwhile wins.
    m_bPasswordPending = true;
    m_password.Load(remembered, this,
                    [this, nLoad = ++m_nPasswordLoad](const QString& strPassword, bool bNoKeyring) {
                        if (nLoad == m_nPasswordLoad)
                            OnPasswordLoaded(strPassword, bNoKeyring);
                    });
}

void CLoginDlg::OnPasswordLoaded(const QString& strPassword, bool bNoKeyring)
{
    m_bPasswordPending = false;
    if (m_editPassword->text().isEmpty()) {
        m_strPassword = strPassword;
        m_editPassword->setText(strPassword);
    }
    if (bNoKeyring && strPassword.isEmpty())
        m_staticReason->setText(Texts::NoKeyringNotice());
    if (m_bLoginWhenLoaded) {
        m_bLoginWhenLoaded = false;
        OnLogin();
    }
}

void CLoginDlg::OnLogin()
{
    // One check at a time; Quit stops it. The button stays enabled: a disabled button would
    // take the keyboard focus away from a user who pressed it with Space.
    if (IsChecking())
        return;
    SetStatus(Texts::LoginWaiting());
    m_staticReason->clear();
    // Login pressed before the keyring answered: the remembered password is on its way.
    if (m_bPasswordPending && m_editPassword->text().isEmpty()) {
        m_bLoginWhenLoaded = true;
        return;
    }

    // Jobs of an earlier session hold it themselves, so the old session may go while they run.
    std::shared_ptr<CInternetSession> pSession(new (std::nothrow) CInternetSession());
    if (!pSession) {
        SetStatus(Texts::ConnectFailed());
        // Nothing can work without a session. This is inside the modal login, with the
        // application object on main's stack, where returning is not possible; jobs of an
        // earlier session get the same wait as at a normal exit.
        FinishJobsForExit(1, CJobPool::EXIT_WAIT_MS);
        std::fflush(nullptr);
        std::_Exit(1);
    }
    m_pInternet = pSession;

    // Nothing is remembered before the server has let the account in: a mistyped password
    // must not replace the good one.
    UpdateData(true);
    CFtpAddress address;
    const bool bParsed = address.Parse(Utf8(m_strServer), INTERNET_DEFAULT_FTP_PORT);
    m_strServerKey = bParsed ? CTrustStore::ServerKey(address.Host(), address.Port()) : "";
    m_bTlsByDefault = bParsed && address.TlsByDefault();
    // An account the user let go in clear text before goes so again; any other demands TLS,
    // so a server that offered it and no longer does is not used in clear without asking.
    CAccountStore store;
    if (m_bTlsByDefault && store.Open() &&
        store.IsClearTextAllowed(QString::fromStdString(m_strServerKey), m_strUserName))
        CClearTextAccounts::Allow(m_strServerKey, Utf8(m_strUserName));
    StartCheck();
}

void CLoginDlg::StartCheck()
{
    // The check connects on a worker; ending it hands the proven connection back to the
    // session, where the first listing picks it up.
    auto pJob = std::make_unique<CMyThread>(
        CMyThread::EKind::LoginCheck,
        CMyThread::Account{Utf8(m_strServer), Utf8(m_strUserName), Utf8(m_strPassword),
                           INTERNET_DEFAULT_FTP_PORT, m_pInternet},
        QByteArray(), LOGIN_CHECK_FOLDER);
    connect(pJob.get(), &CMyThread::loginChecked, this, &CLoginDlg::OnLoginChecked);
    m_pCheck = pJob->State();
    m_nCheckJob = CJobPool::Get().Start(std::move(pJob));
}

void CLoginDlg::OnLoginChecked(const LoginReport& report)
{
    if (!m_pCheck || m_pCheck->bCancel)
        return; // given up meanwhile
    m_pCheck.reset();
    if (report.bConnected) {
        // TLS seen: the account never goes in clear again without the user's word, given
        // anew with a warning.
        CAccountStore store;
        if (report.bEncrypted && m_bTlsByDefault && store.Open()) {
            const QString strServerKey = QString::fromStdString(m_strServerKey);
            store.SetClearTextAllowed(strServerKey, m_strUserName, false);
            store.SetEncrypted(strServerKey, m_strUserName);
        }
        return OnLoginProven();
    }
    const bool bTryAgain =
        (report.eFailure == FAILURE_NO_TLS && m_bTlsByDefault && AgreeToClearText()) ||
        (report.eFailure == FAILURE_CERTIFICATE_UNTRUSTED && AgreeToTrust(report.certificate)) ||
        (report.eFailure == FAILURE_HOST_KEY_UNKNOWN && AgreeToTrust(report.hostKey)) ||
        (report.eFailure == FAILURE_CERTIFICATE_CHANGED && AgreeToReplace(report)) ||
        (report.eFailure == FAILURE_HOST_KEY_CHANGED && AgreeToReplace(report));
    if (bTryAgain)
        return StartCheck();
    ShowFailure(report);
}

void CLoginDlg::ShowFailure(const LoginReport& report)
{
    // The status line says that it failed; the line below it, and its tooltip, say why (a
    // wrong user name or password, or a server that cannot be reached).
    const QString strReason = Texts::ReasonWithReply(Texts::FailureReason(report.eFailure),
                                                     QString::fromUtf8(report.replyLine));
    m_staticStatus->setToolTip(strReason);
    m_staticReason->setText(strReason);
    SetStatus(Texts::ConnectFailed());
    // Someone may be in between: worth more than a line in the dialog, unless the user has
    // just read it beside the two fingerprints.
    if ((report.eFailure == FAILURE_CERTIFICATE_CHANGED && report.certificate.strSha256.empty()) ||
        (report.eFailure == FAILURE_HOST_KEY_CHANGED && report.hostKey.strSha256.empty()))
        QMessageBox::warning(this, Texts::AppName(), strReason);
}

void CLoginDlg::OnLoginProven()
{
    m_staticStatus->setToolTip(QString());
    m_bSaving = true;
    m_password.Save({m_strServer, m_strUserName, m_strPassword}, this, [this] {
        if (!m_bSaving)
            return; // Quit meanwhile: the account is remembered, but nobody logs in
        m_bSaving = false;
        m_pSession = std::make_shared<CBackupSession>(Utf8(m_strServer), Utf8(m_strUserName),
                                                      Utf8(m_strPassword), m_pInternet);
        emit loggedIn();
        QDialog::accept();
    });
}

bool CLoginDlg::AgreeToClearText()
{
    if (CClearTextAccounts::IsAllowed(m_strServerKey, Utf8(m_strUserName)))
        return false;    // it was not TLS that failed
    CAccountStore store; // a store that is not there remembers nothing
    const bool bOpen = store.Open();
    const bool bWasEncrypted =
        bOpen && store.WasEncrypted(QString::fromStdString(m_strServerKey), m_strUserName);
    QMessageBox box(QMessageBox::Warning, Texts::AppName(),
                    Texts::ClearTextQuestion(m_strServer, bWasEncrypted), QMessageBox::Cancel,
                    this);
    QPushButton* pGoOn =
        box.addButton(Texts::ContinueWithoutEncryptionButton(), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() != pGoOn)
        return false;
    if (bOpen)
        store.SetClearTextAllowed(QString::fromStdString(m_strServerKey), m_strUserName, true);
    CClearTextAccounts::Allow(m_strServerKey, Utf8(m_strUserName));
    return true;
}

bool CLoginDlg::AgreeToTrust(const CertificateInfo& certificate)
{
    if (certificate.strSha256.empty() || !m_pInternet)
        return false; // nothing to show: it could not be fetched again
    const auto text = [](const std::string& strText) { return QString::fromStdString(strText); };
    return AskToTrust(Texts::UntrustedCertificateText(m_strServer),
                      Texts::CertificateDetails(
                          text(certificate.strSubject), text(certificate.strIssuer),
                          text(certificate.strNotBefore), text(certificate.strNotAfter),
                          text(certificate.strSha256)),
                      text(certificate.strProblem), Texts::TrustCertificateButton()) &&
           m_pInternet->TrustStore()->Trust(m_strServerKey, certificate.strPublicKeyPin,
                                            certificate.strSha256);
}

bool CLoginDlg::AgreeToTrust(const HostKeyInfo& hostKey)
{
    if (hostKey.eMatch != HostKeyInfo::Unknown || hostKey.strSha256.empty() || !m_pInternet)
        return false;
    return AskToTrust(Texts::UnknownHostKeyText(m_strServer),
                      Texts::HostKeyDetails(QString::fromStdString(hostKey.strType),
                                            QString::fromStdString(hostKey.strSha256)),
                      QString(), Texts::TrustHostKeyButton()) &&
           CHostKeyProbe::Trust(m_pInternet->KnownHostsPath(), hostKey);
}

bool CLoginDlg::AgreeToReplace(const LoginReport& report)
{
    // The warning comes first, with the fingerprint trusted before and the one shown now;
    // trusting the new one takes a second, deliberate step. Cancel is the default of both.
    const bool bCertificate = report.eFailure == FAILURE_CERTIFICATE_CHANGED;
    const CertificateInfo& certificate = report.certificate;
    const HostKeyInfo& hostKey = report.hostKey;
    const std::string& strNew = bCertificate ? certificate.strSha256 : hostKey.strSha256;
    if (strNew.empty() || !m_pInternet || (!bCertificate && hostKey.eMatch != HostKeyInfo::Changed))
        return false;
    const auto text = [](const std::string& strText) { return QString::fromStdString(strText); };
    const QString strNewDetails =
        bCertificate
            ? Texts::CertificateDetails(text(certificate.strSubject), text(certificate.strIssuer),
                                        text(certificate.strNotBefore),
                                        text(certificate.strNotAfter), text(strNew))
            : Texts::HostKeyDetails(text(hostKey.strType), text(strNew));
    const std::string& strOld = bCertificate ? certificate.strOldSha256 : hostKey.strOldSha256;
    if (!AskToTrust(Texts::FailureReason(report.eFailure),
                    Texts::ChangedKeyDetails(text(strOld), strNewDetails),
                    text(certificate.strProblem), Texts::TrustNewKeyButton()) ||
        !AskToTrust(Texts::ConfirmTrustNewKeyText(), QString(), QString(),
                    Texts::ConfirmTrustNewKeyButton()))
        return false;
    return bCertificate ? m_pInternet->TrustStore()->Trust(m_strServerKey,
                                                           certificate.strPublicKeyPin, strNew)
                        : CHostKeyProbe::Trust(m_pInternet->KnownHostsPath(), hostKey);
}

bool CLoginDlg::AskToTrust(const QString& strText, const QString& strDetails,
                           const QString& strProblem, const QString& strTrustButton)
{
    // Cancel is the default: trusting is a choice the user makes, never an Enter in passing.
    QMessageBox box(QMessageBox::Warning, Texts::AppName(), strText, QMessageBox::Cancel, this);
    box.setInformativeText(strDetails);
    box.setDetailedText(strProblem);
    QPushButton* pTrust = box.addButton(strTrustButton, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == pTrust;
}

void CLoginDlg::OnLoginResult(const QString& strText)
{
    m_staticStatus->setText(strText);
}

void CLoginDlg::StopCheck()
{
    if (!m_pCheck)
        return;
    m_pCheck->bCancel = true;
    m_pCheck.reset();
}

void CLoginDlg::UpdateData(bool bSaveAndValidate)
{
    if (bSaveAndValidate) {
        m_strServer = m_editServer->text();
        m_strUserName = m_editUserName->text();
        m_strPassword = m_editPassword->text();
    } else {
        m_editServer->setText(m_strServer);
        m_editUserName->setText(m_strUserName);
        m_editPassword->setText(m_strPassword);
    }
}

void CLoginDlg::done(int nResult)
{
    // Quit or Esc while connecting gives up the attempt at once.
    StopCheck();
    m_bLoginWhenLoaded = false;
    if (nResult != QDialog::Accepted)
        m_bSaving = false;
    m_bInitialised = false;
    QDialog::done(nResult);
}

void CLoginDlg::showEvent(QShowEvent* pEvent)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(pEvent);
}

void CLoginDlg::SetStatus(const QString& strText)
{
    m_staticStatus->setText(strText);
}
