#pragma once
// The customise dialog of the command bars, with its Commands, Keyboard and Options pages.
// It edits the command bars directly; the frame saves what changed when it closes.
#include <QDialog>

class CCommandBars;
class CCustomizeCommandsPage;
class CCustomizeKeyboardPage;
class CCustomizeOptionsPage;
class QTabWidget;

class CCustomizeDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CCustomizeDlg(CCommandBars* pBars, QWidget* pParent = nullptr);

    void AddPage(QWidget* pPage);

    CCustomizeCommandsPage* GetCommandsPage() const { return m_pCommandsPage; }
    QTabWidget* Pages() const { return m_pPages; }

private:
    QTabWidget* m_pPages;
    CCustomizeCommandsPage* m_pCommandsPage;
};
