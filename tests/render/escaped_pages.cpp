// Pages with hostile values for escaped_pages.py, which reads them as their readers do
// (headless Chromium, Python's json, urllib and XML parser):
//
//   render_escaped_pages TEMPLATES_DIR OUT_DIR
//
// writes, for every code page, the HTML sample of that code page with HTML escaping, the JSON
// sample with JSON escaping, a URL query template with URL escaping and an XML template with
// XML escaping, and expected.json: for every code page and tag the bytes the tag gives without
// escaping, which is what each reader must get back.
#include "render/CodePages.h"
#include "render/RenderWork.h"
#include "render/TagTable.h"
#include "render/ValueEscaping.h"
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

namespace stdfs = std::filesystem;
using namespace kw;

std::string ReadFile(const stdfs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const stdfs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Values as hostile as the host can send them (Windows-1251 bytes): markup, quotes, text
// already escaped, backslashes, control bytes (entry texts are length-counted, so CR, LF and
// NUL too), Cyrillic and signs the smaller code pages lack, the unassigned byte 0x98, the
// longest texts, and tags inside values.
TPageState HostileState() {
    TBroadcastState s;
    s.Song = {0, 185, 0, "Guns N' Roses", "AC/DC & \"Friends\""};
    s.Element = {0, 30, 0, "<Unknown>", "<script>alert(1)</script>"};
    s.Block = {1, 3600, 0, "&amp; already &lt;b&gt; escaped"};
    const std::string quotes(64, '"');
    std::string mixed;
    while (mixed.size() < 64)
        mixed += "&<>'\"\\";
    mixed.resize(64);
    s.Playlist = std::make_shared<const TPlaylist>(TPlaylist{
        {0, 1000, "back\\slash \\\" \\u0041 \\", "\x01\x07\t\x1F\x7F end"},
        {0, 2000, "\xCF\xF0\xE8\xE2\xE5\xF2 \xAB\xEC\xE8\xF0\xBB \x97 \xB9" "1 \xB8\xA8 \xA5 \xBA \x98 \x95\xA7\xB6\x99",
         std::string("CR\rLF\nNUL\0end", 14)},
        {0, 3000, quotes, mixed}});
    s.Played = std::make_shared<const TPlayedList>(TPlayedList{
        {0, 0, 1000, "%41+%2B?a=b&c=d#x /~", "\xA0nbsp\xA0"},
        {0, 0, 2000, "!KW!SongTitle <b>", "!KW!Bogus & !KW!"},
        {0, 0, 3000, "]]><!--", "'; DROP TABLE --"}});
    s.ClockName = "\xD0\xE0\xED\xEA\xEE\xE2\xE0 \xA5\xE0\xEB\xE5\xF0\xE5\xFF: \xAF\xE6\xE0\xEA";
    s.NextClockName = "'\"<>&";
    // The longest state text: a payload is at most 64 KB.
    std::string message = "Now: !KW!SongArtist \xAB!KW!ElementTitle\xBB\n";
    while (message.size() < 65000)
        message += "<i>&amp;\"'\\ \x01\t\n\xCF\xF0\xE8\xE2\xE5\xF2 ";
    s.SystemMessage = message;
    TPageState page;
    page.Broadcast = std::make_shared<const TBroadcastState>(std::move(s));
    page.LinkState = 2;
    page.Now = 46363.5;
    return page;
}

bool IsListTag(const std::string& name) { return name.starts_with("PlayList") || name.starts_with("Played"); }

const char* const CodePageNames[] = {"windows-1251", "utf-8", "koi8-r", "koi8-u", "cp866"};

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// One line per tag: "Tag=" and the tag.
std::string UrlTemplate() {
    std::string t;
    for (size_t i = 0; i < TagCount; ++i) {
        const std::string name(TagTable()[i].Name);
        t += name + "=!KW!" + name + (IsListTag(name) ? "0" : "") + "\n";
    }
    return t;
}

std::string XmlTemplate(const char* encoding) {
    std::string t = std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n<tags>\n";
    for (size_t i = 0; i < TagCount; ++i) {
        const std::string name(TagTable()[i].Name);
        const std::string tag = "!KW!" + name + (IsListTag(name) ? "0" : "");
        t += "<v tag=\"" + name + "\" a=\"" + tag + "\" b='" + tag + "'>" + tag + "</v>\n";
    }
    return t + "</tags>\n";
}

std::string Render(const std::string& text, uint8_t codePage, uint8_t escaping, const TPageState& page) {
    return RenderPage(TTemplateLines(text), codePage, escaping, page);
}

// For every tag (list tags with each index 0..2): its text without escaping.
std::string Expected(uint8_t codePage, const TPageState& page) {
    std::string json = "{";
    for (size_t i = 0; i < TagCount; ++i) {
        const std::string name(TagTable()[i].Name);
        const bool list = IsListTag(name);
        for (int index = 0; index < (list ? 3 : 1); ++index) {
            const std::string tag = name + (list ? std::to_string(index) : "");
            json += (json.size() > 1 ? ",\"" : "\"") + tag + "\":\"" + Hex(ExpandLine("!KW!" + tag, codePage, page)) + "\"";
        }
    }
    return json + "}";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: render_escaped_pages TEMPLATES_DIR OUT_DIR\n";
        return 2;
    }
    const stdfs::path templates = argv[1], out = argv[2];
    stdfs::create_directories(out);
    const TPageState page = HostileState();
    const std::string json = ReadFile(templates / "nowplaying.json");
    std::string expected = "{";
    for (uint8_t cp = 0; cp < 5; ++cp) {
        const std::string name = CodePageNames[cp];
        const std::string html = ReadFile(templates / ("nowplaying-" + name + ".html"));
        if (html.empty() || json.empty()) {
            std::cerr << "missing sample template for " << name << "\n";
            return 1;
        }
        WriteFile(out / ("html-" + name + ".html"), Render(html, cp, escHTML, page));
        WriteFile(out / ("json-" + name + ".json"), Render(json, cp, escJSON, page));
        WriteFile(out / ("url-" + name + ".txt"), Render(UrlTemplate(), cp, escURL, page));
        WriteFile(out / ("xml-" + name + ".xml"), Render(XmlTemplate(name == "cp866" ? "ibm866" : name.c_str()), cp, escXML, page));
        expected += (cp ? ",\"" : "\"") + name + "\":" + Expected(cp, page);
    }
    WriteFile(out / "expected.json", expected + "}");
    return 0;
}
