#pragma once
// The password of a remembered account, kept in the desktop's keyring (the Secret Service, by
// way of QtKeychain) and never in the account's INI file. Every call is asynchronous: a locked
// keyring asks the user to unlock it, and the window must go on meanwhile. The answer comes on
// the window thread, and not at all once pContext is gone.
#include <QObject>
#include <QString>

#include <functional>

class CPasswordStore : public QObject
{
    Q_OBJECT
public:
    enum class EResult {
        Ok,
        NotFound,  // the keyring has no password for the account
        NoKeyring, // no keyring to ask, or one that refused us or failed
    };
    using Done = std::function<void(EResult eResult, const QString& strPassword)>;

    // The keyring's entry of an account: the user at the server, as typed.
    static QString KeyOf(const QString& strServer, const QString& strUser);

    void Read(const QString& strServer, const QString& strUser, QObject* pContext, Done done);
    void Write(const QString& strServer, const QString& strUser, const QString& strPassword,
               QObject* pContext, Done done);
    void Remove(const QString& strServer, const QString& strUser, QObject* pContext, Done done);
};
