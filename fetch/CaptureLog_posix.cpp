#include "fetch/CaptureLog.h"
#include "upload/Errors.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a handle without losing the errno of the failure being reported.
void CloseQuietly(int handle) {
    const int saved = errno;
    ::close(handle);
    errno = saved;
}

} // namespace

TCaptureLog::~TCaptureLog() {
    try {
        Close();
    } catch (...) {
    }
}

// The fixed name sits in a folder every user can write, so another user may have put a
// link, a FIFO or a file of their own there. A link is never followed (ELOOP). The file is
// truncated only once it is known to be a regular file of ours with no other name, so a
// planted name never costs anyone their data; then its mode is forced to 0600, since an
// existing file keeps the mode it had.
void TCaptureLog::Create(const std::string &path) {
    Close();
    // Non-blocking, so a FIFO without a reader fails instead of hanging the window.
    const int handle = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, S_IRUSR | S_IWUSR);
    // ENXIO: a FIFO nobody reads, or a device; no place for the log either way. ENOENT on a
    // create means a missing folder, which the runtime reports as an invalid name.
    if (handle < 0)
        RaiseInOutError(errno == ENXIO ? EACCES : errno == ENOENT ? EINVAL : errno);
    struct stat st {};
    if (::fstat(handle, &st) != 0) {
        CloseQuietly(handle);
        RaiseInOutError(errno);
    }
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        ::close(handle);
        RaiseInOutError(EACCES);
    }
    if (::fcntl(handle, F_SETFL, 0) != 0 || ::fchmod(handle, S_IRUSR | S_IWUSR) != 0 ||
        ::ftruncate(handle, 0) != 0) {
        CloseQuietly(handle);
        RaiseInOutError(errno);
    }
    FHandle = handle;
    FBuffer.clear();
    FBuffer.reserve(BufferSize);
}

void TCaptureLog::Write(std::string_view text) {
    if (FHandle < 0)
        throw EInOutError(103, "I/O error 103"); // the runtime's "file not open"
    if (FBuffer.size() + text.size() > BufferSize)
        WriteOut();
    FBuffer.append(text);
}

void TCaptureLog::Flush() {
    if (FHandle >= 0)
        WriteOut();
}

void TCaptureLog::Close() {
    if (FHandle < 0)
        return;
    const int handle = FHandle;
    try {
        WriteOut();
    } catch (...) {
        ::close(handle);
        FHandle = -1;
        FBuffer.clear();
        throw;
    }
    FHandle = -1;
    FBuffer.clear();
    // A network file system may report a failed write only now.
    if (::close(handle) != 0 && errno != EINTR)
        RaiseInOutError(errno);
}

void TCaptureLog::WriteOut() {
    std::size_t done = 0;
    while (done < FBuffer.size()) {
        const ssize_t n = ::write(FHandle, FBuffer.data() + done, FBuffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            // What was written stays written; the rest is kept for a later try.
            FBuffer.erase(0, done);
            RaiseInOutError(errno);
        }
        done += std::size_t(n);
    }
    FBuffer.clear();
}
