#include "upload/Errors.h"

#include <cerrno>

void RaiseInOutError(int err) {
    switch (err) {
    case ENOENT:
        throw EInOutError(2, "File not found");
    case ENAMETOOLONG:
    case EINVAL:
        throw EInOutError(3, "Invalid filename");
    case EMFILE:
    case ENFILE:
        throw EInOutError(4, "Too many open files");
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        throw EInOutError(5, "File access denied");
    case ENOSPC:
        throw EInOutError(101, "Disk full");
    default:
        // An errno with no runtime code of its own keeps its number; it is never read as
        // one of the codes above (EIO is 5, which is not "File access denied").
        throw EInOutError(err, "I/O error " + std::to_string(err));
    }
}
