// Whole-file reading and writing for templates, output pages and the settings file.
#pragma once
#include <string>

namespace kw::fs {

// Which step of a read failed: the file could not be opened (missing, a folder, no right to
// it, held by another program), or it was opened and then could not be read.
enum class TReadFailure { None, Open, Read };

// Reads the whole file into `out`. False with the system's message in `error` when the file
// cannot be opened or read (`failure` tells which); `out` is then empty. A folder, a device or
// a pipe is not a file and fails to open. The file's size is taken first, so a large file is
// read straight into one buffer of its size.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& out, std::string& error,
                                 TReadFailure& failure);
[[nodiscard]] inline bool ReadWholeFile(const std::string& path, std::string& out, std::string& error) {
    TReadFailure failure{};
    return ReadWholeFile(path, out, error, failure);
}

// Writes `bytes` as the file's new content. The bytes go to a temporary file in the same
// folder which then replaces the target in one step, so a reader (a web server, the next
// render) sees either the old or the new file, never half of one. When the folder does not
// allow that (no right to create files there, or the target is held open without sharing
// deletion), the target is written in place instead. A target that is not a plain file (a
// device, a pipe, a symbolic link) is always written in place: replacing it would put a plain
// file where the device or the link was. False with the system's message in `error` when
// neither works; no temporary file is left behind.
// The temporary file has one name per target (ReplacementName), so a write cut short by a
// killed process leaves at most one behind, which the next write takes over. A target that
// exists is replaced keeping what belongs to it: its permissions, and on Windows its rights,
// attributes and creation time (ReplaceFile). A target with more than one hard link is
// written in place, so that every name keeps seeing the page.
[[nodiscard]] bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error);

// The temporary file beside `path` that WriteFileReplacing writes first.
inline std::string ReplacementName(const std::string& path) { return path + ".~kwpage.tmp"; }

// Removes a temporary file left beside `path` by a write that never finished (a killed run).
void RemoveReplacementLeftover(const std::string& path) noexcept;

} // namespace kw::fs
