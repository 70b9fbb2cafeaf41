#pragma once
// "Back up automatically: never / every hour / every day at HH:MM / every week on DAY at
// HH:MM", a page of the customise dialog. Apply sets up the timer and saves the choice in the
// profile; the page then says when the next backup runs, or why none will. Whether a
// successful scheduled backup is told too is saved as soon as it is ticked.
#include "backup/BackupSchedule.h"
#include "backup/BackupTimer.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimeEdit;

class CBackupSchedulePage : public QWidget
{
    Q_OBJECT
public:
    // strProgram: what the timer runs, this program's own absolute path.
    explicit CBackupSchedulePage(const QString& strProgram, QWidget* pParent = nullptr);

    CBackupSchedule Chosen() const;
    QComboBox* EveryBox() const { return m_pEvery; }
    QComboBox* DayBox() const { return m_pDay; }
    QTimeEdit* TimeEdit() const { return m_pTime; }
    QPushButton* ApplyButton() const { return m_pApply; }
    QLabel* StatusLabel() const { return m_pStatus; }
    QCheckBox* NotifySuccessBox() const { return m_pNotifySuccess; }

    // What the window shows of the schedule: when the next backup runs, or that none will.
    static QString NextRunText(const QDateTime& next);

signals:
    void scheduleChanged(const CBackupSchedule& schedule);

private:
    void Show(const CBackupSchedule& schedule);
    void OnChanged();
    void OnApply();

    CBackupTimer m_timer;
    CBackupSchedule m_saved;
    QComboBox* m_pEvery;
    QComboBox* m_pDay;
    QLabel* m_pAt;
    QTimeEdit* m_pTime;
    QPushButton* m_pApply;
    QLabel* m_pStatus;
    QCheckBox* m_pNotifySuccess;
};
