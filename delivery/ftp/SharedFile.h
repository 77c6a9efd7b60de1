// Reading the output file for an upload. The file is opened without denying other programs
// read or write access: a web server or a backup may hold it open, and the next render must be
// able to write it again while an upload still reads it.
#pragma once
#include <cstddef>
#include <cstdio>
#include "platform/Message.h"
#include <string>

namespace kw::ftp {

class TSharedReadFile {
public:
    TSharedReadFile() = default;
    TSharedReadFile(const TSharedReadFile&) = delete;
    TSharedReadFile& operator=(const TSharedReadFile&) = delete;
    ~TSharedReadFile();

    // False with Error() set when the file cannot be opened.
    bool Open(const std::string& path);
    // Up to `capacity` bytes; 0 at the end of the file or on a read error (see Failed()).
    size_t Read(char* buffer, size_t capacity);
    bool Failed() const;
    const TMessage& Error() const noexcept { return error_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    TMessage error_;
};

} // namespace kw::ftp
