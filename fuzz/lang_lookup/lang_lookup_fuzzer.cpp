// Fuzzes the lookup of language texts: the input's lines before the first empty line are a
// "Constants" section, the rest is the text looked up (escapes, then references).
#include "lang/SectionList.h"
#include "lang/TextExpansion.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find("\n\n");
    std::vector<std::string> lines;
    const std::string head = input.substr(0, split);
    for (size_t start = 0; start <= head.size();) {
        const size_t end = head.find('\n', start);
        lines.push_back(head.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    const auto constants = kw::lang::TSectionData::FromLines(lines);
    const std::string text = split == std::string::npos ? head : input.substr(split + 2);
    const std::string out = kw::lang::LookupText(constants.get(), *constants, text, text);
    // Expansion is bounded: only references add text, and never beyond the limit.
    if (out.size() > std::max(text.size(), kw::lang::kMaxExpandedLength) + text.size())
        __builtin_trap();
    return 0;
}
