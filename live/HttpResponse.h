// The heads of the live server's answers, and the content type of a work's page.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kw::live {

// "200 OK", "404 Not Found", ...; an unknown status has the reason "Error".
std::string_view StatusReason(int status);

// The head of a whole answer: status line, Content-Type, Content-Length, no caching, the close
// of the connection after it, and the headers that let a page of another origin (a page opened
// from a file, a streaming program's browser source) read it.
std::string ResponseHead(int status, std::string_view contentType, size_t contentLength);

// The head of an event stream, kept open.
std::string EventStreamHead();

// A refusal: its head and a one-line text, for a GET; the head alone for a HEAD.
std::string RefusalResponse(int status, bool head);

// The content type of a work's page: the media type by the output file's extension (.html,
// .htm, .xml, .json, .js, .css, .svg, .csv; anything else is text/plain) and the charset of the
// work's output code page (render/CodePages.h).
std::string PageContentType(std::string_view outputFile, uint8_t codePage);

// The charset name of an output code page, as browsers and TextDecoder know it.
std::string_view CharsetName(uint8_t codePage);

} // namespace kw::live
