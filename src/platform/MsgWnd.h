#pragma once
// Window messages between threads: a receiver derives from CMsgWnd and handles
// numbered messages in WindowProc, on the thread that constructed it.
//
// PostMessage queues (message, wParam, lParam) to the receiver's thread and returns.
// SendMessage runs the receiver's WindowProc on the receiver's thread and blocks the
// caller until it returns (a direct call when the caller already is on that thread).
// A receiver that has been destroyed is never called: a post to it is dropped and a
// send to it returns 0, so a worker can never reach a window that has gone away.
#include "WinTypes.h"

class QObject;
class CMsgPump;

class CMsgWnd
{
public:
    CMsgWnd();
    virtual ~CMsgWnd();
    CMsgWnd(const CMsgWnd&) = delete;
    CMsgWnd& operator=(const CMsgWnd&) = delete;

    // Handles one message; the result goes back to a sender.
    virtual LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) = 0;

    // True while the receiver exists; safe from any thread.
    static bool IsAlive(const CMsgWnd* pWnd);

private:
    friend class CMsgPump;
    friend bool PostMessage(CMsgWnd*, UINT, WPARAM, LPARAM);
    friend LRESULT SendMessage(CMsgWnd*, UINT, WPARAM, LPARAM);
    CMsgPump* m_pPump;
};

// Queues the message; false when the receiver does not exist.
bool PostMessage(CMsgWnd* pWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
// Calls the receiver on its thread and waits; 0 when the receiver does not exist.
LRESULT SendMessage(CMsgWnd* pWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
