#pragma once
// Directory search and file attributes as the program was designed around them: entries
// come with a Windows-style attribute word, and a folder is read in case-insensitive name
// order, the order the original platform's file system returned.
//
// Linux has no "system" attribute and no archive bit. Symbolic links are followed, so a
// link to a folder is a folder; a dangling link is an entry without the directory bit.
// Devices, FIFOs and sockets carry FILE_ATTRIBUTE_DEVICE: they are neither folders nor
// files whose contents could be read to an end.
//
// Paths and names are the file system's bytes (see Path.h); text is only for showing them.
#include "WinTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <vector>

constexpr UINT FILE_ATTRIBUTE_READONLY = 0x01; // never set here
constexpr UINT FILE_ATTRIBUTE_HIDDEN = 0x02;   // the name starts with "."
constexpr UINT FILE_ATTRIBUTE_SYSTEM = 0x04;   // never set here
constexpr UINT FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr UINT FILE_ATTRIBUTE_DEVICE = 0x40;         // device, FIFO or socket
constexpr UINT FILE_ATTRIBUTE_NORMAL = 0x80;         // a regular file with no other attribute
constexpr UINT FILE_ATTRIBUTE_REPARSE_POINT = 0x400; // a symbolic link
constexpr UINT INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

struct FindEntry {
    QByteArray name; // as the folder holds it
    QString strName; // DisplayName(name)
    UINT nAttributes;
};

// Transfers write into a temporary named with this prefix beside the target and rename it
// into place once complete (locally ".mossvale-XXXXXX", on the server ".mossvale-<hex>.part");
// such a file is the program's own, not one of the user's files.
constexpr char kOwnTemporaryPrefix[] = ".mossvale-";
bool IsOwnTemporary(const char* pszName);

// Case-insensitive order of file names: code units compared after upper-casing, as the
// original file system sorted its folders. Negative, 0 or positive like strcmp.
int CompareFileNames(QStringView a, QStringView b);

// Reads every entry of a folder except "." and "..", sorted by CompareFileNames of their
// display names (names equal but for case follow in code-unit order, then in byte order).
// False, with entries empty, when the folder can't be opened: missing, not a folder, or no
// access.
bool FindFolderEntries(const QByteArray& folder, std::vector<FindEntry>& entries);

// True when the folder can be opened and holds an entry other than ".", ".." and the
// program's own temporaries: something the tree would show. Reads only as far as the
// first such entry.
bool FolderHasEntries(const QByteArray& folder);

// The attribute word of a path, following links; INVALID_FILE_ATTRIBUTES when the path
// doesn't exist (a dangling link included).
UINT GetFileAttributes(const QByteArray& path);
