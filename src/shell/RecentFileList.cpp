#include "RecentFileList.h"

#include <QSettings>

namespace {
const char kSection[] = "Recent File List";
} // namespace

void CRecentFileList::ReadList(QSettings& profile)
{
    m_files.clear();
    profile.beginGroup(QLatin1String(kSection));
    for (int i = 1; i <= m_nSize; ++i) {
        const QString strPath = profile.value(QStringLiteral("File%1").arg(i)).toString();
        if (!strPath.isEmpty() && !m_files.contains(strPath))
            m_files << strPath;
    }
    profile.endGroup();
}

void CRecentFileList::WriteList(QSettings& profile) const
{
    profile.remove(QLatin1String(kSection));
    profile.beginGroup(QLatin1String(kSection));
    for (int i = 0; i < m_files.size(); ++i)
        profile.setValue(QStringLiteral("File%1").arg(i + 1), m_files[i]);
    profile.endGroup();
}

void CRecentFileList::Add(const QString& strPath)
{
    m_files.removeAll(strPath);
    m_files.prepend(strPath);
    while (m_files.size() > m_nSize)
        m_files.removeLast();
}

void CRecentFileList::Remove(const QString& strPath)
{
    m_files.removeAll(strPath);
}
