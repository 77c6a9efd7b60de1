// The settings file beside the program: the `Settings` section with the program-wide values
// and one section per work. Read once at start-up; afterwards only written, at once, by the
// main thread.
#pragma once
#include "config/Settings.h"
#include <string>
#include <vector>

namespace kw {

// The program file's path with the extension ".ini".
std::string SettingsFilePath();

// A work is every section whose name begins with exactly "File" (case-sensitive).
bool IsWorkSection(const std::string& section);

struct TLoadSummary {
    // Work sections beyond the 128 the list can hold, in file order. They stay in the file
    // untouched but get no render (a render could not be told their position).
    std::vector<std::string> SkippedWorks;
};

// Fills `settings` from the file (computing settings.FileName first). Missing or unusable
// values take their defaults; nothing here fails.
TLoadSummary LoadSettings(TSettings& settings);

// Writes PID, Hide and Language. False when the file cannot be written; the in-memory
// settings are never changed by a save. `error` (optional) receives the reason.
[[nodiscard]] bool SaveProgramSettings(const TSettings& settings, std::string* error = nullptr);

// Writes the section of the work at `index`: each key of the work-field table
// (config/WorkFields.h) while it stands in the section, deleted otherwise (FTP keys only while
// FTP is on, and so on). False when there is no such work or the file cannot be written.
[[nodiscard]] bool SaveWork(const TSettings& settings, int index, std::string* error = nullptr);

// Erases the work's section and then removes the work from the list. An index outside the
// list changes nothing and is not a failure. When the section cannot be erased the work stays
// in the list and the result is false, so the list and the file never disagree.
[[nodiscard]] bool DeleteWork(TSettings& settings, int index, std::string* error = nullptr);

} // namespace kw
