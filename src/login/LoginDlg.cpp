#include "LoginDlg.h"

#include "widgets/DialogUnits.h"
#include "platform/JobThreads.h"
#include "resources/Texts.h"
#include "transfer/FtpAddress.h"
#include "transfer/InternetSession.h"
#include "transfer/Messages.h"
#include "transfer/MyThread.h"
#include "transfer/TransferGlobals.h"

#include <QLabel>
#include <QLineEdit>
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
    ReleaseSlot();
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

LRESULT CLoginDlg::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_LOGIN_RESULT:
        return OnLoginResult(wParam, lParam);
    default:
        return 0;
    }
}

void CLoginDlg::OnInitDialog()
{
    g_pLoginDlg = static_cast<CMsgWnd*>(this);

    m_strServer.clear();
    m_strUserName.clear();
    m_strPassword.clear();
    CAccountStore store;
    if (store.Open()) {
        const CAccountStore::Account account = store.ReadAccount();
        m_strServer = account.strServer;
        m_strUserName = account.strUserName;
        m_strPassword = account.strPassword;
    }
    UpdateData(false);
}

void CLoginDlg::OnLogin()
{
    SetStatus(Texts::LoginWaiting());

    // Jobs of an earlier session keep their connections alive on their own, so the old
    // session may go while they run.
    auto* pSession = new (std::nothrow) CInternetSession();
    if (!pSession) {
        SetStatus(Texts::ConnectFailed());
        // Nothing can work without a session. This is inside the modal login, with the
        // application object on main's stack, where returning is not possible; jobs of an
        // earlier session get the same wait as at a normal exit.
        FinishJobsForExit(1, CJobThreads::EXIT_WAIT_MS);
        std::fflush(nullptr);
        std::_Exit(1);
    }
    delete g_hInternet;
    g_hInternet = pSession;

    // The account is remembered when it differs from the fields as they were before this
    // press; an account already taken in by Enter counts as unchanged.
    const CAccountStore::Account before{m_strServer, m_strUserName, m_strPassword};
    UpdateData(true);
    const CAccountStore::Account typed{m_strServer, m_strUserName, m_strPassword};
    if (typed != before) {
        CAccountStore store;
        if (store.Open())
            store.WriteAccount(typed);
    }

    bool bConnected = false;
    ETransferFailure eFailure = FAILURE_NONE;
    {
        // Connects in its constructor; destroying it hands the proven connection back to
        // the session, where the first listing picks it up.
        CMyThread check(nullptr, Utf8(m_strServer), Utf8(m_strUserName), Utf8(m_strPassword),
                        INTERNET_DEFAULT_FTP_PORT, LOGIN_CHECK_FOLDER, true, 0);
        bConnected = check.m_hConnect != nullptr;
        eFailure = check.m_eConnectFailure;
    }

    // The status line says that it failed; the line below it, and its tooltip, say why (a
    // wrong user name or password, or a server that cannot be reached).
    const QString strReason = Texts::FailureReason(eFailure);
    m_staticStatus->setToolTip(strReason);
    m_staticReason->setText(bConnected ? QString() : strReason);
    if (!bConnected) {
        SetStatus(Texts::ConnectFailed());
        return;
    }
    g_strUserName = Utf8(m_strUserName);
    g_strPassword = Utf8(m_strPassword);
    g_strServer = Utf8(m_strServer);
    PostMessage(g_pRemoteView.load(), WM_REFRESH_REMOTE, 0, 0);
    UpdateData(true);
    QDialog::accept();
}

LRESULT CLoginDlg::OnLoginResult(WPARAM /*wParam*/, LPARAM lParam)
{
    const auto* pszServer = reinterpret_cast<const char*>(lParam);
    if (pszServer)
        m_staticStatus->setText(Texts::ServerNotConnected(QString::fromUtf8(pszServer)));
    return 0;
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
    // Closed is as good as gone for the jobs: they must not report to a dialog nobody sees.
    ReleaseSlot();
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
    // Painted now: the connection check that follows holds the window thread.
    m_staticStatus->repaint();
}

void CLoginDlg::ReleaseSlot()
{
    CMsgWnd* pSelf = this;
    g_pLoginDlg.compare_exchange_strong(pSelf, nullptr);
}
