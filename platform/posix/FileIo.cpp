// POSIX whole-file I/O: write to a temporary beside the target, then rename over it.
#include "platform/FileIo.h"
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".~" + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1)) + ".tmp";
}

bool WriteInPlace(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = ErrorText(path, errno);
        return false;
    }
    const bool ok = WriteAll(fd, bytes);
    const int code = errno;
    if (::close(fd) != 0 && ok) {
        error = ErrorText(path, errno);
        return false;
    }
    if (!ok)
        error = ErrorText(path, code);
    return ok;
}

} // namespace

bool ReadWholeFile(const std::string& path, std::string& out, std::string& error) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = ErrorText(path, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = ErrorText(path, EISDIR);
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = ErrorText(path, errno);
            ::close(fd);
            out.clear();
            return false;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
    struct stat target {};
    const bool exists = ::stat(path.c_str(), &target) == 0;
    if (exists && S_ISDIR(target.st_mode)) {
        error = ErrorText(path, EISDIR);
        return false;
    }
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) // a rename would replace the link itself
        return WriteInPlace(path, bytes, error);
    const std::string temp = TemporaryName(path);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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

} // namespace kw::fs
