// The event-stream writer.
#include "live/EventStream.h"

namespace kw::live {

namespace {

void AppendField(std::string& out, std::string_view field, std::string_view value) {
    out += field;
    out += ": ";
    for (const char c : value)
        if (c != '\r' && c != '\n' && c != '\0')
            out += c;
    out += '\n';
}

} // namespace

std::string EventText(std::string_view name, std::string_view id, std::string_view data) {
    std::string out;
    out.reserve(data.size() + name.size() + id.size() + 32);
    if (!name.empty())
        AppendField(out, "event", name);
    if (!id.empty())
        AppendField(out, "id", id);
    // CR LF, CR and LF each end a line of the data.
    size_t start = 0;
    for (;;) {
        const size_t end = data.find_first_of("\r\n", start);
        out += "data: ";
        out.append(data.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        out += '\n';
        if (end == std::string_view::npos)
            break;
        start = end + (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n' ? 2 : 1);
    }
    out += '\n';
    return out;
}

std::string_view HeartbeatText() { return ":\n\n"; }

} // namespace kw::live
