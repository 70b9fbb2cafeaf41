#pragma once
// Writing and reading whole local files in tests, with failures that show in the comparison.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>

#include <dirent.h>
#include <ftw.h>

inline bool WriteFile(const QString& strPath, const QByteArray& data = "x")
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray ReadFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A file named by its bytes: QFile can't name a file whose name is not UTF-8.
inline bool WriteRawFile(const QByteArray& path, const QByteArray& data = "x")
{
    FILE* pFile = std::fopen(path.constData(), "wb");
    if (!pFile)
        return false;
    const bool bWritten =
        std::fwrite(data.constData(), 1, data.size(), pFile) == size_t(data.size());
    return std::fclose(pFile) == 0 && bWritten;
}

// The names in a folder as the disk holds them, sorted by bytes, without "." and "..".
inline QList<QByteArray> RawNames(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* pDir = opendir(folder.constData())) {
        while (const dirent* pEntry = readdir(pDir)) {
            const QByteArray name(pEntry->d_name);
            if (name != "." && name != "..")
                names << name;
        }
        closedir(pDir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Removes what a folder holds, by bytes: QTemporaryDir leaves names that are not UTF-8
// behind (and with them their folders).
inline void RemoveRawContents(const QByteArray& folder)
{
    for (const QByteArray& name : RawNames(folder)) {
        nftw(
            (folder + '/' + name).constData(),
            [](const char* pszPath, const struct stat*, int, FTW*) { return std::remove(pszPath); },
            16, FTW_DEPTH | FTW_PHYS);
    }
}
