#pragma once
// What an action did, said in the window's status bar ("3 files backed up", "letter.txt
// deleted"). The latest outcome replaces the one before; after a while the bar goes back to
// its idle text, which tells the state of things rather than an old event.
#include <QString>

class QWidget;

class CStatusOutcome
{
public:
    // How long an outcome stays before the idle text returns.
    static constexpr int kShownMs = 15000;

    // Shows strText in the status bar of pFrom's window, if it has one.
    static void Show(QWidget* pFrom, const QString& strText);
};
