// One render of one work: read the template, expand every line from one snapshot of the
// broadcast state, write the page without ever leaving a torn one, hand it to the delivery
// targets, and report each outcome in the work's status cell.
#pragma once
#include "render/RenderContext.h"
#include "render/TemplateEngine.h"
#include "render/TemplateText.h"
#include <cstdint>
#include <memory>
#include <string>

namespace kw {

// Message keys of the status texts of a failed render.
inline constexpr const char* KeyNoFileIn = "NoFileIn";
inline constexpr const char* KeyExceptSH = "ExceptSH";
inline constexpr const char* KeyExceptOP = "ExceptOP";
inline constexpr const char* KeyExceptRD = "ExceptRD";
inline constexpr const char* KeyExceptWR = "ExceptWR";

// Renders `work`. `workIndex` is the work's position when the render started, used in a
// delivery failure's text if the work has since left the list. `lines` holds the template
// while the render runs. Failures of the steps are reported in the status cell; anything
// else that goes wrong (memory) propagates to the caller.
void RenderWork(const TRenderContext& context, TWorkData& work, int8_t workIndex,
                std::unique_ptr<TTemplateLines>& lines);

// The escaping of the values of a page that goes to `target`: the work's mode (`escaping`, as
// stored), and for a text target (TCP, UDP), which sends the page line by line, each line a
// command to the device, escLineSafe: there no value may end a line, whatever the mode. The
// render and the editor's preview take it from here, so the preview shows what is sent.
uint8_t PageEscaping(unsigned escaping, TTargetChoice target);

// The whole page of a template: every line expanded and followed by CR LF. `escaping`
// (TEscaping) applies to the text the tags insert; without it nothing is escaped.
std::string RenderPage(const TTemplateLines& lines, uint8_t codePage, uint8_t escaping, const TPageState& page);
std::string RenderPage(const TTemplateLines& lines, uint8_t codePage, const TPageState& page);

} // namespace kw
