// Escaping of inserted values: a page in HTML, XML, JSON or a URL query needs the text a tag
// inserts made safe for its syntax, while the template's own text (the markup) stays as written.
// The escaping runs on the value as the page's code page gives it, so characters a code page
// turns into control bytes (KOI8-U writes the bullet as 0x07) are caught as well.
//
//  - HTML: & < > " ' as entity references; CR as &#13; (a parser would turn a raw one into LF);
//    the other control characters below 0x20 except TAB and LF as &#xFFFD;, which is what a
//    browser shows for NUL anyway (the others are parse errors in HTML).
//  - XML: as HTML, with &apos;, and TAB, LF, CR as references so that attribute values keep
//    them; the other control characters below 0x20 cannot stand in an XML 1.0 document at all,
//    not even as references, and become &#xFFFD;.
//  - JSON string: " and \ with a backslash, control characters below 0x20 and DEL as \u00XX.
//    < > & ' are written as \u003C \u003E \u0026 \u0027 too: the JSON stays the same for a
//    JSON reader, and a value cannot end a <script> block that holds the JSON in an HTML page.
//    Other bytes stay as the code page has them.
//  - URL: every byte except A-Z a-z 0-9 - . _ ~ as %XX (upper-case hex) of the code page's byte.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

// The work's Escaping field (the order the work editor offers them in).
enum TEscaping : uint8_t {
    escNone = 0,
    escHTML = 1,
    escXML = 2,
    escJSON = 3,
    escURL = 4,
};
constexpr uint8_t EscapingCount = 5;

// Added to a mode by the render for a work whose page goes to a text target (TCP, UDP), where
// a line end is the end of a command: every control byte below 0x20 of an inserted value (CR,
// LF, TAB, ...) becomes a space before the mode's own escaping, so no value can end a line or
// start another. The template's own line ends are not inserted text and stay.
constexpr uint8_t escLineSafe = 0x80;

// The escaping of a value inserted into an MQTT topic (never a work's page mode): "+" and "#"
// (wildcards, which a published topic must not hold), "/" (a value must not add a level that
// subscribers to the topic's pattern would miss) and every control byte, NUL among them, become
// "_". The value is UTF-8 there, and these are all single bytes of it.
constexpr uint8_t escTopic = 0x40;

// The names the editor shows; the editor takes the text of "none" from its language section
// (key CBEscaping.None), the others are the formats' own names.
inline constexpr const char* EscapingNames[EscapingCount] = {"none", "HTML", "XML", "JSON", "URL"};

// A stored value outside the known modes reads as none: a page is never changed by a mode
// this program does not know.
inline TEscaping EscapingOf(unsigned value) {
    return value < EscapingCount ? static_cast<TEscaping>(value) : escNone;
}

// The most bytes one input byte can become (XML's "&#xFFFD;").
constexpr size_t MaxEscapeGrowth = 8;

// Appends `text` escaped for `mode` (possibly with escLineSafe) to `out`; escNone (or an unknown
// mode) appends it as is.
void EscapeAppend(std::string& out, std::string_view text, uint8_t mode);
std::string Escape(std::string_view text, uint8_t mode);

} // namespace kw
