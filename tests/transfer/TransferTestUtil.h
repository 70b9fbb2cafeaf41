#pragma once
// Helpers shared by the transfer suites: files with known content and comparing them.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QtTest>

#include "FtpTestServer.h"
#include "StartOrSkip.h"
#include "TestFiles.h"

inline QByteArray PatternBytes(qint64 nSize, quint32 nSeed = 7)
{
    QByteArray data(static_cast<int>(nSize), Qt::Uninitialized);
    QRandomGenerator random(nSeed);
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(random.generate() & 0xff);
    return data;
}

// Names in a folder that the client may have left behind (our temporaries begin ".mossvale").
inline QStringList Leftovers(const QString& strFolder)
{
    return QDir(strFolder).entryList({".mossvale*"}, QDir::Files | QDir::Hidden | QDir::System);
}

inline std::string Utf8(const QString& strText)
{
    return strText.toStdString();
}
