// One section of a profile file read in one call, its keys then looked up in memory with the
// rules of profile::ReadString. A settings load asks for some sixty keys per work: the system's
// profile functions open and check the file again for each of them.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kw::profile {

class TProfileSection {
  public:
    // The section's lines as ReadSectionLines delivers them ("key=value", or a bare key).
    explicit TProfileSection(std::vector<std::string> lines);
    static TProfileSection Read(const std::string& file, const std::string& section);

    // As ReadString(file, section, key, def): the first line of the key decides; a line without
    // "=" has no value. Keys that begin with ";" are not found (the lines hold no comments).
    std::string Value(std::string_view key, const std::string& def) const;

  private:
    std::vector<std::string> lines_;
};

} // namespace kw::profile
