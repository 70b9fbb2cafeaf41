#pragma once
// The program's document: empty. The views keep their own state; opening a file only
// makes it the document's path (nothing is read from it).
#include <QString>

class CMossvaleDoc
{
public:
    // A fresh, untitled document.
    bool OnNewDocument();
    // Opens strPath to make sure it can be read, reads nothing, and takes it as the path.
    bool OnOpenDocument(const QString& strPath);

    const QString& GetPathName() const { return m_strPathName; }

private:
    QString m_strPathName;
};
