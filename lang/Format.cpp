// The classic format directives over typed arguments.
#include "lang/Format.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace kw::lang {

namespace {

struct TDirective {
    std::string Source;  // the directive as written, for error messages
    bool LeftAlign = false;
    int Width = -1;
    int Precision = -1;
    char Type = 0;  // lower-case type letter
};

[[noreturn]] void Invalid(const std::string& directive) {
    throw EFormatError("Format '" + directive + "' invalid or incompatible with argument");
}

class TFormatter {
public:
    TFormatter(const std::string& format, const TFormatArgs& args) : format_(format), args_(args) {}

    std::string Run() {
        while (pos_ < format_.size()) {
            const size_t percent = format_.find('%', pos_);
            out_.append(format_, pos_, (percent == std::string::npos ? format_.size() : percent) - pos_);
            if (percent == std::string::npos)
                break;
            pos_ = percent + 1;
            if (pos_ < format_.size() && format_[pos_] == '%') {
                out_ += '%';
                ++pos_;
                continue;
            }
            Directive(percent);
        }
        return out_;
    }

private:
    // A run of digits or "*" (which takes the next argument); nothing when there is neither.
    std::optional<int> Number(size_t start) {
        if (pos_ < format_.size() && format_[pos_] == '*') {
            ++pos_;
            return StarArgument(start);
        }
        if (pos_ >= format_.size() || format_[pos_] < '0' || format_[pos_] > '9')
            return std::nullopt;
        long long value = 0;
        for (; pos_ < format_.size() && format_[pos_] >= '0' && format_[pos_] <= '9'; ++pos_)
            if ((value = value * 10 + (format_[pos_] - '0')) > kMaxFormatWidth)
                Invalid(SourceFrom(start));
        return static_cast<int>(value);
    }

    int StarArgument(size_t start) {
        const TFormatArg& arg = Next(SourceFrom(start));
        if (arg.Kind() != TFormatArg::TKind::Integer || arg.Integer() < -kMaxFormatWidth ||
            arg.Integer() > kMaxFormatWidth)
            Invalid(SourceFrom(start));
        return static_cast<int>(arg.Integer());
    }

    std::string SourceFrom(size_t start) const {
        return format_.substr(start, std::min(pos_ + 1, format_.size()) - start);
    }

    const TFormatArg& Next(const std::string& source) {
        if (next_ >= args_.size())
            throw EFormatError("No argument for format '" + source + "'");
        return args_[next_++];
    }

    void Directive(size_t start) {
        TDirective d;
        std::optional<int> width = Number(start);
        if (pos_ < format_.size() && format_[pos_] == ':') {  // what was read is the index
            if (!width || *width < 0)
                Invalid(SourceFrom(start));
            next_ = static_cast<size_t>(*width);
            ++pos_;
            width.reset();
        }
        if (!width) {
            if (pos_ < format_.size() && format_[pos_] == '-') {
                d.LeftAlign = true;
                ++pos_;
            }
            width = Number(start);
        }
        if (width) {
            d.LeftAlign = d.LeftAlign || *width < 0;  // a negative "*" width aligns left
            d.Width = *width < 0 ? -*width : *width;
        }
        if (pos_ < format_.size() && format_[pos_] == '.') {
            ++pos_;
            d.Precision = std::max(Number(start).value_or(0), 0);
        }
        if (pos_ >= format_.size())
            Invalid(format_.substr(start));
        const char type = format_[pos_++];
        d.Type = (type >= 'A' && type <= 'Z') ? static_cast<char>(type - 'A' + 'a') : type;
        d.Source = format_.substr(start, pos_ - start);
        Pad(d, Convert(d, Next(d.Source)));
    }

    static std::string Convert(const TDirective& d, const TFormatArg& arg);

    void Pad(const TDirective& d, const std::string& text) {
        const size_t width = d.Width > 0 ? static_cast<size_t>(d.Width) : 0;
        if (text.size() >= width) {
            out_ += text;
        } else if (d.LeftAlign) {
            out_ += text;
            out_.append(width - text.size(), ' ');
        } else {
            out_.append(width - text.size(), ' ');
            out_ += text;
        }
    }

    const std::string& format_;
    const TFormatArgs& args_;
    size_t pos_ = 0;
    size_t next_ = 0;
    std::string out_;
};

std::string IntegerText(const TDirective& d, int64_t value) {
    const bool negative = d.Type == 'd' && value < 0;
    uint64_t magnitude;
    if (d.Type == 'd')
        magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    else if (value >= INT32_MIN && value < 0)  // u and x show a 32-bit number's bits
        magnitude = static_cast<uint32_t>(static_cast<int32_t>(value));
    else
        magnitude = static_cast<uint64_t>(value);
    char digits[32];
    std::snprintf(digits, sizeof digits, d.Type == 'x' ? "%llX" : "%llu", static_cast<unsigned long long>(magnitude));
    std::string text = digits;
    if (d.Precision > 0 && text.size() < static_cast<size_t>(d.Precision))
        text.insert(0, static_cast<size_t>(d.Precision) - text.size(), '0');
    return negative ? "-" + text : text;
}

std::string GroupThousands(const std::string& fixed) {
    const size_t start = fixed[0] == '-' ? 1 : 0;
    size_t end = fixed.find('.');
    if (end == std::string::npos)
        end = fixed.size();
    std::string text = fixed;
    for (size_t i = end; i > start + 3; i -= 3)
        text.insert(i - 3, 1, ',');
    return text;
}

std::string FloatText(const TDirective& d, double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    // Floating-point output carries at most 18 significant digits.
    char buf[512];
    switch (d.Type) {
    case 'e': {
        const int digits = std::min(d.Precision < 0 ? 15 : std::max(d.Precision, 1), 18);
        std::snprintf(buf, sizeof buf, "%.*E", digits - 1, value);
        // The classic form has a signed exponent of at least three digits: 1.5E+003.
        std::string text = buf;
        const size_t e = text.find('E');
        std::string exponent = text.substr(e + 2);
        exponent.insert(0, exponent.size() < 3 ? 3 - exponent.size() : 0, '0');
        return text.substr(0, e + 2) + exponent;
    }
    case 'g': {
        const int digits = std::min(d.Precision < 0 ? 15 : std::max(d.Precision, 1), 18);
        std::snprintf(buf, sizeof buf, "%.*G", digits, value);
        return buf;
    }
    default: {  // f, n, m
        const int decimals = std::min(d.Precision < 0 ? 2 : d.Precision, 18);
        if (std::fabs(value) >= 1e300)
            Invalid(d.Source);
        std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
        return d.Type == 'f' ? std::string(buf) : GroupThousands(buf);
    }
    }
}

std::string TFormatter::Convert(const TDirective& d, const TFormatArg& arg) {
    using K = TFormatArg::TKind;
    switch (d.Type) {
    case 'd':
    case 'u':
    case 'x':
        if (arg.Kind() != K::Integer)
            Invalid(d.Source);
        return IntegerText(d, arg.Integer());
    case 'e':
    case 'f':
    case 'g':
    case 'n':
    case 'm':
        if (arg.Kind() != K::Float)
            Invalid(d.Source);
        return FloatText(d, arg.Float());
    case 's':
        if (arg.Kind() != K::String && arg.Kind() != K::Char)
            Invalid(d.Source);
        if (d.Precision >= 0 && arg.Text().size() > static_cast<size_t>(d.Precision))
            return arg.Text().substr(0, static_cast<size_t>(d.Precision));
        return arg.Text();
    default:
        Invalid(d.Source);
    }
}

} // namespace

std::string Format(const std::string& format, const TFormatArgs& args) { return TFormatter(format, args).Run(); }

} // namespace kw::lang
