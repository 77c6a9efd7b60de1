// Heads of the live server's answers.
#include "live/HttpResponse.h"
#include "render/CodePages.h"
#include <cctype>

namespace kw::live {

namespace {

// Shared by every answer: nothing is cached (a page is stale the moment the next one is
// written), the browser takes the type we give, and any page may read it (the access key, not
// the origin, guards a server open to other computers).
constexpr std::string_view CommonHeaders =
    "Server: KWPAGE\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Access-Control-Allow-Origin: *\r\n";

std::string LowerExtension(std::string_view file) {
    const size_t dot = file.find_last_of('.');
    const size_t slash = file.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot))
        return {};
    std::string ext(file.substr(dot + 1));
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

} // namespace

std::string_view StatusReason(int status) {
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Error";
    }
}

std::string ResponseHead(int status, std::string_view contentType, size_t contentLength) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + std::string(StatusReason(status)) + "\r\n";
    head += "Content-Type: ";
    head += contentType;
    head += "\r\nContent-Length: " + std::to_string(contentLength) + "\r\n";
    head += CommonHeaders;
    if (status == 405)
        head += "Allow: GET, HEAD\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

std::string EventStreamHead() {
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\n";
    head += CommonHeaders;
    // A proxy (nginx) must pass each event on at once rather than collect them.
    head += "X-Accel-Buffering: no\r\nConnection: close\r\n\r\n";
    return head;
}

std::string RefusalResponse(int status, bool head) {
    const std::string body = std::to_string(status) + " " + std::string(StatusReason(status)) + "\n";
    std::string out = ResponseHead(status, "text/plain; charset=utf-8", body.size());
    if (!head)
        out += body;
    return out;
}

std::string_view CharsetName(uint8_t codePage) {
    switch (codePage) {
    case cpUTF8: return "utf-8";
    case cpKOI8R: return "koi8-r";
    case cpKOI8U: return "koi8-u";
    case cpCP866: return "ibm866";
    // Latin pages: the inserted values are ASCII; the template's own text was written on the
    // station's machine, in its code page.
    default: return "windows-1251";
    }
}

std::string PageContentType(std::string_view outputFile, uint8_t codePage) {
    const std::string ext = LowerExtension(outputFile);
    std::string_view type = "text/plain";
    if (ext == "html" || ext == "htm")
        type = "text/html";
    else if (ext == "xml")
        type = "application/xml";
    else if (ext == "json")
        type = "application/json";
    else if (ext == "js")
        type = "text/javascript";
    else if (ext == "css")
        type = "text/css";
    else if (ext == "svg")
        type = "image/svg+xml";
    else if (ext == "csv")
        type = "text/csv";
    return std::string(type) + "; charset=" + std::string(CharsetName(codePage));
}

} // namespace kw::live
