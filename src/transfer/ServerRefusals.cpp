#include "ServerRefusals.h"

unsigned CServerRefusals::Of(const std::string& strAccount) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_refusals.find(strAccount);
    return it == m_refusals.end() ? 0 : it->second;
}

void CServerRefusals::Note(const std::string& strAccount, unsigned nRefusal)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_refusals[strAccount] |= nRefusal;
}
