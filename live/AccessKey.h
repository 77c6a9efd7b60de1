// The access key of a live server open to other computers: every URL carries it ("key=...").
#pragma once
#include <string>

namespace kw::live {

// 24 letters and digits from the system's random source (about 143 bits): a key nobody on the
// station's network guesses, that a URL carries as it is.
std::string NewAccessKey();

} // namespace kw::live
