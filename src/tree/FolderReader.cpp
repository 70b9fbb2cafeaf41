#include "FolderReader.h"

#include "platform/FileFind.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>

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

struct CFolderReader::Pending {
    QMutex mutex;
    QWaitCondition ended;
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
        QMutexLocker lock(&pPending->mutex);
        pPending->contents = std::move(contents);
        pPending->bEnded = true;
        pPending->ended.wakeAll();
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
    QMutexLocker lock(&pPending->mutex);
    if (!pPending->bEnded)
        pPending->ended.wait(&pPending->mutex, QDeadlineTimer(nWaitMs));
    if (!pPending->bEnded) {
        pPending->bHandedOver = true;
        return false;
    }
    lock.unlock();
    (*pDone)(pPending->contents);
    return true;
}
