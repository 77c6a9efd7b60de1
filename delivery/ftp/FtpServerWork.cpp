// The browser's worker thread: one exchange, then a wake-up for the waiting window.
#include "delivery/ftp/FtpServerWork.h"
#include <chrono>
#include <thread>

namespace kw {

std::shared_ptr<TFtpServerWork> TFtpServerWork::Start(std::shared_ptr<TFtpSession> session, TExchange exchange) {
    auto work = std::make_shared<TFtpServerWork>();
    work->session_ = std::move(session);
    // Detached: a cancelled exchange must not hold the window that gave it up. The thread owns
    // the work and the session until it ends, which the client's time limits bound.
    std::thread([work, exchange = std::move(exchange)] { work->Run(exchange); }).detach();
    return work;
}

void TFtpServerWork::Run(const TExchange& exchange) noexcept {
    // One bound for the whole exchange, as for an upload: a server that trickles its replies
    // keeps the browser (and a cancelled worker) no longer than connect + reply time.
    TFtpClient& client = session_->Client;
    client.SetDeadline(client.Timeouts.UploadMs(), "FtpExchangeTooLong");
    try {
        exchange(client, *this);
    } catch (...) {
        Error = std::current_exception();
    }
    client.ClearDeadline();
    std::lock_guard<std::mutex> hold(lock_);
    done_ = true;
    ended_.notify_all();
    if (wake_) {
        try {
            wake_();
        } catch (...) {
            // The window also looks at Done() itself; a lost wake-up only delays it.
        }
    }
}

bool TFtpServerWork::Done() const {
    std::lock_guard<std::mutex> hold(lock_);
    return done_;
}

bool TFtpServerWork::WaitDone(int ms) const {
    std::unique_lock<std::mutex> hold(lock_);
    return ended_.wait_for(hold, std::chrono::milliseconds(ms < 0 ? 0 : ms), [this] { return done_; });
}

void TFtpServerWork::OnDone(std::function<void()> wake) {
    std::lock_guard<std::mutex> hold(lock_);
    wake_ = std::move(wake);
}

} // namespace kw
