#pragma once
// How long the window thread went without running its events: a 10 ms timer notes the largest
// gap between its ticks while the probe lives. It tells whether the window waited on a server,
// not how quick it is (that is measured in bench/): the tests' servers pause or stop for
// seconds, so a wait on one shows as more than kHeldMs, which a busy machine's scheduling alone
// never comes near.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CLatencyProbe : public QObject
{
public:
    static constexpr qint64 kHeldMs = 1000;
    CLatencyProbe()
    {
        m_clock.start();
        connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
        m_timer.start(10);
    }
    qint64 LargestGapMs()
    {
        Tick();
        return m_nLargestGap;
    }

private:
    void Tick()
    {
        const qint64 nNow = m_clock.elapsed();
        m_nLargestGap = qMax(m_nLargestGap, nNow - m_nLast);
        m_nLast = nNow;
    }
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_nLast = 0;
    qint64 m_nLargestGap = 0;
};
