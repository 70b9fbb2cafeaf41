#include "PasswordStore.h"

#include "resources/Texts.h"

#include <QPointer>

#include <qt6keychain/keychain.h>

namespace {

CPasswordStore::EResult ResultOf(const QKeychain::Job& job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return CPasswordStore::EResult::Ok;
    case QKeychain::EntryNotFound:
        return CPasswordStore::EResult::NotFound;
    default:
        // No bus, no Secret Service, a refusal or a failure: for the user it is all the same,
        // the password cannot be kept there.
        return CPasswordStore::EResult::NoKeyring;
    }
}

// Starts a job for the account's entry and hands its outcome to done, on this thread, while
// pContext lives. The job never falls back to a file of its own: that is the caller's choice.
template <typename TJob>
void Run(TJob* pJob, const QString& strServer, const QString& strUser, QObject* pContext,
         CPasswordStore::Done done, std::function<QString(const TJob&)> password = nullptr)
{
    pJob->setAutoDelete(true);
    pJob->setInsecureFallback(false);
    pJob->setKey(CPasswordStore::KeyOf(strServer, strUser));
    QObject::connect(pJob, &QKeychain::Job::finished, pContext,
                     [pJob, done = std::move(done), password = std::move(password)] {
                         const CPasswordStore::EResult eResult = ResultOf(*pJob);
                         done(eResult, eResult == CPasswordStore::EResult::Ok && password
                                           ? password(*pJob)
                                           : QString());
                     });
    pJob->start();
}

} // namespace

QString CPasswordStore::KeyOf(const QString& strServer, const QString& strUser)
{
    return strUser + QLatin1Char('@') + strServer;
}

void CPasswordStore::Read(const QString& strServer, const QString& strUser, QObject* pContext,
                          Done done)
{
    Run<QKeychain::ReadPasswordJob>(
        new QKeychain::ReadPasswordJob(QLatin1String(Texts::APP_NAME), this), strServer, strUser,
        pContext, std::move(done),
        [](const QKeychain::ReadPasswordJob& job) { return job.textData(); });
}

void CPasswordStore::Write(const QString& strServer, const QString& strUser,
                           const QString& strPassword, QObject* pContext, Done done)
{
    auto* pJob = new QKeychain::WritePasswordJob(QLatin1String(Texts::APP_NAME), this);
    pJob->setTextData(strPassword);
    Run<QKeychain::WritePasswordJob>(pJob, strServer, strUser, pContext, std::move(done));
}

void CPasswordStore::Remove(const QString& strServer, const QString& strUser, QObject* pContext,
                            Done done)
{
    Run<QKeychain::DeletePasswordJob>(
        new QKeychain::DeletePasswordJob(QLatin1String(Texts::APP_NAME), this), strServer, strUser,
        pContext, std::move(done));
}
