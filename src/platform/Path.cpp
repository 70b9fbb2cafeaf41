#include "Path.h"

QString JoinPath(const QString& strFolder, const QString& strName)
{
    if (strFolder.isEmpty() || strFolder.endsWith(QLatin1Char('/')))
        return strFolder + strName;
    return strFolder + QLatin1Char('/') + strName;
}
