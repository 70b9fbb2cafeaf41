#pragma once
// Every text a user reads, in one table. The program is not translated: its texts are
// written here as they are shown (UTF-8), not passed through tr(), so a wording is changed in
// this file and nowhere else.
//
// Two parts of the table live beside the code that looks them up by number:
// - the frame's command texts, prompts and tooltips, keyed by command id:
//   shell/FrameResources.cpp (CFrameResources::Menu and String);
// - the engine's texts, because the engine links nothing above src/platform: the reasons a
//   transfer failed in transfer/FailureText.cpp, the listing's two notices at the top of
//   transfer/ListRemoteFolder.cpp.
#include <QString>

namespace Texts {

// The program's name, set once on the application object. Read it with AppName(); the
// constant is for what must not change with the application object, or exists before it:
// the profile's folder and the installed documentation.
inline constexpr char APP_NAME[] = "Mossvale";
inline constexpr char APP_VERSION[] = "1.0";
QString AppName();
QString AboutTitle();      // "About Mossvale"
QString AboutMenuItem();   // "&About Mossvale..."
QString VersionLine();     // "Mossvale Version 1.0"
QString InstalledReadme(); // "/../share/doc/Mossvale/README.md", from the program's folder
QString CannotOpenFile(const QString& strPath);

// The command view and its wait dialog.
QString BackupButton();
QString RestoreButton();
QString ChooseFolderTitle();
QString BackupFailedHeading();
QString RestoreFailedHeading();
QString NameWithReason(const QString& strName, const QString& strReason);
QString MoreFailures(qlonglong nCount);
QString PleaseWait();
QString PlaceOfCount(int nPlace, int nCount);
QString WaitDialogName();
QString FileProgressName();
QString LogInFirst();
QString FilesBackedUp(int nCount);
QString FileRestored(const QString& strName);

// The remote file list.
QString DeleteFileButton();
QString ServerFilesName();
QString SpaceUsedName();
QString ConfirmDelete(const QString& strName);

// The folder tree's check boxes, as a screen reader says them.
QString Unchecked();
QString PartlyChecked();
QString Checked();
QString NameColumn();

// The login dialog.
QString FtpServerLabel();
QString UserNameLabel();
QString PasswordLabel();
QString PleaseLogin();
QString LoginButton();
QString QuitButton();
QString LoginWaiting();
QString ConnectFailed();
QString LoginDialogName();

// The main frame, its command bars and docking panes.
QString OkButton();
QString MenuBarName();
QString StandardToolBarName();
QString OptionsPaneText();
QString BackupCommandNotice();
QString RestoreCommandNotice();
QString FloatPane();
QString ClosePane();
QString SeparatorName();
QString NewMenuName();
QString LogInMenuItem();
QString LogInPrompt();
QString RefreshMenuItem();
QString RefreshPrompt();

// The customise dialog.
QString CustomizeTitle();
QString AllCommandsCategory();
QString BuiltInMenusCategory();
QString CommandsPageTitle();
QString CommandsPageHint();
QString AddButton();
QString RemoveButton();
QString ResetToolBarButton();
QString CategoriesLabel();
QString CommandsLabel();
QString ToolBarButtonsLabel();
QString SeparatorItem();
QString Description(const QString& strPrompt);
QString KeyboardPageTitle();
QString AssignButton();
QString RemoveKeyButton();
QString ResetAllButton();
QString CategoryLabel();
QString CurrentKeysLabel();
QString NewShortcutKeyLabel();
QString CurrentlyAssignedTo(const QString& strCommand);
QString OptionsPageTitle();
QString PersonalizedGroup();
QString AlwaysShowFullMenus();
QString OtherGroup();
QString LargeIcons();
QString ShowScreenTips();

} // namespace Texts
