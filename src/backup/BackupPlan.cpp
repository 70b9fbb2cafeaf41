#include "BackupPlan.h"

#include <QSettings>

#include <algorithm>

#include <fnmatch.h>

namespace {

const QString GROUP = QStringLiteral("BackupPlan");
const QString PATH_KEY = QStringLiteral("Path");
const QString PATTERNS = QStringLiteral("Patterns");
const QString PATTERN_KEY = QStringLiteral("Pattern");
const char* const LISTS[] = {"Files", "Folders", "LeftOut"};

// The folder that holds path ("/" for a path at the top), or empty for "/" itself.
QByteArray ParentOf(const QByteArray& path)
{
    if (path == "/" || path.isEmpty())
        return {};
    const int nSlash = path.lastIndexOf('/');
    return nSlash <= 0 ? QByteArray("/") : path.left(nSlash);
}

} // namespace

QByteArray CBackupPlan::Normalised(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

bool CBackupPlan::IsBelow(const QByteArray& path, const QByteArray& folder)
{
    if (folder == "/")
        return path.size() > 1 && path.startsWith('/');
    return path.size() > folder.size() + 1 && path.startsWith(folder) &&
           path.at(folder.size()) == '/';
}

QList<QByteArray> CBackupPlan::Sorted(const QSet<QByteArray>& set)
{
    QList<QByteArray> list(set.cbegin(), set.cend());
    std::sort(list.begin(), list.end());
    return list;
}

void CBackupPlan::RemoveEntries(const QByteArray& path, bool bBelow)
{
    for (QSet<QByteArray>* pSet : {&m_files, &m_folders, &m_leftOut}) {
        pSet->remove(path);
        if (!bBelow)
            continue;
        for (auto it = pSet->begin(); it != pSet->end();) {
            if (IsBelow(*it, path))
                it = pSet->erase(it);
            else
                ++it;
        }
    }
}

void CBackupPlan::TickFile(const QByteArray& path)
{
    const QByteArray normal = Normalised(path);
    RemoveEntries(normal, false);
    if (!Contains(normal))
        m_files.insert(normal);
}

void CBackupPlan::TickFolder(const QByteArray& path)
{
    const QByteArray normal = Normalised(path);
    RemoveEntries(normal, true);
    if (!Contains(normal))
        m_folders.insert(normal);
}

void CBackupPlan::Untick(const QByteArray& path)
{
    const QByteArray normal = Normalised(path);
    RemoveEntries(normal, true);
    if (Contains(normal))
        m_leftOut.insert(normal);
}

void CBackupPlan::Clear()
{
    m_files.clear();
    m_folders.clear();
    m_leftOut.clear();
}

void CBackupPlan::SetPatterns(const QStringList& patterns)
{
    m_patterns.clear();
    for (const QString& strPattern : patterns) {
        const QString strTrimmed = strPattern.trimmed();
        if (!strTrimmed.isEmpty() && strTrimmed != QLatin1String("/") &&
            !m_patterns.contains(strTrimmed))
            m_patterns.append(strTrimmed);
    }
}

bool CBackupPlan::IsLeftOutByPattern(const QByteArray& path, bool bFolder) const
{
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    for (const QString& strPattern : m_patterns) {
        QByteArray pattern = strPattern.toUtf8();
        if (pattern.endsWith('/')) {
            if (!bFolder)
                continue;
            pattern.chop(1);
        }
        const bool bWholePath = pattern.contains('/');
        if (::fnmatch(pattern.constData(), (bWholePath ? path : name).constData(),
                      bWholePath ? FNM_PATHNAME : 0) == 0)
            return true;
    }
    return false;
}

bool CBackupPlan::Contains(const QByteArray& path) const
{
    for (QByteArray at = Normalised(path); !at.isEmpty(); at = ParentOf(at)) {
        if (m_leftOut.contains(at))
            return false;
        if (m_files.contains(at) || m_folders.contains(at))
            return true;
    }
    return false;
}

bool CBackupPlan::HasEntriesBelow(const QByteArray& folder) const
{
    const QByteArray normal = Normalised(folder);
    const auto anyBelow = [&normal](const QSet<QByteArray>& set) {
        return std::any_of(set.cbegin(), set.cend(),
                           [&normal](const QByteArray& entry) { return IsBelow(entry, normal); });
    };
    if (Contains(normal))
        return anyBelow(m_leftOut);
    return anyBelow(m_files) || anyBelow(m_folders);
}

CBackupPlan::ETick CBackupPlan::TickOf(const QByteArray& path, bool bFolder) const
{
    if (HasEntriesBelow(path))
        return ETick::Partly;
    return Contains(path) && !IsLeftOutByPatterns(path, bFolder) ? ETick::Whole : ETick::None;
}

bool CBackupPlan::IsLeftOutByPatterns(const QByteArray& path, bool bFolder) const
{
    if (m_patterns.isEmpty())
        return false;
    const QByteArray normal = Normalised(path);
    for (QByteArray at = normal; !at.isEmpty(); at = ParentOf(at)) {
        if (m_leftOut.contains(at) || m_files.contains(at) || m_folders.contains(at))
            return false; // the entry that decides: nothing between it and path matched
        if (IsLeftOutByPattern(at, at == normal ? bFolder : true))
            return true;
    }
    return false;
}

void CBackupPlan::Load(QSettings& settings)
{
    Clear();
    settings.beginGroup(GROUP);
    QSet<QByteArray>* sets[] = {&m_files, &m_folders, &m_leftOut};
    for (int i = 0; i < 3; ++i) {
        const int nCount = settings.beginReadArray(QString::fromLatin1(LISTS[i]));
        for (int n = 0; n < nCount; ++n) {
            settings.setArrayIndex(n);
            const QByteArray path = Normalised(settings.value(PATH_KEY).toByteArray());
            // A relative or empty path would name something else from every folder.
            if (path.startsWith('/'))
                sets[i]->insert(path);
        }
        settings.endArray();
    }
    QStringList patterns;
    const int nPatterns = settings.beginReadArray(PATTERNS);
    for (int n = 0; n < nPatterns; ++n) {
        settings.setArrayIndex(n);
        patterns.append(settings.value(PATTERN_KEY).toString());
    }
    settings.endArray();
    SetPatterns(patterns);
    settings.endGroup();
}

void CBackupPlan::Save(QSettings& settings) const
{
    settings.remove(GROUP);
    settings.beginGroup(GROUP);
    const QSet<QByteArray>* sets[] = {&m_files, &m_folders, &m_leftOut};
    for (int i = 0; i < 3; ++i) {
        const QList<QByteArray> paths = Sorted(*sets[i]);
        settings.beginWriteArray(QString::fromLatin1(LISTS[i]), static_cast<int>(paths.size()));
        for (int n = 0; n < paths.size(); ++n) {
            settings.setArrayIndex(n);
            settings.setValue(PATH_KEY, paths.at(n));
        }
        settings.endArray();
    }
    settings.beginWriteArray(PATTERNS, static_cast<int>(m_patterns.size()));
    for (int n = 0; n < m_patterns.size(); ++n) {
        settings.setArrayIndex(n);
        settings.setValue(PATTERN_KEY, m_patterns.at(n));
    }
    settings.endArray();
    settings.endGroup();
}

std::unique_ptr<QSettings> CBackupPlan::OpenProfile()
{
    // The same file as the window's profile (src/shell/Profile.h), named here again because
    // this layer links no window code.
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Local AppWizard-Generated Applications"),
                                       QStringLiteral("Mossvale"));
}

CBackupPlan CBackupPlan::LoadFromProfile()
{
    CBackupPlan plan;
    plan.Load(*OpenProfile());
    return plan;
}

bool CBackupPlan::SaveToProfile() const
{
    const std::unique_ptr<QSettings> pSettings = OpenProfile();
    Save(*pSettings);
    pSettings->sync();
    return pSettings->status() == QSettings::NoError;
}
