// The staged shutdown.
#include "shell/ClosingSequence.h"

namespace kw {

bool TClosingSequence::FormClose(IClosingSteps& steps) noexcept {
    try {
        if (stage_ == 0)
            return Begin(steps);
        if (stage_ == 1)
            return false;  // refused while the threads finish
        steps.FreeLongLivedObjects();
        return true;
    } catch (...) {
        steps.TerminateNow();
        return false;
    }
}

bool TClosingSequence::Begin(IClosingSteps& steps) {
    if (!systemShutdown_ && !steps.ConfirmExit())
        return false;
    steps.LogBye();
    SetStage(1);
    steps.TimerToShutdown();
    steps.TerminateReader();
    return false;
}

bool TClosingSequence::ThreadsGone(IClosingSteps& steps, TWorkList& works) {
    if (steps.ReaderExists()) {
        if (!steps.ReaderFinished())
            return false;
        steps.FreeReader();
    }
    bool running = false;
    for (const TWorkPtr& work : works.Snapshot()) {
        if (!work->Thread)
            continue;
        if (work->Thread->Finished.load(std::memory_order_acquire))
            work->Thread.reset();  // joins a thread that has already done its last act
        else
            running = true;
    }
    // checked even when a work's render still runs, so that finished ones are freed now
    if (steps.RendersRunning())
        running = true;
    return !running;
}

void TClosingSequence::SetStage(uint8_t stage) {
    stage_ = stage;
    if (shared_)
        shared_->store(stage);
}

void TClosingSequence::ToShutdownTick(IClosingSteps& steps, TWorkList& works) noexcept {
    try {
        if (stage_ == 1) {
            if (ThreadsGone(steps, works))
                SetStage(2);
        } else if (stage_ >= 2) {
            steps.ReleaseRing();
            steps.StopTimer();
            steps.CloseWindow();
        }
    } catch (...) {
        steps.TerminateNow();
    }
}

} // namespace kw
