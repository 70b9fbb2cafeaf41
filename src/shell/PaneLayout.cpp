#include "PaneLayout.h"

#include <QFile>
#include <QMainWindow>
#include <QSaveFile>

#include <utility>
#include <vector>

namespace {

// Version stamp of our saveState data; a layout from another version is not applied.
constexpr int LAYOUT_VERSION = 1;
// A layout of the frame is a few kilobytes; anything far larger is not ours.
constexpr qint64 MAX_FILE_SIZE = 1024 * 1024;

using Sections = std::vector<std::pair<QString, QByteArray>>;

bool ReadSections(const QString& strFile, Sections& sections)
{
    QFile file(strFile);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MAX_FILE_SIZE)
        return false;
    QString strSection;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            strSection = QString::fromUtf8(line.mid(1, line.size() - 2));
        } else if (line.startsWith("State=") && !strSection.isEmpty()) {
            const auto decoded = QByteArray::fromBase64Encoding(
                line.mid(6), QByteArray::AbortOnBase64DecodingErrors);
            if (decoded)
                sections.emplace_back(strSection, *decoded);
        }
    }
    return true;
}

} // namespace

CPaneLayout::CPaneLayout(QMainWindow* pFrame) : m_pFrame(pFrame) {}

void CPaneLayout::GetLayout()
{
    m_state = m_pFrame->saveState(LAYOUT_VERSION);
}

bool CPaneLayout::SetLayout() const
{
    return !m_state.isEmpty() && m_pFrame->restoreState(m_state, LAYOUT_VERSION);
}

bool CPaneLayout::LoadFromFile(const QString& strFile, const QString& strName)
{
    Sections sections;
    if (!ReadSections(strFile, sections))
        return false;
    for (const auto& section : sections) {
        if (section.first == strName && !section.second.isEmpty()) {
            m_state = section.second;
            return true;
        }
    }
    return false;
}

bool CPaneLayout::SaveToFile(const QString& strFile, const QString& strName) const
{
    Sections sections;
    ReadSections(strFile, sections);
    bool bReplaced = false;
    for (auto& section : sections) {
        if (section.first == strName) {
            section.second = m_state;
            bReplaced = true;
        }
    }
    if (!bReplaced)
        sections.emplace_back(strName, m_state);

    QSaveFile file(strFile);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const auto& section : sections) {
        file.write("[" + section.first.toUtf8() + "]\nState=" + section.second.toBase64() + "\n");
    }
    return file.commit();
}
