// POSIX profile files: the whole file is read and parsed for each call, as the profile
// functions do, and every edit is written through a temporary file that replaces the
// original, so a failed write never leaves a half-written settings file.
#include "platform/Profile.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/ProfileText.h"

namespace kw::profile {

namespace {

// A missing file reads as empty; any other read failure is reported so that an edit never
// replaces a file it could not read.
bool Load(const std::string& file, TProfileText& text, bool& exists) {
    exists = fs::FileExists(file);
    if (!exists) {
        text = TProfileText(std::string());
        return !fs::DirectoryExists(file);
    }
    std::string bytes, error;
    if (!fs::ReadWholeFile(file, bytes, error))
        return false;
    text = TProfileText(bytes);
    return true;
}

TProfileText LoadForReading(const std::string& file) {
    TProfileText text{std::string()};
    bool exists = false;
    if (!Load(file, text, exists))
        return TProfileText(std::string());
    return text;
}

bool Store(const std::string& file, const TProfileText& text) {
    std::string error;
    return fs::WriteFileReplacing(file, text.Bytes(), error);
}

} // namespace

std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& def) {
    std::string value;
    return LoadForReading(file).Find(section, key, value) ? value : def;
}

std::vector<std::string> ReadSectionNames(const std::string& file) {
    return LoadForReading(file).SectionNames();
}

std::vector<std::string> ReadSectionLines(const std::string& file, const std::string& section) {
    return LoadForReading(file).SectionLines(section);
}

bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                 const std::string& value) {
    if (!IsWritable(section, key, value))
        return false;
    TProfileText text{std::string()};
    bool exists = false;
    if (!Load(file, text, exists))
        return false;
    if (!text.SetValue(section, key, value) && exists)
        return true;
    return Store(file, text);
}

bool DeleteKey(const std::string& file, const std::string& section, const std::string& key) {
    TProfileText text{std::string()};
    bool exists = false;
    if (!Load(file, text, exists))
        return false;
    return !text.DeleteKey(section, key) || Store(file, text);
}

bool EraseSection(const std::string& file, const std::string& section) {
    TProfileText text{std::string()};
    bool exists = false;
    if (!Load(file, text, exists))
        return false;
    return !text.EraseSection(section) || Store(file, text);
}

} // namespace kw::profile
