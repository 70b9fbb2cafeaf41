#pragma once
// The About box: the program's icon, "Mossvale Version 1.0", OK, and where the account, the
// settings with the backup plan, and the history are kept.
#include <QDialog>

class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
    int DoModal() { return exec(); }
};
