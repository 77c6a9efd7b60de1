// Renders the shipped sample templates natively, as KWPAGE would: the host's messages come from a
// host player script and are decoded into the broadcast state by the program's own decoders, and
// every template is expanded by the program's own render engine. The browser check
// (sample_pages.py) then opens the pages.
//
//   release_render_samples SCRIPT TEMPLATES_DIR OUT_DIR
//
// The code page of each page follows from its file name (see CodePageOfSample): the HTML
// samples name theirs, the JSON and the plain-text sample are UTF-8. Exit code 0 when every page
// was written, 1 on a failure (printed), 2 on bad arguments.
#include "platform/Cp1251.h"
#include "hostlink/Decode.h"
#include "render/CodePages.h"
#include "render/RenderWork.h"
#include "render/ValueEscaping.h"
#include "tools/hostplayer/Script.h"
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

namespace {

namespace stdfs = std::filesystem;

std::string ReadFile(const stdfs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const stdfs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

// The code page a station picks in the work editor for this sample.
std::optional<uint8_t> CodePageOfSample(const std::string& fileName) {
    struct TSuffix {
        const char* Text;
        uint8_t CodePage;
    };
    static const TSuffix suffixes[] = {
        {"-windows-1251.html", kw::cpWindows1251},
        {"-utf-8.html", kw::cpUTF8},
        {"-koi8-r.html", kw::cpKOI8R},
        {"-koi8-u.html", kw::cpKOI8U},
        {"-cp866.html", kw::cpCP866},
        {".json", kw::cpUTF8},
        {".txt", kw::cpUTF8},
    };
    for (const TSuffix& s : suffixes) {
        const std::string suffix = s.Text;
        if (fileName.size() > suffix.size() && fileName.ends_with(suffix))
            return s.CodePage;
    }
    return std::nullopt;
}

// The escaping a station picks for this sample: HTML for the pages, JSON for the JSON file.
uint8_t EscapingOfSample(const std::string& fileName) {
    if (fileName.ends_with(".html"))
        return kw::escHTML;
    if (fileName.ends_with(".json"))
        return kw::escJSON;
    return kw::escNone;
}

// The broadcast state after the script's data messages, decoded as the reader thread does.
// Control messages and pauses mean nothing here; messages the program would drop (a marker
// other than 1, a sender that is not linked) are dropped too.
kw::TBroadcastState PlayScript(const std::string& script) {
    using kw::player::TStep;
    const auto toHost = [](const std::string& s) { return kw::Utf8ToCp1251(s); };
    const auto steps = kw::player::ParseScript(script, toHost, [] { return kw::Now(); });
    kw::TBroadcastState state;
    for (const TStep& step : steps) {
        if (step.Type != TStep::TType::Data || step.Marker != 1 || step.From != kw::player::TSender::Own)
            continue;
        const uint8_t* data = step.Payload.data();
        const size_t size = step.Payload.size();
        const kw::TDateTime now = kw::Now();
        switch (step.Kind) {
        case 0:
            kw::DecodeElement(state, data, size, now);
            break;
        case 2:
            kw::DecodeBlock(state, data, size, now);
            break;
        case 16:
            kw::DecodeEntryList(state.Playlist, data, size);
            break;
        case 17:
            kw::DecodeEntryList(state.Played, data, size);
            break;
        case 32:
            kw::DecodeState(state, data, size, now);
            break;
        default:
            break;
        }
    }
    return state;
}

int Run(const stdfs::path& scriptPath, const stdfs::path& templates, const stdfs::path& out) {
    kw::TPageState page;
    page.Broadcast = std::make_shared<const kw::TBroadcastState>(PlayScript(ReadFile(scriptPath)));
    page.LinkState = 2; // data received
    page.Now = kw::Now();

    stdfs::create_directories(out);
    int written = 0;
    for (const auto& entry : stdfs::directory_iterator(templates)) {
        const std::string name = entry.path().filename().string();
        const std::optional<uint8_t> codePage = CodePageOfSample(name);
        if (!entry.is_regular_file() || !codePage)
            continue;
        const kw::TTemplateLines lines(ReadFile(entry.path()));
        WriteFile(out / name, kw::RenderPage(lines, *codePage, EscapingOfSample(name), page));
        std::cout << name << " (code page " << int(*codePage) << ")\n";
        ++written;
    }
    if (written == 0) {
        std::cerr << "no sample templates in " << templates << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: release_render_samples SCRIPT TEMPLATES_DIR OUT_DIR\n";
        return 2;
    }
    try {
        return Run(argv[1], argv[2], argv[3]);
    } catch (const std::exception& e) {
        std::cerr << "release_render_samples: " << e.what() << "\n";
        return 1;
    }
}
