// Server-Sent Events (the HTML standard's text/event-stream): one event as the bytes a browser's
// EventSource reads. The stream is UTF-8 by definition; the writer never lets a value end the
// event early or start another: line breaks in the data become separate "data:" lines (which
// the reader joins again with LF), and the event name and id lose every CR, LF and NUL.
#pragma once
#include <string>
#include <string_view>

namespace kw::live {

// "event: <name>\nid: <id>\ndata: <line>\n...\n" (name and id only when not empty).
std::string EventText(std::string_view name, std::string_view id, std::string_view data);

// A comment line that keeps an idle stream open through proxies; readers ignore it.
std::string_view HeartbeatText();

} // namespace kw::live
