// Reading and writing the settings file.
#include "config/SettingsFile.h"
#include "config/IniValues.h"
#include "config/Password.h"
#include "config/WorkFields.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/ProfileSection.h"
#include "platform/ProfileText.h"

namespace kw {

namespace {

constexpr const char* SettingsSection = "Settings";
constexpr int32_t TextCapacity = 255;

void Fail(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

std::string WriteFailure(const std::string& file) {
    return "The settings file cannot be written: " + file;
}

// A choice's position by its name, compared without regard to case; the default for any other text.
int32_t IndexOfName(const std::string& text, const TWorkField& field) {
    for (uint8_t i = 0; i < field.NameCount; ++i)
        if (*field.Names[i] && profile::SameName(text, field.Names[i]))
            return i;
    return field.DefaultNumber;
}

std::string CutTo(std::string text, int32_t capacity) {
    if (capacity > 0 && text.size() > static_cast<size_t>(capacity))
        text.resize(static_cast<size_t>(capacity));
    return text;
}

// Out-of-range numbers take the default instead of stopping the load: a value the field cannot
// hold says nothing reliable about what the user wanted.
TFieldValue ReadField(const profile::TProfileSection& keys, const std::string& section, const TWorkField& field) {
    const char* key = field.Key;
    switch (field.Stored) {
    case TStored::Text:
        return {0, CutTo(keys.Value(key, field.DefaultText ? field.DefaultText : section), field.Max)};
    case TStored::Password:
        return {0, CutTo(UnscramblePassword(keys.Value(key, "")), field.Max)};
    case TStored::Integer:
        return {IniIntegerOf(keys.Value(key, ""), field.DefaultNumber, field.Min, field.Max), {}};
    case TStored::Boolean:
        return {IniBoolOf(keys.Value(key, ""), field.DefaultNumber != 0) ? 1 : 0, {}};
    case TStored::Choice:
        return {IndexOfName(keys.Value(key, ""), field), {}};
    }
    return {};
}

TWorkConfig ReadWorkKeys(const std::string& file, const std::string& section) {
    TWorkConfig w;
    w.Section = CutTo(section, TextCapacity);
    const profile::TProfileSection keys = profile::TProfileSection::Read(file, section);
    for (const TWorkField& field : WorkFields())
        field.Set(w, ReadField(keys, section, field));
    return w;
}

// The value as the file holds it.
std::string StoredText(const TWorkField& field, const TFieldValue& v) {
    switch (field.Stored) {
    case TStored::Text: return v.Text;
    case TStored::Password: return ScramblePassword(v.Text);
    case TStored::Integer: return std::to_string(v.Number);
    case TStored::Boolean: return v.Number ? "1" : "0";
    case TStored::Choice:
        return field.Names[v.Number >= 0 && v.Number < field.NameCount ? v.Number : field.DefaultNumber];
    }
    return {};
}

// Writes the field's key, or deletes it when it does not stand in the section (its target is
// not used, or it is written only when set and is not).
bool WriteField(const std::string& file, const TWorkConfig& w, const TWorkField& field) {
    if (!StandsInSection(field, w))
        return profile::DeleteKey(file, w.Section, field.Key);
    const std::string text = StoredText(field, field.Get(w));
    if (field.OnlyWhenSet &&
        text == StoredText(field, TFieldValue{field.DefaultNumber, field.DefaultText ? field.DefaultText : ""}))
        return profile::DeleteKey(file, w.Section, field.Key);
    return profile::WriteString(file, w.Section, field.Key, text);
}

bool WriteWorkKeys(const std::string& file, const TWorkConfig& w) {
    for (const TWorkField& field : WorkFields())
        if (!WriteField(file, w, field))
            return false;
    return true;
}

} // namespace

std::string SettingsFilePath() {
    return fs::ChangeFileExt(fs::ProgramPath(), ".ini");
}

bool IsWorkSection(const std::string& section) {
    return section.compare(0, 4, "File") == 0;
}

bool UsableAccessKey(const std::string& key) {
    if (key.size() < 16 || key.size() > 64)
        return false;
    for (const char c : key)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

namespace {

TLiveSettings ReadLiveSettings(const profile::TProfileSection& keys) {
    TLiveSettings live;
    live.On = IniBoolOf(keys.Value("LiveServer", ""), false);
    live.Port = static_cast<uint16_t>(IniIntegerOf(keys.Value("LivePort", ""), DefaultLivePort, 1, 65535));
    live.OtherComputers = IniBoolOf(keys.Value("LiveOtherComputers", ""), false);
    live.AccessKey = keys.Value("LiveKey", "");
    if (!UsableAccessKey(live.AccessKey))
        live.AccessKey.clear();
    return live;
}

// Each key only while it differs from its default.
bool WriteLiveKey(const std::string& file, const char* key, const std::string& value, bool isDefault) {
    return isDefault ? profile::DeleteKey(file, SettingsSection, key)
                     : profile::WriteString(file, SettingsSection, key, value);
}

bool WriteLiveSettings(const std::string& file, const TLiveSettings& live) {
    return WriteLiveKey(file, "LiveServer", "1", !live.On) &&
           WriteLiveKey(file, "LivePort", std::to_string(live.Port), live.Port == DefaultLivePort) &&
           WriteLiveKey(file, "LiveOtherComputers", "1", !live.OtherComputers) &&
           WriteLiveKey(file, "LiveKey", live.AccessKey, live.AccessKey.empty());
}

} // namespace

TProgramSettings ReadProgramSettings(const std::string& file) {
    const profile::TProfileSection keys = profile::TProfileSection::Read(file, SettingsSection);
    TProgramSettings program;
    program.PID = static_cast<int16_t>(IniIntegerOf(keys.Value("PID", ""), 1, INT16_MIN, INT16_MAX));
    program.Hide = IniBoolOf(keys.Value("Hide", ""), false);
    program.Language = keys.Value("Language", "Russian");
    program.Live = ReadLiveSettings(keys);
    return program;
}

std::vector<std::string> ReadWorkSections(const std::string& file) {
    std::vector<std::string> sections;
    for (const std::string& section : profile::ReadSectionNames(file)) {
        if (!IsWorkSection(section))
            continue;
        bool repeated = false;
        for (const std::string& s : sections)
            repeated = repeated || profile::SameName(s, section);
        if (!repeated)
            sections.push_back(section);
    }
    return sections;
}

TWorkConfig ReadWork(const std::string& file, const std::string& section) {
    return ReadWorkKeys(file, section);
}

bool WriteProgramSettings(const std::string& file, const TProgramSettings& program, std::string* error) {
    if (WriteIniInteger(file, SettingsSection, "PID", program.PID) &&
        WriteIniBool(file, SettingsSection, "Hide", program.Hide) &&
        profile::WriteString(file, SettingsSection, "Language", program.Language) &&
        WriteLiveSettings(file, program.Live))
        return true;
    Fail(error, WriteFailure(file));
    return false;
}

bool WriteWork(const std::string& file, const TWorkConfig& work, std::string* error) {
    if (WriteWorkKeys(file, work))
        return true;
    Fail(error, WriteFailure(file));
    return false;
}

bool EraseWork(const std::string& file, const std::string& section, std::string* error) {
    if (profile::EraseSection(file, section))
        return true;
    Fail(error, WriteFailure(file));
    return false;
}

} // namespace kw
