#include "ReplyLines.h"

CReplyLines g_replyLines;

void CReplyLines::Put(std::uint64_t nKey, const std::string& strLine)
{
    if (strLine.empty())
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines[nKey] = strLine;
}

std::string CReplyLines::Take(std::uint64_t nKey)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_lines.find(nKey);
    if (it == m_lines.end())
        return std::string();
    std::string strLine = std::move(it->second);
    m_lines.erase(it);
    return strLine;
}
