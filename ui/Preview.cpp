// The template preview.
#include "ui/Preview.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/Message.h"
#include "render/PageText.h"
#include "render/RenderWork.h"
#include <algorithm>
#include <mutex>
#include <random>
#include <new>

namespace kw {

namespace {

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The marker and the word after it, as a problem shows it (a long word is cut).
std::string_view MarkerText(std::string_view line, size_t at) {
    constexpr size_t MaxShown = 40;
    size_t end = at + TagMarker.size();
    while (end < line.size() && end - at < MaxShown && IsNameChar(line[end]))
        ++end;
    return line.substr(at, end - at);
}

void FindInLine(std::string_view line, int lineNumber, uint8_t codePage, std::vector<TTemplateProblem>& out) {
    for (size_t at = line.find(TagMarker); at != std::string_view::npos;) {
        const std::string_view rest = line.substr(at + TagMarker.size());
        const TTagInfo* tag = MatchTag(rest);
        size_t next = at + TagMarker.size();
        TTemplateProblem problem;
        bool found = false;
        if (!tag) {
            problem.Kind = TTemplateProblem::TKind::UnknownTag;
            found = true;
        } else {
            next += tag->Name.size();
            if (IsListTag(tag->Tag) && (next >= line.size() || !IsHexDigit(line[next]))) {
                problem.Kind = TTemplateProblem::TKind::MissingDigit;
                found = true;
            }
        }
        if (found) {
            problem.Line = lineNumber;
            problem.Column = static_cast<int>(Utf8Length(PageTextToUtf8(line.substr(0, at), codePage))) + 1;
            problem.Text = PageTextToUtf8(MarkerText(line, at), codePage);
            out.push_back(std::move(problem));
        }
        at = line.find(TagMarker, next);
    }
}

bool ReadTemplate(const std::string& fileIn, std::string& bytes, TPreview& preview) {
    if (fileIn.find('\0') != std::string::npos) {
        preview.FailureKey = KeyExceptSH;
        preview.FailureMessage = TextOf(TMessage::Of("InvalidFileName", {fileIn.c_str()}));
        return false;
    }
    if (fileIn.empty() || !fs::FileExists(fileIn)) {
        preview.FailureKey = KeyNoFileIn;
        return false;
    }
    std::string error;
    fs::TReadFailure failure{};
    try {
        if (fs::ReadWholeFile(fileIn, bytes, error, failure))
            return true;
        preview.FailureKey = failure == fs::TReadFailure::Read ? KeyExceptRD : KeyExceptOP;
        preview.FailureMessage = error;
    } catch (const std::bad_alloc&) {
        preview.FailureKey = KeyExceptRD;
        preview.FailureMessage = TextOf(TMessage::Of("TemplateTooLarge", {fileIn}));
    }
    return false;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

std::vector<TTemplateProblem> FindTemplateProblems(std::string_view templateBytes, uint8_t codePage) {
    std::vector<TTemplateProblem> problems;
    const TTemplateLines lines{std::string(templateBytes)};
    int number = 0;
    lines.ForEachLine([&](std::string_view line) { FindInLine(line, ++number, codePage, problems); });
    return problems;
}

std::vector<std::string> PageLines(std::string_view page, uint8_t codePage) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = page.find("\r\n"); end != std::string_view::npos; end = page.find("\r\n", start)) {
        lines.push_back(PageTextToUtf8(page.substr(start, end - start), codePage));
        start = end + 2;
    }
    if (start < page.size())
        lines.push_back(PageTextToUtf8(page.substr(start), codePage));
    return lines;
}

bool IsHtmlPage(const std::string& fileOut, std::string_view page) {
    const std::string ext = LowerAscii(fs::ExtractFileExt(fileOut));
    if (ext == ".htm" || ext == ".html" || ext == ".xhtml" || ext == ".shtml")
        return true;
    const std::string start = LowerAscii(page.substr(0, 1024));
    return start.find("<!doctype html") != std::string::npos || start.find("<html") != std::string::npos;
}

TPreview RenderPreview(const TPreviewSettings& settings, const TPageState& page) {
    TPreview preview;
    std::string bytes;
    if (!ReadTemplate(settings.FileIn, bytes, preview))
        return preview;
    preview.Problems = FindTemplateProblems(bytes, settings.CodePage);
    preview.Page = RenderPage(TTemplateLines(std::move(bytes)), settings.CodePage, settings.Escaping, page);
    preview.Lines = PageLines(preview.Page, settings.CodePage);
    preview.LiveTagsEmpty = page.LinkState != 2;
    preview.IsHtml = IsHtmlPage(settings.FileOut, preview.Page);
    return preview;
}

bool WritePreviewPage(const TPreview& preview, const std::string& folder, std::string& path, std::string& error) {
    path = fs::IncludeTrailingSeparator(folder) + "KWPAGE-preview.html";
    return fs::WriteFileReplacing(path, preview.Page, error);
}

std::string RandomPreviewFolderName() {
    std::random_device random;
    static const char digits[] = "0123456789abcdef";
    std::string name = "KWPAGE-preview-";
    for (int word = 0; word < 4; ++word) {
        uint32_t bits = static_cast<uint32_t>(random());
        for (int i = 0; i < 8; ++i, bits >>= 4)
            name += digits[bits & 15];
    }
    return name;
}

namespace {

// What a preview could not remove when it closed (its page held open by a browser): tried
// again when the program ends.
class TLeftovers {
public:
    ~TLeftovers() {
        for (auto it = paths_.rbegin(); it != paths_.rend(); ++it)
            if (!fs::RemoveFileAt(*it))
                (void)fs::RemoveEmptyFolder(*it);
    }
    void Add(const std::string& path) {
        std::lock_guard<std::mutex> hold(lock_);
        paths_.push_back(path);
    }

private:
    std::mutex lock_;
    std::vector<std::string> paths_;  // a folder before its page
};

TLeftovers& Leftovers() {
    static TLeftovers leftovers;
    return leftovers;
}

} // namespace

bool TPreviewFolder::Write(const TPreview& preview, std::string& path, std::string& error) {
    if (folder_.empty()) {
        if (root_.empty()) {
            error = "%TEMP%";  // the system gave no temporary folder
            return false;
        }
        const std::string folder = fs::IncludeTrailingSeparator(root_) + RandomPreviewFolderName();
        if (!fs::CreateNewFolder(folder, error))
            return false;
        folder_ = folder;
    }
    if (!WritePreviewPage(preview, folder_, path, error))
        return false;
    page_ = path;
    return true;
}

void TPreviewFolder::Remove() noexcept {
    try {
        if (folder_.empty())
            return;
        const bool pageGone = page_.empty() || fs::RemoveFileAt(page_) || !fs::FileExists(page_);
        if (!fs::RemoveEmptyFolder(folder_)) {
            Leftovers().Add(folder_);
            if (!pageGone)
                Leftovers().Add(page_);
        }
        folder_.clear();
        page_.clear();
    } catch (...) {
        // the program's end tries nothing more; the folder's name is of no use to anyone
    }
}

} // namespace kw
