// The render of one work.
#include "render/RenderWork.h"
#include "config/EditWorkText.h"
#include "platform/Cp1251.h"
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include "platform/Message.h"
#include "render/CodePages.h"
#include "render/PublishRules.h"
#include "render/StatusText.h"
#include "render/TemplateEngine.h"
#include "render/ValueEscaping.h"
#include <new>

namespace kw {

namespace {

class TRender {
public:
    TRender(const TRenderContext& context, TWorkData& work, int8_t workIndex)
        : context_(context), work_(work), workIndex_(workIndex), config_(work.Config()) {}

    void Run(std::unique_ptr<TTemplateLines>& lines);

private:
    bool ReadTemplate(std::unique_ptr<TTemplateLines>& lines);
    bool WritePage(const std::string& text);
    void Deliver(const std::string& bytes, const TPageState& page);
    void Fail(const char* key, const std::string& message);
    void Report(const std::string& text, TStatusTone tone, bool logIt);
    bool BeginPublishing(const std::string& text);
    void EndPublishing(std::string text);
    std::string Text(const char* key) const;
    int Position() const;

    const TRenderContext& context_;
    TWorkData& work_;
    int8_t workIndex_;
    const TWorkConfig config_;  // one copy of the settings for the whole render
    bool failed_ = false;       // a step reported a failure: the page is not published in full
};

void TRender::Run(std::unique_ptr<TTemplateLines>& lines) {
    // One snapshot of everything the tags read, so the whole page shows one state.
    TPageState page;
    page.Broadcast = context_.Broadcast.Delayed(work_.DelayMs());
    page.LinkState = context_.LinkState.load(std::memory_order_acquire);
    page.Now = context_.LocalTime();

    std::string text;
    if (PublishesNowPlaying(config_)) {
        if (!context_.NowPlaying) {
            Fail(KeyExceptSH, TextOf(TMessage::Of("NoNowPlaying")));
            return;
        }
        text = context_.NowPlaying(*page.Broadcast, page.LinkState, page.Now);
    } else {
        if (!ReadTemplate(lines))
            return;
        text = RenderPage(*lines, config_.CodePage, PageEscaping(config_.Escaping, TargetChoiceOf(config_)), page);
        lines.reset();  // the template is not needed while the page is written
    }
    if (!BeginPublishing(text))
        return;
    if (!WritePage(text))
        return;
    if (context_.PageWritten && config_.ServeLive)
        context_.PageWritten(config_, text);
    Deliver(text, page);
    EndPublishing(std::move(text));
}

// The page to the output file; a work that publishes the now-playing document may name none.
bool TRender::WritePage(const std::string& text) {
    if (PublishesNowPlaying(config_) && TrimText(config_.FileOut).empty())
        return true;
    std::string error;
    if (!fs::WriteFileReplacing(config_.FileOut, text, error)) {
        Fail(KeyExceptWR, error);
        return false;
    }
    Report(FormatStatusStamp(context_.LocalTime()), TStatusTone::Normal, false);
    return true;
}

bool TRender::ReadTemplate(std::unique_ptr<TTemplateLines>& lines) {
    // A name the system cannot take at all: it would name another file, cut at the zero byte.
    if (config_.FileIn.find('\0') != std::string::npos) {
        Fail(KeyExceptSH, TextOf(TMessage::Of("InvalidFileName", {config_.FileIn.c_str()})));
        return false;
    }
    // Only an existing file is a template; a folder of that name counts as missing.
    if (config_.FileIn.empty() || !fs::FileExists(config_.FileIn)) {
        Report(Text(KeyNoFileIn), TStatusTone::Failure, true);
        return false;
    }
    std::string bytes, error;
    fs::TReadFailure failure{};
    try {
        if (!fs::ReadWholeFile(config_.FileIn, bytes, error, failure)) {
            Fail(failure == fs::TReadFailure::Read ? KeyExceptRD : KeyExceptOP, error);
            return false;
        }
    } catch (const std::bad_alloc&) {
        Fail(KeyExceptRD, TextOf(TMessage::Of("TemplateTooLarge", {config_.FileIn})));
        return false;
    }
    lines = std::make_unique<TTemplateLines>(std::move(bytes));
    return true;
}

void TRender::Deliver(const std::string& bytes, const TPageState& page) {
    TDeliveryPage delivered;
    delivered.Bytes = bytes;
    // A URL takes its values from the page's own snapshot, percent-encoded like a URL query.
    delivered.ExpandUrl = [this, &page](std::string_view line) {
        std::string out;
        ExpandLine(line, config_.CodePage, escURL, page, out);
        return out;
    };
    delivered.ExpandTopic = [&page](std::string_view line) {
        std::string out;
        ExpandLine(Cp1251ToUtf8(line), cpUTF8, escTopic, page, out);
        return out;
    };
    for (const auto& target : context_.Deliveries) {
        if (!target || !target->Wanted(config_))
            continue;
        const TDeliveryResult result = target->Deliver(work_, config_, delivered);
        const std::string label = target->Label();
        if (result.Ok)
            Report(FormatStatusStamp(context_.LocalTime()) + " (" + (result.Label.empty() ? label : result.Label) + ")",
                   TStatusTone::Normal, false);
        else
            Report(std::to_string(Position()) + " " + label + ": " + TextOf(result.Message), TStatusTone::Failure, true);
    }
}

void TRender::Fail(const char* key, const std::string& message) { Report(Text(key) + " " + message, TStatusTone::Failure, true); }

void TRender::Report(const std::string& text, TStatusTone tone, bool logIt) {
    failed_ = failed_ || tone == TStatusTone::Failure;
    SetShowCell(work_.Show, BoundedStatusText(text), tone, logIt, false);
}

// Publishing rules: an unchanged page is neither written nor delivered when the work asks so;
// a page counts as published only once written and delivered everywhere.
bool TRender::BeginPublishing(const std::string& text) {
    const int64_t now = context_.NowTicks.load(std::memory_order_acquire);
    const bool asked = work_.SendAnyway.exchange(false, std::memory_order_acq_rel);
    if (!asked && !PageIsDue(config_.Publish, work_.Published, text, now))
        return false;
    work_.Published.Valid = false;
    return true;
}

void TRender::EndPublishing(std::string text) {
    if (!config_.Publish.OnlyChanged || failed_)
        return;
    work_.Published = {true, std::move(text), context_.NowTicks.load(std::memory_order_acquire)};
}

std::string TRender::Text(const char* key) const {
    return context_.MessageText ? context_.MessageText(key) : std::string();
}

// The work's position now (the list may have been sorted since the render started).
int TRender::Position() const {
    const int now = context_.Works.IndexOf(&work_);
    return now >= 0 ? now : workIndex_;
}

} // namespace

void RenderWork(const TRenderContext& context, TWorkData& work, int8_t workIndex,
                std::unique_ptr<TTemplateLines>& lines) {
    TRender(context, work, workIndex).Run(lines);
}

uint8_t PageEscaping(unsigned escaping, TTargetChoice target) {
    const bool text = target == tcTCP || target == tcUDP;
    return static_cast<uint8_t>(EscapingOf(escaping) | (text ? escLineSafe : 0));
}

} // namespace kw
