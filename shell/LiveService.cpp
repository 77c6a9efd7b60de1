// The live server's place in the program.
#include "shell/LiveService.h"
#include "live/HttpResponse.h"
#include "live/NowPlaying.h"

namespace kw {

namespace {
constexpr size_t MaxPendingLog = 100;  // lines the main timer has not taken yet
}

TLiveService::TLiveService() : server_([this](const TMessage& m) { Log(m); }) {}

TLiveService::~TLiveService() { Stop(); }

void TLiveService::Apply(const TLiveSettings& settings, const TWorkList& works) {
    std::vector<live::TLiveWork> live;
    for (const TWorkPtr& work : works.Snapshot()) {
        const TWorkConfig c = work->Config();
        if (c.ServeLive)
            live.push_back({c.Section, live::PageContentType(c.FileOut, c.CodePage)});
    }
    server_.SetWorks(live);
    const bool same = settings.Port == applied_.Port && settings.OtherComputers == applied_.OtherComputers &&
                      settings.AccessKey == applied_.AccessKey;
    applied_ = settings;
    if (!settings.On) {
        Stop();
        return;
    }
    if (server_.Running() && same)
        return;
    live::TLiveOptions options;
    options.Port = settings.Port;
    options.OtherComputers = settings.OtherComputers;
    options.AccessKey = settings.AccessKey;
    const net::TNetStatus s = server_.Start(options);
    if (s.ok()) {
        Log(TMessage::Of("LiveServerStarted", {TMessage(std::to_string(server_.Port()))}));
    } else {
        Log(TMessage::Of("LiveServerFailed", {TMessage(std::to_string(settings.Port)), s.Message()}));
    }
}

void TLiveService::Stop() {
    server_.Stop();
}

void TLiveService::PageWritten(const TWorkConfig& work, const std::string& page) {
    // kept while the server is off too, so a start serves the latest page at once
    if (work.ServeLive)
        server_.PublishPage(work.Section, std::make_shared<const std::string>(page));
}

void TLiveService::StateChanged(const TBroadcastSnapshot& state, uint8_t linkState, TDateTime now) {
    if (!state || (state == lastState_ && linkState == lastLink_))
        return;
    lastState_ = state;
    lastLink_ = linkState;
    // made while the server is off too, so a start serves the current state at once
    server_.PublishState(std::make_shared<const std::string>(live::NowPlayingJson(*state, linkState, now)));
}

void TLiveService::Log(const TMessage& message) {
    std::lock_guard<std::mutex> lock(logLock_);
    if (log_.size() < MaxPendingLog)
        log_.push_back(message);
}

std::vector<TMessage> TLiveService::TakeLog() {
    std::lock_guard<std::mutex> lock(logLock_);
    return std::exchange(log_, {});
}

} // namespace kw
