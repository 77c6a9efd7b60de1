// The two passes every looked-up text goes through: escape decoding ("\n" and its kin) and the
// expansion of ".Name" references to constants of the language file.
#pragma once
#include "lang/SectionList.h"
#include <cstddef>
#include <map>
#include <string>
#include <utility>

namespace kw::lang {

// A constant that refers to itself, directly or through others, is expanded at most this deep;
// the reference found below that depth stays in the text as written.
constexpr int kMaxReferenceDepth = 16;
// No reference is expanded when the text would grow beyond this many bytes: a few constants that
// each refer to another one many times would otherwise grow a text without limit.
constexpr size_t kMaxExpandedLength = 64 * 1024;

// Replaces "\0" "\a" "\b" "\t" "\n" "\v" "\f" "\r" by their control characters. "\n" gives CR LF
// and "\r" gives LF CR; there is no escape for the backslash itself.
std::string DecodeEscapes(const std::string& text);

// "-", ".", digits and ASCII letters: the characters a reference name is made of.
bool IsReferenceChar(char c);

// Reads an integer from the start of `text` the way language values and version numbers are
// read: leading blanks, a sign, "$" or "0x" for hexadecimal; reading stops at the first
// character that does not belong to the number and the value read so far is used. `stop`
// receives the position of that character. Decimal values saturate at the 32-bit limits;
// hexadecimal ones keep their low 32 bits.
int ReadIntegerPrefix(const std::string& text, size_t* stop = nullptr);

// Looks texts up against one snapshot of the "Constants" section, so that one text never mixes
// the constants of two languages. One expander serves one top-level lookup; it remembers the
// constants it has expanded, so a text costs no more than the constants it touches.
class TReferenceExpander {
public:
    explicit TReferenceExpander(const TSectionData& constants) : constants_(constants) {}

    // Lookup's steps 3 to 5: the found value (or the default when `found` is null), escape-decoded
    // and, when not empty, expanded.
    std::string Finish(const std::string* found, const std::string& def) { return FinishAt(found, def, 0); }
    std::string Expand(const std::string& text) { return ExpandAt(text, 0); }

private:
    std::string FinishAt(const std::string* found, const std::string& def, int depth);
    std::string ExpandAt(const std::string& text, int depth);
    void EndReference(std::string& out, const std::string& name, int depth);
    const std::string& Resolve(const std::string& name, int depth);

    const TSectionData& constants_;
    std::map<std::pair<std::string, int>, std::string> resolved_;
};

// Lookup's steps: the default, unchanged, when the list is missing or empty or the key is empty;
// otherwise the entry's value (or the default when the key is missing), decoded and expanded.
std::string LookupText(const TSectionData* list, const TSectionData& constants, const std::string& key,
                       const std::string& def);

} // namespace kw::lang
