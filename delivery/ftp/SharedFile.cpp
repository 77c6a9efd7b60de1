// Shared-access reading of a local file (Windows: _fsopen with _SH_DENYNO).
#include "delivery/ftp/SharedFile.h"
#include <cerrno>
#include <cstring>
#ifdef _WIN32
#include <share.h>
#endif

namespace kw::ftp {

TSharedReadFile::~TSharedReadFile() {
    if (file_)
        std::fclose(file_);
}

bool TSharedReadFile::Open(const std::string& path) {
    path_ = path;
    errno = 0;
#ifdef _WIN32
    file_ = _fsopen(path.c_str(), "rb", _SH_DENYNO);
#else
    file_ = std::fopen(path.c_str(), "rb");
#endif
    if (!file_) {
        error_ = TMessage::Of("CannotOpenFile", {path, std::strerror(errno)});
        return false;
    }
    return true;
}

size_t TSharedReadFile::Read(char* buffer, size_t capacity) {
    if (!file_)
        return 0;
    const size_t n = std::fread(buffer, 1, capacity, file_);
    if (n == 0 && std::ferror(file_))
        error_ = TMessage::Of("CannotReadFile", {path_, std::strerror(errno)});
    return n;
}

bool TSharedReadFile::Failed() const { return !file_ || std::ferror(file_) != 0; }

} // namespace kw::ftp
