#include "HelpFile.h"

#include "Profile.h"
#include "login/AccountStore.h"
#include "platform/Path.h"
#include "resources/Texts.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

namespace {

const QString kHelpName = QStringLiteral("help.html");
QString g_strHelpFolder;

QString Tilde(const QString& strPath)
{
    const QString strHome = QDir::homePath();
    return strPath.startsWith(strHome + QLatin1Char('/'))
               ? QLatin1Char('~') + strPath.mid(strHome.size())
               : strPath;
}

QString StateFolder()
{
    // Qt 6.4 has no state location of its own; the XDG default is ~/.local/state.
    QString strState = qEnvironmentVariable("XDG_STATE_HOME");
    if (strState.isEmpty() || QDir::isRelativePath(strState))
        strState = QDir::homePath() + QStringLiteral("/.local/state");
    return strState + QLatin1Char('/') + QLatin1String(Texts::APP_NAME) + QLatin1Char('/');
}

} // namespace

QString CHelpFile::Path()
{
    const QString strProgram =
        g_strHelpFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_strHelpFolder;
    const QString strInstalled = QStringLiteral("%1/../share/doc/%2/%3")
                                     .arg(strProgram, QLatin1String(Texts::APP_NAME), kHelpName);
    for (const QString& strCandidate : {JoinPath(strProgram, kHelpName), strInstalled})
        if (QFileInfo(strCandidate).isFile())
            return QDir::cleanPath(strCandidate);
    return QString();
}

void CHelpFile::Open(QWidget* pParent)
{
    const QString strPath = Path();
    if (!strPath.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(strPath)))
        return;
    QMessageBox::warning(
        pParent, Texts::AppName(),
        strPath.isEmpty()
            ? QCoreApplication::translate("CHelpFile", "找不到帮助文件 %1。").arg(kHelpName)
            : QCoreApplication::translate("CHelpFile", "无法打开帮助文件 %1。").arg(strPath));
}

void CHelpFile::SetFolder(const QString& strFolder)
{
    g_strHelpFolder = strFolder;
}

QString CHelpFile::PlacesText()
{
    return QStringList{
        QCoreApplication::translate("CHelpFile", "账户：%1").arg(Tilde(CAccountStore::FilePath())),
        QCoreApplication::translate("CHelpFile", "设置和备份计划：%1")
            .arg(Tilde(CProfile::Open()->fileName())),
        QCoreApplication::translate("CHelpFile", "备份历史：%1").arg(Tilde(StateFolder()))}
        .join(QLatin1Char('\n'));
}
