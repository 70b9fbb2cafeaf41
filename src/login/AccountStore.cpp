#include "AccountStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char kOrganisation[] = "Brindlecor";
const char kApplication[] = "Corvellan";

const QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool IsTrailingSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

QString CAccountStore::FilePath()
{
    // Not QSettings' own user path: it is worked out once per process, and the store must
    // follow $XDG_CONFIG_HOME whenever it changes. The layout is the one QSettings uses.
    const QString strConfig =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return strConfig + QLatin1Char('/') + QLatin1String(kOrganisation) + QLatin1Char('/') +
           QLatin1String(kApplication) + QLatin1String(".ini");
}

bool CAccountStore::EnsureExists()
{
    const QString strPath = FilePath();
    const QFileInfo info(strPath);
    if (!info.exists()) {
        const QString strFolder = info.absolutePath();
        if (!QDir(strFolder).exists()) {
            const QFileInfo folder(strFolder);
            if (!QDir().mkpath(folder.absolutePath()))
                return false;
            // Only the folder we make is ours to lock down; an existing one is left as it is.
            QDir().mkdir(strFolder,
                         QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        // Created with its final mode, so the password never sits in a readable file.
        QFile file(strPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly) && !file.exists())
            return false;
    }
    return QFileInfo(strPath).isFile() && QFile::setPermissions(strPath, kOwnerOnly);
}

bool CAccountStore::Open()
{
    m_strPath = FilePath();
    const QFileInfo info(m_strPath);
    m_bOpen = info.isFile() && info.isReadable();
    return m_bOpen;
}

QString CAccountStore::ReadValue(const char* pszName) const
{
    if (!m_bOpen)
        return QString();
    const QSettings settings(m_strPath, QSettings::IniFormat);
    return ReadFrom(settings, pszName);
}

QString CAccountStore::ReadFrom(const QSettings& settings, const char* pszName)
{
    QByteArray bytes = settings.value(QLatin1String(pszName)).toString().toUtf8();
    if (bytes.size() > kMaxValueBytes)
        return QString();
    const qsizetype nZero = bytes.indexOf('\0');
    if (nZero >= 0)
        bytes.truncate(nZero);
    qsizetype nEnd = bytes.size();
    while (nEnd > 0 && IsTrailingSpace(bytes[nEnd - 1]))
        --nEnd;
    bytes.truncate(nEnd);
    return QString::fromUtf8(bytes);
}

CAccountStore::Account CAccountStore::ReadAccount() const
{
    Account account;
    if (!m_bOpen)
        return account;
    const QSettings settings(m_strPath, QSettings::IniFormat);
    account.strServer = ReadFrom(settings, "Server");
    account.strUserName = ReadFrom(settings, "UserName");
    account.strPassword = ReadFrom(settings, "Password");
    return account;
}

bool CAccountStore::WriteAccount(const Account& account)
{
    return Write([&account](QSettings& settings) {
        settings.setValue(QStringLiteral("Server"), account.strServer);
        settings.setValue(QStringLiteral("UserName"), account.strUserName);
        settings.setValue(QStringLiteral("Password"), account.strPassword);
    });
}

template <typename TWrite> bool CAccountStore::Write(TWrite write)
{
    // The store may have gone since it was opened; writing must not bring it back.
    if (!m_bOpen || !QFileInfo(m_strPath).isFile())
        return false;
    bool bWritten = false;
    {
        QSettings settings(m_strPath, QSettings::IniFormat);
        write(settings);
        settings.sync();
        bWritten = settings.status() == QSettings::NoError;
    }
    // QSettings replaces the file on every write; put the owner-only mode back on the new one.
    QFile::setPermissions(m_strPath, kOwnerOnly);
    return bWritten;
}

bool CAccountStore::WriteValue(const QString& strKey, const QVariant& value)
{
    return Write([&](QSettings& settings) {
        if (value.isValid())
            settings.setValue(strKey, value);
        else
            settings.remove(strKey);
    });
}

bool CAccountStore::ReadFlag(const QString& strKey) const
{
    return m_bOpen && QSettings(m_strPath, QSettings::IniFormat).value(strKey).toBool();
}

QString CAccountStore::AccountKey(const char* pszGroup, const QString& strServerKey,
                                  const QString& strUser)
{
    // Hex, so that no user name or server text can reach into the INI syntax.
    return QLatin1String(pszGroup) + QLatin1Char('/') +
           QString::fromLatin1((strUser + QLatin1Char('@') + strServerKey).toUtf8().toHex());
}

bool CAccountStore::IsClearTextAllowed(const QString& strServerKey, const QString& strUser) const
{
    return ReadFlag(AccountKey("ClearText", strServerKey, strUser));
}

bool CAccountStore::SetClearTextAllowed(const QString& strServerKey, const QString& strUser,
                                        bool bAllowed)
{
    return WriteValue(AccountKey("ClearText", strServerKey, strUser),
                      bAllowed ? QVariant(true) : QVariant());
}

bool CAccountStore::WasEncrypted(const QString& strServerKey, const QString& strUser) const
{
    return ReadFlag(AccountKey("Encrypted", strServerKey, strUser));
}

bool CAccountStore::SetEncrypted(const QString& strServerKey, const QString& strUser)
{
    return WriteValue(AccountKey("Encrypted", strServerKey, strUser), true);
}

std::optional<bool> CAccountStore::PasswordFileChoice() const
{
    const QVariant choice =
        m_bOpen ? QSettings(m_strPath, QSettings::IniFormat).value(QStringLiteral("PasswordInFile"))
                : QVariant();
    return choice.isValid() ? std::optional<bool>(choice.toBool()) : std::nullopt;
}

bool CAccountStore::UsesKeyring() const
{
    return !m_bOpen || QSettings(m_strPath, QSettings::IniFormat)
                           .value(QStringLiteral("UseKeyring"), true)
                           .toBool();
}

int CAccountStore::QuotaMB(const QString& strServer, const QString& strUser) const
{
    if (!m_bOpen)
        return 0;
    const int nMB = QSettings(m_strPath, QSettings::IniFormat)
                        .value(AccountKey("Quota", strServer, strUser))
                        .toInt();
    return nMB > 0 ? nMB : 0;
}

bool CAccountStore::SetQuotaMB(const QString& strServer, const QString& strUser, int nMB)
{
    return WriteValue(AccountKey("Quota", strServer, strUser),
                      nMB > 0 ? QVariant(nMB) : QVariant());
}

bool CAccountStore::SetPasswordFileChoice(bool bAgreed)
{
    return WriteValue(QStringLiteral("PasswordInFile"), bAgreed);
}
