#pragma once
// Writing and reading whole local files in tests, with failures that show in the comparison.
#include <QByteArray>
#include <QFile>
#include <QString>

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
