// Parsing of the host player's scripts: one command per line, options as name=value, texts in
// double quotes with backslash escapes; blocks (playlist, played, state, repeat) end with "end".
#include "tools/hostplayer/Script.h"
#include <cstring>
#include <map>
#include <sstream>

namespace kw::player {

namespace {

constexpr size_t EntryTextBytes = 64;

struct TLine {
    int Number = 0;
    std::string Text;
};

// A command line split into its words and its name=value options.
struct TCommand {
    int Line = 0;
    std::string Name;
    std::vector<std::string> Words;              // words that are not options
    std::map<std::string, std::string> Options;  // values already unescaped and converted
};

class TParser {
public:
    TParser(const std::string& script, const TToHostText& toHost, const std::function<double()>& now)
        : toHost_(toHost), now_(now) {
        std::istringstream in(script);
        std::string text;
        int number = 0;
        while (std::getline(in, text)) {
            ++number;
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            const size_t first = text.find_first_not_of(" \t");
            if (first == std::string::npos || text[first] == '#')
                continue;
            lines_.push_back({number, text.substr(first)});
        }
    }

    std::vector<TStep> Parse() {
        std::vector<TStep> steps;
        size_t at = 0;
        ParseBlock(at, steps, false);
        return steps;
    }

private:
    [[noreturn]] void Fail(int line, const std::string& what) const { throw TScriptError(line, what); }

    // Resolves escapes; literal runs are converted to the host's code page, \xHH bytes are not.
    std::string Unescape(const std::string& raw, int line) const {
        std::string out;
        std::string run;
        auto flush = [&] {
            out += toHost_ ? toHost_(run) : run;
            run.clear();
        };
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\') {
                run.push_back(raw[i]);
                continue;
            }
            if (++i >= raw.size())
                Fail(line, "a backslash ends the text");
            switch (raw[i]) {
            case 'r': run.push_back('\r'); break;
            case 'n': run.push_back('\n'); break;
            case 't': run.push_back('\t'); break;
            case '0': flush(); out.push_back('\0'); break;
            case '\\': run.push_back('\\'); break;
            case '"': run.push_back('"'); break;
            case 'x': {
                const std::string hex = raw.substr(i + 1, 2);
                if (hex.size() != 2 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                    Fail(line, "\\x needs two hex digits");
                flush();
                out.push_back(static_cast<char>(std::stoi(hex, nullptr, 16)));
                i += 2;
                break;
            }
            default: Fail(line, std::string("unknown escape \\") + raw[i]);
            }
        }
        flush();
        return out;
    }

    TCommand Split(const TLine& line) const {
        TCommand command;
        command.Line = line.Number;
        const std::string& s = line.Text;
        size_t i = 0;
        while (i < s.size()) {
            while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
                ++i;
            if (i >= s.size() || s[i] == '#')
                break;
            std::string word;
            std::string value;
            bool quoted = false;
            bool isOption = false;
            while (i < s.size() && s[i] != ' ' && s[i] != '\t') {
                if (s[i] == '"') {
                    quoted = true;
                    ++i;
                    std::string raw;
                    while (i < s.size() && s[i] != '"') {
                        if (s[i] == '\\' && i + 1 < s.size())
                            raw.push_back(s[i++]);
                        raw.push_back(s[i++]);
                    }
                    if (i >= s.size())
                        Fail(line.Number, "a text in quotes is not closed");
                    ++i;
                    (isOption ? value : word) += Unescape(raw, line.Number);
                } else if (s[i] == '=' && !isOption && !quoted) {
                    isOption = true;
                    ++i;
                } else {
                    (isOption ? value : word).push_back(s[i++]);
                }
            }
            if (isOption)
                command.Options[word] = value;
            else if (command.Name.empty() && !quoted)
                command.Name = word;
            else
                command.Words.push_back(word);
        }
        return command;
    }

    static bool Has(const TCommand& c, const char* name) { return c.Options.count(name) != 0; }

    int64_t Number(const TCommand& c, const char* name, int64_t def, int64_t low, int64_t high) const {
        const auto it = c.Options.find(name);
        if (it == c.Options.end())
            return def;
        return ParseNumber(it->second, c.Line, name, low, high);
    }

    int64_t ParseNumber(const std::string& text, int line, const std::string& what, int64_t low, int64_t high) const {
        size_t used = 0;
        long long value = 0;
        try {
            value = std::stoll(text, &used, 0);
        } catch (...) {
            Fail(line, what + ": not a number: " + text);
        }
        if (used != text.size())
            Fail(line, what + ": not a number: " + text);
        if (value < low || value > high)
            Fail(line, what + ": " + text + " is outside " + std::to_string(low) + ".." + std::to_string(high));
        return value;
    }

    std::string Text(const TCommand& c, const char* name) const {
        const auto it = c.Options.find(name);
        return it == c.Options.end() ? std::string() : it->second;
    }

    TSender Sender(const TCommand& c) const {
        const std::string from = Has(c, "from") ? c.Options.at("from") : "own";
        static const std::map<std::string, TSender> names = {{"own", TSender::Own},
                                                             {"second", TSender::Second},
                                                             {"child", TSender::Child},
                                                             {"closed", TSender::Closed},
                                                             {"zero", TSender::Zero}};
        const auto it = names.find(from);
        if (it == names.end())
            Fail(c.Line, "from= must be own, second, child, closed or zero");
        return it->second;
    }

    static void PutU32(std::vector<uint8_t>& p, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            p.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }

    // A length byte and 64 bytes of text; lenfield= writes another length byte (a lying host).
    void PutEntryText(std::vector<uint8_t>& p, const TCommand& c, const char* name, const char* lenName) const {
        const std::string text = Text(c, name);
        if (text.size() > EntryTextBytes)
            Fail(c.Line, std::string(name) + " is longer than 64 bytes");
        p.push_back(static_cast<uint8_t>(Number(c, lenName, static_cast<int64_t>(text.size()), 0, 255)));
        const size_t at = p.size();
        p.resize(at + EntryTextBytes, 0);
        std::memcpy(p.data() + at, text.data(), text.size());
    }

    TStep DataStep(const TCommand& c, uint16_t kind) const {
        TStep step;
        step.Type = TStep::TType::Data;
        step.Name = c.Name;
        step.From = Sender(c);
        step.Kind = static_cast<uint16_t>(Number(c, "kind", kind, 0, 0xFFFF));
        step.Marker = static_cast<uint16_t>(Number(c, "marker", 1, 0, 0xFFFF));
        return step;
    }

    TStep Element(const TCommand& c) const {
        TStep step = DataStep(c, 0);
        step.Payload.push_back(static_cast<uint8_t>(Number(c, "song", 0, 0, 255)));
        step.Payload.push_back(static_cast<uint8_t>(Number(c, "type", 0, 0, 255)));
        PutU32(step.Payload, static_cast<uint32_t>(Number(c, "duration", 0, 0, 0xFFFFFFFF)));
        std::string text = Text(c, "artist");
        if (Has(c, "title")) {
            text.push_back('\r');
            text.append(Text(c, "title"));
        }
        step.Payload.insert(step.Payload.end(), text.begin(), text.end());
        step.Payload.push_back(0);
        return step;
    }

    TStep Block(const TCommand& c) const {
        TStep step = DataStep(c, 2);
        step.Payload.push_back(static_cast<uint8_t>(Number(c, "type", 0, 0, 255)));
        PutU32(step.Payload, static_cast<uint32_t>(Number(c, "duration", 0, 0, 0xFFFFFFFF)));
        const std::string name = Text(c, "name");
        step.Payload.insert(step.Payload.end(), name.begin(), name.end());
        step.Payload.push_back(0);
        return step;
    }

    TStep Raw(const TCommand& c) const {
        TStep step = DataStep(c, 0);
        const std::string data = Text(c, "data");
        const auto length = static_cast<size_t>(
            Number(c, "length", static_cast<int64_t>(data.size()), 0, static_cast<int64_t>(MaxScriptBytes)));
        const auto fill = static_cast<uint8_t>(Number(c, "fill", 0, 0, 255));
        step.Payload.assign(length, fill);
        std::memcpy(step.Payload.data(), data.data(), std::min(length, data.size()));
        return step;
    }

    void Entry(const TCommand& c, bool played, std::vector<uint8_t>& p) const {
        if (c.Name != "item")
            Fail(c.Line, "expected item or end in a list");
        if (played) {
            double start = 0;
            const std::string text = Text(c, "start");
            if (text == "now") {
                start = now_ ? now_() : 0;
            } else if (!text.empty()) {
                try {
                    size_t used = 0;
                    start = std::stod(text, &used);
                    if (used != text.size())
                        throw std::invalid_argument(text);
                } catch (...) {
                    Fail(c.Line, "start= must be a day count or now");
                }
            }
            uint8_t bytes[8];
            std::memcpy(bytes, &start, 8);
            p.insert(p.end(), bytes, bytes + 8);
        }
        p.push_back(static_cast<uint8_t>(Number(c, "type", 0, 0, 255)));
        PutU32(p, static_cast<uint32_t>(Number(c, "duration", 0, 0, 0xFFFFFFFF)));
        PutEntryText(p, c, "artist", "artistlen");
        PutEntryText(p, c, "title", "titlelen");
    }

    // Lines up to "end"; `at` is left after it.
    std::vector<TLine> BlockLines(size_t& at, int openedAt) const {
        std::vector<TLine> body;
        while (at < lines_.size()) {
            const TLine& line = lines_[at++];
            if (line.Text == "end")
                return body;
            body.push_back(line);
        }
        Fail(openedAt, "block without end");
    }

    TStep EntryList(const TCommand& c, size_t& at, bool played) const {
        TStep step = DataStep(c, played ? 17 : 16);
        for (const TLine& line : BlockLines(at, c.Line))
            Entry(Split(line), played, step.Payload);
        return step;
    }

    TStep State(const TCommand& c, size_t& at) const {
        TStep step = DataStep(c, 32);
        const std::string sep = Has(c, "sep") ? Text(c, "sep") : "\r";
        bool first = true;
        std::string text;
        for (const TLine& line : BlockLines(at, c.Line)) {
            if (!first)
                text += sep;
            text += Unescape(line.Text, line.Number);
            first = false;
        }
        step.Payload.assign(text.begin(), text.end());
        return step;
    }

    TStep Control(const TCommand& c, uint16_t high, uint16_t low) const {
        TStep step;
        step.Type = TStep::TType::Control;
        step.Name = c.Name;
        step.From = Sender(c);
        high = static_cast<uint16_t>(Number(c, "high", high, 0, 0xFFFF));
        low = static_cast<uint16_t>(Number(c, "low", low, 0, 0xFFFF));
        step.LParam = (static_cast<uint32_t>(high) << 16) | low;
        return step;
    }

    void Add(std::vector<TStep>& steps, TStep step, int line) {
        if (steps.size() >= MaxSteps)
            Fail(line, "the script plays more than " + std::to_string(MaxSteps) + " steps");
        bytes_ += step.Payload.size();
        if (bytes_ > MaxScriptBytes)
            Fail(line, "the script's messages exceed 256 MB");
        steps.push_back(std::move(step));
    }

    // One message step from a command, or false when the command is no message.
    bool MessageStep(const TCommand& c, size_t& at, TStep& step) const {
        if (c.Name == "connect") step = Control(c, 0x7FFF, 0);
        else if (c.Name == "disconnect") step = Control(c, 0x7FFF, 1);
        else if (c.Name == "query") step = Control(c, 0x7FFF, 0x7FFF);
        else if (c.Name == "command") step = Control(c, 0x7FFF, 0x7FFF);
        else if (c.Name == "element") step = Element(c);
        else if (c.Name == "block") step = Block(c);
        else if (c.Name == "raw") step = Raw(c);
        else if (c.Name == "playlist") step = EntryList(c, at, false);
        else if (c.Name == "played") step = EntryList(c, at, true);
        else if (c.Name == "state") step = State(c, at);
        else return false;
        return true;
    }

    void ParseBlock(size_t& at, std::vector<TStep>& steps, bool inRepeat) {
        while (at < lines_.size()) {
            const TLine& line = lines_[at++];
            if (line.Text == "end") {
                if (inRepeat)
                    return;
                Fail(line.Number, "end without a block");
            }
            const TCommand c = Split(line);
            TStep step;
            if (MessageStep(c, at, step)) {
                Add(steps, std::move(step), c.Line);
            } else if (c.Name == "wait") {
                step.Type = TStep::TType::Wait;
                if (c.Words.empty())
                    Fail(c.Line, "wait needs milliseconds");
                step.Milliseconds = static_cast<uint32_t>(ParseNumber(c.Words[0], c.Line, "wait", 0, 600000));
                Add(steps, std::move(step), c.Line);
            } else if (c.Name == "print") {
                step.Type = TStep::TType::Print;
                for (const std::string& w : c.Words) {
                    if (!step.Text.empty())
                        step.Text.push_back(' ');
                    step.Text.append(w);
                }
                Add(steps, std::move(step), c.Line);
            } else if (c.Name == "repeat") {
                if (c.Words.empty())
                    Fail(c.Line, "repeat needs a count");
                const int64_t count = ParseNumber(c.Words[0], c.Line, "repeat", 0, 1'000'000);
                std::vector<TStep> body;
                ParseBlock(at, body, true);
                for (int64_t i = 0; i < count; ++i)
                    for (const TStep& s : body)
                        Add(steps, s, c.Line);
            } else if (c.Name == "measure") {
                Measure(c, at, steps);
            } else {
                Fail(c.Line, "unknown command " + c.Name);
            }
        }
        if (inRepeat)
            Fail(lines_.empty() ? 0 : lines_.back().Number, "repeat without end");
    }

    // "measure N <message command>": the message sent N times, its round trip timed.
    void Measure(const TCommand& c, size_t& at, std::vector<TStep>& steps) {
        const std::string& text = lines_[at - 1].Text;
        const size_t countStart = text.find_first_not_of(" \t", std::strlen("measure"));
        const size_t countEnd = countStart == std::string::npos ? countStart : text.find_first_of(" \t", countStart);
        if (countEnd == std::string::npos)
            Fail(c.Line, "measure needs a count and a message");
        TStep step;
        const TCommand inner = Split({c.Line, text.substr(countEnd + 1)});
        if (!MessageStep(inner, at, step))
            Fail(c.Line, "measure needs a message command");
        step.Count = static_cast<uint32_t>(
            ParseNumber(text.substr(countStart, countEnd - countStart), c.Line, "measure", 1, 10'000'000));
        Add(steps, std::move(step), c.Line);
    }

    const TToHostText& toHost_;
    const std::function<double()>& now_;
    std::vector<TLine> lines_;
    size_t bytes_ = 0;
};

} // namespace

std::vector<TStep> ParseScript(const std::string& script, const TToHostText& toHost, const std::function<double()>& now) {
    return TParser(script, toHost, now).Parse();
}

} // namespace kw::player
