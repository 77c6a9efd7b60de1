// The computer's name: the NetBIOS name Windows shows in the system's properties.
#include "platform/ComputerName.h"
#include <windows.h>

namespace kw {

std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size))
        return {};
    return std::string(name, size);
}

} // namespace kw
