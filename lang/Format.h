// Text formatting with the classic directive syntax used by message texts:
//   "%" [index ":"] ["-"] [width] ["." precision] type
// with the types d u x (integers), e f g n m (floating-point numbers), s (strings and
// characters) and "%%" for a percent sign. Index, width and precision may be "*", which takes
// the next argument, an integer. A directive without a matching argument, with an argument of
// another type, or malformed, throws EFormatError with a message for the user.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kw::lang {

class EFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One typed argument of a message text.
class TFormatArg {
public:
    enum class TKind { String, Integer, Float, Char };

    TFormatArg(const char* text) : kind_(TKind::String), text_(text ? text : "") {}
    TFormatArg(std::string text) : kind_(TKind::String), text_(std::move(text)) {}
    TFormatArg(int value) : kind_(TKind::Integer), integer_(value) {}
    TFormatArg(long value) : kind_(TKind::Integer), integer_(value) {}
    TFormatArg(long long value) : kind_(TKind::Integer), integer_(value) {}
    TFormatArg(unsigned value) : kind_(TKind::Integer), integer_(value) {}
    TFormatArg(double value) : kind_(TKind::Float), float_(value) {}
    TFormatArg(char value) : kind_(TKind::Char), text_(1, value) {}

    TKind Kind() const { return kind_; }
    const std::string& Text() const { return text_; }  // strings and characters
    int64_t Integer() const { return integer_; }
    double Float() const { return float_; }

private:
    TKind kind_;
    std::string text_;
    int64_t integer_ = 0;
    double float_ = 0;
};

using TFormatArgs = std::vector<TFormatArg>;

// Widths and precisions above this are refused as malformed: a language file must not be able
// to make one directive allocate without bound.
constexpr int kMaxFormatWidth = 4096;

std::string Format(const std::string& format, const TFormatArgs& args);

} // namespace kw::lang
