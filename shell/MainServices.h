// What the main window needs of the rest of the program: the language, the works' settings
// file, the dialogs behind its buttons, the host link's status cell and the worker threads.
// The program connects these to the subsystems; tests connect them to stand-ins.
#pragma once
#include "works/Settings.h"
#include "lang/Component.h"
#include <string>
#include <vector>

namespace kw {

class IMainServices {
public:
    virtual ~IMainServices() = default;
    // Language: a message text of section "Main", and `Language_Change` for a window.
    virtual std::string MainText(const std::string& key) = 0;
    virtual void TranslateMain(lang::IForm& form) = 0;
    virtual bool ConfirmExit() = 0;
    // Buttons: the work editor (true when the list is to be shown again), the settings
    // dialog with its saving, and the deletion of a work from the list and the file.
    virtual bool EditWork(int index) = 0;
    virtual void EditProgramSettings() = 0;
    virtual void DeleteWork(int index) = 0;
    // Asks the user whether to delete the work at `index` ("no" is the default answer): a
    // misclick on Delete must not cost a station a work.
    virtual bool ConfirmDelete(int index) = 0;
    // "Send now": renders and delivers the work at `index` at once, or says that a render of
    // it is running.
    virtual void SendNow(int index) { (void)index; }
    // The host link's status cell (the "Source" row).
    virtual TShowCell& SourceStatus() = 0;
    // The worker threads and the inbound messages, for the staged shutdown.
    virtual void TerminateReader() = 0;
    virtual bool ReaderExists() = 0;
    virtual bool ReaderFinished() = 0;
    virtual void FreeReader() = 0;
    // Once the reader has ended: frees the renders that have finished (also those of works
    // deleted while they ran) and tells whether any still runs.
    virtual bool RendersRunning() { return false; }
    virtual void ReleaseRing() = 0;
    virtual void FreeLongLivedObjects() = 0;
    // Lines for the log from other threads (the live server), in the program's words; the
    // main timer takes them.
    virtual std::vector<std::string> TakeLogLines() { return {}; }
};

} // namespace kw
