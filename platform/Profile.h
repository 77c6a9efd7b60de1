// Profile (INI) files with the semantics of the Win32 profile functions
// (GetPrivateProfileStringA, GetPrivateProfileSectionNamesA, GetPrivateProfileSectionA,
// WritePrivateProfileStringA): section and key names match without regard to case, sections
// are listed in file order, every write goes to the file at once and a write creates the
// section or the file. On Windows these call the real functions; the POSIX implementation
// passes the same contract tests. Texts are single-byte (ANSI) strings; paths are full paths.
#pragma once
#include <string>
#include <vector>

namespace kw::profile {

// The value of a key, trimmed and unquoted as Windows does it, or `def` when the key, the
// section or the file is missing.
std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& def);

// The section names in the order in which they stand in the file.
std::vector<std::string> ReadSectionNames(const std::string& file);

// The lines of one section as the profile functions deliver them ("key=value").
std::vector<std::string> ReadSectionLines(const std::string& file, const std::string& section);

// Writes a key in place, or appends it to its section, or creates the section or the file.
// False when the file cannot be written (read-only, missing folder, ...).
[[nodiscard]] bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value);

// Deletes one key; deleting a missing key succeeds.
[[nodiscard]] bool DeleteKey(const std::string& file, const std::string& section, const std::string& key);

// Erases a whole section with its keys.
[[nodiscard]] bool EraseSection(const std::string& file, const std::string& section);

} // namespace kw::profile
