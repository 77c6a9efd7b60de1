// The station's guides say what the program does: their tag reference names every tag with the
// right live mark, their letter tables give the letters the program writes, their settings-file
// table names every key the settings code writes, and every screenshot they show is there. A
// change to the tags, the letters or the keys that forgets the guides fails here.
#include "works/Settings.h"
#include "platform/Profile.h"
#include "render/TagTable.h"
#include "render/ValueFormat.h"
#include "tests/platform/TempFolder.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kw {
namespace {

namespace stdfs = std::filesystem;

const stdfs::path Root = stdfs::path(KW_SOURCE_DIR);

std::vector<std::string> Lines(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The cells of a Markdown table row, trimmed; empty when the line is no row.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    if (line.empty() || line[0] != '|')
        return cells;
    std::stringstream row(line.substr(1));
    for (std::string cell; std::getline(row, cell, '|');) {
        const size_t first = cell.find_first_not_of(' ');
        const size_t last = cell.find_last_not_of(' ');
        cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
    }
    return cells;
}

class StationGuide : public ::testing::TestWithParam<std::string> {
  protected:
    stdfs::path Path() const { return Root / "docs" / "station" / ("README." + GetParam() + ".md"); }
    std::string LetterRowName() const { return GetParam() == "ru" ? "Буква" : "Letter"; }
    std::string WorkSectionName() const { return GetParam() == "ru" ? "работа" : "work"; }
};

TEST_P(StationGuide, NamesEveryTagOnceWithItsLiveMark) {
    const std::vector<std::string> lines = Lines(Path());
    ASSERT_FALSE(lines.empty()) << Path();
    for (size_t i = 0; i < TagCount; ++i) {
        const TTagInfo& tag = TagTable()[i];
        const std::string name = "`" + std::string(tag.Name) + "`";
        int rows = 0;
        for (const std::string& line : lines) {
            const std::vector<std::string> cells = Cells(line);
            if (cells.size() >= 3 && cells[0] == name) {
                ++rows;
                EXPECT_EQ(cells[2] == "✓", tag.Live) << tag.Name;
            }
        }
        EXPECT_EQ(rows, 1) << tag.Name;
    }
}

// The row of letters that follows a row of codes, as pairs (code, letter); "other" codes are
// checked with 255 or a code the table does not name.
void ExpectLetters(const std::vector<std::string>& lines, const std::string& letterRow,
                   const std::string& firstLetters, std::string (*letter)(uint8_t), uint8_t otherCode) {
    for (size_t i = 0; i + 2 < lines.size(); ++i) {
        const std::vector<std::string> codes = Cells(lines[i]);
        const std::vector<std::string> letters = Cells(lines[i + 2]);
        if (letters.size() < 2 || letters[0] != letterRow || codes.size() != letters.size())
            continue;
        std::string row;
        for (size_t c = 1; c < letters.size(); ++c)
            row += letters[c];
        if (row.rfind(firstLetters, 0) != 0)
            continue; // another letter table
        for (size_t c = 1; c < codes.size(); ++c) {
            const bool other = !std::isdigit(static_cast<unsigned char>(codes[c][0]));
            const uint8_t code = other ? otherCode : static_cast<uint8_t>(std::stoi(codes[c]));
            EXPECT_EQ(letter(code), letters[c]) << "code " << codes[c];
        }
        return;
    }
    ADD_FAILURE() << "no letter table starting " << firstLetters;
}

TEST_P(StationGuide, LetterTablesGiveTheLettersTheProgramWrites) {
    const std::vector<std::string> lines = Lines(Path());
    ExpectLetters(lines, LetterRowName(), "MIOV", ElementTypeLetter, 200);
    ExpectLetters(lines, LetterRowName(), "MAIV", BlockTypeLetter, 8);
}

TEST_P(StationGuide, EveryScreenshotItShowsIsThere) {
    std::ifstream in(Path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::regex image(R"(!\[[^\]]*\]\((\.\./screenshots/[^)]+)\))");
    int shown = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), image); it != std::sregex_iterator();
         ++it) {
        EXPECT_TRUE(stdfs::is_regular_file(Path().parent_path() / (*it)[1].str())) << (*it)[1];
        ++shown;
    }
    EXPECT_GE(shown, 1);
}

// A work with every option set, so that each key its target can write is written. The targets'
// records are filled whole: a field added to one of them must be set here too.
TWorkConfig EveryOptionSet(const std::string& section, TTargetChoice target) {
    TWorkConfig w;
    w.Section = section;
    w.Name = section;
    w.FileIn = "in.htm", w.FileOut = "out.htm";
    w.Update = 30, w.CodePage = 1, w.Escaping = 1;
    w.FTP = {true, "ftp.example", 2121, true, true, "user", "secret", "/www", "page.htm", true, std::string(64, 'a')};
    w.HTTP = {hmPOST, "https://example.com/?a=!KW!SongArtist", "user", "secret", "text/plain", std::string(64, 'b')};
    w.Text = {"rds.example", 5000};
    w.MQTT = {"broker.example", 8884, true, std::string(64, 'c'), "studio-a", "user", "secret", "radio/a/!KW!SongArtist",
              0, false, "radio/a/presence"};
    w.MQTT.Payload = mpNowPlaying;
    w.Publish = {trLetters, "MS", false, 20, true, 10};
    w.ServeLive = true;
    SetTargetChoice(w, target);
    return w;
}

// The keys the settings code writes into a settings file, with the section kind they stand in
// ("Settings" or "work"): the program settings, and one work saved with each target.
std::map<std::string, std::string> KeysTheProgramWrites(const kwtest::TTempFolder& dir) {
    TSettings settings;
    settings.FileName = dir.Path("KWPAGE.ini");
    settings.Language = "English.lng";
    settings.Live = {true, 9000, true, std::string(24, 'k')};
    EXPECT_TRUE(SaveProgramSettings(settings));
    for (uint8_t target = 0; target < TargetChoiceCount; ++target) {
        const std::string section = "File26120800000" + std::to_string(target);
        EXPECT_TRUE(settings.Works.Append(
            std::make_shared<TWorkData>(EveryOptionSet(section, static_cast<TTargetChoice>(target)))));
        EXPECT_TRUE(SaveWork(settings, target));
    }
    std::map<std::string, std::string> keys;
    for (const std::string& section : profile::ReadSectionNames(settings.FileName))
        for (const std::string& line : profile::ReadSectionLines(settings.FileName, section))
            keys[line.substr(0, line.find('='))] = IsWorkSection(section) ? "work" : section;
    return keys;
}

// The settings-file table: each key named in a row's first cell (`Key`, `Key2`), with the row's
// section cell.
std::map<std::string, std::vector<std::string>> KeyRows(const std::vector<std::string>& lines,
                                                        const std::string& workName) {
    const std::regex key("`([A-Za-z0-9]+)`");
    std::map<std::string, std::vector<std::string>> rows;
    for (const std::string& line : lines) {
        const std::vector<std::string> cells = Cells(line);
        if (cells.size() < 3 || (cells[1] != "Settings" && cells[1] != workName))
            continue;
        for (auto it = std::sregex_iterator(cells[0].begin(), cells[0].end(), key); it != std::sregex_iterator(); ++it)
            rows[(*it)[1].str()].push_back(cells[1] == workName ? "work" : cells[1]);
    }
    return rows;
}

TEST_P(StationGuide, SettingsTableNamesEveryKeyTheProgramWritesAndNoOther) {
    kwtest::TTempFolder dir;
    const std::map<std::string, std::string> written = KeysTheProgramWrites(dir);
    ASSERT_GT(written.size(), 20u);
    const auto rows = KeyRows(Lines(Path()), WorkSectionName());
    for (const auto& [key, section] : written) {
        const auto row = rows.find(key);
        if (row == rows.end()) {
            ADD_FAILURE() << key << " has no row in the settings-file table";
            continue;
        }
        EXPECT_EQ(row->second, std::vector<std::string>{section}) << key;
    }
    for (const auto& [key, sections] : rows)
        EXPECT_TRUE(written.count(key)) << key << " is in the table, but the program writes no such key";
}

INSTANTIATE_TEST_SUITE_P(Languages, StationGuide, ::testing::Values("en", "ru"));

} // namespace
} // namespace kw
