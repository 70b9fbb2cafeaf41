#pragma once
// Local paths are joined with "/"; a separator is added only when the folder text does
// not already end with one (a drive such as "/" or a folder given as "/data/").
//
// A local name is kept as the bytes the file system holds: names copied from other
// machines are often not UTF-8 (GBK, Latin-1), and text decoded from them could not be
// turned back into the name. Text is made from the bytes only to show them.
#include <QByteArray>
#include <QString>

QString JoinPath(const QString& strFolder, const QString& strName);
QByteArray JoinPath(const QByteArray& folder, const QByteArray& name);

// A local name or path as the user reads it: its UTF-8 kept as it is, and every byte that
// is not part of valid UTF-8, or is a control character, shown as an escape like "\xD6".
// Meant for display only; never for finding the file again.
QString DisplayName(const QByteArray& name);
