#include "Texts.h"

#include <QCoreApplication>

namespace Texts {

QString AppName()
{
    return QCoreApplication::applicationName();
}

QString AboutTitle()
{
    return QStringLiteral("About ") + AppName();
}

QString AboutMenuItem()
{
    return QStringLiteral("&About %1...").arg(AppName());
}

QString VersionLine()
{
    return QStringLiteral("%1 Version %2").arg(AppName(), QLatin1String(APP_VERSION));
}

QString InstalledReadme()
{
    // Where the install rule puts it, whatever the application object is called.
    return QStringLiteral("/../share/doc/%1/README.md").arg(QLatin1String(APP_NAME));
}

QString CannotOpenFile(const QString& strPath)
{
    return QStringLiteral("Cannot open the file %1.").arg(strPath);
}

QString BackupButton()
{
    return QStringLiteral("BACKUP");
}
QString RestoreButton()
{
    return QStringLiteral("RESTORE");
}
QString ChooseFolderTitle()
{
    return QString::fromUtf8("选择路径");
}
QString BackupFailedHeading()
{
    return QString::fromUtf8("以下文件未能备份：");
}
QString RestoreFailedHeading()
{
    return QString::fromUtf8("无法恢复文件：");
}

QString NameWithReason(const QString& strName, const QString& strReason)
{
    return strName + QString::fromUtf8("（") + strReason + QString::fromUtf8("）");
}

QString FailureReason(ETransferFailure eFailure)
{
    switch (eFailure) {
    case FAILURE_LOGIN_REFUSED:
        return QString::fromUtf8("登录被拒绝");
    case FAILURE_NO_CONNECTION:
        return QString::fromUtf8("无法连接服务器");
    case FAILURE_SERVER_REFUSED:
        return QString::fromUtf8("服务器拒绝");
    case FAILURE_LOCAL_UNREADABLE:
        return QString::fromUtf8("本地文件无法读取");
    case FAILURE_NOT_REGULAR_FILE:
        return QString::fromUtf8("不是普通文件");
    case FAILURE_DISK_FULL:
        return QString::fromUtf8("磁盘已满或超出配额");
    case FAILURE_CONNECTION_BROKEN:
        return QString::fromUtf8("连接中断");
    case FAILURE_SIZE_CHECK:
        return QString::fromUtf8("大小校验失败");
    case FAILURE_FILE_CHANGED:
        return QString::fromUtf8("文件在读取时被修改");
    case FAILURE_LOCAL_UNWRITABLE:
        return QString::fromUtf8("本地文件夹无法写入");
    case FAILURE_SAME_NAME:
        return QString::fromUtf8("另一个选中的文件同名");
    case FAILURE_NO_TLS:
        return QString::fromUtf8("服务器不提供加密连接");
    case FAILURE_CERTIFICATE_UNTRUSTED:
        return QString::fromUtf8("服务器证书不受信任");
    case FAILURE_CERTIFICATE_CHANGED:
        return QString::fromUtf8("服务器证书已改变，可能有人在拦截连接");
    case FAILURE_NONE:
        break;
    }
    return QString();
}

QString ReasonWithReply(const QString& strReason, const QString& strReplyLine)
{
    if (strReplyLine.isEmpty())
        return strReason;
    return strReason.isEmpty() ? strReplyLine : strReason + QString::fromUtf8("：") + strReplyLine;
}

QString SameNameReason(const QString& strSentPath)
{
    return FailureReason(FAILURE_SAME_NAME) + QString::fromUtf8("，已备份的是 %1").arg(strSentPath);
}

QString DeleteFailedHeading()
{
    return QString::fromUtf8("无法删除文件：");
}

QString MoreFailures(qlonglong nCount)
{
    return QString::asprintf("\n... (%lld)", nCount);
}

QString PleaseWait()
{
    return QStringLiteral("Please wait ...");
}

QString PlaceOfCount(int nPlace, int nCount)
{
    return QStringLiteral("%1 / %2").arg(nPlace).arg(nCount);
}
QString WaitDialogName()
{
    return QStringLiteral("Transfer in progress");
}
QString FileProgressName()
{
    return QStringLiteral("Progress of the file");
}
QString LogInFirst()
{
    return QString::fromUtf8("请先登录服务器（File > Log In...）。");
}
QString FilesBackedUp(int nCount)
{
    return QString::fromUtf8("已备份 %1 个文件").arg(nCount);
}
QString FileRestored(const QString& strName)
{
    return QString::fromUtf8("已恢复 %1").arg(strName);
}

QString DeleteFileButton()
{
    return QStringLiteral("Delete File");
}
QString ServerFilesName()
{
    return QStringLiteral("Server files");
}
QString SpaceUsedName()
{
    return QStringLiteral("Space used");
}
QString ConfirmDelete(const QString& strName)
{
    return QString::fromUtf8("确定要删除服务器上的 %1 吗？删除后无法恢复。").arg(strName);
}

QString ServerNotConnected(const QString& strServer)
{
    return strServer + QString::fromUtf8("服务器未接上");
}
QString FolderEmpty()
{
    return QString::fromUtf8("目录为空，没有多余的内容");
}
QString ListingIncomplete()
{
    return QString::fromUtf8("服务器文件列表不完整");
}
QString ListingUnreadable()
{
    return QString::fromUtf8("无法读取服务器文件列表");
}
QString UsageAtLeast(const QString& strUsage)
{
    return QString::fromUtf8("≥") + strUsage;
}
QString UsageUnknown(const QString& strQuota)
{
    return QStringLiteral("?/") + strQuota;
}
QString SizesUnknown(qlonglong nCount)
{
    return QString::fromUtf8("%1 个文件大小未知").arg(nCount);
}

QString Unchecked()
{
    return QStringLiteral("unchecked");
}
QString PartlyChecked()
{
    return QStringLiteral("partly checked");
}
QString Checked()
{
    return QStringLiteral("checked");
}
QString NameColumn()
{
    return QStringLiteral("Name");
}

QString FtpServerLabel()
{
    return QStringLiteral("FTP Server");
}
QString UserNameLabel()
{
    return QStringLiteral("Username");
}
QString PasswordLabel()
{
    return QStringLiteral("Password");
}
QString PleaseLogin()
{
    return QStringLiteral("Please login the server.");
}
QString LoginButton()
{
    return QStringLiteral("Login");
}
QString QuitButton()
{
    return QStringLiteral("Quit");
}
QString LoginWaiting()
{
    return QStringLiteral("wait ......");
}
QString ConnectFailed()
{
    return QString::fromUtf8("连接失败");
}
QString LoginDialogName()
{
    return QStringLiteral("Login");
}

QString OkButton()
{
    return QStringLiteral("OK");
}
QString MenuBarName()
{
    return QStringLiteral("Menu Bar");
}
// Also the bar's object name, under which a saved layout finds the bar again.
QString StandardToolBarName()
{
    return QStringLiteral("Standard");
}
QString OptionsPaneText()
{
    return QStringLiteral("\n\nOptions");
}
QString BackupCommandNotice()
{
    return QString::fromUtf8("现在执行OnButtonBackup");
}
QString RestoreCommandNotice()
{
    return QString::fromUtf8("现在执行OnButtonRestore");
}
QString FloatPane()
{
    return QStringLiteral("Float");
}
QString ClosePane()
{
    return QStringLiteral("Close");
}
QString SeparatorName()
{
    return QStringLiteral("Separator");
}
QString NewMenuName()
{
    return QStringLiteral("New Menu");
}
QString LogInMenuItem()
{
    return QStringLiteral("&Log In...");
}
QString LogInPrompt()
{
    return QStringLiteral("Log in to the FTP server\nLog In");
}
QString RefreshMenuItem()
{
    return QStringLiteral("&Refresh\tF5");
}
QString RefreshPrompt()
{
    return QStringLiteral("List the files on the server again\nRefresh");
}

QString CustomizeTitle()
{
    return QStringLiteral("Customize");
}
QString AllCommandsCategory()
{
    return QStringLiteral("All Commands");
}
QString BuiltInMenusCategory()
{
    return QStringLiteral("Built-in Menus");
}
QString CommandsPageTitle()
{
    return QStringLiteral("Commands");
}

QString CommandsPageHint()
{
    return QStringLiteral("To add a command to the toolbar, select a category and a command, "
                          "then choose Add. It goes after the selected toolbar button.");
}

QString AddButton()
{
    return QStringLiteral("&Add >");
}
QString RemoveButton()
{
    return QStringLiteral("< &Remove");
}
QString ResetToolBarButton()
{
    return QStringLiteral("Re&set Toolbar");
}
QString CategoriesLabel()
{
    return QStringLiteral("Cate&gories:");
}
QString CommandsLabel()
{
    return QStringLiteral("Comman&ds:");
}
QString ToolBarButtonsLabel()
{
    return QStringLiteral("Toolbar &buttons:");
}
QString SeparatorItem()
{
    return QString::fromUtf8("――――");
}

QString Description(const QString& strPrompt)
{
    return QStringLiteral("Description: %1").arg(strPrompt);
}

QString KeyboardPageTitle()
{
    return QStringLiteral("Keyboard");
}
QString AssignButton()
{
    return QStringLiteral("&Assign");
}
QString RemoveKeyButton()
{
    return QStringLiteral("&Remove");
}
QString ResetAllButton()
{
    return QStringLiteral("Reset A&ll");
}
QString CategoryLabel()
{
    return QStringLiteral("Cate&gory:");
}
QString CurrentKeysLabel()
{
    return QStringLiteral("C&urrent Keys:");
}
QString NewShortcutKeyLabel()
{
    return QStringLiteral("&Press New Shortcut Key:");
}

QString CurrentlyAssignedTo(const QString& strCommand)
{
    return QStringLiteral("Currently assigned to: %1").arg(strCommand);
}

QString OptionsPageTitle()
{
    return QStringLiteral("Options");
}
QString PersonalizedGroup()
{
    return QStringLiteral("Personalized Menus and Toolbars");
}
QString AlwaysShowFullMenus()
{
    return QStringLiteral("Always show f&ull menus");
}
QString OtherGroup()
{
    return QStringLiteral("Other");
}
QString LargeIcons()
{
    return QStringLiteral("&Large icons");
}
QString ShowScreenTips()
{
    return QStringLiteral("Show Screen&Tips on toolbars");
}

} // namespace Texts
