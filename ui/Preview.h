// The template preview: the page a work's template gives for one broadcast-state snapshot with
// the editor's current, unsaved settings, shown as its code page gives it, with what could not
// be read. A preview never writes the work's output file and never delivers.
#pragma once
#include "render/TemplateEngine.h"
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

// What the preview takes from the editor.
struct TPreviewSettings {
    std::string FileIn;   // the template
    std::string FileOut;  // only its name is looked at (is the page HTML?)
    uint8_t CodePage = 0;
    uint8_t Escaping = 0;
};

// A marker in the template's own text that gives nothing.
struct TTemplateProblem {
    enum class TKind {
        UnknownTag,     // no tag name follows the marker
        MissingDigit,   // a list tag without its entry digit (it gives empty text)
    };
    TKind Kind = TKind::UnknownTag;
    int Line = 0;      // 1 for the first line
    int Column = 0;    // of the marker, in characters as the code page gives them; 1 for the first
    std::string Text;  // the marker and the name as written, UTF-8
};

struct TPreview {
    // The template could not be read: the message key of the render's status text ("NoFileIn",
    // "ExceptSH", "ExceptOP", "ExceptRD") and the system's message; nothing else is set.
    std::string FailureKey;
    std::string FailureMessage;

    std::string Page;                // the bytes a render would write
    std::vector<std::string> Lines;  // the page's lines as the code page gives them, UTF-8
    std::vector<TTemplateProblem> Problems;
    bool LiveTagsEmpty = false;      // the host has sent no data: live tags give empty text
    bool IsHtml = false;             // the page can be opened in a browser

    bool Read() const { return FailureKey.empty(); }
};

// Reads the template and renders it from `page`. Never throws for a template it cannot read;
// reports it in FailureKey instead.
TPreview RenderPreview(const TPreviewSettings& settings, const TPageState& page);

// The markers in the template's own text that give nothing, in reading order.
std::vector<TTemplateProblem> FindTemplateProblems(std::string_view templateBytes, uint8_t codePage);

// The page's lines (cut at CR LF) as the code page gives them.
std::vector<std::string> PageLines(std::string_view page, uint8_t codePage);

// Whether a page named `fileOut` with these bytes is HTML: by the name's extension, or, for
// other names, by a document type or <html> near its start.
bool IsHtmlPage(const std::string& fileOut, std::string_view page);

// Writes the preview's page to `folder` (a temporary folder) for opening in a browser, under a
// name of its own so the work's output is never touched. `path` receives the file's path.
bool WritePreviewPage(const TPreview& preview, const std::string& folder, std::string& path, std::string& error);

// The folder a preview's page is opened from in a browser: under the system's temporary folder
// `tempRoot`, with a name nobody can guess, made afresh at the first page (a folder already under
// that name is refused, never taken over), and removed with its page when the preview closes.
// A page the browser still holds open goes at the program's end instead.
class TPreviewFolder {
public:
    explicit TPreviewFolder(std::string tempRoot) : root_(std::move(tempRoot)) {}
    TPreviewFolder(const TPreviewFolder&) = delete;
    TPreviewFolder& operator=(const TPreviewFolder&) = delete;
    ~TPreviewFolder() { Remove(); }

    // Writes the preview's page into the folder; `path` receives the page's path. False with
    // the reason when the folder cannot be made or the page not written.
    bool Write(const TPreview& preview, std::string& path, std::string& error);
    // Removes the page and the folder (also called by the destructor).
    void Remove() noexcept;
    const std::string& Folder() const { return folder_; }

private:
    std::string root_, folder_, page_;
};

// "KWPAGE-preview-" and 128 random bits in hexadecimal.
std::string RandomPreviewFolderName();

} // namespace kw
