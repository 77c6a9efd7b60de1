// The address forms of PASV and PORT: six decimal numbers h1,h2,h3,h4,p1,p2 for the host
// h1.h2.h3.h4 and the port p1 * 256 + p2.
#pragma once
#include "platform/Tcp.h"
#include <string>

namespace kw::ftp {

// Reads the address from the first line of a 227 reply: the text between the first "(" and
// the next ")", or, without parentheses, the text after the line's last blank. False when it
// is not six numbers 0..255 separated by commas (blanks around them are allowed).
bool ParsePasvAddress(const std::string& firstLine, net::TIpv4Endpoint& out);

// "h1,h2,h3,h4,p1,p2" for a PORT command.
std::string FormatPortArgument(const net::TIpv4Endpoint& endpoint);

} // namespace kw::ftp
