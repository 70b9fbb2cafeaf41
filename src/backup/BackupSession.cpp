#include "BackupSession.h"

#include "transfer/FtpAddress.h"
#include "transfer/InternetSession.h"

#include <QCryptographicHash>

CBackupSession::CBackupSession(std::string strServer, std::string strUserName,
                               std::string strPassword, std::shared_ptr<CInternetSession> pInternet)
    : m_strServer(std::move(strServer)), m_strUserName(std::move(strUserName)),
      m_strPassword(std::move(strPassword)),
      m_pInternet(pInternet ? std::move(pInternet) : std::make_shared<CInternetSession>())
{
}

CMyThread::Account CBackupSession::MakeAccount() const
{
    return {m_strServer, m_strUserName, m_strPassword, INTERNET_DEFAULT_FTP_PORT, m_pInternet};
}

QString CBackupSession::AccountKey() const
{
    // Readable for whoever looks into the folder, and told apart by a digest of the exact
    // bytes, as two accounts may differ only in what the readable part drops.
    const QByteArray exact =
        QByteArray::fromStdString(m_strUserName) + '\0' + QByteArray::fromStdString(m_strServer);
    QString strReadable;
    for (const QChar ch : QString::fromStdString(m_strUserName + "@" + m_strServer)) {
        const bool bSafe = (ch.unicode() < 128 && ch.isLetterOrNumber()) || ch == '.' ||
                           ch == '-' || ch == '_' || ch == '@';
        strReadable += bSafe ? ch : QChar('_');
    }
    const QByteArray digest = QCryptographicHash::hash(exact, QCryptographicHash::Sha256).toHex();
    return strReadable.left(64) + QChar('-') + QString::fromLatin1(digest.left(10));
}
