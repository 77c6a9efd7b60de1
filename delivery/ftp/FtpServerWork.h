// One exchange of the FTP folder browser with its server (log in, change folder, list), run on
// a worker thread so that the window thread keeps answering its messages while the server
// takes its time. The window waits for it without blocking; when the user cancels, the window
// stops waiting and the work ends on its own within the client's time limits, its outcome
// dropped.
#pragma once
#include "delivery/ftp/FtpClient.h"
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kw {

// The browser's FTP connection. It lives as long as its last user: the browser, or a work
// that was cancelled and has not ended yet.
struct TFtpSession {
    TFtpClient Client;
};

class TFtpServerWork {
public:
    using TExchange = std::function<void(TFtpClient&, TFtpServerWork&)>;

    // Starts `exchange` on a new worker thread over `session`. Throws std::system_error when
    // no thread can be started.
    static std::shared_ptr<TFtpServerWork> Start(std::shared_ptr<TFtpSession> session, TExchange exchange);

    bool Done() const;
    // Waits at most `ms` for the end; true when the work has ended.
    bool WaitDone(int ms) const;
    // `wake` is called once on the worker thread when the work ends (never after a call with
    // an empty function returned). The window uses it to wake its message loop.
    void OnDone(std::function<void()> wake);

    // What the exchange found; read only after Done().
    bool HasFolder = false;
    std::string Folder;   // the reply to "PWD", in the server's encoding
    bool HasListing = false;
    std::string Listing;  // the bytes of "LIST"
    std::exception_ptr Error;

private:
    void Run(const TExchange& exchange) noexcept;

    std::shared_ptr<TFtpSession> session_;
    mutable std::mutex lock_;
    mutable std::condition_variable ended_;
    bool done_ = false;
    std::function<void()> wake_;
};

} // namespace kw
