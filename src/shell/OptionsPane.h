#pragma once
// The Options pane's content: the backup plan at a glance, each part editable in place:
// where the files go on the server, how many are sent at once, and the account's space on
// the server that the meter measures against.
#include <QWidget>

class CBackupSession;
class CMossvaleView;
class CRightView;
class QLabel;
class QSpinBox;

class COptionsPane : public QWidget
{
    Q_OBJECT
public:
    // Changes go straight to the views and are kept: the number sent at once in the profile,
    // the quota with the account.
    COptionsPane(CMossvaleView* pCommandView, CRightView* pRightView, QWidget* pParent = nullptr);

    // The quota the user set for the account logged in (else the remembered one), in MB;
    // 0 when none is set.
    static int AccountQuotaMB(const CBackupSession* pSession);
    static void SetAccountQuotaMB(const CBackupSession* pSession, int nMB);
    // How many files a backup sends at once, as the profile keeps it.
    static int ParallelUploads();
    // Reads the values again (after a login to another account).
    void Refresh();

    // What the pane shows; none of these signals a change.
    void SetTicked(const QString& strText);
    void SetParallelUploads(int nCount);
    void SetQuotaMB(int nMB);

    QLabel* m_pTicked = nullptr;
    QLabel* m_pServerFolder = nullptr;
    QSpinBox* m_pParallel = nullptr;
    QSpinBox* m_pQuota = nullptr;

signals:
    void parallelUploadsChanged(int nCount);
    void quotaChanged(int nMB);

private:
    const CBackupSession* Session() const; // the command view's, null before a login

    CMossvaleView* m_pCommandView;
    CRightView* m_pRightView;
};
