#include "MsgWnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace {

// Every live receiver. Posting happens under this lock and a receiver leaves the set
// under it before its pump goes, so a worker never touches a pump that is gone.
std::mutex g_registryLock;
std::unordered_set<const CMsgWnd*>& Registry()
{
    static std::unordered_set<const CMsgWnd*> s_live;
    return s_live;
}

// Our two event types. Fixed numbers low in the user range: QEvent::registerEventType()
// hands out numbers from QEvent::MaxUser down, so no registered type can take them.
enum : int {
    kPostedMessageEvent = QEvent::User + 110,
    kSentMessageEvent,
};
const QEvent::Type kPostedMessage = static_cast<QEvent::Type>(kPostedMessageEvent);
const QEvent::Type kSentMessage = static_cast<QEvent::Type>(kSentMessageEvent);

// What a blocked sender waits on. The event that carries it completes it when handled,
// or when it is destroyed unhandled (its receiver went away first).
struct SendState {
    std::mutex lock;
    std::condition_variable done;
    bool bDone = false;
    LRESULT result = 0;

    void Complete(LRESULT value)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (bDone)
            return;
        result = value;
        bDone = true;
        done.notify_all();
    }
};

class CMessageEvent : public QEvent
{
public:
    CMessageEvent(Type type, UINT nMsg, WPARAM wParam, LPARAM lParam,
                  std::shared_ptr<SendState> pState = nullptr)
        : QEvent(type), m_nMsg(nMsg), m_wParam(wParam), m_lParam(lParam),
          m_pState(std::move(pState))
    {
    }
    ~CMessageEvent() override
    {
        if (m_pState)
            m_pState->Complete(0);
    }

    UINT m_nMsg;
    WPARAM m_wParam;
    LPARAM m_lParam;
    std::shared_ptr<SendState> m_pState;
};

} // namespace

// Lives on the receiver's thread and turns queued events back into WindowProc calls.
class CMsgPump : public QObject
{
public:
    explicit CMsgPump(CMsgWnd* pOwner) : m_pOwner(pOwner) {}

    bool event(QEvent* pEvent) override
    {
        if (pEvent->type() != kPostedMessage && pEvent->type() != kSentMessage)
            return QObject::event(pEvent);
        auto* pMsg = static_cast<CMessageEvent*>(pEvent);
        LRESULT result = m_pOwner->WindowProc(pMsg->m_nMsg, pMsg->m_wParam, pMsg->m_lParam);
        if (pMsg->m_pState)
            pMsg->m_pState->Complete(result);
        return true;
    }

private:
    CMsgWnd* m_pOwner;
};

CMsgWnd::CMsgWnd() : m_pPump(new CMsgPump(this))
{
    std::lock_guard<std::mutex> guard(g_registryLock);
    Registry().insert(this);
}

CMsgWnd::~CMsgWnd()
{
    {
        std::lock_guard<std::mutex> guard(g_registryLock);
        Registry().erase(this);
    }
    // Deleting the pump drops its queued events; blocked senders get 0.
    delete m_pPump;
}

bool CMsgWnd::IsAlive(const CMsgWnd* pWnd)
{
    std::lock_guard<std::mutex> guard(g_registryLock);
    return pWnd && Registry().count(pWnd) != 0;
}

bool PostMessage(CMsgWnd* pWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> guard(g_registryLock);
    if (!pWnd || Registry().count(pWnd) == 0)
        return false;
    QCoreApplication::postEvent(pWnd->m_pPump,
                                new CMessageEvent(kPostedMessage, nMsg, wParam, lParam));
    return true;
}

LRESULT SendMessage(CMsgWnd* pWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    auto pState = std::make_shared<SendState>();
    {
        std::lock_guard<std::mutex> guard(g_registryLock);
        if (!pWnd || Registry().count(pWnd) == 0)
            return 0;
        if (pWnd->m_pPump->thread() != QThread::currentThread()) {
            QCoreApplication::postEvent(
                pWnd->m_pPump, new CMessageEvent(kSentMessage, nMsg, wParam, lParam, pState),
                Qt::HighEventPriority);
        } else {
            pState.reset();
        }
    }
    if (!pState) // already on the receiver's thread: a plain call
        return pWnd->WindowProc(nMsg, wParam, lParam);

    std::unique_lock<std::mutex> wait(pState->lock);
    pState->done.wait(wait, [&] { return pState->bDone; });
    return pState->result;
}
