#include "MyThread.h"

#include "FtpAddress.h"
#include "FtpConnection.h"
#include "InternetSession.h"
#include "RemoteName.h"
#include "TrustStore.h"
#include "platform/Path.h"

CMyThread::CMyThread(EKind eKind, Account account, QByteArray localDir, std::string strRemoteDir,
                     QList<QByteArray> items)
    : m_eKind(eKind), m_account(std::move(account)), m_localDir(std::move(localDir)),
      m_strRemoteDir(std::move(strRemoteDir)), m_items(std::move(items))
{
}

CMyThread::~CMyThread() = default;

void CMyThread::Run()
{
    m_pConnect.reset(CFtpConnection::Connect(
        m_account.pSession.get(), m_account.strServer, m_account.nPort, m_account.strUserName,
        m_account.strPassword, &m_eConnectFailure, &m_pState->bCancel));
    switch (m_eKind) {
    case EKind::List:
        ListRemoteFolder();
        break;
    case EKind::Upload:
        UploadEntries();
        break;
    case EKind::Download:
        DownloadEntries();
        break;
    case EKind::Delete:
        DeleteEntries();
        break;
    case EKind::LoginCheck:
        CheckLogin();
        break;
    case EKind::Walk:
        ListRemoteTree();
        break;
    case EKind::Connect:
        break;
    }
    // Here, on the worker: a connection handed back to the pool goes back from its own thread,
    // and the session may end with this job.
    m_pConnect.reset();
    m_account.pSession.reset();
}

ETransferFailure CMyThread::Failure() const
{
    if (m_pState->bCancel)
        return FAILURE_CANCELLED;
    if (m_eStepFailure != FAILURE_NONE)
        return m_eStepFailure;
    return m_pConnect ? m_pConnect->LastFailure() : m_eConnectFailure;
}

QByteArray CMyThread::ReplyLine() const
{
    if (m_pState->bCancel || !m_pConnect || m_eStepFailure != FAILURE_NONE)
        return {};
    return QByteArray::fromStdString(m_pConnect->LastReplyLine());
}

CMyThread::LoopResult CMyThread::RunEntryLoop(bool bLocalPaths, const EntryStep& step)
{
    LoopResult result;
    if (!m_pConnect) {
        result.bFailed = !m_items.isEmpty();
        result.eFailure = Failure();
        result.failedItem = m_items.value(0);
        return result;
    }
    // The process's current folder is left alone: every path here is absolute, and a
    // worker changing it would pull it from under every other thread.
    m_pConnect->SetCurrentDirectory(m_strRemoteDir);
    for (int i = 0; i < m_items.size(); ++i) {
        const QByteArray& name = m_items[i];
        if (name == "..")
            continue;
        const std::string strName = name.toStdString();
        const std::string strLocalName = m_localNames.value(i, name).toStdString();
        const std::string strLocal =
            bLocalPaths ? JoinPath(m_localDir.toStdString(), strLocalName) : std::string();
        if (!step(name, strLocal, JoinPath(m_strRemoteDir, strName))) {
            result.bFailed = true;
            result.eFailure = Failure();
            result.failedItem = name;
            result.replyLine = ReplyLine();
            break;
        }
    }
    return result;
}

void CMyThread::ReportTransfer(ETransferDirection eDirection, const LoopResult& result)
{
    TransferReport report;
    report.nJobId = m_nJobId;
    report.file = result.bFailed ? result.failedItem : m_items.value(0);
    report.eDirection = eDirection;
    report.eOutcome = !result.bFailed                        ? EJobOutcome::Succeeded
                      : result.eFailure == FAILURE_CANCELLED ? EJobOutcome::Cancelled
                                                             : EJobOutcome::Failed;
    report.eFailure = result.bFailed ? result.eFailure : FAILURE_NONE;
    report.replyLine = result.replyLine;
    report.nBytes = m_nBytesMoved;
    report.bUnchecked = m_bUnchecked && !result.bFailed;
    report.bVersionKept = m_bKeptVersion && !result.bFailed;
    report.bRestarted = m_bRestarted && !result.bFailed;
    if (report.bRestarted)
        report.replyLine = m_restartReply;
    HandBackConnection();
    emit transferDone(report);
}

void CMyThread::NoteRestart()
{
    if (!m_pConnect->LastRestarted())
        return;
    m_bRestarted = true;
    m_restartReply = QByteArray::fromStdString(m_pConnect->RestartReplyLine());
}

void CMyThread::HandBackConnection()
{
    m_pConnect.reset();
}

void CMyThread::CheckLogin()
{
    LoginReport report;
    report.bConnected = m_pConnect != nullptr;
    report.bEncrypted = report.bConnected && m_pConnect->IsEncrypted();
    report.eFailure = report.bConnected ? FAILURE_NONE : Failure();
    if (report.eFailure == FAILURE_CERTIFICATE_UNTRUSTED ||
        report.eFailure == FAILURE_CERTIFICATE_CHANGED)
        report.certificate = FetchCertificate();
    if (report.eFailure == FAILURE_HOST_KEY_UNKNOWN || report.eFailure == FAILURE_HOST_KEY_CHANGED)
        report.hostKey = FetchHostKey();
    HandBackConnection();
    emit loginChecked(report);
}

HostKeyInfo CMyThread::FetchHostKey() const
{
    // As for a certificate: the login stopped before the password; the key is read again.
    HostKeyInfo info;
    CFtpAddress address;
    std::string strError;
    if (!m_account.pSession || !address.Parse(m_account.strServer, m_account.nPort) ||
        !CHostKeyProbe::Probe(address.Host(), address.Port(), m_account.pSession->KnownHostsPath(),
                              CInternetSession::GetTimeouts().nConnectSeconds, info, strError))
        return HostKeyInfo();
    return info;
}

CertificateInfo CMyThread::FetchCertificate() const
{
    // The login stopped at the handshake, before the user name was sent; the certificate is
    // fetched again, without a login, for the user to judge.
    CertificateInfo info;
    CFtpAddress address;
    if (!address.Parse(m_account.strServer, m_account.nPort))
        return info;
    const auto eTls = address.Tls() == CFtpAddress::ETls::Implicit
                          ? CCertificateProbe::ETls::Implicit
                          : CCertificateProbe::ETls::Explicit;
    std::string strError;
    if (!CCertificateProbe::Probe(address.Host(), address.Port(), eTls,
                                  CInternetSession::GetTimeouts().nConnectSeconds, info, strError,
                                  &m_pState->bCancel))
        info = CertificateInfo();
    else if (m_account.pSession)
        info.strOldSha256 = m_account.pSession->TrustStore()->Sha256Of(
            CTrustStore::ServerKey(address.Host(), address.Port()));
    return info;
}
