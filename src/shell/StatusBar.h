#pragma once
// The frame's status bar: a message pane and the key-state indicators (CAP, NUM, SCRL).
// The message pane shows, from the most to the least pressing: a highlighted command's
// prompt, the outcome of the latest action (for a while, CStatusOutcome), and otherwise the
// idle text: the state of things ("Ready" until the window says more). Indicators are lit while
// their lock is on. The lock state comes from the X server's keyboard lights; without an X display
// (offscreen, Wayland) the indicators stay unlit.
#include "platform/WinTypes.h"

#include <QStatusBar>
#include <vector>

class QLabel;

class CStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit CStatusBar(QWidget* pParent = nullptr);
    ~CStatusBar() override;

    // Panes in order: ID_SEPARATOR is the message pane, the others indicators named by the
    // string table. False for an id without a text; the bar then keeps its old panes.
    bool SetIndicators(const std::vector<UINT>& ids);

    QString MessageText() const; // what the message pane shows now
    // The text shown whenever no prompt or outcome is: it stays until replaced.
    void SetIdleText(const QString& strText);
    QString IdleText() const;
    // An action's outcome: replaces the last one, and gives way to the idle text after a while.
    void ShowOutcome(const QString& strText);
    QLabel* Indicator(UINT nID) const;
    bool IsIndicatorLit(UINT nID) const;

    // The account's last backup, left of the indicators; empty hides it.
    void SetLastBackup(const QString& strText);
    QString LastBackupText() const;

    // Reads the locks again and lights the indicators to match.
    void UpdateIndicators();

    // The locks that are on: LOCK_CAPS, LOCK_NUM, LOCK_SCROLL.
    static unsigned KeyboardLocks();
    static constexpr unsigned LOCK_CAPS = 1;
    static constexpr unsigned LOCK_NUM = 2;
    static constexpr unsigned LOCK_SCROLL = 4;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    QLabel* m_pIdleLabel = nullptr;
    QLabel* m_pLastBackup = nullptr;
    std::vector<std::pair<UINT, QLabel*>> m_indicators;
};
