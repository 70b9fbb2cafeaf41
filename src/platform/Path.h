#pragma once
// Paths, local and remote alike, are joined with "/"; a separator is added only when the
// folder text does not already end with one (a drive such as "/" or a folder given as
// "/data/"), and an empty folder adds none, so that joining the parts SplitPath gives
// yields the path again.
//
// A local name is kept as the bytes the file system holds: names copied from other
// machines are often not UTF-8 (GBK, Latin-1), and text decoded from them could not be
// turned back into the name. Text is made from the bytes only to show them.
#include <QByteArray>
#include <QString>

#include <string>

QString JoinPath(const QString& strFolder, const QString& strName);
QByteArray JoinPath(const QByteArray& folder, const QByteArray& name);
std::string JoinPath(const std::string& strFolder, const std::string& strName);

// A path cut after its last "/": the folder keeps that separator ("/" for a file in the
// root), a path without one is all name, and a path that ends in "/" has an empty name.
template <class TPath> struct PathParts {
    TPath folder;
    TPath name;
};
PathParts<QByteArray> SplitPath(const QByteArray& path);
PathParts<std::string> SplitPath(const std::string& strPath);

// A local name or path as the user reads it: its UTF-8 kept as it is, and every byte that
// is not part of valid UTF-8, or is a control character, shown as an escape like "\xD6".
// Meant for display only; never for finding the file again.
QString DisplayName(const QByteArray& name);
