// The start-up peer: the least a Qt Widgets program does to show one dialog.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>

#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QDialog dlg;
    QLabel label(QStringLiteral("Hello"), &dlg);
    QTimer::singleShot(0, &dlg, [] { std::_Exit(0); });
    return dlg.exec();
}
