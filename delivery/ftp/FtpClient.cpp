// FTP client: command/reply exchange and data connections, every wait bounded.
#include "delivery/ftp/FtpClient.h"
#include "delivery/ftp/FtpPasv.h"
#include "delivery/ftp/SharedFile.h"
#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

namespace kw {

namespace {

std::mutex g_timeoutsLock;
TFtpTimeouts g_timeouts;

bool Accepted(int code, std::initializer_list<int> accepted) {
    return std::find(accepted.begin(), accepted.end(), code) != accepted.end();
}

// A command line may not carry a line end or NUL: a name holding one would smuggle a second
// command onto the control connection.
bool SafeForCommand(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

} // namespace

TFtpTimeouts DefaultFtpTimeouts() {
    std::lock_guard<std::mutex> lock(g_timeoutsLock);
    return g_timeouts;
}

void SetDefaultFtpTimeouts(const TFtpTimeouts& timeouts) {
    std::lock_guard<std::mutex> lock(g_timeoutsLock);
    g_timeouts = timeouts;
}

// One data connection: the passive side connects to the server, the active side listens on
// the control connection's local address and accepts the server's connection.
class TFtpClient::TDataChannel {
public:
    net::TIpv4Endpoint PassiveTarget;
    std::unique_ptr<ftp::IFtpStream> Connection;
};

void TFtpClient::SetDeadline(int totalMs, const char* whatKey) {
    deadline_ = net::TDeadline::In(totalMs);
    deadlineMs_ = totalMs;
    deadlineWhat_ = whatKey;
}

// A wait that ran out: its own limit, or the whole upload's (or browser exchange's).
TMessage TFtpClient::TimedOut(TMessage wait) const {
    // A wait cut to the deadline ends on it to the millisecond, or a hair before.
    if (deadline_.Bounded() && deadline_.MsLeft() <= 20)
        return TMessage::Of(deadlineWhat_, {DurationMessage(deadlineMs_)});
    return wait;
}

void TFtpClient::Fail(TMessage message) {
    Disconnect();
    throw TFtpError(std::move(message));
}

void TFtpClient::Disconnect() noexcept {
    if (control_)
        control_->Close(Limit(1000));
    reader_.Reset();
}

void TFtpClient::Connect() {
    Disconnect();
    control_ = Streams();
    net::TNetStatus s = control_->Connect(Host, Port, Limit(Timeouts.ConnectMs));
    if (s.Kind == net::TNetStatus::TimedOut)
        Fail(TimedOut(TMessage::Of("ConnectTimedOut")));
    if (s.ok())
        s = control_->PeerEndpoint(controlPeer_);
    if (!s.ok())
        Fail(s.Message());
    try {
        ReadReply({220});
        if (UseTls)
            StartTls();
        const ftp::TFtpReply user = SendCmd("USER " + Username, {230, 331});
        if (user.Code == 331)
            SendCmd("PASS " + Password, {230});
        SendCmd("TYPE I", {200});
        SendCmd("SYST", {200, 215, 500});
    } catch (const TFtpError&) {
        Disconnect();  // a login that did not complete leaves nothing open
        throw;
    }
}

namespace {

// A refused certificate names the one the server showed, so it can be trusted on purpose.
TMessage CertificateRefusal(const net::TNetStatus& s, const std::string& fingerprint) {
    if (fingerprint.empty() || s.Key.find("Certificate") == std::string::npos)
        return s.Message();
    return TMessage::Of("CertificateFingerprint", {s.Message(), fingerprint});
}

} // namespace

// RFC 4217: the login and everything after it travel inside TLS.
void TFtpClient::StartTls() {
    ftp::TFtpReply reply;
    try {
        reply = SendCmd("AUTH TLS", {234});
    } catch (const TFtpRefusal& refused) {
        Fail(TMessage::Of("FtpNoTls", {refused.Message()}));
    }
    // Bytes after the 234 came before the handshake, in clear: nobody may slip replies in there.
    if (reader_.Pending())
        Fail(TMessage::Of("FtpBeforeHandshake"));
    const net::TNetStatus s = control_->StartTls({Host, TrustedSha256}, Limit(Timeouts.ReplyMs));
    if (s.Kind == net::TNetStatus::TimedOut)
        Fail(TimedOut(TMessage::Of("TlsHandshakeTimedOut", {DurationMessage(Timeouts.ReplyMs)})));
    if (!s.ok())
        Fail(CertificateRefusal(s, control_->PeerSha256()));
    SendCmd("PBSZ 0", {200});
    SendCmd("PROT P", {200});
}

// A data connection of a TLS session is TLS too, reusing the control connection's session
// (servers such as vsftpd refuse a data connection that does not).
void TFtpClient::SecureData(TDataChannel& data) {
    if (!UseTls)
        return;
    const net::TNetStatus s = data.Connection->StartTls({Host, TrustedSha256}, Limit(Timeouts.DataMs), control_.get());
    if (s.Kind == net::TNetStatus::TimedOut)
        throw TFtpError(TimedOut(TMessage::Of("FtpDataTlsTimedOut", {DurationMessage(Timeouts.DataMs)})));
    if (!s.ok())
        throw TFtpError(TMessage::Of("FtpDataConnection", {CertificateRefusal(s, data.Connection->PeerSha256())}));
}

void TFtpClient::SendLine(const std::string& command) {
    if (!Connected())
        Fail(TMessage::Of("FtpNotConnected"));
    if (!SafeForCommand(command))
        Fail(TMessage::Of("FtpLineBreakInName"));
    const std::string line = command + "\r\n";
    const net::TNetStatus s = control_->SendAll(line.data(), line.size(), Limit(Timeouts.ReplyMs));
    if (s.Kind == net::TNetStatus::TimedOut)
        Fail(TimedOut(TMessage::Of("FtpCommandTimedOut", {DurationMessage(Timeouts.ReplyMs)})));
    if (!s.ok())
        Fail(s.Message());
}

ftp::TFtpReply TFtpClient::ReadReply(std::initializer_list<int> accepted) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(Limit(Timeouts.ReplyMs));
    ftp::TFtpReply reply;
    TMessage error;
    char buf[4096];
    for (;;) {
        const auto state = reader_.Take(reply, error);
        if (state == ftp::TFtpReplyReader::TState::Complete)
            break;
        if (state == ftp::TFtpReplyReader::TState::Malformed)
            Fail(std::move(error));
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        size_t got = 0;
        const net::TNetStatus s = left > 0 ? control_->Receive(buf, sizeof buf, got, static_cast<int>(left))
                                           : net::TNetStatus{net::TNetStatus::TimedOut, 0, {}};
        if (s.Kind == net::TNetStatus::TimedOut)
            Fail(TimedOut(TMessage::Of("FtpReplyTimedOut", {DurationMessage(Timeouts.ReplyMs)})));
        if (s.Kind == net::TNetStatus::Closed)
            Fail(TMessage::Of("ServerClosed"));
        if (!s.ok())
            Fail(s.Message());
        reader_.Append(buf, got);
    }
    if (!Accepted(reply.Code, accepted))
        throw TFtpRefusal(TMessage(reply.Text()));
    return reply;
}

ftp::TFtpReply TFtpClient::SendCmd(const std::string& command, std::initializer_list<int> accepted) {
    SendLine(command);
    return ReadReply(accepted);
}

void TFtpClient::ChangeDir(const std::string& folder) { SendCmd("CWD " + folder, {200, 250}); }

std::string TFtpClient::PrintWorkingDir() {
    const ftp::TFtpReply reply = SendCmd("PWD", {257});
    const std::string& line = reply.FirstLine();
    const size_t open = line.find('"');
    const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close == std::string::npos)
        throw TFtpError(TMessage::Of("FtpNoCurrentFolder", {reply.Text()}));
    return line.substr(open + 1, close - open - 1);
}

// Passive: asks for the server's address now and connects after the transfer command has
// gone out. Active: listens and announces the address with PORT.
// Passive: the data connection goes to the control connection's peer with the port the 227
// names; the address in it is not used (a server behind NAT names one nobody can reach, and a
// hostile one could name any host to receive the page). Active: only the control connection's
// peer may connect.
void TFtpClient::OpenData(TDataChannel& data) {
    data.Connection = Streams();
    if (Passive) {
        const ftp::TFtpReply reply = SendCmd("PASV", {227});
        net::TIpv4Endpoint named;
        if (!ftp::ParsePasvAddress(reply.FirstLine(), named))
            Fail(TMessage::Of("FtpBadPasv", {reply.Text()}));
        data.PassiveTarget = controlPeer_;
        data.PassiveTarget.Port = named.Port;
        return;
    }
    net::TIpv4Endpoint local;
    net::TNetStatus s = control_->LocalEndpoint(local);
    if (s.ok()) {
        local.Port = 0;
        s = data.Connection->Listen(local, local);
    }
    if (!s.ok())
        Fail(s.Message());
    SendCmd("PORT " + ftp::FormatPortArgument(local), {200});
}

void TFtpClient::FinishTransfer() {
    const ftp::TFtpReply reply = ReadReply({225, 226, 250, 426, 450});
    // 426 and 450 say the server dropped the transfer: the file is not (wholly) there.
    if (reply.Code == 426 || reply.Code == 450)
        Fail(TMessage::Of("FtpTransferAborted", {reply.Text()}));
}

void TFtpClient::ConnectPassive(TDataChannel& data) {
    const net::TIpv4Endpoint& to = data.PassiveTarget;
    const std::string peer = to.HostText() + ":" + std::to_string(to.Port);
    const net::TNetStatus s = data.Connection->Connect(to, Limit(Timeouts.DataMs));
    if (s.Kind == net::TNetStatus::TimedOut)
        throw TFtpError(TimedOut(TMessage::Of("FtpPassiveTimedOut", {peer, DurationMessage(Timeouts.DataMs)})));
    if (!s.ok())
        throw TFtpError(TMessage::Of("FtpPassiveFailed", {peer, s.Message()}));
}

void TFtpClient::AcceptActive(TDataChannel& data) {
    const net::TNetStatus s = data.Connection->AcceptFrom(controlPeer_, Limit(Timeouts.DataMs));
    if (s.Kind == net::TNetStatus::TimedOut)
        throw TFtpError(TimedOut(TMessage::Of("FtpActiveTimedOut", {DurationMessage(Timeouts.DataMs)})));
    if (!s.ok())
        throw TFtpError(TMessage::Of("FtpDataConnection", {s.Message()}));
}

// One transfer: the data connection opened around `command` (which the server answers with
// one of `opened`), `move` over it, and the server's closing reply. A refusal leaves the control
// connection in step; any other failure gives it up, since the server's view of the transfer
// is unknown then.
void TFtpClient::Transfer(const std::string& command, std::initializer_list<int> opened,
                          const std::function<void(ftp::IFtpStream& data)>& move) {
    TDataChannel data;
    OpenData(data);
    try {
        if (Passive) {
            SendLine(command);
            ConnectPassive(data);
            ReadReply(opened);
        } else {
            SendCmd(command, opened);
            AcceptActive(data);
        }
        SecureData(data);
        move(*data.Connection);
    } catch (const TFtpRefusal&) {
        throw;
    } catch (const TFtpError&) {
        Disconnect();
        throw;
    }
    data.Connection->Close(Limit(1000));
    FinishTransfer();
}

void TFtpClient::Put(const std::string& localFile, const std::string& remoteName) {
    ftp::TSharedReadFile file;
    if (!file.Open(localFile))
        throw TFtpError(file.Error());
    const std::string command = remoteName.empty() ? "STOU" : "STOR " + remoteName;
    Transfer(command, {110, 125, 150}, [&](ftp::IFtpStream& data) {
        std::vector<char> buf(64 * 1024);
        for (;;) {
            const size_t n = file.Read(buf.data(), buf.size());
            if (n == 0)
                break;
            const net::TNetStatus s = data.SendAll(buf.data(), n, Limit(Timeouts.DataMs));
            if (s.Kind == net::TNetStatus::TimedOut)
                throw TFtpError(TimedOut(TMessage::Of("FtpSendStalled", {DurationMessage(Timeouts.DataMs)})));
            if (!s.ok())
                throw TFtpError(TMessage::Of("FtpDataFailed", {s.Message()}));
        }
        if (file.Failed())
            throw TFtpError(file.Error());
    });
}

std::string TFtpClient::List() {
    std::string listing;
    Transfer("LIST", {125, 150, 154}, [&](ftp::IFtpStream& data) {
        char buf[16 * 1024];
        for (;;) {
            size_t got = 0;
            const net::TNetStatus s = data.Receive(buf, sizeof buf, got, Limit(Timeouts.DataMs));
            if (s.Kind == net::TNetStatus::Closed)
                break;
            if (s.Kind == net::TNetStatus::TimedOut)
                throw TFtpError(TimedOut(TMessage::Of("FtpReceiveStalled", {DurationMessage(Timeouts.DataMs)})));
            if (!s.ok())
                throw TFtpError(TMessage::Of("FtpDataFailed", {s.Message()}));
            if (listing.size() + got > MaxListingBytes)
                throw TFtpError(TMessage::Of("FtpListingTooLarge", {std::to_string(MaxListingBytes >> 20)}));
            listing.append(buf, got);
        }
    });
    return listing;
}

} // namespace kw
