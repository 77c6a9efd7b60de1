// Win32 tick source.
#include "platform/Clock.h"
#include <windows.h>

namespace kw {

uint32_t SystemTickCount() noexcept { return GetTickCount(); }

} // namespace kw
