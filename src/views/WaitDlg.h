#pragma once
// The wait dialog that BACKUP and RESTORE show while their jobs run: no caption bar,
// centred over the main window, "Please wait ..." beside a looping animation, and below it
// the file being sent or fetched, its place in the backup and the bytes done of it.
// Modeless: Esc hides it, WM_CLOSE (posted by the listing job) hides it, and the jobs go on
// regardless. One window: opening it while it shows keeps it as it is.
#include "platform/MsgWnd.h"

#include <QDialog>
#include <QLabel>
#include <QMovie>
#include <QProgressBar>

class CWaitDlg : public QDialog, public CMsgWnd
{
    Q_OBJECT
public:
    explicit CWaitDlg(QWidget* pParent = nullptr);
    ~CWaitDlg() override;

    // Shows the dialog, owned by and centred over pOwner's window, with empty progress
    // lines. Nothing happens when it is open already.
    void Open(QWidget* pOwner);
    // Hides the dialog if it is open.
    void Close();
    bool IsOpen() const { return isVisible(); }

    // The file line: its name and, when nIndex > 0, its place "nIndex / nCount".
    void SetProgressFile(const QString& strName, int nIndex, int nCount);
    // The bar: bytes done of nTotal; a total below 0 (unknown) shows a busy bar.
    void SetProgressBytes(qint64 nDone, qint64 nTotal);

    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

    QLabel m_stcWait;
    QLabel m_animWait; // plays m_movWait
    QLabel m_stcFile;
    QLabel m_stcPlace;
    QProgressBar m_prgFile;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QMovie m_movWait;
};
