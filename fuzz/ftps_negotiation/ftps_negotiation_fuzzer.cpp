// Plays a hostile server for a whole FTPS session, in memory (the client's stream seam): the
// greeting, every reply, the outcome of each TLS handshake and the listing's bytes come from the
// input. The script is split at bytes 0xFE into turns: turn 0 is sent at once, each further turn
// after the client's next command; a turn that starts with 0xFD is a handshake's verdict (its
// second byte odd: the handshake succeeds). A data connection's bytes are the turn that is
// current when it opens. The client must never send its user name or password before TLS is up,
// never report a login without it, and end every session with a result or a TFtpError: no crash,
// no hang (a silent server answers "timed out" at once here).
#include "delivery/ftp/FtpClient.h"
#include "delivery/ftp/FtpStream.h"
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using kw::net::TNetStatus;

struct TScript {
    std::vector<std::string> Turns;
    size_t Next = 0;      // the turn that the client's next command releases
    std::string Pending;  // server bytes released and not yet read
    bool ControlSecure = false;

    std::string Take() { return Next < Turns.size() ? Turns[Next++] : std::string(); }
};

class TMemoryStream final : public kw::ftp::IFtpStream {
public:
    TMemoryStream(TScript& script, bool control) : script_(script), control_(control) {}

    TNetStatus Connect(const std::string&, uint16_t, int) override { return Open(); }
    TNetStatus Connect(const kw::net::TIpv4Endpoint&, int) override { return Open(); }
    TNetStatus Listen(const kw::net::TIpv4Endpoint& local, kw::net::TIpv4Endpoint& listening) override {
        listening = local;
        listening.Port = 2121;
        return {};
    }
    TNetStatus AcceptFrom(const kw::net::TIpv4Endpoint&, int) override { return Open(); }

    TNetStatus StartTls(const kw::net::TTlsPeerCheck&, int, const kw::ftp::IFtpStream*) override {
        secure_ = true;
        const std::string verdict = script_.Take();
        const bool ok = verdict.size() >= 2 && static_cast<uint8_t>(verdict[0]) == 0xFD && (verdict[1] & 1);
        if (control_)
            script_.ControlSecure = ok;
        if (!ok) {
            open_ = false;
            return {TNetStatus::Failed, 0, "TLS handshake failed"};
        }
        return {};
    }
    bool Secure() const noexcept override { return secure_; }
    std::string PeerSha256() const override { return std::string(64, 'a'); }

    TNetStatus SendAll(const void* data, size_t size, int) override {
        if (!open_)
            return {TNetStatus::Failed, 0, "not open"};
        const std::string sent(static_cast<const char*>(data), size);
        if (control_) {
            // The user name and password only ever travel inside TLS.
            if (!script_.ControlSecure && (sent.rfind("USER", 0) == 0 || sent.rfind("PASS", 0) == 0))
                __builtin_trap();
            script_.Pending += script_.Take();
        }
        return {};
    }
    TNetStatus Receive(void* buffer, size_t capacity, size_t& received, int) override {
        received = 0;
        if (!open_)
            return {TNetStatus::Failed, 0, "not open"};
        std::string& from = control_ ? script_.Pending : data_;
        if (from.empty())
            return control_ ? TNetStatus{TNetStatus::TimedOut, 0, {}} : TNetStatus{TNetStatus::Closed, 0, {}};
        received = from.size() < capacity ? from.size() : capacity;
        std::memcpy(buffer, from.data(), received);
        from.erase(0, received);
        return {};
    }
    TNetStatus LocalEndpoint(kw::net::TIpv4Endpoint& out) const override {
        out = {{127, 0, 0, 1}, 50000};
        return {};
    }
    TNetStatus PeerEndpoint(kw::net::TIpv4Endpoint& out) const override {
        out = {{127, 0, 0, 1}, 21};
        return {};
    }
    bool IsOpen() const noexcept override { return open_; }
    void Close(int) noexcept override { open_ = false; }

private:
    TNetStatus Open() {
        open_ = true;
        if (!control_)
            data_ = script_.Next < script_.Turns.size() ? script_.Turns[script_.Next] : std::string();
        else
            script_.Pending = script_.Take();  // the greeting
        return {};
    }

    TScript& script_;
    bool control_;
    bool open_ = false;
    bool secure_ = false;
    std::string data_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    TScript script;
    std::string turn;
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFE) {
            script.Turns.push_back(turn);
            turn.clear();
        } else {
            turn += static_cast<char>(data[i]);
        }
    }
    script.Turns.push_back(turn);

    kw::TFtpClient client;
    client.Host = "127.0.0.1";
    client.Username = "user";
    client.Password = "password";
    client.UseTls = true;
    client.Passive = data[0] & 1;
    client.TrustedSha256 = std::string(64, 'a');
    client.Timeouts = {1000, 50, 50};
    bool first = true;
    client.Streams = [&script, &first] {
        auto s = std::make_unique<TMemoryStream>(script, first);
        first = false;
        return s;
    };
    try {
        client.Connect();
        if (!script.ControlSecure)
            __builtin_trap();  // logged in without TLS
        if (data[0] & 2)
            client.ChangeDir("folder");
        (void)client.PrintWorkingDir();
        (void)client.List();
    } catch (const kw::TFtpError&) {
    }
    client.Disconnect();
    return 0;
}
