#include "BackupSchedulePage.h"

#include "Profile.h"
#include "notify/DesktopNotifier.h"
#include "resources/Texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

CBackupSchedulePage::CBackupSchedulePage(const QString& strProgram, QWidget* pParent)
    : QWidget(pParent), m_timer(strProgram), m_pEvery(new QComboBox(this)),
      m_pDay(new QComboBox(this)), m_pAt(new QLabel(Texts::ScheduleAtLabel(), this)),
      m_pTime(new QTimeEdit(this)), m_pApply(new QPushButton(Texts::ApplyButton(), this)),
      m_pStatus(new QLabel(this)),
      m_pNotifySuccess(new QCheckBox(Texts::NotifySuccessCheck(), this))
{
    setWindowTitle(Texts::SchedulePageTitle());
    m_pEvery->addItem(Texts::ScheduleNever(), CBackupSchedule::EVERY_NEVER);
    m_pEvery->addItem(Texts::ScheduleHourly(), CBackupSchedule::EVERY_HOUR);
    m_pEvery->addItem(Texts::ScheduleDaily(), CBackupSchedule::EVERY_DAY);
    m_pEvery->addItem(Texts::ScheduleWeekly(), CBackupSchedule::EVERY_WEEK);
    for (int nDay = 1; nDay <= 7; ++nDay)
        m_pDay->addItem(Texts::DayName(nDay), nDay);
    m_pTime->setDisplayFormat(QStringLiteral("HH:mm"));
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* pLabel = new QLabel(Texts::BackUpAutomaticallyLabel(), this);
    pLabel->setBuddy(m_pEvery);
    auto* pChoice = new QHBoxLayout;
    pChoice->addWidget(pLabel);
    pChoice->addWidget(m_pEvery);
    pChoice->addWidget(m_pDay);
    pChoice->addWidget(m_pAt);
    pChoice->addWidget(m_pTime);
    pChoice->addStretch();
    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(m_pApply);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pChoice);
    pLayout->addWidget(m_pStatus);
    pLayout->addWidget(m_pNotifySuccess);
    pLayout->addStretch();
    pLayout->addLayout(pButtons);

    m_saved = CBackupSchedule::Load(*CProfile::Open());
    Show(m_saved);
    m_pStatus->setText(NextRunText(m_timer.NextRun(m_saved)));
    connect(m_pEvery, &QComboBox::currentIndexChanged, this, &CBackupSchedulePage::OnChanged);
    connect(m_pDay, &QComboBox::currentIndexChanged, this, &CBackupSchedulePage::OnChanged);
    connect(m_pTime, &QTimeEdit::timeChanged, this, &CBackupSchedulePage::OnChanged);
    connect(m_pApply, &QPushButton::clicked, this, &CBackupSchedulePage::OnApply);
    m_pNotifySuccess->setChecked(CDesktopNotifier::NotifiesSuccess(*CProfile::Open()));
    connect(m_pNotifySuccess, &QCheckBox::toggled, this,
            [](bool bOn) { CDesktopNotifier::SetNotifiesSuccess(*CProfile::Open(), bOn); });
    OnChanged();
}

CBackupSchedule CBackupSchedulePage::Chosen() const
{
    switch (m_pEvery->currentData().toInt()) {
    case CBackupSchedule::EVERY_HOUR:
        return CBackupSchedule::Hourly();
    case CBackupSchedule::EVERY_DAY:
        return CBackupSchedule::Daily(m_pTime->time());
    case CBackupSchedule::EVERY_WEEK:
        return CBackupSchedule::Weekly(m_pDay->currentData().toInt(), m_pTime->time());
    default:
        return {};
    }
}

QString CBackupSchedulePage::NextRunText(const QDateTime& next)
{
    if (!next.isValid())
        return Texts::NoScheduledBackup();
    return Texts::NextBackupAt(QLocale().toString(next, QLocale::ShortFormat));
}

void CBackupSchedulePage::Show(const CBackupSchedule& schedule)
{
    m_pEvery->setCurrentIndex(m_pEvery->findData(schedule.Every()));
    m_pDay->setCurrentIndex(m_pDay->findData(schedule.Day()));
    m_pTime->setTime(schedule.Time());
}

void CBackupSchedulePage::OnChanged()
{
    const int nEvery = m_pEvery->currentData().toInt();
    m_pDay->setVisible(nEvery == CBackupSchedule::EVERY_WEEK);
    const bool bTimed =
        nEvery == CBackupSchedule::EVERY_DAY || nEvery == CBackupSchedule::EVERY_WEEK;
    m_pAt->setVisible(bTimed);
    m_pTime->setVisible(bTimed);
    m_pApply->setEnabled(Chosen() != m_saved || Chosen().IsOn() != m_timer.IsInstalled());
}

void CBackupSchedulePage::OnApply()
{
    const CBackupSchedule chosen = Chosen();
    const CBackupTimer::Result result = m_timer.Apply(chosen);
    // What the profile says is what the machine does: after a failure nothing is set.
    m_saved = result.bOk ? chosen : CBackupSchedule();
    m_saved.Save(*CProfile::Open());
    if (result.bOk)
        m_pStatus->setText(NextRunText(m_timer.NextRun(m_saved)));
    else
        m_pStatus->setText(Texts::ScheduleFailed(result.strCommand, result.strError));
    OnChanged();
    emit scheduleChanged(m_saved);
}
