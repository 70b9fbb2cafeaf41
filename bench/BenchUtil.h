#pragma once
// Timing helpers shared by the benchmark programs. Every figure is ours against a peer,
// taken in turn over several rounds so that a disturbance (another build on the machine,
// the disk writing back what an earlier run wrote) falls on both sides alike, and printed
// as the median ratio with its spread: one best run hides how noisy the machine was.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

inline double Seconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

// curl writes what it fetches where we would: into a file, not /dev/null.
inline double RunCurl(const QStringList& args, const QString& strOutput = "/dev/null")
{
    return Seconds([&] {
        QProcess curl;
        curl.start("curl", QStringList{"-s", "-S", "-o", strOutput} + args);
        curl.waitForFinished(-1);
        if (curl.exitCode() != 0)
            std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
    });
}

// One round: the seconds of each contender, in the order they were given.
using Round = std::vector<double>;

inline std::vector<Round> TakeInTurn(int nRounds, const std::vector<std::function<double()>>& runs)
{
    std::vector<Round> rounds(nRounds);
    for (Round& round : rounds)
        for (const auto& run : runs)
            round.push_back(run());
    return rounds;
}

struct TimePair {
    double ours;
    double peer;
};

// Ours and a peer from each round; pick may combine contenders (a listing less a login).
inline std::vector<TimePair> Pairs(const std::vector<Round>& rounds,
                                   const std::function<TimePair(const Round&)>& pick)
{
    std::vector<TimePair> pairs;
    for (const Round& round : rounds)
        pairs.push_back(pick(round));
    return pairs;
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// "name: median (min..max; target)" for values measured alone (seconds, milliseconds).
inline void PrintSpread(const char* pszName, const std::vector<double>& values,
                        const char* pszTarget, const std::string& strDetail = {})
{
    const auto [pMin, pMax] = std::minmax_element(values.begin(), values.end());
    std::printf("%s: %.3f (%.3f..%.3f; %s)%s\n", pszName, Median(values), *pMin, *pMax, pszTarget,
                strDetail.c_str());
    std::fflush(stdout);
}

// Speeds are peer/ours (higher is better), durations ours/peer (lower is better).
enum class Ratio { OursOverPeer, PeerOverOurs };

// The figure as the median of the pairs' ratios, then each side's median time and every
// pair's ratio in the order taken, so a drift over the run shows.
inline void PrintFigure(const char* pszName, const std::vector<TimePair>& pairs, Ratio ratio,
                        const char* pszTarget, const char* pszPeer)
{
    std::vector<double> ratios, ours, peer;
    std::string strPairs;
    for (const TimePair& pair : pairs) {
        ratios.push_back(ratio == Ratio::OursOverPeer ? pair.ours / pair.peer
                                                      : pair.peer / pair.ours);
        ours.push_back(pair.ours);
        peer.push_back(pair.peer);
        char szRatio[16];
        std::snprintf(szRatio, sizeof szRatio, " %.2f", ratios.back());
        strPairs += szRatio;
    }
    char szDetail[160];
    std::snprintf(szDetail, sizeof szDetail,
                  " ours %.3f s, %s %.3f s (medians of %zu); pairs:", Median(ours), pszPeer,
                  Median(peer), pairs.size());
    PrintSpread(pszName, ratios, pszTarget, szDetail + strPairs);
}

// Runs the event loop until the condition holds. The loop sleeps between events and a
// timer's checks, so our worker and the server get the CPU: processEvents() with a time
// limit drops WaitForMoreEvents and would spin.
inline void WaitFor(const std::function<bool()>& condition)
{
    if (condition())
        return;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    poll.start(1);
    loop.exec();
}

// The program's profile, history and lock go into folders below strHome, so a run starts as a
// new user's would and leaves the real ones alone.
inline void UseFoldersBelow(const QString& strHome)
{
    for (const char* pszName : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        QDir().mkpath(strHome + '/' + pszName);
        qputenv(pszName, QFile::encodeName(strHome + '/' + pszName));
    }
}
