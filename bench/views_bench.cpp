// The remote file list's figure against curl's command line on the same vsftpd folder, in
// the same run. Prints "name: value (target)" lines. Not part of the test suite.
//   remote_list_20000             a refresh of a 20,000-file root until the meter is set, in
//                                 the real view, as a multiple of curl's raw listing
//   remote_list_20000_ui_stall_ms the longest the window thread went without answering
//                                 during those refreshes and the second after each
#include "FtpTestServer.h"
#include "transfer/InternetSession.h"
#include "backup/BackupSession.h"
#include "views/RightView.h"

#include "BenchUtil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kFiles = 20000;
constexpr int kPairs = 7;

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CFtpTestServer server;
    if (!server.Start(CFtpTestServer::Vsftpd)) {
        std::fprintf(stderr, "vsftpd: %s\n", qPrintable(server.LastError()));
        return 1;
    }
    for (int i = 0; i < kFiles; ++i)
        QFile(QStringLiteral("%1/entry-%2.txt").arg(server.Root()).arg(i))
            .open(QIODevice::WriteOnly);

    const QStringList login{"--user", server.User() + ":" + server.Password()};
    const QString strUrl = "ftp://" + server.ServerText() + "/";
    auto runCurl = [&] { return RunCurl(login + QStringList{strUrl}); };
    CRightView view;
    view.SetSession(std::make_shared<CBackupSession>(server.ServerText().toStdString(),
                                                     server.User().toStdString(),
                                                     server.Password().toStdString()));
    view.resize(view.sizeHint());
    view.OnInitialUpdate();
    view.show();

    // A timer that should fire every 10 ms: its longest gap is how long the window thread
    // was busy at a stretch.
    QElapsedTimer sinceTick;
    qint64 nLongestGapMs = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { nLongestGapMs = std::max(nLongestGapMs, sinceTick.restart()); });

    auto runOurs = [&] {
        view.m_stcUsage.clear();
        sinceTick.start();
        ticker.start();
        const double seconds = Seconds([&] {
            view.StartListing();
            WaitFor([&] { return !view.m_stcUsage.text().isEmpty(); });
        });
        // The list lays its rows out in batches after they arrived: keep watching a while.
        QElapsedTimer after;
        after.start();
        WaitFor([&] { return after.elapsed() >= 1000; });
        ticker.stop();
        if (view.m_model.rowCount() != kFiles)
            std::fprintf(stderr, "the list shows %d rows\n", view.m_model.rowCount());
        return seconds;
    };
    const auto rounds = TakeInTurn(kPairs, {runCurl, runOurs});
    PrintFigure("remote_list_20000",
                Pairs(rounds,
                      [](const Round& r) {
                          return TimePair{r[1], r[0]};
                      }),
                Ratio::OursOverPeer, "target <= 3", "curl");
    std::printf("remote_list_20000_ui_stall_ms: %lld (target <= 100)\n",
                static_cast<long long>(nLongestGapMs));

    return 0;
}
