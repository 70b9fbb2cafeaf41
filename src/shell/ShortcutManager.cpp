#include "ShortcutManager.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString SHORTCUTS_ARRAY = QStringLiteral("Shortcuts");

} // namespace

CShortcutManager::CShortcutManager(QObject* pParent) : QObject(pParent) {}

void CShortcutManager::SetCommands(const std::vector<UINT>& ids)
{
    m_commands = std::set<UINT>(ids.begin(), ids.end());
}

void CShortcutManager::SetAccelerators(const AcceleratorTable& table)
{
    m_defaults.clear();
    for (const auto& accel : table) {
        if (accel.first.isEmpty() || !IsCommand(accel.second))
            continue;
        const bool bTaken =
            std::any_of(m_defaults.begin(), m_defaults.end(),
                        [&](const auto& other) { return other.first == accel.first; });
        if (!bTaken)
            m_defaults.push_back(accel);
    }
    Reset();
}

QList<QKeySequence> CShortcutManager::Keys(UINT nID) const
{
    QList<QKeySequence> keys;
    for (const auto& accel : m_keys) {
        if (accel.second == nID)
            keys.append(accel.first);
    }
    return keys;
}

UINT CShortcutManager::CommandOf(const QKeySequence& key) const
{
    for (const auto& accel : m_keys) {
        if (accel.first == key)
            return accel.second;
    }
    return 0;
}

UINT CShortcutManager::Assign(UINT nID, const QKeySequence& key)
{
    if (key.isEmpty() || !IsCommand(nID))
        return 0;
    UINT nPrevious = 0;
    const auto it = std::find_if(m_keys.begin(), m_keys.end(),
                                 [&](const auto& accel) { return accel.first == key; });
    if (it != m_keys.end()) {
        if (it->second == nID)
            return 0;
        nPrevious = it->second;
        m_keys.erase(it);
    }
    // Last among the command's keys: the key a menu shows stays the one it showed.
    m_keys.emplace_back(key, nID);
    emit ShortcutsChanged();
    return nPrevious;
}

bool CShortcutManager::Remove(UINT nID, const QKeySequence& key)
{
    const auto it = std::find_if(m_keys.begin(), m_keys.end(), [&](const auto& accel) {
        return accel.first == key && accel.second == nID;
    });
    if (it == m_keys.end())
        return false;
    m_keys.erase(it);
    emit ShortcutsChanged();
    return true;
}

void CShortcutManager::Reset()
{
    m_keys = m_defaults;
    emit ShortcutsChanged();
}

void CShortcutManager::LoadShortcuts(QSettings& settings, const QString& strSection)
{
    settings.beginGroup(strSection);
    // A saved empty table is a choice (every key removed); no table at all is not.
    const bool bSaved = settings.contains(SHORTCUTS_ARRAY + QStringLiteral("/size"));
    AcceleratorTable keys;
    const int nCount = settings.beginReadArray(SHORTCUTS_ARRAY);
    for (int i = 0; i < nCount; ++i) {
        settings.setArrayIndex(i);
        bool bNumber = false;
        const UINT nID = settings.value(QStringLiteral("Command")).toUInt(&bNumber);
        const QKeySequence key = QKeySequence::fromString(
            settings.value(QStringLiteral("Key")).toString(), QKeySequence::PortableText);
        if (!bNumber || !IsCommand(nID) || key.isEmpty() || key[0].key() == Qt::Key_unknown)
            continue;
        const bool bTaken = std::any_of(keys.begin(), keys.end(),
                                        [&](const auto& accel) { return accel.first == key; });
        if (!bTaken)
            keys.emplace_back(key, nID);
    }
    settings.endArray();
    settings.endGroup();
    if (!bSaved)
        return;
    m_keys = keys;
    emit ShortcutsChanged();
}

void CShortcutManager::SaveShortcuts(QSettings& settings, const QString& strSection) const
{
    settings.beginGroup(strSection);
    settings.remove(SHORTCUTS_ARRAY);
    settings.beginWriteArray(SHORTCUTS_ARRAY, int(m_keys.size()));
    for (int i = 0; i < int(m_keys.size()); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("Command"), m_keys[i].second);
        settings.setValue(QStringLiteral("Key"),
                          m_keys[i].first.toString(QKeySequence::PortableText));
    }
    settings.endArray();
    settings.endGroup();
}
