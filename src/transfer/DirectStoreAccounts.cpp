#include "DirectStoreAccounts.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

namespace {

// One question, shared by every worker that needs its answer meanwhile.
struct Question {
    bool bAnswered = false;
    bool bAgreed = false;
};

std::mutex g_lock;
std::condition_variable g_answered;
CDirectStoreAccounts::AskFn g_fnAsk;
std::map<std::string, std::shared_ptr<Question>> g_questions; // by account

} // namespace

void CDirectStoreAccounts::SetAsker(AskFn fnAsk)
{
    const std::lock_guard<std::mutex> hold(g_lock);
    g_fnAsk = std::move(fnAsk);
}

void CDirectStoreAccounts::ForgetAll()
{
    const std::lock_guard<std::mutex> hold(g_lock);
    g_questions.clear();
}

bool CDirectStoreAccounts::MayStoreDirectly(const std::string& strAccount,
                                            const std::string& strServer,
                                            const std::string& strUser,
                                            const std::string& strRefusal,
                                            const std::atomic<bool>* pCancel)
{
    std::unique_lock<std::mutex> hold(g_lock);
    QCoreApplication* pApp = QCoreApplication::instance();
    std::shared_ptr<Question> pQuestion = g_questions[strAccount];
    if (!pQuestion) {
        pQuestion = std::make_shared<Question>();
        g_questions[strAccount] = pQuestion;
        if (!g_fnAsk || !pApp) {
            pQuestion->bAnswered = true; // nobody to ask
        } else {
            auto ask = [fnAsk = g_fnAsk, pQuestion, strServer, strUser, strRefusal] {
                const bool bAgreed = fnAsk(strServer, strUser, strRefusal);
                const std::lock_guard<std::mutex> answered(g_lock);
                pQuestion->bAgreed = bAgreed;
                pQuestion->bAnswered = true;
                g_answered.notify_all();
            };
            if (QThread::currentThread() == pApp->thread()) {
                hold.unlock();
                ask();
                hold.lock();
            } else {
                QMetaObject::invokeMethod(pApp, ask, Qt::QueuedConnection);
            }
        }
    }
    while (!pQuestion->bAnswered) {
        if (pCancel && pCancel->load())
            return false;
        g_answered.wait_for(hold, std::chrono::milliseconds(50));
    }
    return pQuestion->bAgreed;
}
