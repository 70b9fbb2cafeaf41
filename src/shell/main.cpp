// Mossvale: backs up local files to an FTP server and restores them.
#include "BackupCommand.h"
#include "MossvaleApp.h"
#include "transfer/JobPool.h"

int main(int argc, char** argv)
{
    // A backup, the help and the version need no display: decided before any application
    // object exists, as a QApplication would end the program where there is none.
    if (CBackupCommand::IsWanted(argc, argv))
        return CBackupCommand::Main(argc, argv);
    CMossvaleApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    // The frame has saved the user-interface state when it closed. Jobs still running get a
    // few seconds to end; one stuck on a silent server ends with the process.
    return FinishJobsForExit(app.exec());
}
