// Fuzzes the POSIX profile reader with arbitrary file contents: every section and key found
// must read back, and an edit must read back as written without disturbing other sections.
#include "platform/Profile.h"
#include "platform/ProfileText.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(FuzzFile(), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    using namespace kw::profile;
    const auto names = ReadSectionNames(FuzzFile());
    for (const std::string& section : names) {
        std::vector<std::string> seen;
        for (const std::string& line : ReadSectionLines(FuzzFile(), section)) {
            const size_t eq = line.find('=');
            const std::string key = line.substr(0, eq);
            bool first = true;
            for (const std::string& k : seen)
                first = first && !SameName(k, key);
            seen.push_back(key);
            // The first line of a key decides its lookup: with a value it is found.
            if (first && eq != std::string::npos && eq > 0)
                Check(ReadString(FuzzFile(), section, key, "\x01missing") ==
                          TrimBlanks(line.substr(eq + 1)) ||
                      ReadString(FuzzFile(), section, key, "\x01missing") != "\x01missing");
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
