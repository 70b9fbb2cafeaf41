#include "FolderReader.h"

#include "platform/FileFind.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

QThreadPool& ReaderPool()
{
    // A few threads: a read stuck on a dead mount holds one until the mount answers.
    static QThreadPool* pPool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(4);
        return p;
    }();
    return *pPool;
}

} // namespace

// The standard mutex and condition: Qt's wait, built without ThreadSanitizer, releases a
// QMutex that the sanitizer still sees held, and the reader's lock reads as a double lock.
struct CFolderReader::Pending {
    std::mutex mutex;
    std::condition_variable ended;
    bool bEnded = false;
    bool bHandedOver = false; // the window stopped waiting: the worker reports by itself
    FolderContents contents;
};

CFolderReader::CFolderReader(QObject* pParent)
    : QObject(pParent), m_pAlive(std::make_shared<bool>(true))
{
}

CFolderReader::~CFolderReader()
{
    *m_pAlive = false;
}

FolderContents CFolderReader::ReadNow(const QByteArray& path)
{
    FolderContents contents;
    const UINT nAttributes = GetFileAttributes(path);
    contents.bExists =
        nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (contents.bExists)
        contents.bReadable = FindFolderEntries(path, contents.entries);
    return contents;
}

bool CFolderReader::Read(const QByteArray& path, int nWaitMs, Done done)
{
    auto pPending = std::make_shared<Pending>();
    std::weak_ptr<bool> alive = m_pAlive;
    auto pDone = std::make_shared<Done>(std::move(done));
    ReaderPool().start([path, pPending, alive, pDone] {
        FolderContents contents = ReadNow(path);
        std::unique_lock lock(pPending->mutex);
        pPending->contents = std::move(contents);
        pPending->bEnded = true;
        pPending->ended.notify_all();
        if (!pPending->bHandedOver)
            return;
        lock.unlock();
        // Late: the answer goes to the window thread, where the reader is known to exist or
        // not; the application object outlives every window.
        if (QCoreApplication* pApp = QCoreApplication::instance())
            QMetaObject::invokeMethod(pApp, [pPending, alive, pDone] {
                if (auto pAlive = alive.lock(); pAlive && *pAlive)
                    (*pDone)(pPending->contents);
            });
    });
    std::unique_lock lock(pPending->mutex);
    pPending->ended.wait_for(lock, std::chrono::milliseconds(nWaitMs),
                             [&pPending] { return pPending->bEnded; });
    if (!pPending->bEnded) {
        pPending->bHandedOver = true;
        return false;
    }
    lock.unlock();
    (*pDone)(pPending->contents);
    return true;
}
