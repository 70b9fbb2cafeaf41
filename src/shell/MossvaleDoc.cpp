#include "MossvaleDoc.h"

#include <QFile>
#include <QFileInfo>

bool CMossvaleDoc::OnNewDocument()
{
    m_strPathName.clear();
    return true;
}

bool CMossvaleDoc::OnOpenDocument(const QString& strPath)
{
    QFile file(strPath);
    if (QFileInfo(strPath).isDir() || !file.open(QIODevice::ReadOnly))
        return false;
    m_strPathName = QFileInfo(strPath).absoluteFilePath();
    return true;
}
