#pragma once
// The Options pane's content: the backup plan at a glance, each part editable in place or
// through a button that opens its dialog: what is ticked (in the tree), where the files go
// on the server, how many are sent at once, the account's space on the server that the
// meter measures against, the schedule, and the patterns left out. One form, a row per
// setting, so that later settings are one more row.
#include "backup/BackupPlan.h"

#include <QWidget>

class CBackupSession;
class CMossvaleView;
class CRightView;
class QFormLayout;
class QLabel;
class QPushButton;
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
    void SetPlan(const CBackupPlan& plan);
    void SetParallelUploads(int nCount);
    void SetQuotaMB(int nMB);
    // The schedule as the profile keeps it.
    void ShowSchedule();
    // "3 folders, 2 files", or "Nothing" for an empty plan.
    static QString TickedText(const CBackupPlan& plan);
    // The patterns on one line, or "None".
    static QString PatternsText(const QStringList& patterns);

    // The form; a setting added later is a row of it.
    QFormLayout* Form() const { return m_pForm; }

    QLabel* m_pTicked = nullptr;
    QLabel* m_pServerFolder = nullptr;
    QSpinBox* m_pParallel = nullptr;
    QSpinBox* m_pQuota = nullptr;
    QLabel* m_pSchedule = nullptr;
    QPushButton* m_pScheduleButton = nullptr;
    QLabel* m_pPatterns = nullptr;
    QPushButton* m_pPatternsButton = nullptr;

signals:
    void parallelUploadsChanged(int nCount);
    void quotaChanged(int nMB);
    // The user asks for the schedule's dialog.
    void scheduleRequested();
    // The user changed the patterns in their dialog.
    void patternsChanged(const QStringList& patterns);

public:
    // Asks for the patterns, one a line, starting from those given; false when cancelled.
    // Tests replace it.
    static bool (*s_pfnAskPatterns)(QWidget* pParent, QStringList& patterns);

private:
    const CBackupSession* Session() const; // the command view's, null before a login

    void OnEditPatterns();

    CMossvaleView* m_pCommandView;
    CRightView* m_pRightView;
    QFormLayout* m_pForm = nullptr;
    QStringList m_patterns;
};
