#pragma once
// Where the remembered account's password lives: the desktop keyring; where there is none,
// the account file (readable by its owner alone), and there only after the user agreed to a
// warning; otherwise nowhere, and the user types it at each login. An older version kept it in
// the account file: it moves to the keyring with the next successful login.
//
// Only a password that has just logged in is kept, so a mistyped one never replaces the good
// one. Every call answers on the window thread, and not at all once pContext is gone.
#include "AccountStore.h"
#include "PasswordStore.h"

#include <QObject>

#include <functional>

class QWidget;

class CRememberedPassword : public QObject
{
    Q_OBJECT
public:
    // bNoKeyring: the keyring could not be asked (the password then comes from the file, or
    // is empty).
    using Loaded = std::function<void(const QString& strPassword, bool bNoKeyring)>;

    // The password of the account that the file names.
    void Load(const CAccountStore::Account& remembered, QObject* pContext, Loaded loaded);
    // Remembers the account after a successful login; asks pAsker's user before it puts a
    // password in the file. done runs once it is kept (or dropped).
    void Save(const CAccountStore::Account& account, QWidget* pAsker, std::function<void()> done);

private:
    // No keyring: the file keeps the password if the user agrees (once; the answer is kept).
    static void SaveWithoutKeyring(CAccountStore& store, const CAccountStore::Account& account,
                                   QWidget* pAsker);

    CPasswordStore m_keyring;
};
