// The host player's script: a list of steps that play the KW host's messages. The whole script
// is read and checked before anything is sent, so a mistake is reported with its line number
// and nothing half-played. The format is described in README.md.
#pragma once
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kw::player {

// The window a message names as its sender.
enum class TSender { Own, Second, Child, Closed, Zero };

struct TStep {
    enum class TType { Control, Data, Wait, Print };
    TType Type = TType::Print;
    std::string Name;           // the command, for the printed answer
    TSender From = TSender::Own;
    uint32_t LParam = 0;        // control message
    uint16_t Marker = 1;        // data message envelope
    uint16_t Kind = 0;
    std::vector<uint8_t> Payload;
    uint32_t Milliseconds = 0;  // wait
    uint32_t Count = 0;         // above 0: measure this many timed round trips
    std::string Text;           // print
};

struct TScriptError : std::runtime_error {
    TScriptError(int line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what), Line(line) {}
    int Line;
};

// Converts script text (UTF-8) to the bytes the host sends (Windows-1251).
using TToHostText = std::function<std::string(const std::string& utf8)>;

// Parses a script; throws TScriptError. `now` gives the date-time for "start=now".
std::vector<TStep> ParseScript(const std::string& script, const TToHostText& toHost, const std::function<double()>& now);

// Limits that keep a script from exhausting memory.
constexpr size_t MaxSteps = 1'000'000;
constexpr size_t MaxScriptBytes = 256u << 20;

} // namespace kw::player
