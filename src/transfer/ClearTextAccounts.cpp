#include "ClearTextAccounts.h"

#include <mutex>
#include <set>

namespace {

std::mutex g_lock;
std::set<std::string> g_accounts;

std::string KeyOf(const std::string& strServerKey, const std::string& strUser)
{
    return strServerKey + '\n' + strUser;
}

} // namespace

void CClearTextAccounts::Allow(const std::string& strServerKey, const std::string& strUser)
{
    const std::lock_guard<std::mutex> hold(g_lock);
    g_accounts.insert(KeyOf(strServerKey, strUser));
}

void CClearTextAccounts::Forget(const std::string& strServerKey, const std::string& strUser)
{
    const std::lock_guard<std::mutex> hold(g_lock);
    g_accounts.erase(KeyOf(strServerKey, strUser));
}

bool CClearTextAccounts::IsAllowed(const std::string& strServerKey, const std::string& strUser)
{
    const std::lock_guard<std::mutex> hold(g_lock);
    return g_accounts.count(KeyOf(strServerKey, strUser)) != 0;
}
