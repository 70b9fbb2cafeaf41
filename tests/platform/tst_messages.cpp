// Window messages across threads and the worker-thread stand-in.
#include "platform/MsgWnd.h"
#include "platform/WinThread.h"
#include "ThreadGate.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Received {
    UINT nMsg;
    WPARAM wParam;
    LPARAM lParam;
    bool bOnOwnThread;
};

class CRecorder : public CMsgWnd
{
public:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override
    {
        m_received.push_back({nMsg, wParam, lParam, QThread::currentThread() == m_pThread});
        return static_cast<LRESULT>(wParam) * 2;
    }
    QThread* m_pThread = QThread::currentThread();
    std::vector<Received> m_received;
};

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT
private slots:
    void postedMessagesArriveInOrderOnTheReceiversThread()
    {
        CRecorder recorder;
        std::thread worker([&] {
            for (WPARAM i = 1; i <= 50; ++i)
                QVERIFY(PostMessage(&recorder, 113, i, static_cast<LPARAM>(i) + 1000));
        });
        worker.join();
        QTRY_COMPARE(recorder.m_received.size(), size_t(50));
        for (size_t i = 0; i < 50; ++i) {
            QCOMPARE(recorder.m_received[i].wParam, WPARAM(i + 1));
            QCOMPARE(recorder.m_received[i].lParam, LPARAM(i + 1001));
            QVERIFY(recorder.m_received[i].bOnOwnThread);
        }
    }

    void sendBlocksUntilHandledAndReturnsTheResult()
    {
        CRecorder recorder;
        std::atomic<LRESULT> result{-1};
        std::atomic<bool> bReturned{false};
        std::thread worker([&] {
            result = SendMessage(&recorder, 111, 21, 4);
            bReturned = true;
        });
        // The worker cannot return before this thread runs its event loop.
        QTRY_VERIFY(bReturned.load());
        worker.join();
        QCOMPARE(result.load(), LRESULT(42));
        QCOMPARE(recorder.m_received.size(), size_t(1));
        QVERIFY(recorder.m_received[0].bOnOwnThread);
    }

    void sendOnTheReceiversOwnThreadIsADirectCall()
    {
        CRecorder recorder;
        QCOMPARE(SendMessage(&recorder, 110, 5, 0), LRESULT(10));
        QCOMPARE(recorder.m_received.size(), size_t(1));
    }

// The point of the next case is a pointer whose object is gone; only its value is used.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
    void aReceiverThatIsGoneIsNeverCalled()
    {
        auto* pRecorder = new CRecorder;
        QVERIFY(PostMessage(pRecorder, 117, 1, 0)); // queued, then the receiver goes
        // Only the pointer's value is kept, as a worker holding a stale window pointer would.
        const auto gone = reinterpret_cast<std::uintptr_t>(static_cast<CMsgWnd*>(pRecorder));
        delete pRecorder;
        auto* pGone = reinterpret_cast<CMsgWnd*>(gone);
        QVERIFY(!CMsgWnd::IsAlive(pGone));
        QVERIFY(!PostMessage(pGone, 117, 1, 0));
        QCOMPARE(SendMessage(pGone, 110, 1, 0), LRESULT(0));
        QCoreApplication::processEvents(); // the queued message must not reach freed memory
        QVERIFY(!PostMessage(nullptr, 117, 0, 0));
    }
#pragma GCC diagnostic pop

    void aSenderIsReleasedWhenTheReceiverGoesBeforeHandling()
    {
        auto* pRecorder = new CRecorder;
        std::atomic<LRESULT> result{-1};
        std::atomic<bool> bSending{false};
        std::thread worker([&] {
            bSending = true;
            result = SendMessage(pRecorder, 111, 7, 0);
        });
        // No event loop runs here, so the send is never handled: whether it was queued
        // already or finds the receiver gone, the sender must come back with 0.
        while (!bSending)
            std::this_thread::yield();
        delete pRecorder;
        worker.join();
        QCOMPARE(result.load(), LRESULT(0));
    }

    void suspendedThreadRunsOnlyOnceResumed()
    {
        ThreadGate gate;
        CWinThread* pThread =
            AfxBeginThread(CountRun, &gate, THREAD_PRIORITY_BELOW_NORMAL, CREATE_SUSPENDED);
        QVERIFY(pThread);
        pThread->m_bAutoDelete = false;
        // A thread started at the same time without suspension has had its turn by now;
        // the suspended one must not have.
        ThreadGate other;
        CWinThread* pOther = AfxBeginThread(CountRun, &other, THREAD_PRIORITY_BELOW_NORMAL);
        QVERIFY(pOther);
        QTRY_COMPARE(other.nRuns.load(), 1);
        QVERIFY(!pThread->HasEnded()); // still waiting to be resumed
        QCOMPARE(gate.nRuns.load(), 0);
        pThread->ResumeThread();
        QVERIFY(pThread->WaitForEnd());
        QVERIFY(pThread->HasEnded());
        QCOMPARE(gate.nRuns.load(), 1);
        delete pThread;
    }

    void ownedThreadIsWaitedForBeforeItsObjectGoes()
    {
        ThreadGate gate;
        CWinThread* pThread =
            AfxBeginThread(RunUntilOpen, &gate, THREAD_PRIORITY_ABOVE_NORMAL, CREATE_SUSPENDED);
        pThread->m_bAutoDelete = false;
        pThread->ResumeThread();
        QVERIFY(!pThread->WaitForEnd(20));
        gate.bOpen = true;
        delete pThread; // joins
        QCOMPARE(gate.nRuns.load(), 1);
    }

    void autoDeletingThreadsFreeThemselves()
    {
        ThreadGate gate;
        for (int i = 0; i < 20; ++i) {
            CWinThread* pThread =
                AfxBeginThread(CountRun, &gate, THREAD_PRIORITY_NORMAL, CREATE_SUSPENDED);
            QVERIFY(pThread);
            pThread->ResumeThread();
        }
        QTRY_COMPARE(gate.nRuns.load(), 20); // and nothing leaks (see the sanitizer build)
    }

    void aThreadNeverResumedDoesNotRunWhenDeleted()
    {
        ThreadGate gate;
        CWinThread* pThread =
            AfxBeginThread(CountRun, &gate, THREAD_PRIORITY_NORMAL, CREATE_SUSPENDED);
        pThread->m_bAutoDelete = false;
        delete pThread;
        QCOMPARE(gate.nRuns.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
