#include "Texts.h"

#include <QCoreApplication>

namespace Texts {

QString AppName()
{
    return QCoreApplication::applicationName();
}

QString AboutTitle()
{
    return QCoreApplication::translate("Texts", "About %1").arg(AppName());
}

QString AboutMenuItem()
{
    return QCoreApplication::translate("Texts", "&About %1...").arg(AppName());
}

QString VersionLine()
{
    return QCoreApplication::translate("Texts", "%1 Version %2")
        .arg(AppName(), QLatin1String(APP_VERSION));
}

QString InstalledReadme()
{
    // Where the install rule puts it, whatever the application object is called.
    return QStringLiteral("/../share/doc/%1/README.md").arg(QLatin1String(APP_NAME));
}

QString CannotOpenFile(const QString& strPath)
{
    return QCoreApplication::translate("Texts", "Cannot open the file %1.").arg(strPath);
}

QString BackupButton()
{
    return QCoreApplication::translate("Texts", "BACKUP");
}
QString RestoreButton()
{
    return QCoreApplication::translate("Texts", "RESTORE");
}
QString ChooseFolderTitle()
{
    return QCoreApplication::translate("Texts", "选择路径");
}
QString BackupFailedHeading()
{
    return QCoreApplication::translate("Texts", "以下文件未能备份：");
}
QString RestoreFailedHeading()
{
    return QCoreApplication::translate("Texts", "无法恢复文件：");
}

QString NameWithReason(const QString& strName, const QString& strReason)
{
    return QCoreApplication::translate("Texts", "%1（%2）").arg(strName, strReason);
}

QString MoreFailures(qlonglong nCount)
{
    return QString::asprintf("\n... (%lld)", nCount);
}

QString PleaseWait()
{
    return QCoreApplication::translate("Texts", "Please wait ...");
}

QString PlaceOfCount(int nPlace, int nCount)
{
    return QStringLiteral("%1 / %2").arg(nPlace).arg(nCount);
}

QString DeleteFileButton()
{
    return QCoreApplication::translate("Texts", "Delete File");
}
QString ServerFilesName()
{
    return QCoreApplication::translate("Texts", "Server files");
}
QString SpaceUsedName()
{
    return QCoreApplication::translate("Texts", "Space used");
}

QString Unchecked()
{
    return QCoreApplication::translate("Texts", "unchecked");
}
QString PartlyChecked()
{
    return QCoreApplication::translate("Texts", "partly checked");
}
QString Checked()
{
    return QCoreApplication::translate("Texts", "checked");
}

QString FtpServerLabel()
{
    return QCoreApplication::translate("Texts", "FTP Server");
}
QString UserNameLabel()
{
    return QCoreApplication::translate("Texts", "Username");
}
QString PasswordLabel()
{
    return QCoreApplication::translate("Texts", "Password");
}
QString PleaseLogin()
{
    return QCoreApplication::translate("Texts", "Please login the server.");
}
QString LoginButton()
{
    return QCoreApplication::translate("Texts", "Login");
}
QString QuitButton()
{
    return QCoreApplication::translate("Texts", "Quit");
}
QString LoginDefaultButton()
{
    return QCoreApplication::translate("Texts", "LOGIN");
}
QString NewUserButton()
{
    return QCoreApplication::translate("Texts", "New User");
}
QString Button1()
{
    return QCoreApplication::translate("Texts", "Button1");
}
QString Check1()
{
    return QCoreApplication::translate("Texts", "Check1");
}
QString RememberAccount()
{
    return QCoreApplication::translate("Texts", "Remember the account and password");
}
QString LoginWaiting()
{
    return QCoreApplication::translate("Texts", "wait ......");
}
QString ConnectFailed()
{
    return QCoreApplication::translate("Texts", "连接失败");
}

QString OkButton()
{
    return QCoreApplication::translate("Texts", "OK");
}
QString MenuBarName()
{
    return QStringLiteral("Menu Bar");
}
// Also the bar's object name, under which a saved layout finds the bar again: the same in
// every language.
QString StandardToolBarName()
{
    return QStringLiteral("Standard");
}
QString OptionsPaneText()
{
    return QCoreApplication::translate("Texts", "\n\nOptions");
}
QString BackupCommandNotice()
{
    return QCoreApplication::translate("Texts", "现在执行OnButtonBackup");
}
QString RestoreCommandNotice()
{
    return QCoreApplication::translate("Texts", "现在执行OnButtonRestore");
}
QString FloatPane()
{
    return QCoreApplication::translate("Texts", "Float");
}
QString ClosePane()
{
    return QCoreApplication::translate("Texts", "Close");
}
QString SeparatorName()
{
    return QCoreApplication::translate("Texts", "Separator");
}
QString NewMenuName()
{
    return QCoreApplication::translate("Texts", "New Menu");
}

QString CustomizeTitle()
{
    return QCoreApplication::translate("Texts", "Customize");
}
QString AllCommandsCategory()
{
    return QCoreApplication::translate("Texts", "All Commands");
}
QString BuiltInMenusCategory()
{
    return QCoreApplication::translate("Texts", "Built-in Menus");
}
QString CommandsPageTitle()
{
    return QCoreApplication::translate("Texts", "Commands");
}

QString CommandsPageHint()
{
    return QCoreApplication::translate(
        "Texts", "To add a command to the toolbar, select a category and a command, "
                 "then choose Add. It goes after the selected toolbar button.");
}

QString AddButton()
{
    return QCoreApplication::translate("Texts", "&Add >");
}
QString RemoveButton()
{
    return QCoreApplication::translate("Texts", "< &Remove");
}
QString ResetToolBarButton()
{
    return QCoreApplication::translate("Texts", "Re&set Toolbar");
}
QString CategoriesLabel()
{
    return QCoreApplication::translate("Texts", "Cate&gories:");
}
QString CommandsLabel()
{
    return QCoreApplication::translate("Texts", "Comman&ds:");
}
QString ToolBarButtonsLabel()
{
    return QCoreApplication::translate("Texts", "Toolbar &buttons:");
}
QString SeparatorItem()
{
    return QCoreApplication::translate("Texts", "――――");
}

QString Description(const QString& strPrompt)
{
    return QCoreApplication::translate("Texts", "Description: %1").arg(strPrompt);
}

QString KeyboardPageTitle()
{
    return QCoreApplication::translate("Texts", "Keyboard");
}
QString AssignButton()
{
    return QCoreApplication::translate("Texts", "&Assign");
}
QString RemoveKeyButton()
{
    return QCoreApplication::translate("Texts", "&Remove");
}
QString ResetAllButton()
{
    return QCoreApplication::translate("Texts", "Reset A&ll");
}
QString CategoryLabel()
{
    return QCoreApplication::translate("Texts", "Cate&gory:");
}
QString CurrentKeysLabel()
{
    return QCoreApplication::translate("Texts", "C&urrent Keys:");
}
QString NewShortcutKeyLabel()
{
    return QCoreApplication::translate("Texts", "&Press New Shortcut Key:");
}

QString CurrentlyAssignedTo(const QString& strCommand)
{
    return QCoreApplication::translate("Texts", "Currently assigned to: %1").arg(strCommand);
}

QString OptionsPageTitle()
{
    return QCoreApplication::translate("Texts", "Options");
}
QString PersonalizedGroup()
{
    return QCoreApplication::translate("Texts", "Personalized Menus and Toolbars");
}
QString AlwaysShowFullMenus()
{
    return QCoreApplication::translate("Texts", "Always show f&ull menus");
}
QString OtherGroup()
{
    return QCoreApplication::translate("Texts", "Other");
}
QString LargeIcons()
{
    return QCoreApplication::translate("Texts", "&Large icons");
}
QString ShowScreenTips()
{
    return QCoreApplication::translate("Texts", "Show Screen&Tips on toolbars");
}

} // namespace Texts
