// TRecorderFileThread: one render of one work, run by the render pool (RunHere) or on a thread
// of its own (Start). Either way its Finished is set as the very last act.
#pragma once
#include "platform/Thread.h"
#include "render/RenderContext.h"
#include "render/TemplateText.h"
#include <cstdint>
#include <memory>

namespace kw {

class TRecorderFileThread : public TThread {
public:
    // Created suspended; the scheduler starts it. The thread keeps its work alive by
    // reference, so the main window may sort or delete works while it runs.
    TRecorderFileThread(const TRenderContext& context, TWorkPtr work, int8_t workIndex)
        : WorkIndex(workIndex), context_(context), work_(std::move(work)) {}

    // Runs the render on the calling thread (a pool thread) and sets Finished as its last act.
    void RunHere() noexcept {
        Execute();
        Finished.store(true, std::memory_order_release);
    }

    const int8_t WorkIndex;                 // the work's position when the render was started
    std::unique_ptr<TTemplateLines> Lines;  // the template while the render runs

protected:
    // Runs RenderWork, drops any failure that escapes it (the status stays as it was) and
    // releases Lines; the base sets Finished as the very last act.
    void Execute() override;

private:
    // Marks the work as rendering for exactly the life of this render (from its creation by the
    // scheduler to its release), so other threads can tell without touching the work's Thread.
    struct TRenderingMark {
        explicit TRenderingMark(TWorkData& work) : work_(work) { work_.Rendering.store(true, std::memory_order_release); }
        ~TRenderingMark() { work_.Rendering.store(false, std::memory_order_release); }
        TRenderingMark(const TRenderingMark&) = delete;
        TRenderingMark& operator=(const TRenderingMark&) = delete;
        TWorkData& work_;
    };

    const TRenderContext& context_;
    TWorkPtr work_;
    TRenderingMark mark_{*work_};
};

} // namespace kw
