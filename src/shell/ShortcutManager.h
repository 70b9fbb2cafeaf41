#pragma once
// The keyboard shortcuts of the command bars: which keys run which command. It starts
// from an accelerator table, lets the customise dialog assign and remove keys, and keeps
// every key with one command at most, so no key is ever ambiguous.
#include "FrameResources.h"

#include <QList>
#include <QObject>
#include <set>

class QSettings;

class CShortcutManager : public QObject
{
    Q_OBJECT
public:
    explicit CShortcutManager(QObject* pParent = nullptr);

    // The commands that may carry keys; keys for others are never taken from saved state.
    void SetCommands(const std::vector<UINT>& ids);
    // The defaults, which also become the current keys. A key named twice stays with its
    // first command.
    void SetAccelerators(const AcceleratorTable& table);
    bool HasAccelerators() const { return !m_defaults.empty(); }

    // The keys of a command, first key first.
    QList<QKeySequence> Keys(UINT nID) const;
    // The command a key runs, or 0.
    UINT CommandOf(const QKeySequence& key) const;

    // Gives the key to the command, taking it from the command that had it; returns that
    // command (0 when the key was free or already the command's own). An empty key or
    // an unknown command changes nothing and returns 0.
    UINT Assign(UINT nID, const QKeySequence& key);
    // Takes the key from the command; false when the command did not have it.
    bool Remove(UINT nID, const QKeySequence& key);
    // Back to the accelerator table.
    void Reset();

    // Under strSection: the whole table, so a removed default stays removed. Missing or
    // unusable state leaves the current keys.
    void LoadShortcuts(QSettings& settings, const QString& strSection);
    void SaveShortcuts(QSettings& settings, const QString& strSection) const;

signals:
    // The keys of some commands changed.
    void ShortcutsChanged();

private:
    bool IsCommand(UINT nID) const { return m_commands.count(nID) != 0; }

    std::set<UINT> m_commands;
    AcceleratorTable m_defaults;
    AcceleratorTable m_keys; // in the order keys were given; one entry per key
};
