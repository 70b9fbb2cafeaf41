#pragma once
// Local paths are joined with "/"; a separator is added only when the folder text does
// not already end with one (a drive such as "/" or a folder given as "/data/").
#include <QString>

QString JoinPath(const QString& strFolder, const QString& strName);
