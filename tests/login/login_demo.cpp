// Shows the login dialog on its own, as start-up will.
//   login_demo [--status TEXT]
// --status sends the dialog a WM_LOGIN_RESULT with TEXT from a worker thread once it is up,
// as a listing job that cannot connect does. Prints the dialog's result when it closes.
#include "login/AccountStore.h"
#include "login/LoginDlg.h"
#include "platform/WinThread.h"
#include "transfer/InternetSession.h"
#include "transfer/Messages.h"
#include "transfer/TransferGlobals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <string>

namespace {

std::string g_strReport;

unsigned SendReport(void*)
{
    SendMessage(g_pLoginDlg.load(), WM_LOGIN_RESULT, 0,
                reinterpret_cast<LPARAM>(g_strReport.c_str()));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"status", "Report this text to the dialog from a worker thread.", "text"});
    parser.process(app);

    CAccountStore::EnsureExists();
    CLoginDlg dlg;
    if (parser.isSet("status")) {
        g_strReport = parser.value("status").toStdString();
        QTimer::singleShot(500, &dlg, [] { AfxBeginThread(SendReport, nullptr); });
    }
    const int nResult = dlg.DoModal();
    std::printf("result %d, account \"%s\" \"%s\"\n", nResult, g_strServer.c_str(),
                g_strUserName.c_str());
    delete g_hInternet;
    return 0;
}
