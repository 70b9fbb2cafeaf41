#pragma once
// A report of many files (a backup that left some out): a short summary above a scrolling
// list of the files, a button that copies them, in a window that fits the screen it opens on,
// however long the list. A message box would grow past the bottom of a small screen.
#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

class CReportDlg : public QDialog
{
    Q_OBJECT
public:
    CReportDlg(const QString& strTitle, const QString& strSummary, const QStringList& lines,
               QWidget* pParent = nullptr);

    // Puts the summary and every line on the clipboard, one line each.
    void OnCopy();

    QLabel* m_pSummary = nullptr;
    QListWidget* m_pList = nullptr;
    QPushButton* m_pCopy = nullptr;

private:
    // Room for the list's lines, within the screen's available area less the window frame.
    void FitScreen();
};
