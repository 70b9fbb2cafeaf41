// The whole program's figures: start-up to the login dialog against a minimal Qt program that
// shows one dialog (same run, same display), and resident memory when idle after a login to
// an empty server. Prints "name: value (target)" lines.
#include "../tests/app/AppDriver.h"
#include "FtpTestServer.h"
#include "shell/MainFrame.h"
#include "shell/MossvaleApp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

double BestStart(const QString& strProgram, const QProcessEnvironment& env, int nRuns)
{
    double best = 1e30;
    for (int i = 0; i < nRuns; ++i) {
        QProcess process;
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        process.start(strProgram, {});
        process.waitForFinished(60000);
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

double ResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// Runs the real program in this process: start, log in to an empty server, sit idle.
int MeasureIdle(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    CMossvaleApp app(argc, argv);
    CFtpTestServer server;
    if (!server.Start(CFtpTestServer::Pyftpdlib))
        return 1;
    CMainFrame::SetLayoutFolders(home.filePath("layout"), home.filePath("layout"));
    CAppDriver driver(&app);
    app.CreateMainWindow();
    bool bEmptyShown = false;
    CAppDriver::WhenMessageBox([&](QMessageBox* pBox) {
        bEmptyShown = true;
        CAppDriver::PressOk(pBox);
    });
    driver.LogIn(server.ServerText(), server.User(), server.Password());
    (void)QTest::qWaitFor([&] { return bEmptyShown; }, 10000);
    QTest::qWait(2000);
    std::printf("idle_rss_mb: %.1f (report)\n", ResidentMegabytes());
    std::fflush(stdout);
    std::_Exit(0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--idle")
        return MeasureIdle(1, argv);

    const QString strDir = QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath();
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("MOSSVALE_QUIT_AT_LOGIN", "1");
    const double ours = BestStart(strDir + "/../src/shell/mossvale", env, 10);
    const double peer = BestStart(strDir + "/minimal_dialog", env, 10);
    std::printf("startup_to_login: %.2f (target <= 2; ours %.3f s, minimal dialog %.3f s)\n",
                ours / peer, ours, peer);
    std::fflush(stdout);

    QProcess idle;
    idle.setProcessChannelMode(QProcess::ForwardedChannels);
    idle.start(QString::fromLocal8Bit(argv[0]), {"--idle"});
    idle.waitForFinished(60000);
    return 0;
}
