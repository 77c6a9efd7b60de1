// The shipped sample templates: every marker in them names a tag the program knows (a misspelt
// tag would stay in a station's page as text), every list tag carries its index digit, and every
// HTML sample declares the code page its file name promises, early enough for a browser to see.
#include "render/RenderWork.h"
#include "render/TagTable.h"
#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>

namespace kw {
namespace {

namespace stdfs = std::filesystem;

const stdfs::path Samples = stdfs::path(KW_SOURCE_DIR) / "dist" / "templates";

std::string ReadFile(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::vector<stdfs::path> Templates() {
    std::vector<stdfs::path> found;
    for (const auto& e : stdfs::directory_iterator(Samples))
        if (e.path().extension() != ".md")
            found.push_back(e.path());
    return found;
}

TEST(SampleTemplates, ThereIsOnePagePerCodePageAndTheJsonAndTextSamples) {
    for (const char* name : {"nowplaying-windows-1251.html", "nowplaying-utf-8.html",
                             "nowplaying-koi8-r.html", "nowplaying-koi8-u.html", "nowplaying-cp866.html",
                             "nowplaying.json", "nowplaying.txt", "README.md"})
        EXPECT_TRUE(stdfs::is_regular_file(Samples / name)) << name;
}

TEST(SampleTemplates, EveryMarkerStartsAKnownTagAndListTagsHaveTheirDigit) {
    int tags = 0;
    for (const stdfs::path& file : Templates()) {
        const std::string text = ReadFile(file);
        for (size_t at = text.find(TagMarker); at != std::string::npos; at = text.find(TagMarker, at + 1)) {
            const std::string_view rest = std::string_view(text).substr(at + TagMarker.size());
            const TTagInfo* tag = MatchTag(rest);
            ASSERT_NE(tag, nullptr) << file.filename() << ": unknown tag at " << rest.substr(0, 24);
            // the name must be the whole word, or the station's page shows the tail as text
            const char next = rest.size() > tag->Name.size() ? rest[tag->Name.size()] : '\n';
            if (IsListTag(tag->Tag))
                EXPECT_TRUE(IsHexDigit(next)) << file.filename() << ": " << tag->Name << " without its index";
            else
                EXPECT_FALSE(std::isalnum(static_cast<unsigned char>(next)) || next == '_')
                    << file.filename() << ": " << tag->Name << " followed by " << next;
            ++tags;
        }
    }
    EXPECT_GT(tags, 100);
}

TEST(SampleTemplates, HtmlSamplesDeclareTheCodePageTheirNameSays) {
    const std::map<std::string, std::string> declared = {
        {"nowplaying-windows-1251.html", "windows-1251"},
        {"nowplaying-utf-8.html", "utf-8"},
        {"nowplaying-koi8-r.html", "koi8-r"},
        {"nowplaying-koi8-u.html", "koi8-u"},
        {"nowplaying-cp866.html", "ibm866"},
    };
    for (const auto& [name, label] : declared) {
        const std::string text = ReadFile(Samples / name);
        const std::string meta = "<meta charset=\"" + label + "\">";
        const size_t at = text.find(meta);
        ASSERT_NE(at, std::string::npos) << name;
        // browsers look for the declaration in the first 1024 bytes only
        EXPECT_LT(at + meta.size(), 1024u) << name;
        EXPECT_EQ(text.find("charset", at + meta.size()), std::string::npos) << name << " declares twice";
    }
}

TEST(SampleTemplates, WithoutHostDataNoMarkerIsLeftInAnyPage) {
    TPageState page; // link waiting: live tags empty, the rest still filled
    for (const stdfs::path& file : Templates()) {
        const TTemplateLines lines(ReadFile(file));
        const std::string out = RenderPage(lines, 1, page);
        EXPECT_EQ(out.find(TagMarker), std::string::npos) << file.filename();
        if (file.extension() == ".json") {
            EXPECT_NE(out.find("\"online\": \"O\""), std::string::npos);
        }
    }
}

} // namespace
} // namespace kw
