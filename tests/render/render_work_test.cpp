// RenderWork against real files: the page, its status texts, the failure table, output that is
// never torn, and the delivery step.
#include "render/RenderWork.h"
#include "render/CodePages.h"
#include "render/ValueEscaping.h"
#include <gtest/gtest.h>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>
#endif

// This program's heap, counted: every operator new and delete goes through here, so a test can
// see the most bytes a render held at once, in every build (sanitizers and Windows included).
namespace {

std::atomic<size_t> heapInUse{0};
std::atomic<size_t> heapPeak{0};

// Each block carries its size in front of it, so that every form of delete can count it.
constexpr size_t HeapHeader = alignof(std::max_align_t);

void* CountedAlloc(size_t size) noexcept {
    auto* block = static_cast<unsigned char*>(std::malloc(size + HeapHeader));
    if (!block)
        return nullptr;
    *reinterpret_cast<size_t*>(block) = size;
    const size_t now = heapInUse.fetch_add(size) + size;
    size_t peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
    return block + HeapHeader;
}

void CountedFree(void* p) noexcept {
    if (!p)
        return;
    auto* block = static_cast<unsigned char*>(p) - HeapHeader;
    heapInUse.fetch_sub(*reinterpret_cast<size_t*>(block));
    std::free(block);
}

void* CountedNew(size_t size) {
    void* p = CountedAlloc(size);
    if (!p)
        throw std::bad_alloc();
    return p;
}

} // namespace

void* operator new(size_t size) { return CountedNew(size); }
void* operator new[](size_t size) { return CountedNew(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, size_t) noexcept { CountedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { CountedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { CountedFree(p); }

namespace kw {
namespace {

namespace stdfs = std::filesystem;

std::string ReadFile(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const stdfs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// A delivery target that records what it was asked; stands in for FTP where the server is not
// the point of the test.
class TRecordingTarget : public IDelivery {
public:
    const char* Label() const noexcept override { return "FTP"; }
    bool Wanted(const TWorkConfig& config) const noexcept override { return config.FTP.Use; }
    TDeliveryResult Deliver(TWorkData&, const TWorkConfig& config, const TDeliveryPage&) noexcept override {
        ++Calls;
        PageAtDelivery = ReadFile(config.FileOut);
        return Result;
    }
    int Calls = 0;
    std::string PageAtDelivery;
    TDeliveryResult Result{true, {}};
};

class RenderWorkTest : public ::testing::Test {
protected:
    RenderWorkTest() : context(works, store, linkState, [](const std::string& key) { return "<" + key + ">"; }) {
        dir = stdfs::temp_directory_path() /
              ("kw_render_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        stdfs::remove_all(dir);
        stdfs::create_directories(dir);
        context.LocalTime = [] { return EncodeDateTime(2026, 12, 7, 19, 27, 26, 0); };
        target = std::make_shared<TRecordingTarget>();
        context.Deliveries.push_back(target);
        TBroadcastState state;
        state.Song.Artist = "\xCF\xF0\xE8\xE2\xE5\xF2";
        state.Song.Title = "Title";
        store.Publish(std::make_shared<const TBroadcastState>(state));
        linkState = 2;
        config.FileIn = (dir / "page.tpl").string();
        config.FileOut = (dir / "page.html").string();
    }
    ~RenderWorkTest() override { stdfs::remove_all(dir); }

    TShowCell::TTaken Render() {
        work = std::make_shared<TWorkData>(config);
        works.Clear();
        works.Append(std::make_shared<TWorkData>());
        works.Append(work);
        std::unique_ptr<TTemplateLines> lines;
        RenderWork(context, *work, 1, lines);
        return work->Show.Take();
    }
    // Files in the folder other than the template and the page: temporaries left behind.
    int StrayFiles() const {
        int n = 0;
        for (const auto& e : stdfs::directory_iterator(dir))
            n += e.path().filename() != "page.tpl" && e.path().filename() != "page.html" &&
                 e.path().filename() != "sub";
        return n;
    }

    stdfs::path dir;
    TWorkList works;
    TBroadcastStore store;
    std::atomic<uint8_t> linkState{0};
    TRenderContext context;
    std::shared_ptr<TRecordingTarget> target;
    TWorkConfig config;
    TWorkPtr work;
    const std::string stamp = "19:27:26  07.12";
};

TEST_F(RenderWorkTest, WritesThePageWithCrLfAndReportsTheTime) {
    WriteFile(config.FileIn, "<p>!KW!SongArtist - !KW!SongTitle</p>\nline\rtwo\r\n\nlast");
    config.CodePage = cpKOI8R;
    const auto shown = Render();
    EXPECT_EQ(ReadFile(config.FileOut), "<p>\xF0\xD2\xC9\xD7\xC5\xD4 - Title</p>\r\nlinetwo\r\n\r\nlast\r\n");
    EXPECT_TRUE(shown.Changed);
    EXPECT_FALSE(shown.LogIt);
    EXPECT_EQ(shown.Text, stamp);
    EXPECT_EQ(shown.Tone, TStatusTone::Normal);
    EXPECT_EQ(target->Calls, 0);  // FTP off
    EXPECT_EQ(StrayFiles(), 0);
}

// A title with line ends cannot add a command to a text target's page, whatever the escaping;
// the same title reaches a file-only page as it is.
TEST_F(RenderWorkTest, ATextTargetsPageKeepsTheTemplatesLines) {
    TBroadcastState state = *store.Current();
    state.Song.Title = "Song\nPS=INJECTED\r\x01";
    store.Publish(std::make_shared<const TBroadcastState>(state));
    WriteFile(config.FileIn, "RT1=!KW!SongTitle\r\nDPS=x\n");
    for (const TTargetChoice target : {tcTCP, tcUDP}) {
        for (uint8_t mode = 0; mode < EscapingCount; ++mode) {
            SetTargetChoice(config, target);
            config.Escaping = mode;
            Render();
            EXPECT_EQ(ReadFile(config.FileOut), "RT1=" + Escape("Song PS=INJECTED  ", mode) + "\r\nDPS=x\r\n")
                << int(target) << " " << int(mode);
        }
    }
    SetTargetChoice(config, tcFileOnly);
    config.Escaping = escNone;
    Render();
    EXPECT_EQ(ReadFile(config.FileOut), "RT1=Song\nPS=INJECTED\r\x01\r\nDPS=x\r\n");
}

TEST_F(RenderWorkTest, EmptyTemplateGivesEmptyPage) {
    WriteFile(config.FileIn, "");
    WriteFile(config.FileOut, "old page");
    EXPECT_EQ(Render().Text, stamp);
    EXPECT_EQ(ReadFile(config.FileOut), "");
    WriteFile(config.FileIn, "\x1A" "ignored");
    Render();
    EXPECT_EQ(ReadFile(config.FileOut), "");
}

TEST_F(RenderWorkTest, MissingTemplateIsReportedOnceAndLeavesThePage) {
    WriteFile(config.FileOut, "old page");
    config.FTP.Use = true;
    auto shown = Render();
    EXPECT_EQ(shown.Text, "<NoFileIn>");
    EXPECT_EQ(shown.Tone, TStatusTone::Failure);
    EXPECT_TRUE(shown.LogIt);
    EXPECT_EQ(ReadFile(config.FileOut), "old page");
    EXPECT_EQ(target->Calls, 0);
    // The same failure again changes nothing: it is shown and logged once.
    std::unique_ptr<TTemplateLines> lines;
    RenderWork(context, *work, 1, lines);
    EXPECT_FALSE(work->Show.Take().Changed);

    config.FileIn = dir.string();  // a folder of that name is not a template file
    EXPECT_EQ(Render().Text, "<NoFileIn>");
    EXPECT_EQ(ReadFile(config.FileOut), "old page");
    config.FileIn = "";
    EXPECT_EQ(Render().Text, "<NoFileIn>");
    config.FileIn = std::string("page.tpl\0x", 10);
    EXPECT_EQ(Render().Text.rfind("<ExceptSH> ", 0), 0u);
}

TEST_F(RenderWorkTest, UnwritableOutputsReportExceptWrAndLeaveNoTemporary) {
    WriteFile(config.FileIn, "!KW!SongTitle\n");
    config.FTP.Use = true;
    for (const stdfs::path& out : {dir / "missing" / "page.html", dir / "sub", stdfs::path()}) {
        stdfs::create_directories(dir / "sub");
        config.FileOut = out.string();
        const auto shown = Render();
        EXPECT_EQ(shown.Text.rfind("<ExceptWR> ", 0), 0u) << out << ": " << shown.Text;
        EXPECT_GT(shown.Text.size(), 11u);  // the system's message follows
        EXPECT_EQ(shown.Tone, TStatusTone::Failure);
        EXPECT_TRUE(shown.LogIt);
        EXPECT_EQ(StrayFiles(), 0) << out;
        EXPECT_TRUE(stdfs::is_directory(dir / "sub"));
    }
    EXPECT_EQ(target->Calls, 0);  // nothing is delivered after a failed write
}

#ifndef _WIN32
// A disk that fills up while the page is written: the old page stays whole and no temporary
// is left behind.
TEST_F(RenderWorkTest, FullDiskKeepsTheOldPageWhole) {
    WriteFile(config.FileOut, "old page");
    WriteFile(config.FileIn, std::string(1 << 20, 'x') + "\n");
    struct rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const auto shown = Render();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(shown.Text.rfind("<ExceptWR> ", 0), 0u) << shown.Text;
    EXPECT_EQ(ReadFile(config.FileOut), "old page");
    EXPECT_EQ(StrayFiles(), 0);
}

TEST_F(RenderWorkTest, DevFullReportsExceptWr) {
    // A device is written in place, never replaced by a plain file (which a root shell could do).
    WriteFile(config.FileIn, "page\n");
    config.FileOut = "/dev/full";
    EXPECT_EQ(Render().Text, "<ExceptWR> /dev/full: " + std::string(std::strerror(ENOSPC)));
    EXPECT_TRUE(stdfs::is_character_file("/dev/full"));
    for (const auto& e : stdfs::directory_iterator("/dev"))
        EXPECT_EQ(e.path().filename().string().rfind("full.~", 0), std::string::npos) << e.path();
}

// A file that opens and then fails to read: the kernel's memory file of this process, whose
// first page is never mapped.
TEST_F(RenderWorkTest, ReadFailureIsExceptRd) {
    WriteFile(config.FileOut, "old page");
    config.FileIn = "/proc/self/mem";
    const auto shown = Render();
    EXPECT_EQ(shown.Text.rfind("<ExceptRD> /proc/self/mem: ", 0), 0u) << shown.Text;
    EXPECT_EQ(ReadFile(config.FileOut), "old page");
}
#endif

TEST_F(RenderWorkTest, DeliveryReportsWithLabelAndPosition) {
    WriteFile(config.FileIn, "!KW!SongTitle");
    config.FTP.Use = true;
    auto shown = Render();
    EXPECT_EQ(target->Calls, 1);
    EXPECT_EQ(target->PageAtDelivery, "Title\r\n");  // the page is complete before delivery
    EXPECT_EQ(shown.Text, stamp + " (FTP)");
    EXPECT_FALSE(shown.LogIt);

    target->Result = {false, "530 Login incorrect."};
    shown = Render();
    EXPECT_EQ(shown.Text, "1 FTP: 530 Login incorrect.");  // position 1 in the list, from 0
    EXPECT_EQ(shown.Tone, TStatusTone::Failure);
    EXPECT_TRUE(shown.LogIt);
}

// A large template (a tag line, then one endless line of zero bytes, made sparse): the page is
// the template with CR LF and the value; the render holds the template and the page at most
// (the page with its room for added line ends), never extra copies of them.
TEST_F(RenderWorkTest, HugeTemplateRendersWithinTwoCopies) {
    const uintmax_t size = 64u << 20;
    WriteFile(config.FileIn, "!KW!SongTitle\r\n");
    stdfs::resize_file(config.FileIn, size);
    const size_t before = heapInUse.load();
    heapPeak.store(before);
    EXPECT_EQ(Render().Text, stamp);
    const size_t held = heapPeak.load() - before;
    EXPECT_GT(held, size);  // the count sees the render
    EXPECT_LT(held, size * 2 + size / 8);
    EXPECT_EQ(stdfs::file_size(config.FileOut), size - 8 + 2);  // "!KW!Song" gone, CR LF added
    {
        std::ifstream page(config.FileOut, std::ios::binary);
        char head[8] = {};
        page.read(head, 8);
        EXPECT_EQ(std::string(head, 8), std::string("Title\r\n\0", 8));
    }
    stdfs::remove(config.FileOut);
    stdfs::remove(config.FileIn);
}

TEST_F(RenderWorkTest, LongLineFullOfMarkers) {
    std::string line;
    line.reserve(8u << 20);
    while (line.size() < (8u << 20))
        line += "!KW!x!K!KW!SongTitle";
    WriteFile(config.FileIn, line);
    EXPECT_EQ(Render().Text, stamp);
    EXPECT_EQ(stdfs::file_size(config.FileOut), line.size() / 20 * 12 + 2);
}

} // namespace
} // namespace kw
