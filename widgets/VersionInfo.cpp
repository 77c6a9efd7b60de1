// Reading a file's version resource through the platform's version functions.
#include "widgets/VersionInfo.h"
#include "platform/FileSystem.h"
#include "platform/VersionResource.h"
#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

namespace kw {

namespace {
const char* const kKeys[kVersionTypeCount] = {
    "CompanyName",      "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTrademarks",  "OriginalFilename", "ProductName", "ProductVersion", "Comments"};

// One integer from the start of `text` (blanks and a sign first); `stop` is where reading
// stopped. Saturates at the 32-bit limits.
int32_t ReadLeadingInteger(const std::string& text, size_t& stop) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    stop = i;
    value = negative ? -value : std::min<long long>(value, INT_MAX);
    return static_cast<int32_t>(value);
}
} // namespace

const char* VersionKey(TVersionType type) { return kKeys[static_cast<int>(type)]; }

std::array<int32_t, 4> ReadVersionNumbers(const std::string& fileVersion) {
    std::array<int32_t, 4> numbers{};
    std::string rest = fileVersion;
    for (int32_t& number : numbers) {
        if (rest.empty())
            break;  // the missing numbers stay 0
        size_t stop = 0;
        number = ReadLeadingInteger(rest, stop);
        rest.erase(0, std::min(stop + 1, rest.size()));
    }
    return numbers;
}

TVersionInfo::TVersionInfo() { ReadVersionInfo(std::string()); }

std::string TVersionInfo::GetInfoString(TVersionType type) const { return strings_[static_cast<size_t>(type)]; }

void TVersionInfo::ReadVersionInfo(const std::string& fileName) {
    const std::string file = fileName.empty() ? fs::ProgramPath() : fileName;
    const uint32_t size = version::FileVersionInfoSize(file);
    if (size > 0) {
        std::vector<uint8_t> block(size, 0);
        if (version::LoadFileVersionInfo(file, block)) {
            uint16_t language = 0;
            uint16_t codePage = 0;
            if (!version::QueryTranslation(block, language, codePage))
                language = codePage = 0;
            char table[9];
            std::snprintf(table, sizeof table, "%4.4X%4.4X", language, codePage);
            for (int i = 0; i < kVersionTypeCount; ++i) {
                std::string value;
                if (version::QueryString(block, std::string("\\StringFileInfo\\") + table + "\\" + kKeys[i], value))
                    strings_[static_cast<size_t>(i)] = value;
            }
        }
    }
    numbers_ = ReadVersionNumbers(FileVersion());
}

} // namespace kw
