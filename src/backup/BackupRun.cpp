#include "BackupRun.h"

#include "BackupSession.h"

#include <QSettings>
#include <QTimer>

#include <algorithm>

struct CBackupRun::Private {
};

int CBackupRun::ParallelUploadsSetting()
{
    const int nCount =
        CBackupPlan::OpenProfile()
            ->value(QStringLiteral("Settings/ParallelUploads"), kDefaultParallelUploads)
            .toInt();
    return std::clamp(nCount, 1, kMaxParallelUploads);
}

CBackupRun::CBackupRun(CBackupPlan plan, std::shared_ptr<CBackupSession> pSession, Options options,
                       QObject* pParent)
    : QObject(pParent), m_plan(std::move(plan)), m_pSession(std::move(pSession)),
      m_options(options), m_p(std::make_unique<Private>())
{
}

CBackupRun::~CBackupRun() = default;

CBackupRun::EStart CBackupRun::Start()
{
    if (m_plan.IsEmpty())
        return EStart::EmptyPlan;
    m_bRunning = true;
    QTimer::singleShot(0, this, [this] {
        m_bRunning = false;
        emit finished(m_summary);
    });
    return EStart::Started;
}

void CBackupRun::Cancel()
{
    m_bCancelling = m_bRunning;
}

BackupProgress CBackupRun::Progress() const
{
    return {};
}
