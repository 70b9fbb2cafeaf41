#pragma once
// A docking layout as the frame saves it between runs: the frame's dock and toolbar state
// (QMainWindow::saveState), kept under a layout name in a small text file that can hold
// several named layouts:
//     [NormalLayout]
//     State=<base64>
// A file that is missing, unreadable or damaged yields no layout, never a partial one.
#include <QByteArray>
#include <QString>

class QMainWindow;

class CPaneLayout
{
public:
    explicit CPaneLayout(QMainWindow* pFrame);

    // Takes the frame's current layout.
    void GetLayout();
    // Gives the layout to the frame; false when there is none or the frame refused it
    // (then the frame keeps what it had).
    bool SetLayout() const;

    bool IsEmpty() const { return m_state.isEmpty(); }
    const QByteArray& State() const { return m_state; }

    // False when the file or the name held no usable layout.
    bool LoadFromFile(const QString& strFile, const QString& strName);
    // Writes the layout under strName, keeping other layouts of the file; replaces the
    // file at once or not at all. False when it could not be written.
    bool SaveToFile(const QString& strFile, const QString& strName) const;

private:
    QMainWindow* m_pFrame;
    QByteArray m_state;
};
