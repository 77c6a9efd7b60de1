// TVersionInfo: the version resource of a program file (by default the running program's),
// its string values and the four numbers of its file version.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace kw {

enum class TVersionType : uint8_t {
    vtCompanyName, vtFileDescription, vtFileVersion, vtInternalName, vtLegalCopyright,
    vtLegalTradeMark, vtOriginalFileName, vtProductName, vtProductVersion, vtComments
};
constexpr int kVersionTypeCount = 10;

// The key of a member in the resource's string table ("LegalTrademarks" for vtLegalTradeMark).
const char* VersionKey(TVersionType type);

// Major, minor, release and build read one after another from a file version such as "1.1.2.0"
// or "2, 5, 1, 7". Each number is read from the start of the remaining text (blanks skipped, up
// to the first character that does not belong to it), and the text up to and including that
// character is dropped. A version with fewer than four numbers gives 0 for the missing ones.
std::array<int32_t, 4> ReadVersionNumbers(const std::string& fileVersion);

class TVersionInfo {
public:
    // Reads the running program's file.
    TVersionInfo();
    virtual ~TVersionInfo() = default;

    virtual std::string GetInfoString(TVersionType type) const;
    // Reads a file's resource (empty: the running program's): the strings it provides replace
    // the stored ones, and the four numbers are always recomputed from FileVersion.
    virtual void ReadVersionInfo(const std::string& fileName);

    std::string FileVersion() const { return GetInfoString(TVersionType::vtFileVersion); }

    int32_t Major() const { return numbers_[0]; }
    int32_t Minor() const { return numbers_[1]; }
    int32_t Release() const { return numbers_[2]; }
    int32_t Build() const { return numbers_[3]; }

private:
    std::array<std::string, kVersionTypeCount> strings_;
    std::array<int32_t, 4> numbers_{};
};

} // namespace kw
