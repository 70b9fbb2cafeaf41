#pragma once
// `mossvale --backup`: the saved plan sent with the remembered account, with no window and no
// display, from a terminal, a script or a timer. It never asks: where the window would ask
// (a certificate to trust, clear text to agree to, a password to type), it says what to do
// and ends with status 2. Status 0: every file of the plan is on the server; 1: some files
// were not sent, each named on standard error.
//
// A terminal sees one progress line that updates; anything else one line per file. Both end
// with a summary line. SIGINT and SIGTERM cancel the run as the window's Cancel does.
#include "backup/BackupRun.h"

#include <QObject>
#include <QString>

#include <memory>

class CBackupSession;
class QCommandLineParser;
class QSocketNotifier;

class CBackupCommand : public QObject
{
    Q_OBJECT
public:
    enum EExit { EXIT_DONE = 0, EXIT_FILES_FAILED = 1, EXIT_CANNOT_RUN = 2 };

    // Whether the arguments ask for the command line (a backup, the help, the version, or an
    // option the window does not know) rather than the window.
    static bool IsWanted(int argc, char** argv);
    // The whole command line, in a QCoreApplication of its own; the process's exit status.
    static int Main(int argc, char** argv);

private:
    // bByTimer: started by the user's timer, told to the desktop at the end; bCheck: every
    // server copy is checked (see CBackupRun::Options::bCheckServer).
    CBackupCommand(bool bDryRun, bool bByTimer, bool bCheck);
    ~CBackupCommand() override;

    // Everything up to the run; EXIT_DONE when the run has started.
    int Prepare();
    // The remembered password, from the account file or the keyring; false (said) when none.
    bool ReadPassword(const QString& strServer, const QString& strUser, QString& strPassword);
    // The login as the window's login dialog proves it; false (said) when it cannot go on.
    bool CheckLogin(int& nExit);
    void OnFileStarted(const QByteArray& path, qint64 nSize);
    void OnFileDone(const BackupFileReport& report);
    void OnProgress(const BackupProgress& progress);
    void OnFinished(const BackupSummary& summary);
    void OnSignal();
    // A line above the progress line, on standard output or error.
    void Say(const QString& strLine, bool bError = false);
    void ClearProgressLine();
    int ExitOf(const BackupSummary& summary) const;
    // A run the timer started tells the desktop how it ended, and waits a while for a click
    // on the notification, which opens the history.
    void TellDesktop(int nExit);

    bool m_bDryRun;
    bool m_bByTimer;
    bool m_bCheck;
    bool m_bCancelled = false;
    QString m_strLastError; // what the run said last on standard error
    QString m_strSummary;   // its summary line
    bool m_bTerminal;       // standard output is a terminal: one progress line
    bool m_bProgressShown = false;
    QString m_strProgressLine;
    std::shared_ptr<CBackupSession> m_pSession;
    std::unique_ptr<CBackupRun> m_pRun;
    std::unique_ptr<QSocketNotifier> m_pSignals;
    int m_nExit = EXIT_DONE;
};
