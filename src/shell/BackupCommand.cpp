#include "BackupCommand.h"

#include "backup/BackupLock.h"
#include "backup/BackupPlan.h"
#include "backup/BackupSession.h"
#include "backup/TransferLimits.h"
#include "login/AccountStore.h"
#include "login/PasswordStore.h"
#include "notify/DesktopNotifier.h"
#include "platform/Path.h"
#include "resources/Language.h"
#include "resources/Texts.h"
#include "transfer/ClearTextAccounts.h"
#include "transfer/FtpAddress.h"
#include "transfer/JobPool.h"
#include "transfer/MyThread.h"
#include "transfer/TrustStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QSettings>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How long the keyring may take to answer before the backup gives up on it.
constexpr int kKeyringWaitMs = 30000;
// How long a scheduled run waits for a click on its notification before it ends.
constexpr int kNotificationWaitMs = 10 * 60 * 1000;

int g_signalSockets[2] = {-1, -1};

void OnUnixSignal(int)
{
    const char ch = 1;
    [[maybe_unused]] const ssize_t nWritten = ::write(g_signalSockets[0], &ch, 1);
}

QString Size(qint64 nBytes)
{
    return Texts::FileProgress(nBytes, -1, 0);
}

void Print(std::FILE* pStream, const QString& strText)
{
    std::fputs(strText.toLocal8Bit().constData(), pStream);
    std::fflush(pStream);
}

// Why a file was not sent, as its line says it.
QString ReasonOf(const BackupFileReport& report)
{
    switch (report.eSkip) {
    case ESkipReason::SameName:
        return Texts::SameNameReason(DisplayName(report.sameNameAs));
    case ESkipReason::SpecialFile:
        return Texts::FailureReason(FAILURE_NOT_REGULAR_FILE);
    case ESkipReason::Unreadable:
        return QCoreApplication::translate("CBackupCommand", "文件夹无法读取");
    case ESkipReason::None:
        break;
    }
    if (report.eOutcome == EFileOutcome::Missing)
        return QCoreApplication::translate("CBackupCommand", "已不存在");
    if (report.eOutcome == EFileOutcome::NotSent && report.eFailure == FAILURE_NONE)
        return Texts::NotSent();
    return Texts::ReasonWithReply(Texts::FailureReason(report.eFailure),
                                  QString::fromUtf8(report.replyLine));
}

// The options the window's Qt takes itself (they may be written with two dashes as well).
bool IsWindowOption(const QByteArray& option)
{
    static const char* const s_options[] = {"platform",        "platformpluginpath",
                                            "platformtheme",   "plugin",
                                            "qwindowgeometry", "qwindowicon",
                                            "qwindowtitle",    "reverse",
                                            "session",         "style",
                                            "stylesheet",      "widgetcount",
                                            "display",         "geometry",
                                            "title",           "name",
                                            "visual",          "qmljsdebugger"};
    const QByteArray name = option.mid(2).split('=').first();
    return std::any_of(std::begin(s_options), std::end(s_options),
                       [&name](const char* pszOption) { return name == pszOption; });
}

} // namespace

bool CBackupCommand::IsWanted(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "-?" || arg == "-v")
            return true;
        // The window opens its history at once for a click on a scheduled run's notification.
        if (arg == "--history")
            continue;
        if (arg.startsWith("--") && !IsWindowOption(arg))
            return true;
    }
    return false;
}

int CBackupCommand::Main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(Texts::APP_NAME));
    QCoreApplication::setApplicationVersion(QLatin1String(Texts::APP_VERSION));
    CLanguage::Install(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "CBackupCommand", "将本地文件备份到 FTP、FTPS 或 SFTP 服务器。不带选项时打开窗口。"));
    const QCommandLineOption backup(
        QStringLiteral("backup"),
        QCoreApplication::translate("CBackupCommand",
                                    "用记住的账户备份已保存的计划，不打开窗口。"));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QCoreApplication::translate("CBackupCommand",
                                    "与 --backup 一起：列出将要发送的文件，不发送。"));
    const QCommandLineOption byTimer(
        QStringLiteral("started-by-timer"),
        QCoreApplication::translate("CBackupCommand",
                                    "与 --backup 一起：由定时器启动，结束时以桌面通知告知结果。"));
    const QCommandLineOption check(
        QStringLiteral("check"),
        QCoreApplication::translate(
            "CBackupCommand", "与 --backup 一起：检查服务器上的每个副本，补发缺少或不同的文件。"));
    parser.addOption(backup);
    parser.addOption(dryRun);
    parser.addOption(byTimer);
    parser.addOption(check);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const bool bParsed = parser.parse(QCoreApplication::arguments());
    if (bParsed && (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))) {
        Print(stdout, parser.helpText());
        return EXIT_DONE;
    }
    if (bParsed && parser.isSet(version)) {
        Print(stdout, Texts::VersionLine() + QLatin1Char('\n'));
        return EXIT_DONE;
    }
    if (!bParsed || !parser.isSet(backup) || !parser.positionalArguments().isEmpty()) {
        const QString strError =
            bParsed ? QCoreApplication::translate("CBackupCommand",
                                                  "--dry-run 和 --check 只能与 --backup 一起使用。")
                    : parser.errorText();
        Print(stderr, strError + QStringLiteral("\n\n") + parser.helpText());
        return EXIT_CANNOT_RUN;
    }

    CBackupCommand command(parser.isSet(dryRun), parser.isSet(byTimer), parser.isSet(check));
    int nExit = command.Prepare();
    if (nExit == EXIT_DONE)
        nExit = QCoreApplication::exec();
    if (command.m_bByTimer)
        command.TellDesktop(nExit);
    return FinishJobsForExit(nExit);
}

CBackupCommand::CBackupCommand(bool bDryRun, bool bByTimer, bool bCheck)
    : m_bDryRun(bDryRun), m_bByTimer(bByTimer && !bDryRun), m_bCheck(bCheck),
      m_bTerminal(::isatty(STDOUT_FILENO) != 0)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalSockets) == 0) {
        m_pSignals = std::make_unique<QSocketNotifier>(g_signalSockets[1], QSocketNotifier::Read);
        connect(m_pSignals.get(), &QSocketNotifier::activated, this, [this] { OnSignal(); });
        std::signal(SIGINT, OnUnixSignal);
        std::signal(SIGTERM, OnUnixSignal);
    }
}

CBackupCommand::~CBackupCommand()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

int CBackupCommand::Prepare()
{
    const CBackupPlan plan = CBackupPlan::LoadFromProfile();
    if (plan.IsEmpty()) {
        Say(QCoreApplication::translate(
                "CBackupCommand", "没有要备份的内容：请打开 Mossvale，勾选要备份的文件和文件夹。"),
            true);
        return EXIT_CANNOT_RUN;
    }
    CAccountStore store;
    const CAccountStore::Account account =
        store.Open() ? store.ReadAccount() : CAccountStore::Account();
    if (!m_bDryRun && (account.strServer.isEmpty() || account.strUserName.isEmpty())) {
        Say(QCoreApplication::translate("CBackupCommand",
                                        "没有记住的账户：请打开 Mossvale 并登录一次。"),
            true);
        return EXIT_CANNOT_RUN;
    }
    QString strPassword = account.strPassword;
    if (!m_bDryRun && strPassword.isEmpty() &&
        !ReadPassword(account.strServer, account.strUserName, strPassword))
        return EXIT_CANNOT_RUN;

    // The user's answer to the clear-text question, given once in the window.
    CFtpAddress address;
    if (address.Parse(account.strServer.toStdString(), INTERNET_DEFAULT_FTP_PORT) &&
        address.TlsByDefault()) {
        const std::string strKey = CTrustStore::ServerKey(address.Host(), address.Port());
        if (store.IsClearTextAllowed(QString::fromStdString(strKey), account.strUserName))
            CClearTextAccounts::Allow(strKey, account.strUserName.toStdString());
    }
    m_pSession = std::make_shared<CBackupSession>(account.strServer.toStdString(),
                                                  account.strUserName.toStdString(),
                                                  strPassword.toStdString());
    if (!m_bDryRun && CBackupLock::HolderPid(m_pSession->AccountKey()) != 0) {
        Say(QCoreApplication::translate("CBackupCommand", "此账户的另一个备份正在运行。"), true);
        return EXIT_CANNOT_RUN;
    }
    int nExit = EXIT_DONE;
    if (!m_bDryRun && !CheckLogin(nExit))
        return nExit;

    CBackupRun::Options options;
    options.nParallelUploads = CBackupRun::ParallelUploadsSetting();
    CTransferLimits::Apply(); // the window's limits hold here too
    // Started by systemd (a timer's service) or by hand.
    options.eTrigger = m_bByTimer || qEnvironmentVariableIsSet("INVOCATION_ID")
                           ? EBackupTrigger::Timer
                           : EBackupTrigger::CommandLine;
    options.bDryRun = m_bDryRun;
    options.bCheckServer = m_bCheck;
    m_pRun = std::make_unique<CBackupRun>(plan, m_pSession, options);
    connect(m_pRun.get(), &CBackupRun::fileStarted, this, &CBackupCommand::OnFileStarted);
    connect(m_pRun.get(), &CBackupRun::fileDone, this, &CBackupCommand::OnFileDone);
    connect(m_pRun.get(), &CBackupRun::progress, this, &CBackupCommand::OnProgress);
    connect(m_pRun.get(), &CBackupRun::finished, this, &CBackupCommand::OnFinished);
    switch (m_pRun->Start()) {
    case CBackupRun::EStart::Started:
        return EXIT_DONE;
    case CBackupRun::EStart::EmptyPlan:
        break;
    case CBackupRun::EStart::AlreadyRunning:
        Say(QCoreApplication::translate("CBackupCommand", "此账户的另一个备份正在运行。"), true);
        break;
    }
    return EXIT_CANNOT_RUN;
}

bool CBackupCommand::ReadPassword(const QString& strServer, const QString& strUser,
                                  QString& strPassword)
{
    QEventLoop loop;
    auto eResult = CPasswordStore::EResult::NoKeyring;
    CPasswordStore keyring;
    keyring.Read(strServer, strUser, &loop,
                 [&](CPasswordStore::EResult eRead, const QString& strRead) {
                     eResult = eRead;
                     strPassword = strRead;
                     loop.quit();
                 });
    QTimer::singleShot(kKeyringWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (eResult == CPasswordStore::EResult::Ok && !strPassword.isEmpty())
        return true;
    Say(eResult == CPasswordStore::EResult::NotFound
            ? QCoreApplication::translate(
                  "CBackupCommand", "没有记住的密码：请打开 Mossvale 登录一次，让它记住密码。")
            : QCoreApplication::translate(
                  "CBackupCommand", "无法访问密钥环：请解锁密钥环，或打开 Mossvale 登录一次。"),
        true);
    return false;
}

bool CBackupCommand::CheckLogin(int& nExit)
{
    QEventLoop loop;
    LoginReport result;
    result.eFailure = FAILURE_NO_CONNECTION;
    auto pJob = std::make_unique<CMyThread>(CMyThread::EKind::LoginCheck, m_pSession->MakeAccount(),
                                            QByteArray(), LOGIN_CHECK_FOLDER);
    connect(pJob.get(), &CMyThread::loginChecked, &loop, [&](const LoginReport& report) {
        result = report;
        loop.quit();
    });
    CJobPool::Get().Start(std::move(pJob));
    loop.exec();
    if (result.bConnected)
        return true;
    const QString strReason = Texts::ReasonWithReply(Texts::FailureReason(result.eFailure),
                                                     QString::fromUtf8(result.replyLine));
    QString strWhat;
    switch (result.eFailure) {
    case FAILURE_CERTIFICATE_UNTRUSTED:
    case FAILURE_CERTIFICATE_CHANGED:
    case FAILURE_HOST_KEY_UNKNOWN:
    case FAILURE_HOST_KEY_CHANGED:
        strWhat = QCoreApplication::translate("CBackupCommand",
                                              "请打开 Mossvale 并登录一次，以信任此服务器。");
        break;
    case FAILURE_NO_TLS:
        strWhat = QCoreApplication::translate(
            "CBackupCommand", "请打开 Mossvale 并登录一次，决定是否不加密登录此服务器。");
        break;
    case FAILURE_LOGIN_REFUSED:
        strWhat = QCoreApplication::translate("CBackupCommand", "请打开 Mossvale 重新登录。");
        break;
    default:
        strWhat = QCoreApplication::translate("CBackupCommand", "没有发送任何文件。");
        break;
    }
    Say(QString::fromStdString(m_pSession->Server()) + QStringLiteral(": ") + strReason +
            QStringLiteral(". ") + strWhat,
        true);
    nExit = EXIT_CANNOT_RUN;
    return false;
}

void CBackupCommand::OnFileStarted(const QByteArray& path, qint64 nSize)
{
    if (m_bDryRun)
        Say(QCoreApplication::translate("CBackupCommand", "将发送 %1（%2）")
                .arg(DisplayName(path), Size(nSize)));
}

void CBackupCommand::OnFileDone(const BackupFileReport& report)
{
    const QString strPath = DisplayName(report.path);
    switch (report.eOutcome) {
    case EFileOutcome::Sent:
        if (report.eFailure != FAILURE_NONE) // sent again from its start: said, not hidden
            return Say(QCoreApplication::translate("CBackupCommand", "已发送 %1（%2）")
                           .arg(strPath, ReasonOf(report)));
        if (!m_bTerminal)
            Say(QCoreApplication::translate("CBackupCommand", "已发送 %1").arg(strPath));
        return;
    case EFileOutcome::Unchanged:
        if (!m_bTerminal)
            Say(QCoreApplication::translate("CBackupCommand", "未改变 %1").arg(strPath));
        return;
    case EFileOutcome::Missing:
        return Say(QCoreApplication::translate("CBackupCommand", "不存在 %1").arg(strPath));
    case EFileOutcome::Skipped:
        if (report.eSkip == ESkipReason::SpecialFile)
            return Say(QCoreApplication::translate("CBackupCommand", "跳过 %1（%2）")
                           .arg(strPath, ReasonOf(report)));
        return Say(QCoreApplication::translate("CBackupCommand", "未备份 %1（%2）")
                       .arg(strPath, ReasonOf(report)),
                   true);
    case EFileOutcome::Failed:
        return Say(QCoreApplication::translate("CBackupCommand", "失败 %1（%2）")
                       .arg(strPath, ReasonOf(report)),
                   true);
    case EFileOutcome::NotSent:
        return Say(QCoreApplication::translate("CBackupCommand", "未发送 %1（%2）")
                       .arg(strPath, ReasonOf(report)),
                   true);
    }
}

void CBackupCommand::OnProgress(const BackupProgress& progress)
{
    if (!m_bTerminal || !m_pRun || !m_pRun->IsRunning())
        return;
    QString strLine;
    if (progress.bExpanding) {
        strLine = QCoreApplication::translate("CBackupCommand", "正在读取文件夹……");
    } else if (!progress.currentPath.isEmpty()) {
        strLine = DisplayName(SplitPath(progress.currentPath).name) + QStringLiteral("  ") +
                  Texts::FileProgress(progress.nCurrentBytes, progress.nCurrentSize,
                                      qint64(progress.dBytesPerSecond)) +
                  QStringLiteral("  ") +
                  QCoreApplication::translate("CBackupCommand", "剩余 %n 个文件", nullptr,
                                              progress.nFilesTotal - progress.nFilesDone);
    }
    winsize size{};
    const int nWidth =
        ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1 : 79;
    // One line that never wraps, or the next update would not replace it.
    strLine = strLine.left(nWidth);
    if (m_bProgressShown && strLine == m_strProgressLine)
        return;
    Print(stdout, QStringLiteral("\r") + strLine + QStringLiteral("\x1b[K"));
    m_strProgressLine = strLine;
    m_bProgressShown = true;
}

void CBackupCommand::OnFinished(const BackupSummary& summary)
{
    ClearProgressLine();
    QString strLine;
    if (m_bDryRun) {
        strLine = QCoreApplication::translate("CBackupCommand", "将发送 %n 个文件", nullptr,
                                              summary.nPlanned) +
                  QStringLiteral(", ") + Size(summary.nBytes) + QStringLiteral(", ") +
                  QCoreApplication::translate("CBackupCommand", "未改变 %n 个", nullptr,
                                              summary.nUnchanged);
    } else {
        strLine = QCoreApplication::translate("CBackupCommand", "已发送 %n 个文件", nullptr,
                                              summary.nSent) +
                  QStringLiteral(", ") +
                  QCoreApplication::translate("CBackupCommand", "未改变 %n 个", nullptr,
                                              summary.nUnchanged) +
                  QStringLiteral(", ") +
                  QCoreApplication::translate("CBackupCommand", "失败 %n 个", nullptr,
                                              summary.nFailed + summary.nNotSent);
        if (summary.nSkipped > 0)
            strLine +=
                QStringLiteral(", ") + QCoreApplication::translate("CBackupCommand", "跳过 %n 个",
                                                                   nullptr, summary.nSkipped);
        if (summary.nMissing > 0)
            strLine +=
                QStringLiteral(", ") + QCoreApplication::translate("CBackupCommand", "不存在 %n 个",
                                                                   nullptr, summary.nMissing);
        strLine +=
            QStringLiteral(", ") + Size(summary.nBytes) + QStringLiteral(", ") +
            QCoreApplication::translate("CBackupCommand", "%1 秒").arg(summary.dSeconds, 0, 'f', 1);
        if (summary.bCancelled)
            strLine += QStringLiteral(", ") + Texts::FailureReason(FAILURE_CANCELLED);
    }
    if (summary.nLeftOut > 0)
        strLine += QStringLiteral(", ") + Texts::LeftOutByPatterns(summary.nLeftOut);
    Say(strLine);
    m_strSummary = strLine;
    m_bCancelled = summary.bCancelled;
    m_nExit = ExitOf(summary);
    QCoreApplication::exit(m_nExit);
}

int CBackupCommand::ExitOf(const BackupSummary& summary) const
{
    if (m_bDryRun)
        return EXIT_DONE;
    // A file of the plan that is not on the server; a special file or one gone meanwhile was
    // never a file to send.
    int nNotOnServer = summary.nFailed + summary.nNotSent;
    for (const BackupFileReport& report : summary.problems)
        nNotOnServer +=
            report.eSkip == ESkipReason::SameName || report.eSkip == ESkipReason::Unreadable;
    return nNotOnServer > 0 ? EXIT_FILES_FAILED : EXIT_DONE;
}

void CBackupCommand::TellDesktop(int nExit)
{
    CDesktopNotifier::ERunEnd eEnd = CDesktopNotifier::RUN_SUCCEEDED;
    if (m_bCancelled)
        eEnd = CDesktopNotifier::RUN_INTERRUPTED;
    else if (nExit != EXIT_DONE)
        eEnd = CDesktopNotifier::RUN_FAILED;
    QString strDetail = m_strSummary;
    if (nExit == EXIT_CANNOT_RUN || strDetail.isEmpty())
        strDetail = m_strLastError;
    const bool bNotifySuccess = CDesktopNotifier::NotifiesSuccess(*CBackupPlan::OpenProfile());
    CDesktopNotifier notifier;
    if (!notifier.ShowRunEnd(eEnd, strDetail, bNotifySuccess))
        return;
    QEventLoop loop;
    connect(&notifier, &CDesktopNotifier::activated, &loop, [&loop] {
        QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                {QStringLiteral("--history")});
        loop.quit();
    });
    connect(&notifier, &CDesktopNotifier::closed, &loop, &QEventLoop::quit);
    QTimer::singleShot(kNotificationWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

void CBackupCommand::OnSignal()
{
    char ch;
    [[maybe_unused]] const ssize_t nRead = ::read(g_signalSockets[1], &ch, 1);
    if (m_pRun && m_pRun->IsRunning()) {
        m_pRun->Cancel();
        return;
    }
    // Before the run began nothing is held and nothing written.
    ::_exit(EXIT_CANNOT_RUN);
}

void CBackupCommand::Say(const QString& strLine, bool bError)
{
    if (bError)
        m_strLastError = strLine;
    ClearProgressLine();
    Print(bError ? stderr : stdout, strLine + QLatin1Char('\n'));
}

void CBackupCommand::ClearProgressLine()
{
    if (m_bProgressShown)
        Print(stdout, QStringLiteral("\r\x1b[K"));
    m_bProgressShown = false;
}
