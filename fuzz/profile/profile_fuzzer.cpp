// Fuzzes the profile reader with arbitrary file contents: every section and key found must
// read back, and an edit must read back as written without disturbing other sections. The
// reading is checked on the parsed text in memory for every input; the file path (write, read
// back through the real file code) for one input in 64, chosen by its bytes so that a finding
// replays, because a disk round trip costs a thousand times the parse.
#include "platform/Profile.h"
#include "platform/ProfileSection.h"
#include "platform/ProfileText.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// One file per fuzzing process, removed when the process ends.
struct TFuzzFile {
    std::string path = "/tmp/kw_fuzz_profile_" + std::to_string(getpid()) + ".ini";
    ~TFuzzFile() { std::remove(path.c_str()); }
};

const std::string& FuzzFile() {
    static const TFuzzFile file;
    return file.path;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool SampledForFile(const std::string& bytes) {
    unsigned sum = 0;
    for (unsigned char c : bytes)
        sum = sum * 31 + c;
    return sum % 64 == 0;
}

// The file code must read what the parser reads.
void CheckFileReadsAsText(const std::string& bytes, const kw::profile::TProfileText& text) {
    using namespace kw::profile;
    {
        std::ofstream out(FuzzFile(), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    const auto names = text.SectionNames();
    Check(ReadSectionNames(FuzzFile()) == names);
    for (const std::string& section : names)
        Check(ReadSectionLines(FuzzFile(), section) == text.SectionLines(section));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    using namespace kw::profile;
    const TProfileText parsed(bytes);
    if (SampledForFile(bytes))
        CheckFileReadsAsText(bytes, parsed);
    const auto names = parsed.SectionNames();
    for (const std::string& section : names) {
        std::set<std::string> seen;  // keys as they match: ASCII letters in one case
        const std::vector<std::string> lines = parsed.SectionLines(section);
        const TProfileSection keys(lines);  // a settings load reads its keys from the lines
        for (const std::string& line : lines) {
            const size_t eq = line.find('=');
            const std::string key = line.substr(0, eq);
            std::string folded = key;
            for (char& c : folded)
                c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
            const bool first = seen.insert(folded).second;
            // The first line of a key decides its lookup: with a value it is found.
            std::string value;
            if (first && eq != std::string::npos && eq > 0)
                Check(parsed.Find(section, key, value));
            const std::string none = "\x01";
            Check(keys.Value(key, none) == (parsed.Find(section, key, value) ? value : none));
        }
    }

    // An edit reads back and leaves the list of sections as it was (or adds one at the end).
    TProfileText text(bytes);
    const std::string section = names.empty() ? "New" : names.front();
    if (IsWritable(section, "FuzzKey", "fuzz value")) {
        text.SetValue(section, "FuzzKey", "fuzz value");
        const TProfileText again(text.Bytes());
        std::string value;
        Check(again.Find(section, "FuzzKey", value) && value == "fuzz value");
        const auto after = again.SectionNames();
        Check(after.size() == names.size() + (names.empty() ? 1 : 0));
        text.DeleteKey(section, "FuzzKey");
        text.EraseSection(section);
    }
    return 0;
}
