// Decoding of the host's data messages into the broadcast state, and the conversions of the
// state message's values. Every payload is hostile: short, long, unterminated, with length
// bytes that lie; nothing here reads outside the bytes it is given.
#pragma once
#include "hostlink/BroadcastState.h"
#include "platform/Cp1251.h"  // UpperChar1251, UpperCase1251: state keys and values compare in upper case
#include "platform/Regional.h"
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kw {

constexpr size_t PlaylistEntrySize = 135;
constexpr size_t PlayedEntrySize = 143;
constexpr size_t MaxEntryText = 64;  // element texts and entry texts keep at most this many bytes

// Message decoders; `now` is the local time of decoding.
// The shortest payloads the decoders take as an element (song marker, type, duration) and a
// block (type, duration); shorter ones change nothing.
constexpr size_t ElementHeaderLength = 6;
constexpr size_t BlockHeaderLength = 5;

void DecodeElement(TBroadcastState& state, const uint8_t* data, size_t length, TDateTime now);
void DecodeBlock(TBroadcastState& state, const uint8_t* data, size_t length, TDateTime now);
// Replaces the list whole; a length that is not a multiple of the entry size leaves it empty.
void DecodeEntryList(std::shared_ptr<const TPlaylist>& list, const uint8_t* data, size_t length);
void DecodeEntryList(std::shared_ptr<const TPlayedList>& list, const uint8_t* data, size_t length);
// Stores the known keys of the "KEY=value" lines (separated by byte 13) and LastDataTime.
void DecodeState(TBroadcastState& state, const uint8_t* data, size_t length, TDateTime now);

// The n-th field (from 1) of `text`; runs of the delimiter count as one, leading ones are
// skipped; a delimiter of 0 means a blank.
std::string ExtractField(const std::string& text, int n, uint8_t delimiter);

// Conversions of state values.
uint8_t ParseClockType(const std::string& value);
uint8_t ParseSourceIndex(const std::string& value);
bool ParsePlayer(const std::string& value);
uint8_t ParseDetector(const std::string& value);
uint8_t ParseByte(const std::string& value);
TDateTime ParseDateTime(const std::string& value);  // 0 when the text does not convert

// A date-time as the host sends it in a played entry; values that are no date (not finite, or
// outside the years 1 to 9999) become 0, so that no formatter is handed an impossible date.
TDateTime SaneDateTime(double value);

} // namespace kw
