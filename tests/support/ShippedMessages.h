// Messages in the words of a shipped language file, as the program in that language shows
// them: tests that read a failure's text install the English words (or another language's).
#pragma once
#include "lang/Format.h"
#include "platform/Message.h"
#include "platform/Profile.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kw::test {

inline std::string ShippedLanguageFile(const std::string& language) {
    return std::string(KW_SOURCE_DIR) + "/dist/KWPAGE." + language + ".lng";
}

// The texts of section "Main" of `language`'s shipped file ("English", "Russian", "Ukrainian").
inline void UseShippedMessages(const std::string& language) {
    const std::string file = ShippedLanguageFile(language);
    SetMessageFormat([file, language](const std::string& key, const std::vector<std::string>& args) {
        const std::string text = profile::ReadString(file, "Main", "Dialog." + key, "");
        try {
            return text.empty() ? text : lang::Format(text, lang::TFormatArgs(args.begin(), args.end()));
        } catch (const lang::EFormatError&) {
            ADD_FAILURE() << language << " text of " << key << " does not take its arguments: " << text;
            return std::string();
        }
    });
}

// For a whole test program: the English words from the start.
class TEnglishMessages : public ::testing::Environment {
public:
    void SetUp() override { UseShippedMessages("English"); }
    void TearDown() override { SetMessageFormat(nullptr); }
};

} // namespace kw::test
