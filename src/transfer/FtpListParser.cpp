#include "FtpListParser.h"

#include <cstring>

namespace {

// A listing line longer than this is not a listing line. Without a cap a server that never sends
// a line end would make us buffer without bound.
constexpr std::size_t MAX_LINE_LENGTH = 64 * 1024;

// Unix lines carry the date within their first few columns; words after that belong to the name.
constexpr int MAX_UNIX_WORDS = 12;

struct Word {
    std::size_t nBegin = 0;
    std::size_t nEnd = 0; // one past the last character
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char ToLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(const char* p, std::size_t n, const char* szLiteral)
{
    const std::size_t nLiteral = std::strlen(szLiteral);
    if (n != nLiteral)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (ToLower(p[i]) != szLiteral[i])
            return false;
    }
    return true;
}

// Splits at runs of blanks, keeping where each word sits so a name can be cut from the line as
// sent.
int SplitWords(const std::string& s, Word* pWords, int nMax)
{
    int n = 0;
    std::size_t i = 0;
    const std::size_t nSize = s.size();
    while (n < nMax) {
        while (i < nSize && IsBlank(s[i]))
            ++i;
        if (i >= nSize)
            break;
        pWords[n].nBegin = i;
        while (i < nSize && !IsBlank(s[i]))
            ++i;
        pWords[n].nEnd = i;
        ++n;
    }
    return n;
}

// Unsigned decimal, optionally with thousands separators (DOS listings print "9,730").
// False on anything else or on overflow.
bool ParseSize(const char* p, std::size_t n, bool bAllowSeparators, std::int64_t& nValue)
{
    if (n == 0 || !IsDigit(p[0]))
        return false;
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = p[i];
        if (IsDigit(c)) {
            const unsigned d = static_cast<unsigned>(c - '0');
            if (v > (static_cast<std::uint64_t>(INT64_MAX) - d) / 10)
                return false;
            v = v * 10 + d;
        } else if (!(bAllowSeparators && (c == ',' || c == '.'))) {
            return false;
        }
    }
    nValue = static_cast<std::int64_t>(v);
    return true;
}

bool ParseUint(const char* p, std::size_t n, int& nValue)
{
    if (n == 0 || n > 9)
        return false;
    int v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!IsDigit(p[i]))
            return false;
        v = v * 10 + (p[i] - '0');
    }
    nValue = v;
    return true;
}

bool IsLeapYear(int nYear)
{
    return (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
}

int DaysInMonth(int nYear, int nMonth)
{
    static const int s_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (nMonth == 2 && IsLeapYear(nYear)) ? 29 : s_days[nMonth - 1];
}

// A UTC calendar time, checked; 0 (unknown) when the fields do not form a date.
std::time_t MakeTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond)
{
    if (nYear < 1900 || nYear > 9999 || nMonth < 1 || nMonth > 12 || nDay < 1 ||
        nDay > DaysInMonth(nYear, nMonth))
        return 0;
    // 24:00 is how some servers write midnight at the end of a day; timegm rolls it over.
    if (nHour < 0 || nHour > 24 || nMinute < 0 || nMinute > 59 || nSecond < 0 || nSecond > 60 ||
        (nHour == 24 && (nMinute != 0 || nSecond != 0)))
        return 0;
    std::tm tm{};
    tm.tm_year = nYear - 1900;
    tm.tm_mon = nMonth - 1;
    tm.tm_mday = nDay;
    tm.tm_hour = nHour;
    tm.tm_min = nMinute;
    tm.tm_sec = nSecond;
    return timegm(&tm);
}

int YearOf(std::time_t t)
{
    std::tm tm{};
    if (!gmtime_r(&t, &tm))
        return 1970;
    return tm.tm_year + 1900;
}

// ls prints a time instead of a year for recent files: take the latest year that does not put
// the file more than a day past now (a day of slack for servers in other time zones).
std::time_t MakeRecentTime(std::time_t tNow, int nMonth, int nDay, int nHour, int nMinute)
{
    if (tNow == 0)
        tNow = std::time(nullptr);
    const std::time_t tLatest = tNow + 24 * 60 * 60;
    int nYear = YearOf(tLatest); // on New Year's Eve "Jan  1" may already be next year's
    // Feb 29 belongs to the last leap year, which may be up to 8 years back (1896 to 1904).
    for (int nTry = 0; nTry < 9; ++nTry, --nYear) {
        if (nMonth < 1 || nMonth > 12 || nDay < 1 || nDay > DaysInMonth(nYear, nMonth))
            continue;
        const std::time_t t = MakeTime(nYear, nMonth, nDay, nHour, nMinute, 0);
        if (t <= tLatest)
            return t;
    }
    return 0;
}

int MonthFromName(const char* p, std::size_t n)
{
    static const char* const s_names[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                            "jul", "aug", "sep", "oct", "nov", "dec"};
    if (n != 3)
        return 0;
    for (int i = 0; i < 12; ++i) {
        if (EqualsNoCase(p, n, s_names[i]))
            return i + 1;
    }
    return 0;
}

bool ParseDay(const char* p, std::size_t n, int& nDay)
{
    return n <= 2 && ParseUint(p, n, nDay) && nDay >= 1 && nDay <= 31;
}

// "HH:MM" or "HH:MM:SS", seconds optionally followed by a fraction. Returns how many characters
// were used so a DOS "PM" suffix can follow; 0 when it is not a time.
std::size_t ParseClock(const char* p, std::size_t n, int& nHour, int& nMinute, int& nSecond)
{
    std::size_t i = 0;
    while (i < n && i < 2 && IsDigit(p[i]))
        ++i;
    if (i == 0 || i >= n || p[i] != ':' || !ParseUint(p, i, nHour))
        return 0;
    const std::size_t nMinuteAt = i + 1;
    if (nMinuteAt + 2 > n || !ParseUint(p + nMinuteAt, 2, nMinute))
        return 0;
    i = nMinuteAt + 2;
    nSecond = 0;
    if (i < n && p[i] == ':') {
        if (i + 3 > n || !ParseUint(p + i + 1, 2, nSecond))
            return 0;
        i += 3;
        if (i < n && p[i] == '.') {
            ++i;
            while (i < n && IsDigit(p[i]))
                ++i;
        }
    }
    return i;
}

bool ParseYear(const char* p, std::size_t n, int& nYear)
{
    return n == 4 && ParseUint(p, n, nYear) && nYear >= 1900;
}

// The three parts of a date written with '-', '/' or '.' between them ("01-15-21", "2002-09-02").
bool SplitDate(const char* p, std::size_t n, int nParts[3], std::size_t nLengths[3])
{
    std::size_t i = 0;
    for (int nPart = 0; nPart < 3; ++nPart) {
        const std::size_t nStart = i;
        while (i < n && IsDigit(p[i]))
            ++i;
        nLengths[nPart] = i - nStart;
        if (!ParseUint(p + nStart, i - nStart, nParts[nPart]))
            return false;
        if (nPart < 2) {
            if (i >= n || (p[i] != '-' && p[i] != '/' && p[i] != '.'))
                return false;
            ++i;
        }
    }
    return i == n;
}

// "drwxr-xr-x", also with an ACL or security-context mark after it ("-rw-r--r--+", "...@", "...").
bool IsUnixMode(const char* p, std::size_t n)
{
    if (n < 10 || n > 11 || !std::strchr("-dlcbpsD", p[0]) || p[0] == '\0')
        return false;
    for (std::size_t i = 1; i < 10; ++i) {
        if (p[i] == '\0' || !std::strchr("rwxsStTlL-", p[i]))
            return false;
    }
    return n == 10 || (p[10] != '\0' && std::strchr("+@.", p[10]));
}

} // namespace

CFtpListParser::CFtpListParser(Format format, std::time_t tNow)
    : m_format(format), m_tNow(tNow != 0 ? tNow : std::time(nullptr))
{
}

void CFtpListParser::Feed(const char* pData, std::size_t nLength, std::vector<FtpFileInfo>& out)
{
    if (!pData)
        return;
    const char* p = pData;
    const char* const pEnd = pData + nLength;
    while (p < pEnd) {
        const char* pLf =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(pEnd - p)));
        const char* const pStop = pLf ? pLf : pEnd;
        const std::size_t nPart = static_cast<std::size_t>(pStop - p);
        if (!m_bOverlong) {
            if (m_strPending.size() + nPart > MAX_LINE_LENGTH) {
                m_bOverlong = true;
                m_strPending.clear();
                m_strPending.shrink_to_fit();
            } else {
                m_strPending.append(p, nPart);
            }
        }
        if (!pLf)
            break;
        if (!m_bOverlong)
            ParseLine(m_strPending, out);
        m_strPending.clear();
        m_bOverlong = false;
        p = pLf + 1;
    }
}

void CFtpListParser::Finish(std::vector<FtpFileInfo>& out)
{
    if (!m_bOverlong && !m_strPending.empty())
        ParseLine(m_strPending, out);
    m_strPending.clear();
    m_bOverlong = false;
}

void CFtpListParser::ParseLine(std::string& strLine, std::vector<FtpFileInfo>& out)
{
    // Only the CR of a CRLF is dropped: an MLSD name may itself end in a CR.
    if (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();
    FtpFileInfo entry;
    const bool bEntry =
        m_format == MLSD ? ParseMlsdLine(strLine, entry) : ParseListLine(strLine, m_tNow, entry);
    if (bEntry)
        out.push_back(std::move(entry));
}

std::time_t CFtpListParser::ParseTimestamp(const std::string& strText)
{
    const char* const p = strText.c_str();
    const std::size_t n = strText.size();
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (n >= 14 && (n == 14 || p[14] == '.') && ParseUint(p, 4, y) && ParseUint(p + 4, 2, mo) &&
        ParseUint(p + 6, 2, d) && ParseUint(p + 8, 2, h) && ParseUint(p + 10, 2, mi) &&
        ParseUint(p + 12, 2, s) && h < 24)
        return MakeTime(y, mo, d, h, mi, s);
    return 0;
}

bool CFtpListParser::ParseMlsdLine(const std::string& strLine, FtpFileInfo& entry)
{
    // "fact=value;fact=value; name": the facts hold no blanks, so the first blank ends them and
    // everything after it, leading blanks included, is the name. Some servers put a tab there.
    std::size_t nSeparator = 0;
    while (nSeparator < strLine.size() && !IsBlank(strLine[nSeparator]))
        ++nSeparator;
    if (nSeparator == 0 || nSeparator + 1 >= strLine.size())
        return false;
    if (std::memchr(strLine.data(), '=', nSeparator) == nullptr)
        return false;

    FtpFileInfo result;
    result.strName.assign(strLine, nSeparator + 1, std::string::npos);

    std::size_t nFact = 0;
    while (nFact < nSeparator) {
        std::size_t nFactEnd = nFact;
        while (nFactEnd < nSeparator && strLine[nFactEnd] != ';')
            ++nFactEnd;
        const char* const pFact = strLine.data() + nFact;
        const std::size_t nFactLength = nFactEnd - nFact;
        const char* const pEquals = static_cast<const char*>(std::memchr(pFact, '=', nFactLength));
        if (pEquals) {
            const std::size_t nKey = static_cast<std::size_t>(pEquals - pFact);
            const char* const pValue = pEquals + 1;
            const std::size_t nValue = nFactLength - nKey - 1;
            if (EqualsNoCase(pFact, nKey, "type")) {
                if (EqualsNoCase(pValue, nValue, "cdir") || EqualsNoCase(pValue, nValue, "pdir"))
                    return false;
                // Links (OS.unix=slink:target) and anything unknown are treated as files.
                result.dwFileAttributes = EqualsNoCase(pValue, nValue, "dir")
                                              ? FILE_ATTRIBUTE_DIRECTORY
                                              : FILE_ATTRIBUTE_NORMAL;
            } else if (EqualsNoCase(pFact, nKey, "size")) {
                std::int64_t nSize = 0;
                result.nSize = ParseSize(pValue, nValue, false, nSize) ? nSize : -1;
            } else if (EqualsNoCase(pFact, nKey, "modify")) {
                result.tLastWrite = ParseTimestamp(std::string(pValue, nValue));
                result.eTimeKind = result.tLastWrite != 0 ? TIME_EXACT : TIME_UNKNOWN;
            }
        }
        nFact = nFactEnd + 1;
    }
    entry = std::move(result);
    return true;
}

bool CFtpListParser::ParseListLine(const std::string& strLine, std::time_t tNow, FtpFileInfo& entry)
{
    if (strLine.empty())
        return false;
    if (IsDigit(strLine[0]))
        return ParseDosLine(strLine, entry);
    return ParseUnixLine(strLine, tNow, entry);
}

bool CFtpListParser::ParseUnixLine(const std::string& strLine, std::time_t tNow, FtpFileInfo& entry)
{
    Word words[MAX_UNIX_WORDS];
    const int nWords = SplitWords(strLine, words, MAX_UNIX_WORDS);
    const char* const p = strLine.data();
    if (nWords < 5 || words[0].nBegin != 0 || !IsUnixMode(p, words[0].nEnd))
        return false;
    const char chType = p[0];

    auto text = [&](int i) { return p + words[i].nBegin; };
    auto length = [&](int i) { return words[i].nEnd - words[i].nBegin; };

    // Owner and group columns vary (missing group, numeric ids, "domain user"), so find the date
    // and take the column before it as the size.
    FtpFileInfo result;
    int nSizeWord = -1;
    int nLastDateWord = -1;
    // The first date whose size column is no number ("-5", "12abc", past 2^63): the entry is
    // kept with an unknown size if no better reading of the line turns up, so that it can
    // still be seen, restored and deleted.
    FtpFileInfo oddSized;
    int nOddDateWord = -1;
    for (int i = 2; i + 1 < nWords && nLastDateWord < 0; ++i) {
        int nMonth = 0, nDay = 0;
        int nYearWord = -1;
        if ((nMonth = MonthFromName(text(i), length(i))) != 0 && i + 2 < nWords &&
            ParseDay(text(i + 1), length(i + 1), nDay)) {
            nYearWord = i + 2; // "Jan 01 12:00", "Mar  5  2021"
        } else if (i + 2 < nWords && ParseDay(text(i), length(i), nDay) &&
                   (nMonth = MonthFromName(text(i + 1), length(i + 1))) != 0) {
            nYearWord = i + 2; // "29 Jul 02:27"
        }
        if (nYearWord >= 0) {
            int nYear = 0, h = 0, mi = 0, s = 0;
            if (ParseYear(text(nYearWord), length(nYearWord), nYear)) {
                result.tLastWrite = MakeTime(nYear, nMonth, nDay, 0, 0, 0);
                result.eTimeKind = TIME_DAY_ONLY;
            } else if (ParseClock(text(nYearWord), length(nYearWord), h, mi, s) ==
                       length(nYearWord)) {
                result.tLastWrite = MakeRecentTime(tNow, nMonth, nDay, h, mi);
                result.eTimeKind = TIME_SERVER_CLOCK;
            } else {
                continue;
            }
            nLastDateWord = nYearWord;
        } else {
            // "2005-06-07 21:22" (ls --time-style=long-iso)
            int parts[3];
            std::size_t lengths[3];
            int h = 0, mi = 0, s = 0;
            if (!SplitDate(text(i), length(i), parts, lengths) || lengths[0] != 4 ||
                ParseClock(text(i + 1), length(i + 1), h, mi, s) != length(i + 1))
                continue;
            result.tLastWrite = MakeTime(parts[0], parts[1], parts[2], h, mi, s);
            result.eTimeKind = TIME_SERVER_CLOCK;
            nLastDateWord = i + 1;
        }
        nSizeWord = i - 1;
        std::int64_t nSize = 0;
        if (!ParseSize(text(nSizeWord), length(nSizeWord), false, nSize)) {
            if (nOddDateWord < 0) {
                oddSized = result;
                oddSized.nSize = -1;
                nOddDateWord = nLastDateWord;
            }
            nLastDateWord = -1; // a date-like word in the owner columns; keep looking
            continue;
        }
        result.nSize = (chType == 'c' || chType == 'b') ? 0 : nSize; // "major, minor" is no size
    }
    if (nLastDateWord < 0 && nOddDateWord >= 0) {
        result = oddSized;
        nLastDateWord = nOddDateWord;
    }
    if (nLastDateWord < 0)
        return false;

    // One blank separates the date column from the name; any further blanks belong to the name.
    const std::size_t nNameAt = words[nLastDateWord].nEnd + 1;
    if (nNameAt >= strLine.size())
        return false;
    std::size_t nNameLength = strLine.size() - nNameAt;
    if (chType == 'l') {
        const std::size_t nArrow = strLine.find(" -> ", nNameAt);
        if (nArrow != std::string::npos)
            nNameLength = nArrow - nNameAt;
    }
    if (nNameLength == 0)
        return false;
    result.strName.assign(strLine, nNameAt, nNameLength);
    // A link counts as a file: following it is the server's business.
    result.dwFileAttributes =
        (chType == 'd' || chType == 'D') ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    entry = std::move(result);
    return true;
}

bool CFtpListParser::ParseDosLine(const std::string& strLine, FtpFileInfo& entry)
{
    Word words[4];
    const int nWords = SplitWords(strLine, words, 4);
    if (nWords < 3)
        return false;
    const char* const p = strLine.data();

    // Date: MM-DD-YY, MM-DD-YYYY or YYYY-MM-DD.
    int parts[3];
    std::size_t lengths[3];
    if (!SplitDate(p + words[0].nBegin, words[0].nEnd - words[0].nBegin, parts, lengths))
        return false;
    int nYear = 0, nMonth = 0, nDay = 0;
    if (lengths[0] == 4) {
        nYear = parts[0];
        nMonth = parts[1];
        nDay = parts[2];
    } else if (lengths[2] == 4 || lengths[2] == 2) {
        nMonth = parts[0];
        nDay = parts[1];
        nYear = lengths[2] == 4 ? parts[2] : (parts[2] < 70 ? 2000 : 1900) + parts[2];
    } else {
        return false;
    }

    // Time: "15:04", "03:04PM", or "03:04 PM".
    int nHour = 0, nMinute = 0, nSecond = 0;
    const char* const pTime = p + words[1].nBegin;
    const std::size_t nTimeLength = words[1].nEnd - words[1].nBegin;
    const std::size_t nClock = ParseClock(pTime, nTimeLength, nHour, nMinute, nSecond);
    if (nClock == 0)
        return false;
    const char* pMeridiem = nullptr;
    int nNext = 2;
    if (nClock + 2 == nTimeLength) {
        pMeridiem = pTime + nClock;
    } else if (nClock != nTimeLength) {
        return false;
    } else if (nWords >= 4 && words[2].nEnd - words[2].nBegin == 2 &&
               (EqualsNoCase(p + words[2].nBegin, 2, "am") ||
                EqualsNoCase(p + words[2].nBegin, 2, "pm"))) {
        pMeridiem = p + words[2].nBegin;
        nNext = 3;
    }
    if (pMeridiem) {
        const bool bPm = EqualsNoCase(pMeridiem, 2, "pm");
        if (!bPm && !EqualsNoCase(pMeridiem, 2, "am"))
            return false;
        if (nHour < 1 || nHour > 12)
            return false;
        nHour = (nHour % 12) + (bPm ? 12 : 0);
    }
    if (nNext >= nWords)
        return false;

    const Word& size = words[nNext];
    const char* const pSize = p + size.nBegin;
    const std::size_t nSizeLength = size.nEnd - size.nBegin;
    std::size_t nNameAt = 0;
    FtpFileInfo result;
    if (EqualsNoCase(pSize, nSizeLength, "<dir>")) {
        result.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        // IIS pads "<DIR>" to the width of the size column, ten blanks, and then starts the
        // name; blanks past those are the name's own. Other layouts: skip the blanks.
        constexpr std::size_t nPad = 10;
        std::size_t nBlanks = 0;
        while (size.nEnd + nBlanks < strLine.size() && strLine[size.nEnd + nBlanks] == ' ')
            ++nBlanks;
        nNameAt = size.nEnd + (nBlanks >= nPad ? nPad : nBlanks);
    } else {
        if (!ParseSize(pSize, nSizeLength, true, result.nSize))
            result.nSize = -1; // kept, with its size unknown
        nNameAt = size.nEnd + 1;
    }
    if (nNameAt >= strLine.size())
        return false;
    result.strName.assign(strLine, nNameAt, std::string::npos);
    result.tLastWrite = MakeTime(nYear, nMonth, nDay, nHour, nMinute, nSecond);
    result.eTimeKind = TIME_SERVER_CLOCK;
    entry = std::move(result);
    return true;
}
