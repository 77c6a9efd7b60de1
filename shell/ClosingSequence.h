// The staged shutdown of the program: 0 running, 1 waiting for the reader thread and every
// render thread, 2 releasing and closing. The window supplies the steps (`IClosingSteps`);
// this class decides which run when.
#pragma once
#include "works/WorkList.h"
#include <atomic>
#include <cstdint>

namespace kw {

class IClosingSteps {
public:
    virtual ~IClosingSteps() = default;
    virtual bool ConfirmExit() = 0;           // the "Exit" question; true on Yes
    virtual void LogBye() = 0;                // `OutLog` with "Bye"
    virtual void TimerToShutdown() = 0;       // the timer's handler becomes `ToShutdownTick`
    virtual void TerminateReader() = 0;       // ask the reader thread to end
    virtual bool ReaderExists() = 0;
    virtual bool ReaderFinished() = 0;        // its `Finished` flag
    virtual void FreeReader() = 0;            // join and forget it
    // Renders kept outside the works list (a deleted work's); true while one still runs.
    virtual bool RendersRunning() { return false; }
    virtual void ReleaseRing() = 0;           // free every queued host message
    virtual void StopTimer() = 0;
    virtual void CloseWindow() = 0;           // a close request (comes back as `FormClose`)
    virtual void FreeLongLivedObjects() = 0;  // lists, section list, language, link
    virtual void TerminateNow() = 0;          // a failure during shutdown ends the process
};

class TClosingSequence {
public:
    uint8_t Stage() const { return stage_; }
    // The program-wide copy of the stage that the host message handlers read.
    void ShareStage(std::atomic<uint8_t>* shared) { shared_ = shared; }
    void SetSystemShutdown() { systemShutdown_ = true; }

    // `FormClose`: true when the window is to close and be freed now.
    bool FormClose(IClosingSteps& steps) noexcept;
    // `ToShutdownTick`: every 100 ms once the stage is 1 or more.
    void ToShutdownTick(IClosingSteps& steps, TWorkList& works) noexcept;

private:
    bool Begin(IClosingSteps& steps);
    bool ThreadsGone(IClosingSteps& steps, TWorkList& works);
    void SetStage(uint8_t stage);

    uint8_t stage_ = 0;
    std::atomic<uint8_t>* shared_ = nullptr;
    bool systemShutdown_ = false;
};

} // namespace kw
