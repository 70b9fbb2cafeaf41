// Makes the README's picture: the main window after a backup, against a throw-away FTP server
// on loopback, driven as a user would. scripts/screenshot runs it under Xvfb; the accessibility
// check keeps it running (--stay) to read the window through the accessibility bus.
//     mossvale_screenshot OUTPUT.png [--stay]
#include "AppDriver.h"
#include "FtpTestServer.h"
#include "TestFiles.h"
#include "platform/DriveList.h"
#include "shell/CommandIds.h"
#include "shell/MainFrame.h"
#include "shell/MossvaleApp.h"
#include "views/RightView.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

int Fail(const char* pszWhat)
{
    std::fprintf(stderr, "screenshot: %s\n", pszWhat);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/mossvale-shot-XXXXXX"));
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    const QString strOutput =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shot.png");
    int nArgc = 1;
    CMossvaleApp app(nArgc, argv);

    CFtpTestServer server;
    if (!server.Start(CFtpTestServer::Pyftpdlib))
        return Fail("the FTP server did not start");
    server.MakeFolder("Archive");
    server.PutFile("holiday.jpg", QByteArray(420000, 'j'));
    server.PutFile("taxes-2025.pdf", QByteArray(180000, 'p'));

    const QString strDrive = home.filePath("Home");
    QDir().mkpath(strDrive + "/Documents");
    QDir().mkpath(strDrive + "/Pictures");
    WriteFile(strDrive + "/Documents/letter.odt", QByteArray(24000, 'l'));
    WriteFile(strDrive + "/Documents/budget.ods", QByteArray(61000, 'b'));
    WriteFile(strDrive + "/Documents/notes.txt", "shopping\n");
    WriteFile(
        home.filePath("mounts"),
        QString("/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 %1 ext4 rw 0 0\n").arg(strDrive).toUtf8());
    SetMountTable(home.filePath("mounts"));
    CMainFrame::SetLayoutFolders(home.filePath("layout"), home.filePath("layout"));

    CAppDriver driver(&app);
    if (!app.CreateMainWindow())
        return Fail("no main window");
    // No window manager to maximise it: the window takes the whole screen itself.
    driver.Frame()->setGeometry(driver.Frame()->screen()->geometry());
    if (!driver.LogIn(server.ServerText(), server.User(), server.Password()))
        return Fail("the login failed");

    HTREEITEM hDrive = driver.Child(driver.Tree().GetRootItem(), strDrive);
    if (!hDrive)
        return Fail("the drive is not in the tree");
    driver.OpenItem(hDrive);
    HTREEITEM hDocuments = driver.Child(hDrive, "Documents");
    driver.OpenItem(hDocuments);
    driver.ClickBox(driver.Child(hDocuments, "letter.odt"));
    driver.ClickBox(driver.Child(hDocuments, "budget.ods"));

    CAppDriver::WhenMessageBox(CAppDriver::PressOk);
    driver.ChooseMenu("&File", ID_FILE_BACKUP);
    if (!QTest::qWaitFor(
            [&] { return driver.RowOf("budget.ods") >= 0 && driver.RowOf("letter.odt") >= 0; },
            20000))
        return Fail("the backup did not show up");
    (void)QTest::qWaitFor(
        [&] { return !driver.Frame()->RightView()->m_stcUsage.text().isEmpty(); });
    driver.ClickRow("letter.odt");
    QTest::qWait(300); // let the last repaint land before the picture is taken

    if (!driver.Frame()->grab().save(strOutput))
        return Fail("cannot write the picture");
    std::printf("%s\n", qPrintable(strOutput));
    std::fflush(stdout);
    const bool bStay = argc > 2 && qstrcmp(argv[2], "--stay") == 0;
    const int nResult = bStay ? app.exec() : 0;
    std::_Exit(nResult); // jobs of the session may still be closing their connections
}
