#include "RememberedPassword.h"

#include "resources/Texts.h"

#include <QMessageBox>
#include <QPointer>

void CRememberedPassword::Load(const CAccountStore::Account& remembered, QObject* pContext,
                               Loaded loaded)
{
    if (!remembered.strPassword.isEmpty() || remembered.strUserName.isEmpty()) {
        loaded(remembered.strPassword, false);
        return;
    }
    CAccountStore store;
    if (store.Open() && !store.UsesKeyring()) {
        loaded(QString(), true);
        return;
    }
    m_keyring.Read(
        remembered.strServer, remembered.strUserName, pContext,
        [loaded = std::move(loaded)](CPasswordStore::EResult eResult, const QString& strPassword) {
            loaded(strPassword, eResult == CPasswordStore::EResult::NoKeyring);
        });
}

void CRememberedPassword::Save(const CAccountStore::Account& account, QWidget* pAsker,
                               std::function<void()> done)
{
    QPointer<QWidget> asker(pAsker);
    {
        CAccountStore store;
        if (store.Open() && !store.UsesKeyring()) {
            SaveWithoutKeyring(store, account, pAsker);
            done();
            return;
        }
    }
    m_keyring.Write(
        account.strServer, account.strUserName, account.strPassword, this,
        [account, asker, done = std::move(done)](CPasswordStore::EResult eResult, const QString&) {
            CAccountStore store; // a store that is not there remembers nothing
            store.Open();
            if (eResult == CPasswordStore::EResult::Ok)
                store.WriteAccount({account.strServer, account.strUserName, QString()});
            else
                SaveWithoutKeyring(store, account, asker);
            done();
        });
}

void CRememberedPassword::SaveWithoutKeyring(CAccountStore& store,
                                             const CAccountStore::Account& account, QWidget* pAsker)
{
    std::optional<bool> choice = store.PasswordFileChoice();
    if (!choice && pAsker) {
        QMessageBox box(QMessageBox::Warning, Texts::AppName(), Texts::KeepPasswordInFileQuestion(),
                        QMessageBox::Yes | QMessageBox::No, pAsker);
        box.setDefaultButton(QMessageBox::No);
        choice = box.exec() == QMessageBox::Yes;
        store.SetPasswordFileChoice(*choice);
    }
    const bool bAgreed = choice.value_or(false);
    store.WriteAccount(
        {account.strServer, account.strUserName, bAgreed ? account.strPassword : QString()});
}
