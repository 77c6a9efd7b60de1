// POSIX whole-file I/O: write to a temporary beside the target, then rename over it.
#include "platform/FileIo.h"
#include <atomic>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw::fs {

namespace {

std::string ErrorText(const std::string& what, int code) {
    return what + ": " + std::strerror(code);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// A pipe whose reader goes away while the page is written raises SIGPIPE, which would end the
// whole program. While it is alive the signal is held back on this thread, and one raised by
// the write is taken off again, so the write fails with EPIPE instead.
class TPipeSignalGuard {
public:
    TPipeSignalGuard() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~TPipeSignalGuard() {
        if (!wasPending_) {
            const timespec none{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &none) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    TPipeSignalGuard(const TPipeSignalGuard&) = delete;
    TPipeSignalGuard& operator=(const TPipeSignalGuard&) = delete;

private:
    sigset_t pipe_{}, old_{};
    bool wasPending_ = false;
};


// Opened without waiting: a pipe nobody reads from fails at once instead of holding the
// render up, and one with a reader is then written to normally.
bool WriteInPlace(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        error = ErrorText(path, errno);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    bool ok = false;
    int code = 0;
    {
        TPipeSignalGuard guard;
        ok = WriteAll(fd, bytes);
        code = errno;
    }
    if (::close(fd) != 0 && ok) {
        error = ErrorText(path, errno);
        return false;
    }
    if (!ok)
        error = ErrorText(path, code);
    return ok;
}

// Reads what follows `done` bytes already in `out` until the end of the file. Once `out` is
// full, the end is probed with a small buffer of its own: growing `out` for the probe would
// double a template's buffer (and copy it) on every render.
bool ReadRest(int fd, std::string& out, size_t done) {
    char probe[4096];
    for (;;) {
        const bool full = done == out.size();
        const ssize_t n = full ? ::read(fd, probe, sizeof probe) : ::read(fd, out.data() + done, out.size() - done);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (full) {
            out.append(probe, static_cast<size_t>(n));  // the file grew since its size was taken
            out.resize(out.capacity());                 // read on into the room the string has
        }
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return true;
}

} // namespace

bool ReadWholeFile(const std::string& path, std::string& out, std::string& error, TReadFailure& failure) {
    out.clear();
    failure = TReadFailure::None;
    // Not waiting at the open: a pipe named as a file must not hold the caller up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    int code = fd < 0 ? errno : ::fstat(fd, &st) != 0 ? errno : 0;
    if (code == 0 && S_ISDIR(st.st_mode))
        code = EISDIR;
    if (code != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        failure = TReadFailure::Open;
        error = code != 0 ? ErrorText(path, code) : path + ": not a file";
        return false;
    }
    bool ok = false;
    try {
        // One buffer of the file's size, filled in place; a file that grows meanwhile is read on.
        out.resize(static_cast<size_t>(st.st_size));
        ok = ReadRest(fd, out, 0);
        code = errno;
    } catch (...) {
        ::close(fd);
        out = std::string();
        throw;
    }
    ::close(fd);
    if (!ok) {
        out = std::string();
        failure = TReadFailure::Read;
        error = ErrorText(path, code);
    }
    return ok;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
    struct stat target {};
    const bool exists = ::stat(path.c_str(), &target) == 0;
    if (exists && S_ISDIR(target.st_mode)) {
        error = ErrorText(path, EISDIR);
        return false;
    }
    // A rename would put a plain file in the place of a link, a device or a pipe.
    struct stat own {};
    // A rename would also cut a hard link: the other names would keep the old page.
    if (::lstat(path.c_str(), &own) == 0 && (!S_ISREG(own.st_mode) || own.st_nlink > 1))
        return WriteInPlace(path, bytes, error);
    const std::string temp = ReplacementName(path);
    // The leftover of a run that was killed is removed only when it is met (leftovers are
    // removed at start as well): a removal per write would be one more operation on the folder
    // for every page. It is never followed if it is a link.
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
        ::unlink(temp.c_str());
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    if (fd < 0) // e.g. no right to create files in the folder: the file itself may be writable
        return WriteInPlace(path, bytes, error);
    if (exists)
        (void)::fchmod(fd, target.st_mode & 07777); // the page keeps the permissions it had
    const bool written = WriteAll(fd, bytes);
    const int writeCode = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(temp.c_str());
        error = ErrorText(path, written ? errno : writeCode);
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return WriteInPlace(path, bytes, error);
    }
    return true;
}

void RemoveReplacementLeftover(const std::string& path) noexcept {
    try {
        const std::string temp = ReplacementName(path);
        struct stat st {};
        if (::lstat(temp.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
            ::unlink(temp.c_str());
    } catch (...) {
        // no memory for the name: the next write takes the leftover over anyway
    }
}

} // namespace kw::fs
