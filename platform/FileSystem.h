// File-system queries and path helpers the program needs. Paths are single-byte (ANSI) text;
// both "\" and "/" separate folders.
#pragma once
#include <string>
#include <vector>

namespace kw::fs {

bool FileExists(const std::string& path);       // an existing file (not a folder)
bool DirectoryExists(const std::string& path);

// Full path of the running program file. Tests may replace it (the POSIX build has no
// meaningful program file of its own for the program's settings and language files).
std::string ProgramPath();
void SetProgramPathForTesting(const std::string& path);  // empty restores the real one

// Names (without folder) of the files in `folder` that match `mask` ("*" and "?", matched
// without regard to case as Windows does); folders are skipped. Sorted by nothing: the
// order is the system's.
std::vector<std::string> FindFiles(const std::string& folder, const std::string& mask);

// Creates the folder `path` afresh: false, with the system's message in `error`, when anything
// (a folder, a file, a link) already has that name or the folder cannot be made; a folder
// someone else prepared is never taken over. POSIX makes it the user's alone (0700).
bool CreateNewFolder(const std::string& path, std::string& error);
// Removes a file, and an empty folder; false when it is not there or cannot be removed.
bool RemoveFileAt(const std::string& path);
bool RemoveEmptyFolder(const std::string& path);

// Path helpers (portable, pure).
std::string ExtractFileName(const std::string& path);   // "C:\a\b.txt" -> "b.txt"
std::string ExtractFilePath(const std::string& path);   // "C:\a\b.txt" -> "C:\a\" (keeps the separator)
std::string ExtractFileExt(const std::string& path);    // "b.txt" -> ".txt"; "" when none
std::string ChangeFileExt(const std::string& path, const std::string& ext);  // ext includes its dot
std::string IncludeTrailingSeparator(const std::string& folder);
char PathSeparator();                                    // '\\' on Windows, '/' elsewhere

// The text of the last system error (errno / GetLastError) for status messages.
std::string LastErrorText();

} // namespace kw::fs
