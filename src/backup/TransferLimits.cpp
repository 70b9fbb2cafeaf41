#include "TransferLimits.h"

#include "BackupPlan.h"
#include "transfer/BandwidthLimit.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString kUploadKey = QStringLiteral("Settings/UploadLimitKBps");
const QString kRestoreKey = QStringLiteral("Settings/RestoreLimitKBps");

int Read(const QString& strKey)
{
    return std::clamp(CBackupPlan::OpenProfile()->value(strKey, 0).toInt(), 0,
                      CTransferLimits::kMaxKBps);
}

void Hand(int nUploadKBps, int nRestoreKBps)
{
    CBandwidthLimit::Set(CBandwidthLimit::Upload, std::int64_t(nUploadKBps) * 1024);
    CBandwidthLimit::Set(CBandwidthLimit::Download, std::int64_t(nRestoreKBps) * 1024);
}

} // namespace

int CTransferLimits::UploadKBps()
{
    return Read(kUploadKey);
}

int CTransferLimits::RestoreKBps()
{
    return Read(kRestoreKey);
}

void CTransferLimits::Save(int nUploadKBps, int nRestoreKBps)
{
    nUploadKBps = std::clamp(nUploadKBps, 0, kMaxKBps);
    nRestoreKBps = std::clamp(nRestoreKBps, 0, kMaxKBps);
    const auto pProfile = CBackupPlan::OpenProfile();
    pProfile->setValue(kUploadKey, nUploadKBps);
    pProfile->setValue(kRestoreKey, nRestoreKBps);
    Hand(nUploadKBps, nRestoreKBps);
}

void CTransferLimits::Apply()
{
    Hand(UploadKBps(), RestoreKBps());
}
