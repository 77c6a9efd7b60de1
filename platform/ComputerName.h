// The computer's name, as the system knows it (NetBIOS name on Windows, host name elsewhere):
// what makes a default identity stable across restarts of the program on one machine.
#pragma once
#include <string>

namespace kw {

// Empty when the system gives none.
std::string ComputerName();

} // namespace kw
