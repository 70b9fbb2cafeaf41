// Shows the main frame with its three views, as the program will, but without the login.
//   frame_demo [--layout-folder DIR]
// --layout-folder keeps pane.dxl in DIR instead of beside the program.
#include "shell/CommandIds.h"
#include "shell/MainFrame.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"layout-folder", "Folder of pane.dxl.", "dir"});
    parser.process(app);
    if (parser.isSet("layout-folder"))
        CMainFrame::SetLayoutFolders(parser.value("layout-folder"), parser.value("layout-folder"));

    CMainFrame frame;
    frame.InitialUpdateViews();
    frame.SetCommandHandler(ID_APP_ABOUT, [&frame] {
        QMessageBox::about(&frame, QStringLiteral("About Mossvale"),
                           QStringLiteral("Mossvale Version 1.0"));
    });
    frame.SetRecentFiles({QStringLiteral("/tmp/first.mossva")}, [](const QString&) {});
    frame.showMaximized();
    return app.exec();
}
