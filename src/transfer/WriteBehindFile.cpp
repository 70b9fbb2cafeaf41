#include "WriteBehindFile.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Write-back is started for each such range as soon as it is complete...
constexpr std::int64_t kRange = 8 << 20;
// ...and the writer waits for the range this far behind it: far enough that a disk that
// stalls for a moment does not hold up the network, near enough that a restore never
// leaves much more than this dirty.
constexpr std::int64_t kLag = 8 * kRange;

} // namespace

bool CWriteBehindFile::Write(const char* pData, std::size_t nSize)
{
    while (nSize > 0) {
        const ssize_t nWritten = ::write(m_fd, pData, nSize);
        if (nWritten < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        if (nWritten == 0)
            return Fail(EIO);
        pData += nWritten;
        nSize -= static_cast<std::size_t>(nWritten);
        m_nWritten += nWritten;
    }
    WriteBack();
    return true;
}

// Errors of sync_file_range are not checked: a file system without it simply leaves all
// to Finish(), and a failed write-back is reported again by the fsync there.
void CWriteBehindFile::WriteBack()
{
    while (m_nWritten - m_nStarted >= kRange) {
        sync_file_range(m_fd, m_nStarted, kRange, SYNC_FILE_RANGE_WRITE);
        m_nStarted += kRange;
        if (m_nStarted > kLag)
            sync_file_range(m_fd, m_nStarted - kLag - kRange, kRange,
                            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                SYNC_FILE_RANGE_WAIT_AFTER);
    }
}

bool CWriteBehindFile::ResumeAt(std::int64_t nSize)
{
    if (m_nErrno != 0)
        return false;
    m_nWritten = nSize;
    m_nStarted = nSize - nSize % kRange; // the range under way is started again
    return true;
}

bool CWriteBehindFile::Finish()
{
    if (m_nErrno != 0)
        return false;
    return fsync(m_fd) == 0 || Fail(errno);
}

bool CWriteBehindFile::Fail(int nErrno)
{
    if (m_nErrno == 0)
        m_nErrno = nErrno ? nErrno : EIO;
    return false;
}
