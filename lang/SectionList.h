// Section lists: the sorted key/value entries of one section of a language file.
//
// A section list is read by render threads while the main thread reloads it when the user
// switches language. The entries therefore live in an immutable TSectionData that is built
// aside and swapped in whole: a reader takes a Snapshot() and keeps a consistent old or new
// list for as long as it holds it.
#pragma once
#include "lang/Snapshot.h"
#include <memory>
#include <string>
#include <vector>

namespace kw::lang {

// One entry of a section list. Key is stored upper-cased; Value is everything after the first
// "=" of the line, as read.
struct TTextEntry {
    std::string Key;
    std::string Value;
};

// ASCII-only case folding: language keys are compared without regard to the case of ASCII
// letters, every other byte compares by its code.
std::string UpperAscii(std::string text);
int CompareTextAscii(const std::string& a, const std::string& b);

// The immutable, sorted entries of one section.
class TSectionData {
public:
    TSectionData() = default;
    // Parses the lines the profile reader delivers for a section: empty lines, lines starting
    // with ";" and lines whose first "=" is missing or first are skipped. When a key occurs
    // twice the first line wins, as the profile functions read it. `constants` are those of the
    // language file the lines come from (see Constants()).
    static std::shared_ptr<const TSectionData> FromLines(const std::vector<std::string>& lines,
                                                         std::shared_ptr<const TSectionData> constants = nullptr);

    bool Empty() const { return entries_.empty(); }
    size_t Count() const { return entries_.size(); }
    const TTextEntry& Entry(size_t index) const { return entries_[index]; }

    // Binary search without regard to ASCII case; -1 when the key is not in the list.
    int IndexOf(const std::string& key) const;
    // The value for a key, or nullptr.
    const std::string* Find(const std::string& key) const;

    // The "Constants" of the language file this section was read from, which its references
    // expand with; null when it was read without them. A render reading a text while the user
    // switches language thus gets the text wholly in the old or wholly in the new language.
    const std::shared_ptr<const TSectionData>& Constants() const { return constants_; }

private:
    std::vector<TTextEntry> entries_;
    std::shared_ptr<const TSectionData> constants_;
};

// The shared empty list, so that a snapshot is never null.
const std::shared_ptr<const TSectionData>& EmptySection();

// A section list as its owner holds it (the main window keeps one for "Main", the work editor
// one for its own section). Replace() publishes a new snapshot; readers on any thread call
// Snapshot().
class TSectionList {
public:
    TSectionList();
    TSectionList(const TSectionList&) = delete;
    TSectionList& operator=(const TSectionList&) = delete;

    std::shared_ptr<const TSectionData> Snapshot() const { return data_.Load(); }
    void Replace(std::shared_ptr<const TSectionData> data);
    void Clear();

    size_t Count() const { return Snapshot()->Count(); }

private:
    TSnapshot<TSectionData> data_;
};


} // namespace kw::lang
