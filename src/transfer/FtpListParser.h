#pragma once
// Turns an FTP folder listing into entries: MLSD lines (RFC 3659), or the LIST output of
// Unix-style and DOS-style servers. Text arrives in chunks of any size; a line may be split
// across chunks. Lines that are not entries ("total 12", blank lines, MLSD's cdir/pdir
// entries) are passed over.
#include "FtpFileInfo.h"

#include <string>
#include <vector>

class CFtpListParser
{
public:
    enum Format { MLSD, LIST };
    explicit CFtpListParser(Format format, std::time_t tNow = 0);

    // Feeds the next chunk; complete lines become entries appended to out.
    void Feed(const char* pData, std::size_t nLength, std::vector<FtpFileInfo>& out);
    // Ends the text: a last line without a line end is parsed too.
    void Finish(std::vector<FtpFileInfo>& out);

    // One line without its line end; false when it is not an entry.
    static bool ParseMlsdLine(const std::string& strLine, FtpFileInfo& entry);
    // "YYYYMMDDHHMMSS[.sss]" in UTC, as MLSD's modify fact and MDTM give it; 0 when it is not.
    static std::time_t ParseTimestamp(const std::string& strText);
    // tNow (UTC) dates Unix lines that give a time instead of a year (the last 6 months).
    static bool ParseListLine(const std::string& strLine, std::time_t tNow, FtpFileInfo& entry);

private:
    void ParseLine(std::string& strLine, std::vector<FtpFileInfo>& out);
    static bool ParseUnixLine(const std::string& strLine, std::time_t tNow, FtpFileInfo& entry);
    static bool ParseDosLine(const std::string& strLine, FtpFileInfo& entry);

    Format m_format;
    std::time_t m_tNow;
    std::string m_strPending; // the start of a line whose end has not arrived yet
    bool m_bOverlong = false; // the pending line grew past any sane length; dropped up to its end
};
