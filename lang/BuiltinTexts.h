// The program's own texts: the English language file, built into the program. A window shows
// them first and the chosen language file's texts over them, so a key that file lacks shows in
// English, and a window never keeps a caption of the language it showed before.
#pragma once
#include "lang/Component.h"
#include "lang/SectionList.h"
#include <string>
#include <vector>

namespace kw::lang {

// The built-in section of that name (names without regard to case); empty when there is none.
const TSectionData& BuiltinSection(const std::string& section);

// The names of the built-in sections, upper-cased.
std::vector<std::string> BuiltinSectionNames();

// The built-in text of `key` in `section`, escapes decoded; empty when there is none.
std::string BuiltinText(const std::string& section, const std::string& key);

// Gives the form and its components the texts the built-in `section` holds for them (as
// translation does, by class; see ClassKinds.h). Texts it has no key for stay as they are.
void ShowBuiltinTexts(IForm& form, const std::string& section);

} // namespace kw::lang
