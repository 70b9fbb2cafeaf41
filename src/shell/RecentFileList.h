#pragma once
// The recent-file list: the last few documents opened, newest first, kept in the profile
// under "Recent File List" as File1, File2, ...
#include <QString>
#include <QStringList>

class QSettings;

class CRecentFileList
{
public:
    explicit CRecentFileList(int nSize) : m_nSize(nSize) {}

    void ReadList(QSettings& profile);
    void WriteList(QSettings& profile) const;
    // Puts strPath first; an entry already there moves up instead of standing twice.
    void Add(const QString& strPath);
    void Remove(const QString& strPath);
    const QStringList& Files() const { return m_files; }

private:
    int m_nSize;
    QStringList m_files;
};
