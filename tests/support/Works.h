// Works as the tests make them: a running work from a few stored fields.
#pragma once
#include "works/WorkData.h"
#include <memory>
#include <string>

namespace kw::test {

inline TWorkPtr Work(const std::string& section, const std::string& name, const std::string& in = {},
                     const std::string& out = {}) {
    TWorkConfig c;
    c.Section = section;
    c.Name = name;
    c.FileIn = in;
    c.FileOut = out;
    return std::make_shared<TWorkData>(c);
}

// A work called `name` in section "S" + name.
inline TWorkPtr Named(const std::string& name) { return Work("S" + name, name); }

} // namespace kw::test
