#pragma once
// The remembered account: an INI file of three text values in the user's config folder
// ($XDG_CONFIG_HOME/Brindlecor/Corvellan.ini). Start-up creates it empty; the login dialog
// only opens it, so a store that cannot be created or opened simply remembers nothing.
// It holds the password in the clear, so the file is kept readable by its owner alone.
// Failures are silent: the caller learns of them only through the return values.
#include <QString>
#include <QVariant>

#include <optional>

class QSettings;

class CAccountStore
{
public:
    // What one value may hold, in UTF-8 bytes; a longer value reads as empty.
    static constexpr int kMaxValueBytes = 255;

    struct Account {
        QString strServer;
        QString strUserName;
        QString strPassword;

        // Exact comparison: no case folding, no normalisation.
        bool operator==(const Account& other) const
        {
            return strServer == other.strServer && strUserName == other.strUserName &&
                   strPassword == other.strPassword;
        }
        bool operator!=(const Account& other) const { return !(*this == other); }
    };

    // Where the store lives; follows $XDG_CONFIG_HOME each time it is asked.
    static QString FilePath();
    // Creates the store empty (mode 0600, its folder 0700 when new) unless it exists, and
    // tightens the mode of one that does. False when it can be neither found nor made.
    static bool EnsureExists();

    // Opens the existing store; never creates it. False when it is missing or unreadable.
    bool Open();
    bool IsOpen() const { return m_bOpen; }

    // One value as remembered: empty when missing or too long, cut at a NUL, with trailing
    // white space removed and leading white space kept.
    QString ReadValue(const char* pszName) const;
    // All three values, each read as ReadValue does; a bad one does not affect the others.
    Account ReadAccount() const;
    // Writes all three values as typed. False when the store is not open or the write failed.
    bool WriteAccount(const Account& account);

    // Whether the user agreed to log in to a server that offers no encryption in clear text;
    // per server ("host:port") and user name.
    bool IsClearTextAllowed(const QString& strServerKey, const QString& strUser) const;
    bool SetClearTextAllowed(const QString& strServerKey, const QString& strUser, bool bAllowed);
    // Whether the account has logged in over TLS: a server that then offers none is suspect.
    bool WasEncrypted(const QString& strServerKey, const QString& strUser) const;
    bool SetEncrypted(const QString& strServerKey, const QString& strUser);
    // Whether the user agreed to keep the password in this file, with no keyring to keep it;
    // nothing when never asked.
    std::optional<bool> PasswordFileChoice() const;
    bool SetPasswordFileChoice(bool bAgreed);
    // False when the file says to leave the desktop's keyring alone (UseKeyring=false), as the
    // demo's own settings do: its password then lives in this file only.
    bool UsesKeyring() const;
    // An account's space on its server in MB, as the user set it; 0 when not set. Kept per
    // server and user name, so that another account starts from the default again.
    int QuotaMB(const QString& strServer, const QString& strUser) const;
    bool SetQuotaMB(const QString& strServer, const QString& strUser, int nMB);

private:
    static QString ReadFrom(const QSettings& settings, const char* pszName);
    static QString AccountKey(const char* pszGroup, const QString& strServerKey,
                              const QString& strUser);
    bool ReadFlag(const QString& strKey) const;
    // Sets or removes one value; the file keeps its owner-only mode.
    bool WriteValue(const QString& strKey, const QVariant& value);
    template <typename TWrite> bool Write(TWrite write);

    QString m_strPath;
    bool m_bOpen = false;
};
