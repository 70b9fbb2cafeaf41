#pragma once
// The About box: the program's icon, "Mossvale Version 1.0" and OK.
#include <QDialog>

class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
    int DoModal() { return exec(); }
};
