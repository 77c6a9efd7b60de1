// The computer's name: the host name.
#include "platform/ComputerName.h"
#include <unistd.h>

namespace kw {

std::string ComputerName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

} // namespace kw
