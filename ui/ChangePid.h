// The program settings dialog's decisions: the start-with-Windows registration under the Run
// keys, the program group number's limits and what the dialog's outcome changes in the
// settings.
#pragma once
#include "works/Settings.h"
#include <cstdint>
#include <optional>
#include <string>

namespace kw {

constexpr const char* RunKeyPath = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int MinPid = 1;
constexpr int MaxPid = 32767;

// Whether a Run value (machine-wide or per-user) starts `programPath`; data compared without
// regard to case, value names ignored. Machine-wide errors are ignored; the per-user key is
// created when missing.
bool IsAutoStartRegistered(const std::string& programPath);

// Registers (one per-user value named after the program file, upper case) or unregisters
// (every per-user value starting this program) the program. Machine-wide values are never
// touched. A per-user key that cannot be opened leaves everything as it is.
void SetAutoStart(bool enable, const std::string& programPath);

// The per-user value's name: the program file's name without folder and extension, upper case.
std::string AutoStartValueName(const std::string& programPath);

// `EditProgramSettings`' result: the dialog's number when its modal result is above 0.
int ProgramSettingsResult(int modalResult, int dialogPid, int pid);

// The live pages' port as typed: decimal digits (blanks around them allowed) from 1 to 65535.
// False for anything else, which the dialog refuses rather than silently changing.
bool ParseLivePort(const std::string& text, uint16_t& port);

// `SBSaveClick`'s changes of the settings: Hide, the language of the selected item (the first
// when none is selected) unless the list is empty, and the live pages' group when given.
// `languageFileName` maps an index to its file name.
struct TProgramSettingsChoice {
    bool Hide = false;
    int LanguageIndex = -1;
    int LanguageCount = 0;
    std::optional<TLiveSettings> Live;
};
template <typename FileNameOf>
void ApplyProgramSettings(const TProgramSettingsChoice& choice, TSettings& settings, FileNameOf languageFileName) {
    settings.Hide = choice.Hide;
    int index = choice.LanguageIndex;
    if (index < 0 && choice.LanguageCount > 0)
        index = 0;
    if (index >= 0 && index < choice.LanguageCount)
        settings.Language = languageFileName(index);
    if (choice.Live)
        settings.Live = *choice.Live;
}

} // namespace kw
