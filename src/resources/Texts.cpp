#include "Texts.h"

#include <QCoreApplication>
#include <QDateTime>

#include <climits>

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

QString FailureReason(ETransferFailure eFailure)
{
    switch (eFailure) {
    case FAILURE_LOGIN_REFUSED:
        return QCoreApplication::translate("Texts", "登录被拒绝");
    case FAILURE_NO_CONNECTION:
        return QCoreApplication::translate("Texts", "无法连接服务器");
    case FAILURE_SERVER_REFUSED:
        return QCoreApplication::translate("Texts", "服务器拒绝");
    case FAILURE_LOCAL_UNREADABLE:
        return QCoreApplication::translate("Texts", "本地文件无法读取");
    case FAILURE_NOT_REGULAR_FILE:
        return QCoreApplication::translate("Texts", "不是普通文件");
    case FAILURE_DISK_FULL:
        return QCoreApplication::translate("Texts", "磁盘已满或超出配额");
    case FAILURE_CONNECTION_BROKEN:
        return QCoreApplication::translate("Texts", "连接中断");
    case FAILURE_SIZE_CHECK:
        return QCoreApplication::translate("Texts", "大小校验失败");
    case FAILURE_FILE_CHANGED:
        return QCoreApplication::translate("Texts", "文件在读取时被修改");
    case FAILURE_LOCAL_UNWRITABLE:
        return QCoreApplication::translate("Texts", "本地文件夹无法写入");
    case FAILURE_SAME_NAME:
        return QCoreApplication::translate("Texts", "另一个选中的文件同名");
    case FAILURE_CANCELLED:
        return QCoreApplication::translate("Texts", "已取消");
    case FAILURE_RENAME_REFUSED:
        return QCoreApplication::translate("Texts", "服务器不允许改名，无法安全替换，旧副本已保留");
    case FAILURE_DOWNLOAD_SHORT:
        return QCoreApplication::translate("Texts", "收到的字节少于服务器上的文件");
    case FAILURE_RESTARTED:
        return QCoreApplication::translate("Texts",
                                           "已送达；服务器不肯接续中断的传输，已从头重新发送");
    case FAILURE_UNSAFE_NAME:
        return QCoreApplication::translate("Texts",
                                           "名称会离开所选文件夹（..、/）或含有控制字符，不予处理");
    case FAILURE_NO_TLS:
        return QCoreApplication::translate("Texts", "服务器不提供加密连接");
    case FAILURE_CERTIFICATE_UNTRUSTED:
        return QCoreApplication::translate("Texts", "服务器证书不受信任");
    case FAILURE_CERTIFICATE_CHANGED:
        return QCoreApplication::translate("Texts", "服务器证书已改变，可能有人在拦截连接");
    case FAILURE_HOST_KEY_UNKNOWN:
        return QCoreApplication::translate("Texts", "服务器主机密钥未知");
    case FAILURE_HOST_KEY_CHANGED:
        return QCoreApplication::translate("Texts", "服务器主机密钥已改变，可能有人在拦截连接");
    case FAILURE_TLS_HANDSHAKE:
        return QCoreApplication::translate("Texts", "加密连接（TLS）握手失败");
    case FAILURE_TLS_VERSION:
        return QCoreApplication::translate("Texts", "服务器不接受本程序支持的任何 TLS 版本");
    case FAILURE_KEY_EXCHANGE:
        return QCoreApplication::translate("Texts",
                                           "SSH 密钥交换失败：服务器与本程序没有共同支持的算法");
    case FAILURE_NONE:
        break;
    }
    return QString();
}

QString NameWithFailure(const QString& strName, ETransferFailure eFailure,
                        const QByteArray& replyLine)
{
    const QString strReason =
        ReasonWithReply(FailureReason(eFailure), QString::fromUtf8(replyLine));
    return strReason.isEmpty() ? strName : NameWithReason(strName, strReason);
}

QString ReasonWithReply(const QString& strReason, const QString& strReplyLine)
{
    if (strReplyLine.isEmpty())
        return strReason;
    return strReason.isEmpty()
               ? strReplyLine
               : QCoreApplication::translate("Texts", "%1：%2").arg(strReason, strReplyLine);
}

QString SameNameReason(const QString& strSentPath)
{
    return QCoreApplication::translate("Texts", "%1，已备份的是 %2")
        .arg(FailureReason(FAILURE_SAME_NAME), strSentPath);
}

QString DeleteFailedHeading()
{
    return QCoreApplication::translate("Texts", "无法删除文件：");
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
QString WaitDialogName()
{
    return QCoreApplication::translate("Texts", "Transfer in progress");
}
QString FileProgressName()
{
    return QCoreApplication::translate("Texts", "Progress of the file");
}
QString LogInFirst()
{
    return QCoreApplication::translate("Texts", "请先登录服务器（File > Log In...）。");
}
QString FilesBackedUp(int nCount)
{
    return QCoreApplication::translate("Texts", "已备份 %n 个文件", nullptr, nCount);
}
QString LeftOutByPatterns(int nCount)
{
    return QCoreApplication::translate("Texts", "按排除规则略过 %n 项", nullptr, nCount);
}
QString FileRestored(const QString& strName)
{
    return QCoreApplication::translate("Texts", "已恢复 %1").arg(strName);
}

namespace {
// Bytes as people read them: "512 B", "15.0 KB", "1.5 MB", "2.0 GB".
QString Bytes(qint64 nBytes)
{
    if (nBytes < 1024)
        return QStringLiteral("%1 B").arg(nBytes);
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = nBytes / 1024.0;
    int nUnit = 0;
    while (value >= 1024.0 && nUnit < 3) {
        value /= 1024.0;
        ++nUnit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[nUnit]));
}
} // namespace

QString CancelButton()
{
    return QCoreApplication::translate("Texts", "Cancel");
}

QString FileProgress(qint64 nDone, qint64 nTotal, qint64 nBytesPerSecond)
{
    QString strText =
        nTotal >= 0 ? Bytes(nDone) + QStringLiteral(" / ") + Bytes(nTotal) : Bytes(nDone);
    if (nBytesPerSecond > 0)
        strText += QStringLiteral("  ") + Bytes(nBytesPerSecond) + QStringLiteral("/s");
    return strText;
}

QString BackupProgress(int nPlace, int nCount, qint64 nDone, qint64 nTotal, qint64 nSecondsLeft)
{
    QString strText = PlaceOfCount(nPlace, nCount) + QStringLiteral("  ") + Bytes(nDone) +
                      QStringLiteral(" / ") + Bytes(nTotal);
    if (nSecondsLeft >= 0)
        strText += QCoreApplication::translate("Texts", "  剩余 %1:%2")
                       .arg(nSecondsLeft / 60)
                       .arg(nSecondsLeft % 60, 2, 10, QLatin1Char('0'));
    return strText;
}

QString CancelledHeading()
{
    return QCoreApplication::translate("Texts", "以下文件已取消：");
}

QString NotSent()
{
    return QCoreApplication::translate("Texts", "未发送");
}

QString TransfersRunningQuestion()
{
    return QCoreApplication::translate("Texts", "文件仍在传输。等待传输完成，还是取消传输并退出？");
}

QString WaitForTransfersButton()
{
    return QCoreApplication::translate("Texts", "等待完成");
}

QString CancelAndQuitButton()
{
    return QCoreApplication::translate("Texts", "取消并退出");
}

QString NothingToBackUp()
{
    return QCoreApplication::translate("Texts",
                                       "没有勾选任何要备份的文件或文件夹。请先在左边的树中勾选。");
}

QString BackupAlreadyRunning()
{
    return QCoreApplication::translate("Texts", "此账户的另一个备份正在运行。请在它结束后再试。");
}

QString MissingReason()
{
    return QCoreApplication::translate("Texts", "已不存在");
}

QString WhenRun(const QDateTime& time, const QDateTime& now)
{
    const QString strTime = time.toString(QStringLiteral("HH:mm"));
    const qint64 nDays = time.date().daysTo(now.date());
    if (nDays == 0)
        return QCoreApplication::translate("Texts", "今天 %1").arg(strTime);
    if (nDays == 1)
        return QCoreApplication::translate("Texts", "昨天 %1").arg(strTime);
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString LastBackup(const QDateTime& started, const QDateTime& now, int nFiles, int nFailed,
                   const QString& strEnd)
{
    QString strText = QCoreApplication::translate("Texts", "上次备份：%1，%2 个文件")
                          .arg(WhenRun(started, now))
                          .arg(nFiles);
    if (nFailed > 0)
        strText += QCoreApplication::translate("Texts", "，%1 个失败").arg(nFailed);
    if (!strEnd.isEmpty())
        strText += QCoreApplication::translate("Texts", "，%1").arg(strEnd);
    return strText;
}

QString RunCancelled()
{
    return QCoreApplication::translate("Texts", "已取消");
}

QString RunInterrupted()
{
    return QCoreApplication::translate("Texts", "中断");
}

QString RunRunning()
{
    return QCoreApplication::translate("Texts", "进行中");
}

QString RunComplete()
{
    return QCoreApplication::translate("Texts", "完成");
}

QString RunWithFailures()
{
    return QCoreApplication::translate("Texts", "有失败");
}

QString TriggerWindow()
{
    return QCoreApplication::translate("Texts", "窗口");
}

QString TriggerCommandLine()
{
    return QCoreApplication::translate("Texts", "命令行");
}

QString TriggerTimer()
{
    return QCoreApplication::translate("Texts", "定时");
}

QString HistoryMenuItem()
{
    return QCoreApplication::translate("Texts", "Backup &History...");
}

QString HistoryTitle()
{
    return QCoreApplication::translate("Texts", "备份历史");
}

QString HistoryEmpty()
{
    return QCoreApplication::translate("Texts", "还没有备份记录。");
}

QString StartedColumn()
{
    return QCoreApplication::translate("Texts", "开始时间");
}

QString TriggerColumn()
{
    return QCoreApplication::translate("Texts", "启动方式");
}

QString ResultColumn()
{
    return QCoreApplication::translate("Texts", "结果");
}

QString SentColumn()
{
    return QCoreApplication::translate("Texts", "已发送");
}

QString UnchangedColumn()
{
    return QCoreApplication::translate("Texts", "未变");
}

QString FailedColumn()
{
    return QCoreApplication::translate("Texts", "失败");
}

QString SizeColumn()
{
    return QCoreApplication::translate("Texts", "大小");
}

QString ProblemsColumn()
{
    return QCoreApplication::translate("Texts", "未备份的文件");
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
QString ConfirmDelete(const QString& strName)
{
    return QCoreApplication::translate("Texts", "确定要删除服务器上的 %1 吗？删除后无法恢复。")
        .arg(strName);
}

QString ServerNotConnected(const QString& strServer)
{
    return QCoreApplication::translate("Texts", "%1服务器未接上").arg(strServer);
}
QString FolderEmpty()
{
    return QCoreApplication::translate("Texts", "目录为空，没有多余的内容");
}
QString ListingIncomplete()
{
    return QCoreApplication::translate("Texts", "服务器文件列表不完整");
}
QString ListingUnreadable()
{
    return QCoreApplication::translate("Texts", "无法读取服务器文件列表");
}
QString UsageAtLeast(const QString& strUsage)
{
    return QString::fromUtf8("≥") + strUsage;
}
QString UsageUnknown(const QString& strQuota)
{
    return QStringLiteral("?/") + strQuota;
}
QString ServerFreeSpace(const QString& strSize)
{
    return QCoreApplication::translate("Texts", "服务器尚余 %1").arg(strSize);
}
QString SizesUnknown(qlonglong nCount)
{
    return QCoreApplication::translate("Texts", "%n 个文件大小未知", nullptr, int(nCount));
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
QString NameColumn()
{
    return QCoreApplication::translate("Texts", "Name");
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
QString LoginWaiting()
{
    return QCoreApplication::translate("Texts", "wait ......");
}
QString ConnectFailed()
{
    return QCoreApplication::translate("Texts", "连接失败");
}
QString LoginDialogName()
{
    return QCoreApplication::translate("Texts", "Login");
}
QString ClearTextQuestion(const QString& strServer, bool bWasEncrypted)
{
    // Each sentence a text of its own: a literal stays whole on its line.
    if (bWasEncrypted)
        return QCoreApplication::translate("Texts", "服务器 %1 以前提供加密连接，现在不提供了。")
                   .arg(strServer) +
               QCoreApplication::translate("Texts", "可能有人在拦截连接。") +
               QCoreApplication::translate("Texts", "不加密时，密码和文件以明文在网络上传送。") +
               QCoreApplication::translate("Texts", "仍然不加密登录吗？");
    return QCoreApplication::translate("Texts", "服务器 %1 不提供加密连接。").arg(strServer) +
           QCoreApplication::translate("Texts", "不加密时，密码和文件以明文在网络上传送。") +
           QCoreApplication::translate("Texts", "仍然不加密登录吗？");
}
QString DirectStoreQuestion(const QString& strServer, const QString& strRefusal)
{
    return QCoreApplication::translate("Texts", "服务器 %1 不允许给文件改名（%2）。")
               .arg(strServer, strRefusal) +
           QCoreApplication::translate("Texts",
                                       "Mossvale 先把文件传到临时名称，完整后才替换旧副本；") +
           QCoreApplication::translate(
               "Texts", "直接存储会在传送时覆盖旧副本，传送中断时新旧副本都不完整。") +
           QCoreApplication::translate("Texts", "仍然对这个帐户直接存储文件吗？");
}
QString StoreDirectlyButton()
{
    return QCoreApplication::translate("Texts", "直接存储");
}
QString FailTheseFilesButton()
{
    return QCoreApplication::translate("Texts", "不存储，保留旧副本");
}
QString ReplaceQuestion(const QString& strName, const QString& strLocal, const QString& strServer)
{
    return QCoreApplication::translate("Texts", "本地已有不同的 %1。").arg(strName) + '\n' +
           QCoreApplication::translate("Texts", "本地：%1").arg(strLocal) + '\n' +
           QCoreApplication::translate("Texts", "服务器：%1").arg(strServer);
}
QString FileFacts(const QString& strSize, const QString& strDate)
{
    return QCoreApplication::translate("Texts", "%1，%2").arg(strSize, strDate);
}
QString ReplaceButton()
{
    return QCoreApplication::translate("Texts", "替换");
}
QString KeepBothButton()
{
    return QCoreApplication::translate("Texts", "保留两者");
}
QString SkipButton()
{
    return QCoreApplication::translate("Texts", "跳过");
}
QString SentUnchecked(const QString& strName)
{
    return QCoreApplication::translate("Texts", "%1 已传送，但服务器无法核对大小").arg(strName);
}
QString ContinueWithoutEncryptionButton()
{
    return QCoreApplication::translate("Texts", "不加密继续");
}
QString UntrustedCertificateText(const QString& strServer)
{
    return QCoreApplication::translate("Texts", "系统不为服务器 %1 的证书担保。").arg(strServer) +
           QCoreApplication::translate("Texts", "只有确认这是你的服务器的证书时才信任它。");
}
QString CertificateDetails(const QString& strSubject, const QString& strIssuer,
                           const QString& strNotBefore, const QString& strNotAfter,
                           const QString& strSha256)
{
    return QStringList{
        QCoreApplication::translate("Texts", "主题：%1").arg(strSubject),
        QCoreApplication::translate("Texts", "颁发者：%1").arg(strIssuer),
        QCoreApplication::translate("Texts", "有效期：%1 至 %2").arg(strNotBefore, strNotAfter),
        QCoreApplication::translate("Texts", "SHA-256 指纹：%1").arg(strSha256)}
        .join(QLatin1Char('\n'));
}
QString TrustCertificateButton()
{
    return QCoreApplication::translate("Texts", "信任此服务器的这个证书");
}
QString UnknownHostKeyText(const QString& strServer)
{
    return QCoreApplication::translate("Texts", "服务器 %1 的主机密钥未知。").arg(strServer) +
           QCoreApplication::translate("Texts", "只有确认这是你的服务器的密钥时才信任它。");
}
QString ChangedKeyDetails(const QString& strOldSha256, const QString& strNewDetails)
{
    return QCoreApplication::translate("Texts", "以前信任的 SHA-256 指纹：%1").arg(strOldSha256) +
           QLatin1Char('\n') + QCoreApplication::translate("Texts", "现在出示的：") +
           QLatin1Char('\n') + strNewDetails;
}
QString TrustNewKeyButton()
{
    return QCoreApplication::translate("Texts", "信任新的…");
}
QString ConfirmTrustNewKeyText()
{
    return QCoreApplication::translate("Texts", "只有确知服务器换了证书或主机密钥时才信任新的。") +
           QCoreApplication::translate("Texts", "否则可能有人在拦截连接，你的密码会落到他手里。");
}
QString ConfirmTrustNewKeyButton()
{
    return QCoreApplication::translate("Texts", "确认信任新的");
}
QString HostKeyDetails(const QString& strType, const QString& strSha256)
{
    return QCoreApplication::translate("Texts", "密钥类型：%1").arg(strType) + QLatin1Char('\n') +
           QCoreApplication::translate("Texts", "SHA-256 指纹：%1").arg(strSha256);
}
QString TrustHostKeyButton()
{
    return QCoreApplication::translate("Texts", "信任此服务器的这个主机密钥");
}
QString NoKeyringNotice()
{
    return QCoreApplication::translate("Texts", "没有可用的密钥环：每次登录请输入密码");
}
QString KeepPasswordInFileQuestion()
{
    return QCoreApplication::translate("Texts", "没有可用的密钥环来保存密码。") +
           QCoreApplication::translate("Texts", "要把密码保存在只有你能读取的文件中吗？") +
           QCoreApplication::translate("Texts",
                                       "密码在文件中不加密，以你的身份运行的程序都能读取它。");
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
QString LogInMenuItem()
{
    return QCoreApplication::translate("Texts", "&Log In...");
}
QString RefreshMenuItem()
{
    return QCoreApplication::translate("Texts", "&Refresh\tF5");
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

QString BandwidthGroup()
{
    return QCoreApplication::translate("Texts", "传输速度限制（所有连接合计）");
}

QString UploadLimitLabel()
{
    return QCoreApplication::translate("Texts", "备份：");
}

QString RestoreLimitLabel()
{
    return QCoreApplication::translate("Texts", "恢复：");
}

QString NoLimit()
{
    return QCoreApplication::translate("Texts", "不限");
}

QString SchedulePageTitle()
{
    return QCoreApplication::translate("Texts", "自动备份");
}
QString BackUpAutomaticallyLabel()
{
    return QCoreApplication::translate("Texts", "自动备份(&A)：");
}
QString ScheduleNever()
{
    return QCoreApplication::translate("Texts", "从不");
}
QString ScheduleHourly()
{
    return QCoreApplication::translate("Texts", "每小时");
}
QString ScheduleDaily()
{
    return QCoreApplication::translate("Texts", "每天");
}
QString ScheduleWeekly()
{
    return QCoreApplication::translate("Texts", "每周");
}
QString ScheduleAtLabel()
{
    return QCoreApplication::translate("Texts", "时间");
}
QString DayName(int nDay)
{
    static const char* const names[] = {
        QT_TRANSLATE_NOOP("Texts", "星期一"), QT_TRANSLATE_NOOP("Texts", "星期二"),
        QT_TRANSLATE_NOOP("Texts", "星期三"), QT_TRANSLATE_NOOP("Texts", "星期四"),
        QT_TRANSLATE_NOOP("Texts", "星期五"), QT_TRANSLATE_NOOP("Texts", "星期六"),
        QT_TRANSLATE_NOOP("Texts", "星期日")};
    if (nDay < 1 || nDay > 7)
        return {};
    return QCoreApplication::translate("Texts", names[nDay - 1]);
}
QString ApplyButton()
{
    return QCoreApplication::translate("Texts", "应用(&P)");
}
QString NextBackupAt(const QString& strWhen)
{
    return QCoreApplication::translate("Texts", "下次自动备份：%1").arg(strWhen);
}
QString NoScheduledBackup()
{
    return QCoreApplication::translate("Texts", "不自动备份。");
}
QString ScheduleFailed(const QString& strStep, const QString& strError)
{
    return QCoreApplication::translate("Texts", "无法设定自动备份：%1 失败（%2）。")
               .arg(strStep, strError) +
           QLatin1Char(' ') +
           QCoreApplication::translate("Texts",
                                       "没有 systemd 用户会话，备份不能自动运行；现在不自动备份。");
}

QString NotifySuccessCheck()
{
    return QCoreApplication::translate("Texts", "定时备份成功时也通知(&N)");
}
QString ScheduledBackupSucceeded()
{
    return QCoreApplication::translate("Texts", "定时备份完成");
}
QString ScheduledBackupFailed()
{
    return QCoreApplication::translate("Texts", "定时备份失败");
}
QString ScheduledBackupInterrupted()
{
    return QCoreApplication::translate("Texts", "定时备份中断");
}
QString ShowHistoryAction()
{
    return QCoreApplication::translate("Texts", "查看历史记录");
}

QString LastBackupOverdue(const QString& strWhen)
{
    return QCoreApplication::translate("Texts", "上次成功备份已久：%1").arg(strWhen);
}

QString ServerFolder(const QString& strPath)
{
    return QCoreApplication::translate("Texts", "位置：%1").arg(strPath);
}
QString UpFolderTip()
{
    return QCoreApplication::translate("Texts", "返回上一级文件夹");
}
QString ListNameColumn()
{
    return QCoreApplication::translate("Texts", "名称");
}
QString DateColumn()
{
    return QCoreApplication::translate("Texts", "修改日期");
}
QString Counting()
{
    return QCoreApplication::translate("Texts", "正在统计服务器上的全部文件…");
}
QString VersionsShare(const QString& strSize)
{
    return QCoreApplication::translate("Texts", "其中早先版本 %1").arg(strSize);
}
QString ConfirmFolderDelete(const QString& strName, qlonglong nFiles)
{
    const int nCount = int(qMin<qlonglong>(nFiles, INT_MAX));
    // clang-format off
    return QCoreApplication::translate("Texts", "确定要删除服务器上的文件夹 %1 及其中的 %n 个文件吗？删除后无法恢复。", nullptr, nCount)
        .arg(strName);
    // clang-format on
}
QString DetailsMenuItem()
{
    return QCoreApplication::translate("Texts", "&Details");
}
QString CheckServerMenuItem()
{
    return QCoreApplication::translate("Texts", "Check Every Server &Copy");
}
QString DoThisForAll(int nMore)
{
    return QCoreApplication::translate("Texts", "对其余 %n 个不同的文件也这样做", nullptr, nMore);
}
QString FolderUnreadable(const QString& strNames)
{
    return QCoreApplication::translate("Texts", "未能完整读取服务器上的文件夹 %1，什么也没有恢复")
        .arg(strNames);
}
QString FilesRestored(int nCount)
{
    return QCoreApplication::translate("Texts", "已恢复 %n 个文件", nullptr, nCount);
}
QString RestoreAlreadyRunning()
{
    return QCoreApplication::translate("Texts", "另一次恢复还在进行，请等它结束后再试。");
}

} // namespace Texts
