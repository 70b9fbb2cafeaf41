#pragma once
// Writes a file that must be on disk before it is used (a restore's temporary, renamed over
// the user's file afterwards) without leaving the whole of it for the final fsync: every few
// MiB the bytes just written are sent to the disk while the next ones arrive, and the writer
// waits for an older range to land, so that dirty pages never pile up. Finish() then has
// only the last few MiB and the metadata left to sync.
#include <cstddef>
#include <cstdint>

class CWriteBehindFile
{
public:
    // fd: open for writing at offset 0; not owned, the caller closes it.
    explicit CWriteBehindFile(int fd) : m_fd(fd) {}

    // Appends every byte or fails; false with LastErrno() set when the file takes no more.
    bool Write(const char* pData, std::size_t nSize);
    // The file now ends at nSize and the writes go on from there (a transfer resumed after a
    // break, or started again at 0); false after a failure.
    bool ResumeAt(std::int64_t nSize);
    // fsync: true once every byte and the file's metadata are on disk.
    bool Finish();
    // The errno of the first failure, 0 while none failed.
    int LastErrno() const { return m_nErrno; }

private:
    void WriteBack();
    bool Fail(int nErrno);

    int m_fd;
    int m_nErrno = 0;
    std::int64_t m_nWritten = 0; // bytes handed to the kernel
    std::int64_t m_nStarted = 0; // bytes whose write-back has been started
};
