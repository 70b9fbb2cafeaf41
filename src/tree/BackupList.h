#pragma once
// The backup selection: full local paths of ticked files, oldest first. It is a list,
// not a set: a path may stand in it more than once and entries compare as exact bytes.
// Paths are the file system's bytes, so a name that is not UTF-8 is sent as it is.
//
// Ticking appends at the tail, unticking removes the oldest entry equal to the path,
// and BACKUP takes entries from the tail. Every operation below is O(1) on average
// (the equal entries of one path are chained through a hash index), so ticking or
// unticking a folder of 100,000 files stays linear. Only the window thread uses it.
//
// The command view drains it like this:
//     CBackupList& list = g_pLeftView->m_treeCtrl.m_backupList;
//     if (!list.IsEmpty()) { QByteArray path = list.RemoveTail(); ... }
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class CBackupList
{
public:
    CBackupList() = default;
    ~CBackupList();
    CBackupList(const CBackupList&) = delete;
    CBackupList& operator=(const CBackupList&) = delete;

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    // Appends a path at the tail.
    void AddTail(const QByteArray& path);
    // A path known as text stands for its UTF-8, the file system's encoding.
    void AddTail(const QString& strPath) { AddTail(strPath.toUtf8()); }
    // Removes the oldest entry equal to path; false (and no change) when there is none.
    bool RemoveFirstEqual(const QByteArray& path);
    // The most recently appended entry; empty when the list is.
    QByteArray GetTail() const;
    // Removes and returns the most recently appended entry; empty when the list is.
    QByteArray RemoveTail();
    // How many entries equal path.
    int CountOf(const QByteArray& path) const;
    void RemoveAll();

    // Every entry, oldest first (O(n); for display and tests): as they are, and as text.
    QList<QByteArray> ToList() const;
    QStringList ToStringList() const;

private:
    struct Entry {
        QByteArray path;
        Entry* pPrev = nullptr; // in list order
        Entry* pNext = nullptr;
        Entry* pNextSame = nullptr; // the next younger entry with the same path
        Entry* pPrevSame = nullptr;
    };
    struct Chain {
        Entry* pOldest = nullptr;
        Entry* pYoungest = nullptr;
        int nCount = 0;
    };

    void Unlink(Entry* pEntry, Chain& chain);

    Entry* m_pHead = nullptr;
    Entry* m_pTail = nullptr;
    int m_nCount = 0;
    QHash<QByteArray, Chain> m_index;
};
