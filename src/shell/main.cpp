// Mossvale: backs up local files to an FTP server and restores them.
#include "MossvaleApp.h"
#include "transfer/JobPool.h"

int main(int argc, char** argv)
{
    CMossvaleApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    // The frame has saved the user-interface state when it closed. Jobs still running get a
    // few seconds to end; one stuck on a silent server ends with the process.
    return FinishJobsForExit(app.exec());
}
