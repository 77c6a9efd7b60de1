// No version resources outside Windows: every file reports none.
#include "platform/VersionResource.h"

namespace kw::version {

uint32_t FileVersionInfoSize(const std::string&) { return 0; }

bool LoadFileVersionInfo(const std::string&, std::vector<uint8_t>&) { return false; }

bool QueryTranslation(const std::vector<uint8_t>&, uint16_t&, uint16_t&) { return false; }

bool QueryString(const std::vector<uint8_t>&, const std::string&, std::string&) { return false; }

} // namespace kw::version
