#include "Path.h"

namespace {

template <class TPath, class TSeparator>
TPath Join(const TPath& folder, const TPath& name, TSeparator separator)
{
    TPath path = folder;
    if (folder.size() > 0 && folder[folder.size() - 1] != separator)
        path += separator;
    path += name;
    return path;
}

bool IsContinuation(unsigned char c, unsigned char nLow = 0x80, unsigned char nHigh = 0xBF)
{
    return c >= nLow && c <= nHigh;
}

// The length of the well-formed UTF-8 sequence at p (Unicode's table of well-formed byte
// sequences: no overlong forms, no surrogates, nothing above U+10FFFF), or 0.
int SequenceLength(const unsigned char* p, qsizetype nLeft)
{
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    int nLength;
    unsigned char nLow = 0x80, nHigh = 0xBF; // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        nLength = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        nLength = 3;
        nLow = c == 0xE0 ? 0xA0 : 0x80;
        nHigh = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        nLength = 4;
        nLow = c == 0xF0 ? 0x90 : 0x80;
        nHigh = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (nLeft < nLength || !IsContinuation(p[1], nLow, nHigh))
        return 0;
    for (int i = 2; i < nLength; ++i) {
        if (!IsContinuation(p[i]))
            return 0;
    }
    return nLength;
}

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

} // namespace

QString JoinPath(const QString& strFolder, const QString& strName)
{
    return Join(strFolder, strName, QLatin1Char('/'));
}

QByteArray JoinPath(const QByteArray& folder, const QByteArray& name)
{
    return Join(folder, name, '/');
}

std::string JoinPath(const std::string& strFolder, const std::string& strName)
{
    return Join(strFolder, strName, '/');
}

PathParts<QByteArray> SplitPath(const QByteArray& path)
{
    const qsizetype nSlash = path.lastIndexOf('/');
    return {path.left(nSlash + 1), path.mid(nSlash + 1)};
}

PathParts<std::string> SplitPath(const std::string& strPath)
{
    const auto nSlash = strPath.rfind('/'); // npos + 1 is 0: all name
    return {strPath.substr(0, nSlash + 1), strPath.substr(nSlash + 1)};
}

QString DisplayName(const QByteArray& name)
{
    const auto* p = reinterpret_cast<const unsigned char*>(name.constData());
    const qsizetype nSize = name.size();
    QString strText;
    qsizetype nRunStart = 0; // start of the run of valid text not yet copied
    for (qsizetype i = 0; i < nSize;) {
        const int nLength = IsControl(p[i]) ? 0 : SequenceLength(p + i, nSize - i);
        if (nLength > 0) {
            i += nLength;
            continue;
        }
        strText += QString::fromUtf8(name.constData() + nRunStart, i - nRunStart);
        strText += QString::asprintf("\\x%02X", unsigned(p[i]));
        nRunStart = ++i;
    }
    if (nRunStart == 0)
        return QString::fromUtf8(name); // all of it text, as almost every name is
    strText += QString::fromUtf8(name.constData() + nRunStart, nSize - nRunStart);
    return strText;
}
