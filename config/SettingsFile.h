// The settings file beside the program: the `Settings` section with the program-wide values
// and one section per work. Read once at start-up; afterwards only written, at once, by the
// main thread. These functions know the file and the stored values only; the running works
// are loaded and saved through works/Settings.h.
#pragma once
#include "config/WorkConfig.h"
#include <cstdint>
#include <string>
#include <vector>

namespace kw {

// The program-wide values of the `Settings` section.
// The live server's port unless the settings name another: assigned to no service by IANA and
// used by no common server, database or development tool, so it is free on a station's machine.
inline constexpr uint16_t DefaultLivePort = 8719;

// The live server (live pages). Each key stands in [Settings] only while it differs from its
// default, so a settings file of a program without live pages is written back unchanged.
struct TLiveSettings {
    bool On = false;                  // LiveServer
    uint16_t Port = DefaultLivePort;  // LivePort
    bool OtherComputers = false;      // LiveOtherComputers: all addresses, every URL needs the key
    std::string AccessKey;            // LiveKey: letters and digits (another key reads as none)
};

struct TProgramSettings {
    int16_t PID = 1;
    bool Hide = false;
    std::string Language = "Russian";
    TLiveSettings Live;
};

// True for an access key the live server's URLs can carry as it is: 16 to 64 letters and digits.
bool UsableAccessKey(const std::string& key);

// The program file's path with the extension ".ini".
std::string SettingsFilePath();

// A work is every section whose name begins with exactly "File" (case-sensitive).
bool IsWorkSection(const std::string& section);

// The program-wide values; missing or unusable values take their defaults.
TProgramSettings ReadProgramSettings(const std::string& file);
// The work sections in file order. A repeated section name reaches the same (first) section
// in every lookup and write, so it is listed once.
std::vector<std::string> ReadWorkSections(const std::string& file);
// One work's stored fields; missing or unusable values take their defaults.
TWorkConfig ReadWork(const std::string& file, const std::string& section);

// Each writer returns false when the file cannot be written; `error` (optional) receives the
// reason.
[[nodiscard]] bool WriteProgramSettings(const std::string& file, const TProgramSettings& program,
                                        std::string* error = nullptr);
// The work's section: each key of the work-field table (config/WorkFields.h) while it stands
// in the section, deleted otherwise (FTP keys only while FTP is on, and so on).
[[nodiscard]] bool WriteWork(const std::string& file, const TWorkConfig& work, std::string* error = nullptr);
[[nodiscard]] bool EraseWork(const std::string& file, const std::string& section, std::string* error = nullptr);

} // namespace kw
