#pragma once
// The wait dialog that BACKUP and RESTORE show while their jobs run: no caption bar,
// centred over the main window, "Please wait ..." beside a looping animation, and below it
// the file being sent or fetched, its place in the backup, the bytes done of it and its speed,
// and the whole backup's bytes and time left. Modeless: Cancel and Esc ask the jobs to stop
// (cancelRequested); the command view closes it when its last job has ended. One window:
// opening it while it shows keeps it as it is.
#include <QDialog>
#include <QLabel>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>

class CWaitDlg : public QDialog
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
    // The bar and the bytes line: bytes done of nTotal at a speed (0: not known yet); a total
    // below 0 (unknown) shows a busy bar.
    void SetProgressBytes(qint64 nDone, qint64 nTotal, qint64 nBytesPerSecond = 0);
    // The whole backup's line; empty for none.
    void SetBackupProgress(const QString& strText);
    // Esc: the same as Cancel.
    void reject() override;

    QLabel m_stcWait;
    QLabel m_animWait; // plays m_movWait
    QLabel m_stcFile;
    QLabel m_stcPlace;
    QProgressBar m_prgFile;
    QLabel m_stcBytes;
    QLabel m_stcBackup;
    QPushButton m_btnCancel;

signals:
    void cancelRequested();

protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QMovie m_movWait;
};
