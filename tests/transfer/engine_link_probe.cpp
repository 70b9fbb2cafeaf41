// Linked against the transfer engine alone with --no-as-needed, so that its dynamic section
// lists every shared library the engine's link closure brings in; a test reads that list.
#include "transfer/FtpListParser.h"

int main()
{
    return CFtpListParser::ParseTimestamp("20260101000000") == 0 ? 1 : 0;
}
