// The text of a profile (INI) file as the Win32 profile functions see it, for the POSIX
// implementation of platform/Profile.h. Parsing never fails: any bytes give some set of
// sections and keys, and the lines the edits do not touch are kept byte for byte, comments
// and layout included.
//
// Reading rules (those of the Windows profile functions as observed on our Windows):
//  - lines end at CR LF, LF or CR; a NUL byte ends the line's content;
//  - blanks and tabs around section names, keys and values are ignored;
//  - "[name]" starts a section (text after the "]" is ignored); "[name" without "]" is an
//    ordinary line; lines before the first section belong to a section without a name;
//  - names match without regard to ASCII case (other bytes exactly); the first of
//    duplicate sections, and the first of duplicate keys in it, wins;
//  - a value that begins and ends with the same quote (" or ') loses that one pair;
//  - a line starting with ";" is a comment: not delivered with the section's lines, though a
//    lookup of its exact text before "=" still finds it; a line without "=" is delivered with
//    the section's lines but has no value;
//  - a UTF-8 byte-order mark at the start is skipped.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kw::profile {

class TProfileText {
  public:
    explicit TProfileText(const std::string& bytes);

    std::vector<std::string> SectionNames() const;
    std::vector<std::string> SectionLines(const std::string& section) const;
    // False when the section, the key or the key's value is missing.
    bool Find(const std::string& section, const std::string& key, std::string& value) const;

    // Edits; each returns whether the text changed.
    bool SetValue(const std::string& section, const std::string& key, const std::string& value);
    bool DeleteKey(const std::string& section, const std::string& key);
    bool EraseSection(const std::string& section);

    std::string Bytes() const;

  private:
    // One line: its bytes, its end, and where its name and value lie within the bytes.
    struct TLine {
        std::string raw;                  // the line's bytes without its end
        std::string ending;               // "\r\n", "\n", "\r" or "" (last line)
        bool header = false;              // "[name]"
        bool entry = false;               // neither a header nor blank
        bool hasValue = false;            // an "=" was found
        size_t nameAt = 0, nameLen = 0;   // header: section name; entry: key (trimmed)
        size_t valueAt = 0, valueLen = 0; // trimmed, quotes kept
        std::string Name() const { return raw.substr(nameAt, nameLen); }
        std::string_view NameView() const { return std::string_view(raw).substr(nameAt, nameLen); }
        std::string Value() const { return raw.substr(valueAt, valueLen); }
    };
    struct TSpan { // the lines of one section: [first, end)
        size_t first;
        size_t end;
    };

    static TLine Classify(std::string raw, std::string ending);
    bool FindSection(const std::string& section, TSpan& span) const;
    bool FindKey(const TSpan& span, const std::string& key, size_t& index) const;
    void EnsureEndsWithNewLine();

    std::vector<TLine> lines_;
    bool byteOrderMark_ = false; // kept when the file is written back
};

// Writing refuses names and values that would change the file's structure: a line break or
// NUL anywhere, "=" in a key, "]" in a section name, an empty key.
bool IsWritable(const std::string& section, const std::string& key, const std::string& value);

// Equality without regard to ASCII case, as the profile functions match names.
bool SameName(std::string_view a, std::string_view b);

// Blanks and tabs removed from both ends.
std::string TrimBlanks(const std::string& text);
std::string_view TrimmedView(std::string_view text);

// A value that begins and ends with the same quote (" or ') without that one pair.
std::string UnquoteValue(std::string_view value);

} // namespace kw::profile
