// The program settings and the works: the records every subsystem shares.
//
// Sharing rules (the works are read by render threads while the main thread edits, sorts and
// deletes them):
//  - the list holds std::shared_ptr<TWorkData>: a render keeps its work alive by reference and
//    never addresses it by a position that could move;
//  - a work's persistent fields (TWorkConfig) are written on the main thread under the work's
//    own lock; any other thread takes a consistent copy with Config();
//  - NextUpdate is one atomic 64-bit value; the status cell has its own small lock;
//  - the list's order and membership change under the list's lock; other threads iterate a
//    Snapshot().
#pragma once
#include "platform/Thread.h"
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kw {

// Colours in the 0x00BBGGRR form.
constexpr uint32_t clRed = 0x000000FF;
constexpr uint32_t clGreen = 0x00008000;
// The works grid's background colour, the "normal" status colour. The Win32 layer stores the
// grid's real colour here at start-up; the default is the usual window colour.
extern std::atomic<uint32_t> GridBackgroundColor;
uint32_t NormalColor();

// A status cell: text, colour, log request and changed flag, shown by the main timer.
class TShowCell {
public:
    struct TTaken {
        bool Changed = false;  // the text is to be shown
        bool LogIt = false;    // the text is to be written to the log
        std::string Text;
        uint32_t Color = 0;
    };

    // Stores text, colour and log request and sets Changed, unless nothing differs and `force`
    // is false (so the same failure on consecutive renders is shown and logged once).
    void Set(const std::string& text, uint32_t color, bool logIt, bool force);
    // The main timer's take: clears Changed and LogIt and returns what they covered.
    TTaken Take();
    std::string Text() const;
    uint32_t Color() const;
    void SetColor(uint32_t color);  // start-up: colour only, nothing published
    // How many times any cell of the program has published a change: while it stands still,
    // the main timer has nothing to take.
    static uint64_t Publications() noexcept;

private:
    mutable std::mutex lock_;
    std::string text_;
    uint32_t color_ = 0;
    bool logIt_ = false;
    bool changed_ = false;
};

void SetShowCell(TShowCell& cell, const std::string& text, uint32_t color, bool logIt, bool force);

// A work's FTP target (persistent part; the client connection is the FTP delivery's own state).
struct TFTPUse {
    bool Use = false;
    std::string Server;
    uint16_t Port = 21;
    bool Passive = false;
    bool UTF8 = false;
    std::string Login;
    std::string Password;  // plain in memory, scrambled in the file
    std::string Folder = "/";
    std::string RemoteName;
    bool Tls = false;           // FTP over TLS (explicit, "AUTH TLS")
    std::string TlsSha256;      // the one trusted certificate's SHA-256 (empty: the system's check)
};

// Where a work's page goes besides its output file. FTP keeps its own switch (TFTPUse::Use, the
// key UseFTP of every settings file); the others are named by the key "Target".
enum TTargetChoice : uint8_t { tcFileOnly = 0, tcFTP = 1, tcHTTP = 2, tcTCP = 3, tcUDP = 4 };
inline constexpr uint8_t TargetChoiceCount = 5;

enum THttpMethod : uint8_t { hmGET = 0, hmPOST = 1, hmPUT = 2 };
inline constexpr uint8_t HttpMethodCount = 3;
inline constexpr const char* HttpMethodNames[HttpMethodCount] = {"GET", "POST", "PUT"};

// A work's HTTP(S) target.
struct THTTPUse {
    uint8_t Method = hmGET;   // THttpMethod
    std::string URL;          // may hold tags, expanded and percent-encoded at each render
    std::string Login;        // empty: no credentials are sent
    std::string Password;     // plain in memory, scrambled in the file
    std::string ContentType;  // empty: from the output file's extension and the code page
    std::string CertSHA256;   // empty: the system's certificate check; else the one trusted certificate
};

// A work's TCP or UDP text target (an RDS encoder and the like).
struct TTextUse {
    std::string Host;
    uint16_t Port = 0;
};

// A work's persistent fields, copied whole for each render.
struct TWorkConfig {
    std::string Section;
    std::string Name;
    std::string FileIn;
    std::string FileOut;
    int16_t Update = 60;
    uint8_t CodePage = 0;
    uint8_t Escaping = 0;  // of inserted values: 0 none, 1 HTML, 2 XML, 3 JSON, 4 URL (render/ValueEscaping.h)
    TFTPUse FTP;
    uint8_t Target = tcFileOnly;  // tcHTTP, tcTCP or tcUDP; FTP and "file only" are FTP.Use
    THTTPUse HTTP;
    TTextUse Text;
};

// The editor's one choice of target, and setting it (FTP.Use and Target together).
TTargetChoice TargetChoiceOf(const TWorkConfig& config);
void SetTargetChoice(TWorkConfig& config, TTargetChoice choice);

// What a delivery target keeps for one work between renders (the FTP target: a client left by a
// failed connection). Each target derives its own; the work only holds it, so a new target needs
// no field here.
class TDeliveryState {
public:
    virtual ~TDeliveryState() = default;
};

class TWorkData {
public:
    TWorkData() = default;
    explicit TWorkData(TWorkConfig config) : config_(std::move(config)) {}

    TWorkConfig Config() const;             // any thread: a consistent copy
    void SetConfig(TWorkConfig config);     // main thread
    std::string Name() const;               // any thread
    std::string Section() const;            // any thread

    TShowCell Show;                          // status cell
    std::atomic<int64_t> NextUpdate{0};      // GetTicks64 value at which the next render is due
    std::unique_ptr<TThread> Thread;         // the render running for this work (reader thread)
    std::atomic<bool> Rendering{false};      // a render exists for this work (any thread may read)
    // Each delivery target's state for this work, by the target's label. Only the work's render
    // touches it, and a work has at most one render at a time.
    std::map<std::string, std::unique_ptr<TDeliveryState>, std::less<>> DeliveryStates;

private:
    mutable std::mutex configLock_;
    TWorkConfig config_;
};

using TWorkPtr = std::shared_ptr<TWorkData>;

// A render receives its work's position as a signed 8-bit number: at most 128 works.
constexpr size_t MaxWorks = 128;

class TWorkList {
public:
    size_t Count() const;
    TWorkPtr At(int index) const;                 // nullptr outside 0..Count()-1
    std::vector<TWorkPtr> Snapshot() const;
    int IndexOf(const TWorkData* work) const;     // current position, -1 when not in the list
    bool Append(TWorkPtr work);                   // false when the list already holds MaxWorks
    bool RemoveAt(int index);                     // false outside the list
    void Clear();
    // Exchange sort by Name, byte-wise unsigned, shorter prefix first; equal names never swap.
    void SortByName();

    // Makes every work due at `ticks` (a new element or block): one store, no lock and no
    // copy, so the host's message costs the same for one work or 128. The reader thread
    // hands it to every work's NextUpdate before its next scheduling pass (ApplyAllDue), so
    // the later of this and the scheduler's own writes decides, as if written into each work.
    void MakeAllDue(int64_t ticks) noexcept { allDue_.store(ticks, std::memory_order_release); }
    // The pending MakeAllDue value, or NoneDue.
    int64_t PendingAllDue() const noexcept { return allDue_.load(std::memory_order_acquire); }
    // Reader thread: writes a pending MakeAllDue into every work's NextUpdate; false when
    // none was pending.
    bool ApplyAllDue();
    static constexpr int64_t NoneDue = INT64_MIN;
    // Called after a work was appended (the reader is woken to schedule it). Set once before
    // the list is shared.
    void SetOnAppend(std::function<void()> onAppend) { onAppend_ = std::move(onAppend); }

private:
    mutable std::mutex lock_;
    std::vector<TWorkPtr> works_;
    std::atomic<int64_t> allDue_{NoneDue};
    std::function<void()> onAppend_;
};

struct TSettings {
    int16_t PID = 1;
    bool Hide = false;
    std::string Language = "Russian";
    TWorkList Works;
    std::string FileName;  // the settings file, computed once by LoadSettings
};

} // namespace kw
