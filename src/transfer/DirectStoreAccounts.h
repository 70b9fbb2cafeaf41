#pragma once
// The accounts whose server will not rename files and whose user agreed, asked once with the
// risk named, to have files stored directly under their names there. Without that word an
// upload never overwrites the server's old copy as it arrives: a broken upload would leave
// neither the old copy nor the new one whole. A worker asks the window thread through a
// queued call and waits on its own thread; where nobody can be asked (no window, or the
// window has not said how to ask) the answer is no. Answers last as long as the process.
// Safe between threads.
#include <atomic>
#include <functional>
#include <string>

class CDirectStoreAccounts
{
public:
    // Asks the user on the window thread: the server's text, the user name and the server's
    // refusal ("550 Rename refused."); true when the user agrees.
    using AskFn = std::function<bool(const std::string& strServer, const std::string& strUser,
                                     const std::string& strRefusal)>;
    // Window thread; an empty function: nobody to ask.
    static void SetAsker(AskFn fnAsk);

    // Whether files of this account (strAccount: server URL and user) may be stored directly.
    // Asks once per account, on the window thread, and waits for the answer; no when
    // *pCancel is set meanwhile (that answer is not remembered).
    static bool MayStoreDirectly(const std::string& strAccount, const std::string& strServer,
                                 const std::string& strUser, const std::string& strRefusal,
                                 const std::atomic<bool>* pCancel);
    // Forgets every answer (a test's fresh start).
    static void ForgetAll();
};
