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
#include "transfer/FtpConnection.h"

#include <unistd.h>

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

// An upload broken half-way: a 5 MiB file (PatternBytes seed 2) whose local copy shrinks to its
// first MiB under the reader once the first bytes have gone. True when it was cut and failed.
inline bool PutShrinkingFile(CFtpConnection& connection, const QString& strLocal,
                             const std::string& strRemote)
{
    if (!WriteFile(strLocal, PatternBytes(5 * 1024 * 1024, 2)))
        return false;
    bool bCut = false;
    const auto cutHalfWay = [&](std::int64_t nDone, std::int64_t) {
        if (nDone > 0 && !bCut)
            bCut = ::truncate(QFile::encodeName(strLocal).constData(), 1024 * 1024) == 0;
    };
    return !connection.PutFile(Utf8(strLocal), strRemote, cutHalfWay) && bCut;
}
