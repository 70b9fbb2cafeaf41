// Shows the login dialog on its own, as start-up will.
//   login_demo [--status TEXT]
// --status shows TEXT in the dialog's status line once it is up, as a listing that cannot
// connect does. Prints the dialog's result when it closes.
#include "login/AccountStore.h"
#include "login/LoginDlg.h"
#include "transfer/InternetSession.h"
#include "transfer/JobPool.h"
#include "backup/BackupSession.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"status", "Show this text in the dialog's status line.", "text"});
    parser.process(app);

    CAccountStore::EnsureExists();
    CLoginDlg dlg;
    if (parser.isSet("status")) {
        const QString strText = parser.value("status");
        QTimer::singleShot(500, &dlg, [&dlg, strText] { dlg.OnLoginResult(strText); });
    }
    const int nResult = dlg.DoModal();
    const std::string strServer = dlg.Session() ? dlg.Session()->Server() : std::string();
    const std::string strUser = dlg.Session() ? dlg.Session()->UserName() : std::string();
    std::printf("result %d, account \"%s\" \"%s\"\n", nResult, strServer.c_str(), strUser.c_str());
    return FinishJobsForExit(0);
}
