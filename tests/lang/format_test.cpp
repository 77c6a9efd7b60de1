// The classic format directives and their failures.
#include "lang/Format.h"
#include <gtest/gtest.h>

namespace kw::lang {
namespace {

std::string Fails(const std::string& format, const TFormatArgs& args) {
    try {
        Format(format, args);
    } catch (const EFormatError& e) {
        return e.what();
    }
    return "(no failure)";
}

TEST(Format, StringsPercentAndPlainText) {
    EXPECT_EQ(Format("Output is used by %s", {"News"}), "Output is used by News");
    EXPECT_EQ(Format("%s", {"has %s inside"}), "has %s inside");  // arguments are not formatted again
    EXPECT_EQ(Format("100%%", {}), "100%");
    EXPECT_EQ(Format("", {}), "");
    EXPECT_EQ(Format("[%5s|%-5s|%.2s]", {"ab", "cd", "xyz"}), "[   ab|cd   |xy]");
    EXPECT_EQ(Format("%s%s", {'a', std::string("b")}), "ab");  // a character is a string
}

TEST(Format, IndexesWidthsAndStars) {
    EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
    EXPECT_EQ(Format("%*d|%-*d", {4, 7, 3, 8}), "   7|8  ");
    EXPECT_EQ(Format("%.*s", {2, "abcdef"}), "ab");
    EXPECT_EQ(Format("%*s", {-3, "a"}), "a  ");
}

TEST(Format, IntegersAndFloats) {
    EXPECT_EQ(Format("%d %d %.4d", {42, -5, 7}), "42 -5 0007");
    EXPECT_EQ(Format("%x %X %u", {255, 255u, -1}), "FF FF 4294967295");
    EXPECT_EQ(Format("%d", {-9223372036854775807LL - 1}), "-9223372036854775808");
    EXPECT_EQ(Format("%f %.1f", {3.14159, 2.75}), "3.14 2.8");
    EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
    EXPECT_EQ(Format("%e", {1500.0}), "1.50000000000000E+003");
    EXPECT_EQ(Format("%g", {0.5}), "0.5");
    EXPECT_EQ(Format("%g", {1.0 / 0.0}), "INF");
}

TEST(Format, FailuresNameTheDirective) {
    EXPECT_EQ(Fails("Used by %s", {}), "No argument for format '%s'");
    EXPECT_EQ(Fails("%d", {"text"}), "Format '%d' invalid or incompatible with argument");
    EXPECT_EQ(Fails("%s", {5}), "Format '%s' invalid or incompatible with argument");
    EXPECT_EQ(Fails("%f", {5}), "Format '%f' invalid or incompatible with argument");
    EXPECT_EQ(Fails("50% off", {"x"}), "Format '% ' invalid or incompatible with argument");
    EXPECT_EQ(Fails("%", {}), "Format '%' invalid or incompatible with argument");
    EXPECT_EQ(Fails("%5", {1}), "Format '%5' invalid or incompatible with argument");
    EXPECT_EQ(Fails("%:s", {"a"}), "Format '%:' invalid or incompatible with argument");
    EXPECT_EQ(Fails("%3:s", {"a"}), "No argument for format '%3:s'");
    EXPECT_EQ(Fails("%*s", {"a", "b"}), "Format '%*s' invalid or incompatible with argument");
    EXPECT_NE(Fails("%99999999999s", {"a"}).find("invalid"), std::string::npos);  // no huge padding
}

} // namespace
} // namespace kw::lang
