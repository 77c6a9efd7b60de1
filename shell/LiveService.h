// The live server in the program: started, restarted and stopped as the settings say, told which
// works are live, handed each page a render writes and each new broadcast state as the
// now-playing document. A server that cannot start (the port in use) is logged and the program
// runs on without it.
#pragma once
#include "config/SettingsFile.h"
#include "hostlink/BroadcastState.h"
#include "live/LiveServer.h"
#include "platform/Message.h"
#include "works/WorkList.h"
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kw {

class TLiveService {
public:
    TLiveService();
    ~TLiveService();

    // The settings and the works' "serve live" (main thread): the server starts, restarts on a
    // new port, address or key, or stops; a failure goes to the log.
    void Apply(const TLiveSettings& settings, const TWorkList& works);
    void Stop();
    bool Running() const { return server_.Running(); }
    uint16_t Port() const { return server_.Port(); }

    // A render's page, just written (render threads): O(1) for the render beyond one copy.
    void PageWritten(const TWorkConfig& work, const std::string& page);
    // The reader thread after each pass: the document when the state or the link changed.
    void StateChanged(const TBroadcastSnapshot& state, uint8_t linkState, TDateTime now);

    // The lines for the log since the last take (main thread; the server's thread adds them).
    std::vector<TMessage> TakeLog();

private:
    void Log(const TMessage& message);

    live::TLiveServer server_;
    TLiveSettings applied_;
    std::mutex logLock_;
    std::vector<TMessage> log_;
    // the reader thread's last document
    TBroadcastSnapshot lastState_;
    uint8_t lastLink_ = 0xff;
};

} // namespace kw
