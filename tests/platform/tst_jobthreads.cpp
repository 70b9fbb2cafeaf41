// The registry of job threads: it frees what has ended, waits for what a launcher waits for,
// and at exit waits for running jobs no longer than its bound.
#include "platform/JobThreads.h"
#include "platform/MsgWnd.h"
#include "ThreadGate.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// The threads of this process as the kernel counts them.
int ProcessThreads()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

unsigned Start(AFX_THREADPROC pfnProc, void* pParam)
{
    const unsigned nThread = CJobThreads::Get().Create(pfnProc, pParam, THREAD_PRIORITY_NORMAL);
    CJobThreads::Get().Resume(nThread);
    return nThread;
}

constexpr UINT kQuestion = 0x0401; // any number: the answerer takes every message

// A window on the test's thread that a job sends a message to.
class CAnswerer : public CMsgWnd
{
public:
    LRESULT WindowProc(UINT, WPARAM wParam, LPARAM) override { return LRESULT(wParam + 1); }
};

struct SendingJob {
    CAnswerer* pWnd;
    std::atomic<LRESULT> result{0};
};

unsigned SendAndReturn(void* pParam)
{
    auto* pJob = static_cast<SendingJob*>(pParam);
    pJob->result = SendMessage(pJob->pWnd, kQuestion, 41, 0);
    return 0;
}

// The child process of exitEndsTheProcessWithinTheBound: a job that never ends, or one that
// ends after a short while and leaves a file behind, then the exit of main.
int RunExitChild(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    static ThreadGate s_gate; // never opened
    if (std::strcmp(argv[1], "--hung-job") == 0) {
        Start(RunUntilOpen, &s_gate);
        return FinishJobsForExit(7, 200);
    }
    static QByteArray s_marker = argv[2];
    Start(
        [](void*) -> unsigned {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            QFile file(QString::fromLocal8Bit(s_marker));
            return file.open(QIODevice::WriteOnly) ? 0 : 1;
        },
        nullptr);
    return FinishJobsForExit(5, 20000);
}

} // namespace

class TestJobThreads : public QObject
{
    Q_OBJECT
private slots:
    void endedJobsAreFreedWithoutAHelperThread()
    {
        const int nBefore = ProcessThreads();
        ThreadGate gate;
        for (int i = 0; i < 20; ++i)
            QVERIFY(Start(CountRun, &gate));
        QTRY_COMPARE(gate.nRuns.load(), 20);
        // Nothing else asks the registry: their ends alone get them joined and freed.
        QTRY_COMPARE(CJobThreads::Get().Count(), 0);
        QTRY_COMPARE(ProcessThreads(), nBefore);
    }

    void aLauncherWaitsForItsThread()
    {
        ThreadGate gate;
        const unsigned nThread = Start(RunUntilOpen, &gate);
        QVERIFY(nThread);
        QVERIFY(!CJobThreads::Get().WaitFor(nThread, 20));
        QCOMPARE(CJobThreads::Get().Count(), 1);
        gate.bOpen = true;
        QVERIFY(CJobThreads::Get().WaitFor(nThread));
        QCOMPARE(gate.nRuns.load(), 1);
        QCOMPARE(CJobThreads::Get().Count(), 0);
        // A thread already freed, and no thread at all, are not waited for.
        QVERIFY(CJobThreads::Get().WaitFor(nThread, 0));
        QVERIFY(CJobThreads::Get().WaitFor(0, 0));
    }

    void aThreadNeverResumedIsFreedWithoutRunning()
    {
        ThreadGate gate;
        const unsigned nThread =
            CJobThreads::Get().Create(CountRun, &gate, THREAD_PRIORITY_BELOW_NORMAL);
        QVERIFY(nThread);
        QVERIFY(CJobThreads::Get().WaitFor(nThread));
        QCOMPARE(gate.nRuns.load(), 0);
        QCOMPARE(CJobThreads::Get().Count(), 0);
    }

    void theExitWaitIsBounded()
    {
        ThreadGate hung;
        Start(RunUntilOpen, &hung);
        ThreadGate done;
        Start(CountRun, &done);
        // The hung job would hold the wait for ever: it gives up, and the others are freed.
        QVERIFY(!CJobThreads::Get().WaitForAll(100));
        QCOMPARE(done.nRuns.load(), 1);
        QCOMPARE(CJobThreads::Get().Count(), 1);
        hung.bOpen = true;
        QVERIFY(CJobThreads::Get().WaitForAll(20000));
        QCOMPARE(CJobThreads::Get().Count(), 0);
    }

    void aJobSendingToAWindowIsAnsweredDuringTheExitWait()
    {
        CAnswerer wnd;
        SendingJob job{&wnd};
        Start(SendAndReturn, &job);
        QVERIFY(CJobThreads::Get().WaitForAll(20000));
        QCOMPARE(job.result.load(), LRESULT(42));
    }

    void exitEndsTheProcessWithinTheBound()
    {
        // A job that never ends: the process still ends, with main's result.
        QProcess hung;
        hung.start(QCoreApplication::applicationFilePath(), {"--hung-job"});
        QVERIFY(hung.waitForFinished(30000));
        QCOMPARE(hung.exitStatus(), QProcess::NormalExit);
        QCOMPARE(hung.exitCode(), 7);

        // A job that ends within the bound is waited for: its file is there.
        QTemporaryDir dir;
        const QString strMarker = dir.filePath("ended");
        QProcess ending;
        ending.start(QCoreApplication::applicationFilePath(), {"--ending-job", strMarker});
        QVERIFY(ending.waitForFinished(30000));
        QCOMPARE(ending.exitStatus(), QProcess::NormalExit);
        QCOMPARE(ending.exitCode(), 5);
        QVERIFY(QFile::exists(strMarker));
    }
};

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strncmp(argv[1], "--", 2) == 0 && std::strstr(argv[1], "-job"))
        return RunExitChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestJobThreads test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_jobthreads.moc"
