// The login dialog and the remembered account, against a real FTP server on loopback, with
// the user's config folder in a fresh temporary folder for every case.
#include "ChildTest.h"
#include "FtpTestServer.h"
#include "LatencyProbe.h"
#include "ModalUser.h"
#include "login/AccountStore.h"
#include "backup/BackupSession.h"
#include "login/LoginDlg.h"
#include "login/PasswordStore.h"
#include "resources/Texts.h"
#include "transfer/ClearTextAccounts.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "backup/BackupSession.h"
#include "transfer/TrustStore.h"

#include <QAccessible>
#include <QPushButton>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

int FileMode(const QString& strPath)
{
    struct stat info {
    };
    return ::stat(strPath.toLocal8Bit().constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

// The store's values as they sit in the file, without the trimming the store does.
QString RawValue(const char* pszName)
{
    return QSettings(CAccountStore::FilePath(), QSettings::IniFormat).value(pszName).toString();
}

void WriteRaw(const QString& strServer, const QString& strUser, const QString& strPassword)
{
    CAccountStore::EnsureExists();
    QSettings settings(CAccountStore::FilePath(), QSettings::IniFormat);
    settings.setValue("Server", strServer);
    settings.setValue("UserName", strUser);
    settings.setValue("Password", strPassword);
}

std::string ServerKey(const CFtpTestServer& server)
{
    return CTrustStore::ServerKey(server.Host().toStdString(), server.Port());
}

// Answers each message box with the button of the text held (or of one of m_alsoChoose), or
// Cancel; notes the texts.
struct CBoxAnswerer : CModalUser {
    QString m_strChoice;
    QStringList m_alsoChoose;
    CBoxAnswerer()
    {
        m_onModal = [this](QWidget* pModal) {
            auto* pBox = qobject_cast<QMessageBox*>(pModal);
            if (!pBox)
                return; // the login dialog itself
            QAbstractButton* pButton = pBox->button(QMessageBox::Cancel);
            for (QAbstractButton* pOther : pBox->buttons())
                if (pOther->text() == m_strChoice || m_alsoChoose.contains(pOther->text()))
                    pButton = pOther;
            QTest::mouseClick(pButton ? pButton : pBox->buttons().value(0), Qt::LeftButton);
        };
    }
};

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void storeFileAndMode();
    void storeValueRules();
    void dialogAsTemplate();
    void screenReaderNames();
    void rememberedAccountLogsIn();
    void failedCheckKeepsTypedAccount();
    void failureCauseShown();
    void enterLogsIn();
    void quitAndEscapeLeaveNoAccount();
    void loginResultReports();
    void quitStopsTheCheckAtOnce();
    void clearTextOnlyWithConsent();
    void certificateTrustedOnFirstUse();
    void hostKeyTrustedOnFirstUse();
    void withoutAKeyringTheUserChooses();
    void demoSettingsLeaveTheKeyringAlone();

private:
    CLoginDlg* Open();
    QLineEdit* Edit(int nID) { return qobject_cast<QLineEdit*>(m_pDlg->GetDlgItem(nID)); }
    QString Status() { return m_pDlg->m_staticStatus->text(); }
    void Type(int nID, const QString& strText);
    // Presses Login and waits for the check's answer.
    void ClickLogin()
    {
        QTest::mouseClick(m_pDlg->GetDlgItem(CLoginDlg::IDC_LOGIN), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_pDlg->IsChecking(), 20000);
    }
    CLoginDlg* NewDialog()
    {
        m_pDlg = std::make_unique<CLoginDlg>();
        connect(m_pDlg.get(), &CLoginDlg::loggedIn, this, [this] { ++m_nLoggedIn; });
        return m_pDlg.get();
    }

    CFtpTestServer m_server;
    std::unique_ptr<QTemporaryDir> m_pConfig;
    std::unique_ptr<CLoginDlg> m_pDlg;
    int m_nLoggedIn = 0; // the listings asked for
};

void TestLogin::initTestCase()
{
    // pyftpdlib answers a wrong password only after 3 s; the check must wait that long to tell
    // a refusal from a server that does not answer.
    CInternetSession::SetTimeouts({6, 3});
    QVERIFY2(m_server.Start(CFtpTestServer::Pyftpdlib), qPrintable(m_server.LastError()));
}

void TestLogin::init()
{
    m_pConfig = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pConfig->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_pConfig->path()));
    m_nLoggedIn = 0;
}

void TestLogin::cleanup()
{
    m_pDlg.reset();
    QVERIFY(CJobPool::Get().WaitForAll(20000));
}

CLoginDlg* TestLogin::Open()
{
    NewDialog()->show();
    return QTest::qWaitForWindowExposed(m_pDlg.get()) ? m_pDlg.get() : nullptr;
}

void TestLogin::Type(int nID, const QString& strText)
{
    QLineEdit* pEdit = Edit(nID);
    QTest::mouseClick(pEdit, Qt::LeftButton);
    QTest::keyClick(pEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(pEdit, Qt::Key_Delete);
    for (const QChar ch : strText) {
        if (ch.unicode() < 0x80) {
            QTest::keyClick(pEdit, ch.toLatin1());
        } else { // what an input method commits
            QInputMethodEvent event;
            event.setCommitString(QString(ch));
            QApplication::sendEvent(pEdit, &event);
        }
    }
}

void TestLogin::storeFileAndMode()
{
    const QString strPath = CAccountStore::FilePath();
    QCOMPARE(strPath, m_pConfig->filePath("Brindlecor/Corvellan.ini"));

    // Opening and writing never bring a missing store into being.
    CAccountStore missing;
    QVERIFY(!missing.Open());
    QVERIFY(!missing.WriteAccount({"s", "u", "p"}));
    QVERIFY(!QFile::exists(strPath));

    QVERIFY(CAccountStore::EnsureExists());
    QCOMPARE(FileMode(strPath), 0600);
    QCOMPARE(FileMode(m_pConfig->filePath("Brindlecor")), 0700);
    CAccountStore store;
    QVERIFY(store.Open());
    QVERIFY(store.ReadAccount() == CAccountStore::Account());

    // QSettings replaces the file when it writes; the copy must stay private too.
    QVERIFY(store.WriteAccount({"srv", "usr", "pwd"}));
    QCOMPARE(FileMode(strPath), 0600);
    QVERIFY(store.ReadAccount() == CAccountStore::Account({"srv", "usr", "pwd"}));

    // A store someone loosened is tightened again, and keeps what it holds.
    QVERIFY(QFile::setPermissions(strPath, QFile::permissions(strPath) | QFile::ReadOther));
    QVERIFY(CAccountStore::EnsureExists());
    QCOMPARE(FileMode(strPath), 0600);
    QCOMPARE(store.ReadValue("Password"), QString("pwd"));
}

void TestLogin::storeValueRules()
{
    QVERIFY(CAccountStore::EnsureExists());
    CAccountStore store;
    QVERIFY(store.Open());
    const QString strMax(CAccountStore::kMaxValueBytes, QLatin1Char('m'));
    const QString strWide = QString(85, QChar(0x5BC6)); // 85 x 3 bytes = 255
    const struct {
        QString strStored;
        QString strRead;
    } cases[] = {
        {"  ftp.example.com \t \n", "  ftp.example.com"}, // trailing white space only
        {"a,b;c\"d\\e=f@g#h", "a,b;c\"d\\e=f@g#h"},       // what INI files treat specially
        {QString::fromUtf8("密码 中文"), QString::fromUtf8("密码 中文")},
        {strMax, strMax},
        {strMax + "x", ""}, // does not fit: the field stays empty
        {strMax + " ", ""}, // the limit counts the blanks that are then removed
        {strWide, strWide},
        {strWide + QChar(0x5BC6), ""}, // counted in bytes, not characters
    };
    for (const auto& c : cases) {
        // Each value loads on its own, whatever the lengths of the other two.
        QVERIFY(store.WriteAccount({c.strStored, strMax, strWide}));
        const CAccountStore::Account account = store.ReadAccount();
        QCOMPARE(account.strServer, c.strRead);
        QCOMPARE(account.strUserName, strMax);
        QCOMPARE(account.strPassword, strWide);
        QCOMPARE(RawValue("Server"), c.strStored); // stored as typed
    }
}

void TestLogin::dialogAsTemplate()
{
    QVERIFY(CAccountStore::EnsureExists());
    QVERIFY(Open());
    for (int nID : {CLoginDlg::IDC_SERVER, CLoginDlg::IDC_USERNAME, CLoginDlg::IDC_PASSWORD})
        QCOMPARE(Edit(nID)->text(), QString());
    QCOMPARE(Status(), QString("Please login the server."));

    // Login is the default button; the dialog has a name, and no hidden control for a
    // screen reader to stumble on.
    QVERIFY(qobject_cast<QPushButton*>(m_pDlg->GetDlgItem(CLoginDlg::IDC_LOGIN))->isDefault());
    QAccessibleInterface* pDialog = QAccessible::queryAccessibleInterface(m_pDlg.get());
    QCOMPARE(pDialog->text(QAccessible::Name), QString("Login"));
    for (int i = 0; i < pDialog->childCount(); ++i)
        QVERIFY2(!pDialog->child(i)->state().invisible,
                 qPrintable(pDialog->child(i)->text(QAccessible::Name)));
    // Every visible control fits in the window: it does not follow a resize.
    for (QWidget* pChild : m_pDlg->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        QVERIFY(!pChild->isVisible() || m_pDlg->rect().contains(pChild->geometry()));

    // Tab walks the template order over the visible controls and wraps.
    const int order[] = {CLoginDlg::IDC_SERVER, CLoginDlg::IDC_USERNAME, CLoginDlg::IDC_PASSWORD,
                         CLoginDlg::IDC_LOGIN,  CLoginDlg::IDCANCEL,     CLoginDlg::IDC_SERVER};
    QTRY_COMPARE(QApplication::focusWidget(), m_pDlg->GetDlgItem(order[0]));
    for (size_t i = 1; i < std::size(order); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_pDlg->GetDlgItem(order[i]));
    }
}

void TestLogin::screenReaderNames()
{
    QVERIFY(Open());
    QAccessibleInterface* pDialog = QAccessible::queryAccessibleInterface(m_pDlg.get());
    QVERIFY(pDialog);
    // A screen reader finds each edit and button by the name it speaks.
    auto find = [&](QAccessible::Role role, const QString& strName) -> QWidget* {
        for (int i = 0; i < pDialog->childCount(); ++i) {
            QAccessibleInterface* pChild = pDialog->child(i);
            if (pChild && pChild->role() == role && pChild->text(QAccessible::Name) == strName)
                return qobject_cast<QWidget*>(pChild->object());
        }
        return nullptr;
    };
    QCOMPARE(find(QAccessible::EditableText, "FTP Server"), Edit(CLoginDlg::IDC_SERVER));
    QCOMPARE(find(QAccessible::EditableText, "Username"), Edit(CLoginDlg::IDC_USERNAME));
    QCOMPARE(find(QAccessible::EditableText, "Password"), Edit(CLoginDlg::IDC_PASSWORD));
    QCOMPARE(find(QAccessible::Button, "Login"), m_pDlg->GetDlgItem(CLoginDlg::IDC_LOGIN));
    QCOMPARE(find(QAccessible::Button, "Quit"), m_pDlg->GetDlgItem(CLoginDlg::IDCANCEL));
}

void TestLogin::rememberedAccountLogsIn()
{
    // Trailing blanks in the file tell whether a value has been written again.
    const QString strUserPadded = m_server.User() + "  ";
    WriteRaw(m_server.ServerText(), strUserPadded, m_server.Password());
    QVERIFY(Open());
    QCOMPARE(Edit(CLoginDlg::IDC_SERVER)->text(), m_server.ServerText());
    QCOMPARE(Edit(CLoginDlg::IDC_USERNAME)->text(), m_server.User());
    QCOMPARE(Edit(CLoginDlg::IDC_PASSWORD)->text(), m_server.Password());
    // Remembered, but never shown in the clear.
    QVERIFY(!Edit(CLoginDlg::IDC_PASSWORD)->displayText().contains(m_server.Password()));

    ClickLogin();
    QVERIFY(m_pDlg->isHidden());
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QVERIFY(m_pDlg->Session());
    QCOMPARE(QString::fromStdString(m_pDlg->Session()->Server()), m_server.ServerText());
    QCOMPARE(QString::fromStdString(m_pDlg->Session()->UserName()), m_server.User());
    QCOMPARE(QString::fromStdString(m_pDlg->Session()->Password()), m_server.Password());
    QVERIFY(m_pDlg->Session()->Internet());
    QCOMPARE(m_nLoggedIn, 1);
    // The password moved to the keyring; the file no longer holds it.
    QCOMPARE(RawValue("Password"), QString());
    QVERIFY(Open());
    QTRY_COMPARE(Edit(CLoginDlg::IDC_PASSWORD)->text(), m_server.Password());
}

void TestLogin::failedCheckKeepsTypedAccount()
{
    WriteRaw(m_server.ServerText(), m_server.User(), m_server.Password());
    QVERIFY(Open());
    Type(CLoginDlg::IDC_PASSWORD, QString::fromUtf8("wrong 密码"));
    ClickLogin();
    QCOMPARE(Status(), QString::fromUtf8("连接失败"));
    QVERIFY(m_pDlg->isVisible());
    QCOMPARE(Edit(CLoginDlg::IDC_PASSWORD)->text(), QString::fromUtf8("wrong 密码"));
    QVERIFY(!m_pDlg->Session());
    QCOMPARE(m_nLoggedIn, 0);
    // A mistyped password never replaces the good one.
    QCOMPARE(RawValue("Password"), m_server.Password());

    // The next start offers the good one, which logs in.
    QVERIFY(Open());
    QCOMPARE(Edit(CLoginDlg::IDC_PASSWORD)->text(), m_server.Password());
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QVERIFY(m_pDlg->Session());
    QCOMPARE(QString::fromStdString(m_pDlg->Session()->Password()), m_server.Password());
}

void TestLogin::failureCauseShown()
{
    // The status line says that it failed, the line below it why, the tooltip too.
    const QString strStatusTip = QString::fromUtf8("连接失败");
    const auto tip = [this] {
        const QLabel* pReason = m_pDlg->m_staticReason;
        const bool bShown = pReason->isVisible() && m_pDlg->rect().contains(pReason->geometry());
        return bShown && pReason->text() == m_pDlg->m_staticStatus->toolTip()
                   ? pReason->text()
                   : QStringLiteral("(not shown)");
    };
    QVERIFY(Open());
    Type(CLoginDlg::IDC_SERVER, m_server.ServerText());
    Type(CLoginDlg::IDC_USERNAME, m_server.User());
    Type(CLoginDlg::IDC_PASSWORD, "wrong");
    {
        // The server pauses 3 s before it refuses; the window does not.
        CLatencyProbe probe;
        ClickLogin();
        QVERIFY2(probe.LargestGapMs() < CLatencyProbe::kHeldMs,
                 qPrintable(QString::number(probe.LargestGapMs())));
    }
    QCOMPARE(Status(), strStatusTip);
    QCOMPARE(tip(), QString::fromUtf8("登录被拒绝"));

    // A port nothing listens on: the same status line, another cause.
    CFtpTestServer gone;
    QVERIFY(gone.Start(CFtpTestServer::Pyftpdlib));
    const QString strGone = gone.ServerText();
    gone.Stop();
    Type(CLoginDlg::IDC_SERVER, strGone);
    Type(CLoginDlg::IDC_PASSWORD, m_server.Password());
    ClickLogin();
    QCOMPARE(Status(), strStatusTip);
    QCOMPARE(tip(), QString::fromUtf8("无法连接服务器"));

    Type(CLoginDlg::IDC_SERVER, m_server.ServerText());
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QCOMPARE(m_pDlg->m_staticReason->text(), QString());
}

void TestLogin::enterLogsIn()
{
    QVERIFY(CAccountStore::EnsureExists());
    QVERIFY(Open());
    Type(CLoginDlg::IDC_SERVER, m_server.ServerText());
    Type(CLoginDlg::IDC_USERNAME, m_server.User());
    Type(CLoginDlg::IDC_PASSWORD, m_server.Password());
    QTest::keyClick(Edit(CLoginDlg::IDC_PASSWORD), Qt::Key_Return);
    QTRY_COMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QVERIFY(!m_pDlg->isVisible());
    QVERIFY(m_pDlg->Session());
    QCOMPARE(QString::fromStdString(m_pDlg->Session()->Server()), m_server.ServerText());
    QCOMPARE(RawValue("Server"), m_server.ServerText());
}

void TestLogin::quitAndEscapeLeaveNoAccount()
{
    // No store at all: the dialog works and remembers nothing.
    NewDialog();
    CClearTextAccounts::Allow(ServerKey(m_server), "nobody"); // refused for the name, not TLS
    QTimer::singleShot(0, m_pDlg.get(), [this] {
        Type(CLoginDlg::IDC_SERVER, m_server.ServerText());
        Type(CLoginDlg::IDC_USERNAME, "nobody");
        ClickLogin(); // fails
        QTest::mouseClick(m_pDlg->GetDlgItem(CLoginDlg::IDCANCEL), Qt::LeftButton);
    });
    QCOMPARE(m_pDlg->DoModal(), int(QDialog::Rejected));
    QCOMPARE(Status(), QString::fromUtf8("连接失败"));
    QVERIFY(!QFile::exists(CAccountStore::FilePath()));

    QTimer::singleShot(0, m_pDlg.get(), [this] {
        Type(CLoginDlg::IDC_USERNAME, m_server.User());
        Type(CLoginDlg::IDC_PASSWORD, m_server.Password());
        QTest::keyClick(m_pDlg.get(), Qt::Key_Escape);
    });
    QCOMPARE(m_pDlg->DoModal(), int(QDialog::Rejected));
    QVERIFY(!m_pDlg->Session());
    QCOMPARE(m_nLoggedIn, 0);
}

void TestLogin::loginResultReports()
{
    // What a listing that found no server has to say is shown as it comes.
    QVERIFY(Open());
    const QString strReport = m_server.ServerText() + QString::fromUtf8("服务器未接上");
    m_pDlg->OnLoginResult(strReport);
    QCOMPARE(Status(), strReport);
}

void TestLogin::quitStopsTheCheckAtOnce()
{
    // A server that never greets: the dialog shows it is connecting and still answers the
    // keyboard; Esc closes it and ends the check long before the connect time-out would.
    CInternetSession::SetTimeouts({60, 60});
    const auto restore = qScopeGuard([] { CInternetSession::SetTimeouts({6, 3}); });
    CFtpTestServer silent;
    QVERIFY(silent.Start(CFtpTestServer::Pyftpdlib, {"slow-login"}));
    QVERIFY(Open());
    Type(CLoginDlg::IDC_SERVER, silent.ServerText());
    CLatencyProbe probe;
    QTest::mouseClick(m_pDlg->GetDlgItem(CLoginDlg::IDC_LOGIN), Qt::LeftButton);
    QCOMPARE(Status(), QString("wait ......"));
    QVERIFY(m_pDlg->IsChecking());
    Type(CLoginDlg::IDC_USERNAME, "typed meanwhile");
    QCOMPARE(Edit(CLoginDlg::IDC_USERNAME)->text(), QString("typed meanwhile"));
    QCOMPARE(CJobPool::Get().RunningCount(), 1);

    QTest::keyClick(Edit(CLoginDlg::IDC_USERNAME), Qt::Key_Escape);
    QVERIFY(m_pDlg->isHidden());
    QCOMPARE(m_pDlg->result(), int(QDialog::Rejected));
    QVERIFY(CJobPool::Get().WaitForAll(5000));
    QVERIFY(!m_pDlg->Session());
    QCOMPARE(m_nLoggedIn, 0);
    QVERIFY2(probe.LargestGapMs() < CLatencyProbe::kHeldMs,
             qPrintable(QString::number(probe.LargestGapMs())));
}

void TestLogin::clearTextOnlyWithConsent()
{
    // A server without TLS: nothing goes in clear text before the user agrees, and the answer
    // is remembered for the account.
    CClearTextAccounts::Forget(ServerKey(m_server), m_server.User().toStdString());
    QVERIFY(CAccountStore::EnsureExists());
    const int nPasswordsSent = m_server.CommandCount("PASS");
    CBoxAnswerer user;
    QVERIFY(Open());
    Type(CLoginDlg::IDC_SERVER, m_server.ServerText());
    Type(CLoginDlg::IDC_USERNAME, m_server.User());
    Type(CLoginDlg::IDC_PASSWORD, m_server.Password());
    ClickLogin();
    QCOMPARE(user.m_texts, QStringList(Texts::ClearTextQuestion(m_server.ServerText())));
    QCOMPARE(Status(), QString::fromUtf8("连接失败"));
    QCOMPARE(m_pDlg->m_staticReason->text(), QString::fromUtf8("服务器不提供加密连接"));
    QCOMPARE(m_server.CommandCount("PASS"), nPasswordsSent); // the password was never sent
    QVERIFY(!m_pDlg->Session());

    user.m_strChoice = Texts::ContinueWithoutEncryptionButton();
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QCOMPARE(user.m_texts.size(), 2);

    // The next run of the program remembers the answer.
    CClearTextAccounts::Forget(ServerKey(m_server), m_server.User().toStdString());
    QVERIFY(Open());
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QCOMPARE(user.m_texts.size(), 2);
}

void TestLogin::certificateTrustedOnFirstUse()
{
    // A self-signed certificate is shown before anything secret is sent; once trusted, the
    // next login is silent; a new key is refused with a warning. And when that server stops
    // offering TLS, the account is not used in clear text without asking.
    CFtpTestServer tls;
    QVERIFY2(tls.Start(CFtpTestServer::PyftpdlibTls), qPrintable(tls.LastError()));
    QVERIFY(CAccountStore::EnsureExists());
    const auto fingerprint = [&] {
        QProcess openssl;
        openssl.start("openssl", {"x509", "-noout", "-fingerprint", "-sha256", "-in",
                                  tls.CertificatePath() + ".crt"});
        openssl.waitForFinished();
        return QString::fromLatin1(openssl.readAllStandardOutput()).section('=', 1).trimmed();
    };
    const QString strFingerprint = fingerprint();
    QVERIFY(!strFingerprint.isEmpty());

    CBoxAnswerer user;
    QVERIFY(Open());
    Type(CLoginDlg::IDC_SERVER, tls.ServerText()); // no scheme: TLS asked for
    Type(CLoginDlg::IDC_USERNAME, tls.User());
    Type(CLoginDlg::IDC_PASSWORD, tls.Password());
    ClickLogin(); // Cancel
    QCOMPARE(user.m_texts, QStringList(Texts::UntrustedCertificateText(tls.ServerText())));
    QVERIFY(user.m_details.value(0).contains(strFingerprint));
    QVERIFY(user.m_details.value(0).contains("127.0.0.1"));
    QCOMPARE(m_pDlg->m_staticReason->text(), QString::fromUtf8("服务器证书不受信任"));
    QCOMPARE(tls.CommandCount("PASS"), 0);

    user.m_strChoice = Texts::TrustCertificateButton();
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QCOMPARE(user.m_texts.size(), 2);
    QVERIFY(
        QFile(QString::fromUtf8(qgetenv("XDG_CONFIG_HOME")) + "/Brindlecor/trusted-certificates")
            .exists());

    QVERIFY(Open());
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QCOMPARE(user.m_texts.size(), 2); // trusted: nothing asked

    const int nPort = tls.Port();
    tls.ReplaceKeys();
    QVERIFY(tls.Start(CFtpTestServer::PyftpdlibTls, {}, nPort));
    QVERIFY(Open());
    ClickLogin();
    QCOMPARE(Status(), QString::fromUtf8("连接失败"));
    const QString strChanged = QString::fromUtf8("服务器证书已改变，可能有人在拦截连接");
    QCOMPARE(user.m_texts.mid(2), QStringList(strChanged));
    QCOMPARE(m_pDlg->m_staticReason->text(), strChanged);
    // The warning shows the old fingerprint and the new; trusting the new one takes a
    // second, deliberate answer.
    QVERIFY(user.m_details.value(2).contains(strFingerprint));
    QVERIFY(user.m_details.value(2).contains(fingerprint()));
    QCOMPARE(tls.CommandCount("PASS"), 0);
    user.m_strChoice = Texts::TrustNewKeyButton();
    ClickLogin(); // the second question is cancelled
    QCOMPARE(user.m_texts.mid(3), QStringList({strChanged, Texts::ConfirmTrustNewKeyText()}));
    QCOMPARE(Status(), QString::fromUtf8("连接失败"));
    user.m_alsoChoose = QStringList(Texts::ConfirmTrustNewKeyButton());
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QCOMPARE(tls.CommandCount("PASS"), 1);

    tls.Stop();
    CFtpTestServer plain;
    QVERIFY(plain.Start(CFtpTestServer::Pyftpdlib, {}, nPort));
    CClearTextAccounts::Forget(ServerKey(plain), plain.User().toStdString());
    QVERIFY(Open());
    ClickLogin();
    // It logged in over TLS before: the question comes with a warning.
    QCOMPARE(user.m_texts.mid(7), QStringList(Texts::ClearTextQuestion(plain.ServerText(), true)));
    QCOMPARE(plain.CommandCount("PASS"), 0);
    QCOMPARE(Status(), QString::fromUtf8("连接失败"));
}

void TestLogin::hostKeyTrustedOnFirstUse()
{
    // An SFTP server's key is shown before the password goes; once trusted, the next login is
    // silent; a new key is refused with a warning.
    CFtpTestServer sftp;
    QVERIFY2(sftp.Start(CFtpTestServer::Sftp), qPrintable(sftp.LastError()));
    QVERIFY(CAccountStore::EnsureExists());
    CBoxAnswerer user;
    QVERIFY(Open());
    Type(CLoginDlg::IDC_SERVER, sftp.ServerText());
    Type(CLoginDlg::IDC_USERNAME, sftp.User());
    Type(CLoginDlg::IDC_PASSWORD, sftp.Password());
    ClickLogin(); // Cancel
    QCOMPARE(user.m_texts, QStringList(Texts::UnknownHostKeyText(sftp.ServerText())));
    QVERIFY(user.m_details.value(0).contains("SHA256:"));
    QCOMPARE(m_pDlg->m_staticReason->text(), Texts::FailureReason(FAILURE_HOST_KEY_UNKNOWN));
    QCOMPARE(sftp.CommandCount("PASSWORD"), 0);

    user.m_strChoice = Texts::TrustHostKeyButton();
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QVERIFY(Open());
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QCOMPARE(user.m_texts.size(), 2); // trusted: nothing asked

    const int nPort = sftp.Port();
    sftp.ReplaceKeys();
    QVERIFY(sftp.Start(CFtpTestServer::Sftp, {}, nPort));
    QVERIFY(Open());
    ClickLogin();
    QCOMPARE(Status(), QString::fromUtf8("连接失败"));
    QCOMPARE(user.m_texts.mid(2), QStringList(Texts::FailureReason(FAILURE_HOST_KEY_CHANGED)));
    QCOMPARE(sftp.CommandCount("PASSWORD"), 0);
    // Both fingerprints shown; two deliberate answers trust the new key.
    QCOMPARE(user.m_details.value(2).count("SHA256:"), 2);
    user.m_strChoice = Texts::TrustNewKeyButton();
    user.m_alsoChoose = QStringList(Texts::ConfirmTrustNewKeyButton());
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
}

void TestLogin::withoutAKeyringTheUserChooses()
{
    // No keyring: the dialog says so; the password goes into the owner-only file only if the
    // user agrees, asked once.
    if (!qEnvironmentVariableIsSet("MOSSVALE_NO_KEYRING_CHILD")) {
        QProcessEnvironment environment;
        environment.insert("MOSSVALE_NO_KEYRING_CHILD", "1");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        const ChildOutcome outcome = RunTestInChild("withoutAKeyringTheUserChooses", environment);
        QVERIFY2(outcome.bFinished && outcome.nExitCode == 0,
                 outcome.output.constData() + outcome.errors);
        return;
    }
    WriteRaw(m_server.ServerText(), m_server.User(), QString());
    CBoxAnswerer user;
    user.m_strChoice = "&No";
    const auto logIn = [&] {
        QVERIFY(Open());
        QTRY_COMPARE(m_pDlg->m_staticReason->text(), Texts::NoKeyringNotice());
        Type(CLoginDlg::IDC_PASSWORD, m_server.Password());
        ClickLogin();
        QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    };
    logIn();
    QCOMPARE(user.m_texts, QStringList(Texts::KeepPasswordInFileQuestion()));
    QCOMPARE(RawValue("Password"), QString());
    logIn(); // the answer holds
    QCOMPARE(user.m_texts.size(), 1);

    QSettings(CAccountStore::FilePath(), QSettings::IniFormat).remove("PasswordInFile");
    user.m_strChoice = "&Yes";
    logIn();
    QCOMPARE(user.m_texts.size(), 2);
    QCOMPARE(RawValue("Password"), m_server.Password());
    QCOMPARE(FileMode(CAccountStore::FilePath()), 0600);
}

void TestLogin::demoSettingsLeaveTheKeyringAlone()
{
    // scripts/run --demo logs in with settings of its own: the keyring (the suite's own) is
    // neither read nor written, and the password stays in the demo's file.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("run through tests/support/with-keyring");
    const QString strScript = qEnvironmentVariable("MOSSVALE_TEST_SUPPORT_DIR") +
                              QStringLiteral("/../../scripts/demo-settings");
    QCOMPARE(
        QProcess::execute("bash", {strScript, m_pConfig->path(), QString::number(m_server.Port())}),
        0);
    // The demo's server has its own user; ours is the suite's.
    QSettings(CAccountStore::FilePath(), QSettings::IniFormat)
        .setValue("UserName", m_server.User());
    QSettings(CAccountStore::FilePath(), QSettings::IniFormat)
        .setValue("Password", m_server.Password());
    // Earlier cases kept this account's password in the suite's keyring.
    CPasswordStore keyring;
    std::optional<CPasswordStore::EResult> answer;
    const auto done = [&](CPasswordStore::EResult eResult, const QString&) { answer = eResult; };
    keyring.Remove(RawValue("Server"), m_server.User(), this, done);
    QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 20000);
    CBoxAnswerer user;
    user.m_strChoice = Texts::ContinueWithoutEncryptionButton();
    QVERIFY(Open());
    QCOMPARE(Edit(CLoginDlg::IDC_PASSWORD)->text(), m_server.Password());
    ClickLogin();
    QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
    QCOMPARE(RawValue("Password"), m_server.Password());

    answer.reset();
    keyring.Read(RawValue("Server"), m_server.User(), this, done);
    QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 20000);
    QCOMPARE(int(*answer), int(CPasswordStore::EResult::NotFound));
}

int main(int argc, char* argv[])
{
    // Before anything can read settings from the real config folder.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    TestLogin test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_login.moc"
