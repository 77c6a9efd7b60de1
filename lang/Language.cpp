// TLanguage: the language files, their sections and the lookup of texts.
#include "lang/Language.h"
#include "lang/TextExpansion.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include <algorithm>

namespace kw::lang {

namespace {
const char* const kConstants = "Constants";
const char* const kNoLanguageFile = "The language files don't exits!";
} // namespace

TLanguage::TLanguage(std::string filePrefix)
    : filePrefix_(std::move(filePrefix)), state_(std::make_shared<const TState>(TState{{}, EmptySection()})) {
    ScanLanguageFiles();
}

std::string TLanguage::ProgramFolder() const { return fs::ExtractFilePath(fs::ProgramPath()); }

std::string TLanguage::CurrentFile() const { return State()->CurrentFile; }

void TLanguage::ScanLanguageFiles() {
    const std::string folder = ProgramFolder();
    for (const std::string& found : fs::FindFiles(folder, filePrefix_ + "*.lng")) {
        // The system's search also matches short 8.3 aliases, whose long names need not begin
        // with the prefix; such a name would be cut in the wrong place.
        if (found.size() <= filePrefix_.size() ||
            CompareTextAscii(found.substr(0, filePrefix_.size()), filePrefix_) != 0)
            continue;
        languages_.push_back({found.substr(filePrefix_.size()), {}});
    }
    std::sort(languages_.begin(), languages_.end(), [](const TLanguageEntry& a, const TLanguageEntry& b) {
        return CompareTextAscii(a.FileName, b.FileName) < 0;
    });
    for (TLanguageEntry& entry : languages_)
        entry.DisplayName = profile::ReadString(folder + filePrefix_ + entry.FileName, kConstants, "Language",
                                                fs::ChangeFileExt(entry.FileName, ""));
}

bool TLanguage::SelectFromSettings(const std::string& settingsFile, const std::string& section,
                                   const std::string& defaultLanguage) {
    if (languages_.empty()) {
        const std::string text = std::string(kNoLanguageFile) + "\r" + ProgramFolder() + filePrefix_ + "*.lng";
        if (view_)
            view_->ShowStandardError(text);
        if (terminate_)
            terminate_();
        return false;
    }
    if (languages_.size() == 1)
        return SelectLanguage(0);
    std::string file = settingsFile.empty() ? fs::ChangeFileExt(fs::ProgramPath(), ".ini") : settingsFile;
    if (fs::ExtractFilePath(file).empty())
        file = ProgramFolder() + file;
    const std::string stored = profile::ReadString(file, section, "Language", defaultLanguage);
    auto it = std::lower_bound(languages_.begin(), languages_.end(), stored,
                               [](const TLanguageEntry& e, const std::string& name) {
                                   return CompareTextAscii(e.FileName, name) < 0;
                               });
    const bool found = it != languages_.end() && CompareTextAscii(it->FileName, stored) == 0;
    return SelectLanguage(found ? static_cast<int>(it - languages_.begin()) : 0);
}

bool TLanguage::SelectLanguage(int index) {
    if (index < 0 || static_cast<size_t>(index) >= languages_.size())
        return false;
    return LoadLanguageFile(languages_[static_cast<size_t>(index)].FileName);
}

bool TLanguage::LoadLanguageFile(const std::string& name) {
    if (name.empty())
        return false;
    // A bare language part ("English") names the file with the usual extension.
    std::string path = filePrefix_ + (fs::ExtractFileExt(name).empty() ? name + ".lng" : name);
    if (fs::ExtractFilePath(path).empty())
        path = ProgramFolder() + path;
    auto constants = ReadSection(path, kConstants);
    state_.Store(std::make_shared<const TState>(TState{path, std::move(constants)}));
    return true;
}

void TLanguage::GetLanguageNames(std::vector<std::string>& names) const {
    names.clear();
    for (const TLanguageEntry& entry : languages_)
        names.push_back(entry.DisplayName);
}

int TLanguage::IndexOfLanguage(const std::string& name) const noexcept {
    try {
        const std::string wanted = UpperAscii(name);
        for (size_t i = 0; i < languages_.size(); ++i) {
            const TLanguageEntry& e = languages_[i];
            if (UpperAscii(e.FileName) == wanted || UpperAscii(fs::ChangeFileExt(e.FileName, "")) == wanted ||
                UpperAscii(e.DisplayName) == wanted)
                return static_cast<int>(i);
        }
    } catch (...) {
    }
    return -1;
}

std::string TLanguage::LanguageFileName(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= languages_.size())
        return {};
    return languages_[static_cast<size_t>(index)].FileName;
}

std::shared_ptr<const TSectionData> TLanguage::ReadSection(const std::string& file, const std::string& section,
                                                        std::shared_ptr<const TSectionData> constants) const {
    if (file.empty() || !fs::FileExists(file))
        return EmptySection();
    return TSectionData::FromLines(profile::ReadSectionLines(file, section), std::move(constants));
}

std::shared_ptr<const TSectionData> TLanguage::ConstantsFor(const TSectionData& list) const {
    return list.Constants() ? list.Constants() : State()->Constants;
}

void TLanguage::LoadSection(const std::string& section, std::unique_ptr<TSectionList>& list) const {
    if (!list)
        list = std::make_unique<TSectionList>();
    // The section and the constants of one state: the list stays in one language.
    const auto state = State();
    list->Replace(ReadSection(state->CurrentFile, section, state->Constants));
}

void TLanguage::FreeSection(std::unique_ptr<TSectionList>& list, bool freeList) {
    if (!list)
        return;
    list->Clear();
    if (freeList)
        list.reset();
}

std::string TLanguage::Lookup(const std::string& key, const TSectionList* list, const std::string& def) const {
    if (!list)
        return def;
    const auto data = list->Snapshot();
    return LookupText(data.get(), *ConstantsFor(*data), key, def);
}

std::string TLanguage::LookupProperty(const std::string& name, const std::string& property, const std::string& def,
                                      const TSectionList* list) const {
    return Lookup(name + "." + property, list, def);
}

std::string TLanguage::ConstText(const std::string& key, const std::string& def) const {
    const auto state = State();
    return LookupText(state->Constants.get(), *state->Constants, key, def);
}

std::string TLanguage::ConstGroupText(const std::string& group, const std::string& key, const std::string& def) const {
    return ConstText(group + "." + key, def);
}

int TLanguage::ConstInt(const std::string& key) const { return ReadIntegerPrefix(ConstText(key, "0")); }

int TLanguage::StartupLocale() const {
    const int locale = ConstInt("Locale");
    return locale < 1 ? kDefaultLocale : locale;
}

std::string TLanguage::MessageTextIn(const TSectionData& list, const TSectionData& constants,
                                     const std::string& name) const {
    if (list.Empty() || name.empty())
        return {};
    const std::string* found = list.Find("Dialog." + name);
    return found ? TReferenceExpander(constants).Finish(found, std::string()) : std::string();
}

std::string TLanguage::MessageText(const std::string& name, const TSectionList* list) const {
    if (!list)
        return {};
    const auto data = list->Snapshot();
    return MessageTextIn(*data, *ConstantsFor(*data), name);
}

} // namespace kw::lang
