#pragma once
// Reads folders off the window thread, so that a folder on a slow or hung mount never
// freezes the window: a read that has not ended after a moment goes on in the background
// and reports when it ends. The reads run on a pool of their own, so reads stuck on a dead
// mount never hold up the program's other work.
#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// platform/FileFind.h; not included here, since its attribute names clash with the transfer
// engine's in files that see both.
struct FindEntry;

struct FolderContents {
    bool bExists = false;   // the path is still a folder
    bool bReadable = false; // its entries could be read
    std::vector<FindEntry> entries;
};

class CFolderReader : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(FolderContents& contents)>;

    explicit CFolderReader(QObject* pParent = nullptr);
    ~CFolderReader() override;

    // Reads path on a worker. When the read ends within nWaitMs, done runs before Read
    // returns and the result is true; otherwise done runs later on this object's thread
    // (never once this object is gone) and the result is false.
    bool Read(const QByteArray& path, int nWaitMs, Done done);
    // The path as the worker finds it: whether it is a folder, and its entries.
    static FolderContents ReadNow(const QByteArray& path);

    // How long the window waits for a read before it shows the folder as being read.
    static constexpr int kWaitMs = 300;

private:
    struct Pending;
    std::shared_ptr<bool> m_pAlive;
};
