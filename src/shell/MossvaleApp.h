#pragma once
// The application: prepares the settings stores, builds the empty document and the main
// frame with its views, shows the frame maximised and then runs the login dialog. The
// application's own commands (New, Open, the recent files, About) are handled here. It owns
// the session of the account that logged in and hands it to the frame; closing the frame
// lets it go.
#include "MossvaleDoc.h"
#include "RecentFileList.h"

#include <QApplication>

#include <memory>

class CBackupSession;
class CMainFrame;

class CMossvaleApp : public QApplication
{
    Q_OBJECT
public:
    CMossvaleApp(int& argc, char** argv);
    ~CMossvaleApp() override;

    // Start-up up to and including the login; false ends the program at once.
    bool InitInstance();
    // Start-up without the login dialog (the whole-program tests log in themselves).
    bool CreateMainWindow();
    void RunLogin();
    // What the window has to say once it is up and the login is over: the history when the
    // program was started to show it (a click on a backup's notification), and a backup
    // that is overdue.
    void ShowStartNotices(bool bOpenHistory);

    void OnFileNew();
    void OnFileOpen();
    bool OpenDocumentFile(const QString& strPath);
    void OnAppAbout();

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    CMossvaleDoc& Document() { return m_doc; }
    const CRecentFileList& RecentFiles() const { return m_recentFiles; }
    // The logged-in account's session; null before a login and after the frame has closed.
    const std::shared_ptr<CBackupSession>& Session() const { return m_pSession; }
    void SetSession(std::shared_ptr<CBackupSession> pSession);

private:
    void ConnectFrameCommands();
    void RefreshRecentFiles();

    CMossvaleDoc m_doc;
    CRecentFileList m_recentFiles{4};
    std::unique_ptr<CMainFrame> m_pMainFrame;
    std::shared_ptr<CBackupSession> m_pSession;
};
