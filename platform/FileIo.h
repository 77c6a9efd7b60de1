// Whole-file reading and writing for templates, output pages and the settings file.
#pragma once
#include <string>

namespace kw::fs {

// Reads the whole file into `out`. False with the system's message in `error` when the file
// cannot be opened or read; `out` is then empty.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& out, std::string& error);

// Writes `bytes` as the file's new content. The bytes go to a temporary file in the same
// folder which then replaces the target in one step, so a reader (a web server, the next
// render) sees either the old or the new file, never half of one. When the folder does not
// allow that (no right to create files there, or the target is held open without sharing
// deletion), the target is written in place instead. False with the system's message in
// `error` when neither works; no temporary file is left behind.
[[nodiscard]] bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error);

} // namespace kw::fs
