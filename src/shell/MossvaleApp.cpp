#include "MossvaleApp.h"

#include "AboutDlg.h"
#include "CommandIds.h"
#include "MainFrame.h"
#include "ScheduleStatus.h"
#include "Profile.h"
#include "login/AccountStore.h"
#include "login/LoginDlg.h"
#include "resources/Language.h"
#include "resources/Texts.h"
#include "views/RightView.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

CMossvaleApp::CMossvaleApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QLatin1String(Texts::APP_NAME));
    setApplicationVersion(QLatin1String(Texts::APP_VERSION));
    setDesktopFileName(QStringLiteral("mossvale"));
    CLanguage::Install(*this);
    QIcon icon;
    for (int nSize : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/shell/mossvale-%1.png").arg(nSize));
    setWindowIcon(icon);
}

CMossvaleApp::~CMossvaleApp() = default;

bool CMossvaleApp::InitInstance()
{
    if (!CreateMainWindow())
        return false;
    RunLogin();
    ShowStartNotices(arguments().contains(QStringLiteral("--history")));
    return true;
}

bool CMossvaleApp::CreateMainWindow()
{
    {
        auto pProfile = CProfile::Open();
        m_recentFiles.ReadList(*pProfile);
    }
    // The login dialog only opens the account store; it is made here, empty, if missing.
    CAccountStore::EnsureExists();

    m_doc.OnNewDocument();
    m_pMainFrame = std::make_unique<CMainFrame>();
    connect(m_pMainFrame.get(), &CMainFrame::sessionClosed, this, [this] { m_pSession.reset(); });
    ConnectFrameCommands();

    // A document named on the command line must open, or the program ends before the login.
    const QStringList args = arguments().mid(1);
    if (!args.isEmpty() && !args.first().startsWith(QLatin1Char('-'))) {
        if (!OpenDocumentFile(args.first())) {
            QMessageBox::warning(nullptr, Texts::AppName(), Texts::CannotOpenFile(args.first()));
            return false;
        }
    }
    m_pMainFrame->InitialUpdateViews();
    // The first start fills the screen; later ones open the window as it was left.
    if (m_pMainFrame->RestorePlacement())
        m_pMainFrame->show();
    else
        m_pMainFrame->showMaximized();
    return true;
}

void CMossvaleApp::RunLogin()
{
    // The main window stays disabled while the modal login runs; its result is not needed:
    // after Quit the program runs on without an account.
    CLoginDlg dlg(m_pMainFrame.get());
    CRightView* pRemote = m_pMainFrame->RightView();
    connect(&dlg, &CLoginDlg::loggedIn, this, [this, &dlg, pRemote] {
        SetSession(dlg.Session());
        m_pMainFrame->OnAccountChanged();
        pRemote->StartListing();
    });
    // A listing that finds no server tells the dialog, while it is open.
    connect(pRemote, &CRightView::listingNotConnected, &dlg, &CLoginDlg::OnLoginResult);
    dlg.DoModal();
}

void CMossvaleApp::ShowStartNotices(bool bOpenHistory)
{
    // A warning the user can leave open while the history, or the window, is used.
    const CScheduleStatus* pStatus = m_pMainFrame->GetScheduleStatus();
    if (pStatus->IsWarning()) {
        auto* pBox = new QMessageBox(QMessageBox::Warning, Texts::AppName(), pStatus->WarningText(),
                                     QMessageBox::Ok, m_pMainFrame.get());
        pBox->setAttribute(Qt::WA_DeleteOnClose);
        pBox->setWindowModality(Qt::NonModal);
        pBox->show();
    }
    // Once the window shows, after the event loop has started.
    if (bOpenHistory)
        QTimer::singleShot(0, m_pMainFrame.get(), &CMainFrame::OnViewHistory);
}

void CMossvaleApp::SetSession(std::shared_ptr<CBackupSession> pSession)
{
    m_pSession = std::move(pSession);
    if (m_pMainFrame)
        m_pMainFrame->SetSession(m_pSession);
}

void CMossvaleApp::ConnectFrameCommands()
{
    m_pMainFrame->SetCommandHandler(ID_FILE_NEW, [this] { OnFileNew(); });
    m_pMainFrame->SetCommandHandler(ID_FILE_OPEN, [this] { OnFileOpen(); });
    m_pMainFrame->SetCommandHandler(ID_APP_ABOUT, [this] { OnAppAbout(); });
    // After Quit the user can still log in, or log in to another account.
    m_pMainFrame->SetCommandHandler(ID_FILE_LOGIN, [this] { RunLogin(); });
    RefreshRecentFiles();
}

void CMossvaleApp::RefreshRecentFiles()
{
    m_pMainFrame->SetRecentFiles(m_recentFiles.Files(), [this](const QString& strPath) {
        if (OpenDocumentFile(strPath)) {
            m_pMainFrame->InitialUpdateViews();
            return;
        }
        QMessageBox::warning(m_pMainFrame.get(), Texts::AppName(), Texts::CannotOpenFile(strPath));
        m_recentFiles.Remove(strPath);
        auto pProfile = CProfile::Open();
        m_recentFiles.WriteList(*pProfile);
        RefreshRecentFiles();
    });
}

void CMossvaleApp::OnFileNew()
{
    m_doc.OnNewDocument();
    m_pMainFrame->InitialUpdateViews();
}

void CMossvaleApp::OnFileOpen()
{
    const QString strPath = QFileDialog::getOpenFileName(m_pMainFrame.get());
    if (strPath.isEmpty())
        return;
    if (!OpenDocumentFile(strPath)) {
        QMessageBox::warning(m_pMainFrame.get(), Texts::AppName(), Texts::CannotOpenFile(strPath));
        return;
    }
    m_pMainFrame->InitialUpdateViews();
}

bool CMossvaleApp::OpenDocumentFile(const QString& strPath)
{
    if (!m_doc.OnOpenDocument(strPath))
        return false;
    m_recentFiles.Add(m_doc.GetPathName());
    auto pProfile = CProfile::Open();
    m_recentFiles.WriteList(*pProfile);
    if (m_pMainFrame)
        RefreshRecentFiles();
    return true;
}

void CMossvaleApp::OnAppAbout()
{
    CAboutDlg dlg(m_pMainFrame.get());
    dlg.DoModal();
}
