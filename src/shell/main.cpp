// Mossvale: backs up local files to an FTP server and restores them.
#include "MossvaleApp.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    CMossvaleApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    const int nResult = app.exec();
    // The frame has saved the user-interface state when it closed. Transfer jobs may still
    // be running on their own threads; they are not waited for, and tearing down the
    // process's statics under them could crash it, so the process ends here at once.
    std::fflush(nullptr);
    std::_Exit(nResult);
}
