#pragma once
// The server's reply lines that go with a job's report. A report travels as numbers in a posted
// message; the line that explains a refusal ("550 Permission denied.") waits here, under the
// job's id (or the listing's tag), until the window that receives the report takes it.
// Safe between threads.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

class CReplyLines
{
public:
    static std::uint64_t JobKey(unsigned nJobId) { return nJobId; }
    static std::uint64_t ListingKey(unsigned nTag) { return (std::uint64_t{1} << 32) | nTag; }

    // An empty line is not kept.
    void Put(std::uint64_t nKey, const std::string& strLine);
    // The line kept for the key, removed; empty when there is none.
    std::string Take(std::uint64_t nKey);

private:
    std::mutex m_lock;
    std::map<std::uint64_t, std::string> m_lines;
};

// The process's reply lines, filled by jobs and taken by the windows.
extern CReplyLines g_replyLines;
