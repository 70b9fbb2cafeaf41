#pragma once
// Every text a user reads, in one table. Each is a source text of Qt's translation, written
// as a Chinese user reads it (UTF-8; some of them English, as they always were) and passed
// through QCoreApplication::translate in the context "Texts"; the English translation is
// translations/mossvale_en.ts, and CLanguage picks the language at start-up. A new text is
// one more function here; the build fails until the .ts has its English.
//
// One part of the table lives beside the code that looks it up by number:
// the frame's command texts, prompts and tooltips, keyed by command id:
//   shell/FrameResources.cpp (CFrameResources::Menu and String, context "CFrameResources").
// The engine has no texts of its own: it reports numbers (ETransferFailure) and the server's
// own reply lines, and the windows say them with the texts below.
#include "transfer/TransferFailure.h"

#include <QString>

class QDateTime;

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
// Why a transfer or a login failed; empty for FAILURE_NONE and for a number no failure has.
QString FailureReason(ETransferFailure eFailure);
// The reason followed by the server's own words, when it said any: "服务器拒绝：550 ...".
QString ReasonWithReply(const QString& strReason, const QString& strReplyLine);
// A failed file as a failure message names it: the name, then why, when that is known, and
// the server's own words when it refused.
QString NameWithFailure(const QString& strName, ETransferFailure eFailure,
                        const QByteArray& replyLine = QByteArray());
// Why a file was left out of a backup: an earlier ticked file of its name is sent instead,
// and that file's path.
QString SameNameReason(const QString& strSentPath);
QString DeleteFailedHeading();
QString MoreFailures(qlonglong nCount);
QString PleaseWait();
QString PlaceOfCount(int nPlace, int nCount);
QString WaitDialogName();
QString FileProgressName();
QString LogInFirst();
QString FilesBackedUp(int nCount);
// Files and folders of ticked folders that the plan's patterns left out.
QString LeftOutByPatterns(int nCount);
QString FileRestored(const QString& strName);
QString CancelButton();
// "1.5 MB / 4.0 MB  160 KB/s": a file's bytes done of its size (below 0: unknown), its speed.
QString FileProgress(qint64 nDone, qint64 nTotal, qint64 nBytesPerSecond);
// The whole backup: "2 / 5  3.1 MB / 10.0 MB  剩余 0:42" (no time while it is not known).
QString BackupProgress(int nPlace, int nCount, qint64 nDone, qint64 nTotal, qint64 nSecondsLeft);
QString CancelledHeading();
QString NotSent();
// Closing the main window while transfers run.
QString TransfersRunningQuestion();
QString WaitForTransfersButton();
QString CancelAndQuitButton();
// The backup plan, and the history of its runs.
QString NothingToBackUp();
QString BackupAlreadyRunning();
QString MissingReason(); // a file or folder of the plan that no longer exists
// "Last backup: today 14:02, 312 files, 2 failed"; strEnd says how a run that did not end
// well ended ("cancelled", "interrupted"), or is empty.
QString LastBackup(const QDateTime& started, const QDateTime& now, int nFiles, int nFailed,
                   const QString& strEnd);
// "today 14:02", "yesterday 09:30", or the date and time.
QString WhenRun(const QDateTime& time, const QDateTime& now);
QString RunCancelled();
QString RunInterrupted();
QString RunRunning();
QString RunComplete();
QString RunWithFailures();
QString TriggerWindow();
QString TriggerCommandLine();
QString TriggerTimer();
QString HistoryMenuItem();
QString HistoryTitle();
QString HistoryEmpty();
// The History window's columns.
QString StartedColumn();
QString TriggerColumn();
QString ResultColumn();
QString SentColumn();
QString UnchangedColumn();
QString FailedColumn();
QString SizeColumn();
QString ProblemsColumn();

// The remote file list.
QString DeleteFileButton();
QString ServerFilesName();
QString SpaceUsedName();
QString ConfirmDelete(const QString& strName);
// The remote listing's notices.
QString ServerNotConnected(const QString& strServer); // "<server>服务器未接上"
QString FolderEmpty();
QString ListingIncomplete(); // some entries arrived, then the listing broke
QString ListingUnreadable(); // the server refused the listing or could not be reached
// The meter's label when what it adds up is not the whole folder: at least so much is used
// ("≥86KB/100M"), or nothing is known ("?/100M").
QString UsageAtLeast(const QString& strUsage);
QString UsageUnknown(const QString& strQuota);
QString SizesUnknown(qlonglong nCount);          // "n files of unknown size"
QString ServerFreeSpace(const QString& strSize); // "the server has 3.2 GB free"

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
// A server without encryption, a certificate nobody vouches for, a keyring that is not there.
// bWasEncrypted: the account logged in over TLS before, so the missing TLS is suspect.
QString ClearTextQuestion(const QString& strServer, bool bWasEncrypted = false);
// A server that renames no file: whether to store files directly over their old copies.
QString DirectStoreQuestion(const QString& strServer, const QString& strRefusal);
QString StoreDirectlyButton();
QString FailTheseFilesButton();
// Before a restore replaces a local file that differs: the name, then each copy's facts.
QString ReplaceQuestion(const QString& strName, const QString& strLocal, const QString& strServer);
QString FileFacts(const QString& strSize, const QString& strDate); // "12 KB, 2024/3/5 10:00"
QString ReplaceButton();
QString KeepBothButton();
QString SkipButton();
// A file sent, or restored, whose size the server offered no way to check.
QString SentUnchecked(const QString& strName);
QString ContinueWithoutEncryptionButton();
QString UntrustedCertificateText(const QString& strServer);
QString CertificateDetails(const QString& strSubject, const QString& strIssuer,
                           const QString& strNotBefore, const QString& strNotAfter,
                           const QString& strSha256);
QString TrustCertificateButton();
QString UnknownHostKeyText(const QString& strServer);
QString HostKeyDetails(const QString& strType, const QString& strSha256);
QString TrustHostKeyButton();
// A certificate or host key other than the one trusted: both fingerprints, and the two steps
// that trust the new one.
QString ChangedKeyDetails(const QString& strOldSha256, const QString& strNewDetails);
QString TrustNewKeyButton();
QString ConfirmTrustNewKeyText();
QString ConfirmTrustNewKeyButton();
QString NoKeyringNotice();
QString KeepPasswordInFileQuestion();

// The main frame, its command bars and docking panes.
QString OkButton();
// Also the bars' object names, under which a saved layout finds them: not translated.
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
QString RefreshMenuItem();

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
// The bandwidth limits, on the same page.
QString BandwidthGroup();
QString UploadLimitLabel();
QString RestoreLimitLabel();
QString NoLimit();

// Backups on a schedule: the customise dialog's page and what the window says of it.
QString SchedulePageTitle();
QString BackUpAutomaticallyLabel();
QString ScheduleNever();
QString ScheduleHourly();
QString ScheduleDaily();
QString ScheduleWeekly();
QString ScheduleAtLabel();
QString DayName(int nDay); // 1 Monday ... 7 Sunday
QString ApplyButton();
QString NextBackupAt(const QString& strWhen);
QString NoScheduledBackup();
// The step that failed (a command line or a file) and what it said.
QString ScheduleFailed(const QString& strStep, const QString& strError);
QString NotifySuccessCheck();
// The last successful backup is older than its schedule allows; strWhen is its time.
QString LastBackupOverdue(const QString& strWhen);
// The desktop notification at the end of a scheduled backup.
QString ScheduledBackupSucceeded();
QString ScheduledBackupFailed();
QString ScheduledBackupInterrupted();
QString ShowHistoryAction();

// The server list's folders: where it is, the way up, the Details view's columns, the count
// of the whole account, and a folder's deletion.
QString ServerFolder(const QString& strPath); // "位置：/Documents"
QString UpFolderTip();
QString ListNameColumn(); // SizeColumn() is the size's
QString DateColumn();
QString Counting();
QString VersionsShare(const QString& strSize); // "其中早先版本 12 MB", beside the meter
QString ConfirmFolderDelete(const QString& strName, qlonglong nFiles);
QString DetailsMenuItem();
QString CheckServerMenuItem();
// A restore of several entries: the replace question's "for all" box (nMore more files
// differ), folders that could not be read whole, how many arrived, one already running.
QString DoThisForAll(int nMore);
QString FolderUnreadable(const QString& strNames);
QString FilesRestored(int nCount);
QString RestoreAlreadyRunning();

} // namespace Texts
