#include "BackupList.h"

#include "platform/Path.h"

CBackupList::~CBackupList()
{
    RemoveAll();
}

void CBackupList::AddTail(const QByteArray& path)
{
    auto* pEntry = new Entry;
    pEntry->path = path;
    pEntry->pPrev = m_pTail;
    if (m_pTail)
        m_pTail->pNext = pEntry;
    else
        m_pHead = pEntry;
    m_pTail = pEntry;

    Chain& chain = m_index[path];
    pEntry->pPrevSame = chain.pYoungest;
    if (chain.pYoungest)
        chain.pYoungest->pNextSame = pEntry;
    else
        chain.pOldest = pEntry;
    chain.pYoungest = pEntry;
    ++chain.nCount;
    ++m_nCount;
}

void CBackupList::Unlink(Entry* pEntry, Chain& chain)
{
    (pEntry->pPrev ? pEntry->pPrev->pNext : m_pHead) = pEntry->pNext;
    (pEntry->pNext ? pEntry->pNext->pPrev : m_pTail) = pEntry->pPrev;
    (pEntry->pPrevSame ? pEntry->pPrevSame->pNextSame : chain.pOldest) = pEntry->pNextSame;
    (pEntry->pNextSame ? pEntry->pNextSame->pPrevSame : chain.pYoungest) = pEntry->pPrevSame;
    --chain.nCount;
    --m_nCount;
    delete pEntry;
}

bool CBackupList::RemoveFirstEqual(const QByteArray& path)
{
    auto it = m_index.find(path);
    if (it == m_index.end())
        return false;
    Unlink(it->pOldest, *it);
    if (it->nCount == 0)
        m_index.erase(it);
    return true;
}

QByteArray CBackupList::GetTail() const
{
    return m_pTail ? m_pTail->path : QByteArray();
}

QByteArray CBackupList::RemoveTail()
{
    if (!m_pTail)
        return QByteArray();
    QByteArray path = m_pTail->path;
    auto it = m_index.find(path);
    // The tail is the youngest entry of its path, so its chain loses its young end.
    Unlink(m_pTail, *it);
    if (it->nCount == 0)
        m_index.erase(it);
    return path;
}

int CBackupList::CountOf(const QByteArray& path) const
{
    auto it = m_index.constFind(path);
    return it == m_index.constEnd() ? 0 : it->nCount;
}

void CBackupList::RemoveAll()
{
    for (Entry* pEntry = m_pHead; pEntry;) {
        Entry* pNext = pEntry->pNext;
        delete pEntry;
        pEntry = pNext;
    }
    m_pHead = m_pTail = nullptr;
    m_nCount = 0;
    m_index.clear();
}

QList<QByteArray> CBackupList::ToList() const
{
    QList<QByteArray> list;
    list.reserve(m_nCount);
    for (const Entry* pEntry = m_pHead; pEntry; pEntry = pEntry->pNext)
        list.append(pEntry->path);
    return list;
}

QStringList CBackupList::ToStringList() const
{
    QStringList list;
    list.reserve(m_nCount);
    for (const QByteArray& path : ToList())
        list.append(DisplayName(path));
    return list;
}
