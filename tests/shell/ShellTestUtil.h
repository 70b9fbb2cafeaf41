#pragma once
// What the frame suites share: a private config and data folder for every run, menus worked
// with the mouse, and a user who deals with whatever modal window comes up.
#include "FtpTestServer.h"
#include "ModalUser.h"
#include "resources/Texts.h"
#include "shell/CommandBars.h"
#include "shell/MainFrame.h"
#include "transfer/InternetSession.h"
#include "backup/BackupSession.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <functional>
#include <memory>

// Runs the suite with XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_STATE_HOME in a throw-away folder, set
// before anything reads them, so the profile lands where the program really puts it.
#define MOSSVALE_SHELL_TEST_MAIN(TestClass)                                                        \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        QTemporaryDir home;                                                                        \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));                    \
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));                        \
        qputenv("XDG_STATE_HOME", QFile::encodeName(home.filePath("state")));                      \
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));                                \
        QApplication app(argc, argv);                                                              \
        app.setApplicationName(QLatin1String(Texts::APP_NAME)); /* as the program names it */      \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

// The action of a menu whose text is strText, or null.
inline QAction* FindAction(const QMenu* pMenu, const QString& strText)
{
    for (QAction* pAction : pMenu->actions()) {
        if (pAction->text() == strText)
            return pAction;
    }
    return nullptr;
}

// Clicks a popup of the menu bar open; the popup once it shows, else null.
inline QMenu* OpenMenu(QMainWindow& frame, const QString& strTitle)
{
    QMenuBar* pBar = frame.menuBar();
    for (QAction* pAction : pBar->actions()) {
        if (pAction->text() != strTitle || !pAction->menu())
            continue;
        QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->actionGeometry(pAction).center());
        QMenu* pMenu = pAction->menu();
        return QTest::qWaitFor([pMenu] { return pMenu->isVisible(); }) ? pMenu : nullptr;
    }
    return nullptr;
}

// Clicks the items of a menu path ({"&View", "&Toolbars", "&Customize..."}) as a user
// would; false when a step is missing or disabled. The last click may open a modal window,
// in which case this returns once it has closed.
inline bool ChooseMenu(QMainWindow& frame, const QStringList& path)
{
    QMenu* pMenu = OpenMenu(frame, path.value(0));
    for (int i = 1; pMenu && i < path.size(); ++i) {
        QAction* pAction = FindAction(pMenu, path[i]);
        if (!pAction || !pAction->isEnabled() || !pAction->isVisible())
            return false;
        const QPoint pt = pMenu->actionGeometry(pAction).center();
        QTest::mouseMove(pMenu, pt);
        QTest::mouseClick(pMenu, Qt::LeftButton, {}, pt);
        if (i + 1 < path.size()) {
            pMenu = pAction->menu();
            if (!pMenu || !QTest::qWaitFor([pMenu] { return pMenu->isVisible(); }))
                return false;
        }
    }
    return pMenu != nullptr;
}

// The toolbar button of a command.
inline QWidget* ToolButton(CMainFrame& frame, UINT nID)
{
    QToolBar* pToolBar = frame.GetCommandBars()->ToolBar();
    return pToolBar->widgetForAction(frame.Action(nID));
}

// Logged in to a real server on loopback that holds one file, for as long as it lives, so a
// backup's relisting ends quietly: an empty or unreachable account would say so in a box.
class CLoggedIn
{
public:
    bool Start()
    {
        if (!m_server.Start(CFtpTestServer::Pyftpdlib) || !m_server.PutFile("kept.txt", "x"))
            return false;
        m_pSession = Session(m_server);
        return true;
    }
    // The session a login to the server makes.
    static std::shared_ptr<CBackupSession> Session(const CFtpTestServer& server)
    {
        return std::make_shared<CBackupSession>(server.ServerText().toStdString(),
                                                server.User().toStdString(),
                                                server.Password().toStdString());
    }
    // Logs the frame in, as the application does after the login dialog.
    void Into(CMainFrame& frame) const { frame.SetSession(m_pSession); }

private:
    CFtpTestServer m_server;
    std::shared_ptr<CBackupSession> m_pSession;
};

// Gives the frame the keyboard back once a box or the wait dialog has gone, as a window manager
// does; asked again until it holds, as the dialog's own activation may still be on its way.
inline bool BackToFrame(CMainFrame& frame)
{
    for (int i = 0; i < 50; ++i) {
        frame.activateWindow();
        if (QTest::qWaitForWindowActive(&frame, 100))
            return true;
    }
    return false;
}

// Shows the frame at a size of its own and waits until it is the active window, so its
// shortcuts work.
inline bool ShowFrame(CMainFrame& frame, const QSize& size = QSize(1000, 750))
{
    frame.resize(size);
    frame.show();
    frame.activateWindow();
    return QTest::qWaitForWindowActive(&frame);
}
