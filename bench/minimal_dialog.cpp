// The start-up peer: the least a Qt Widgets program does to show a main window with a modal
// dialog over it, as Mossvale does at start. The benchmark kills it once the dialog is up.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    QDialog dlg(&window);
    QLabel label(QStringLiteral("Hello"), &dlg);
    return dlg.exec();
}
