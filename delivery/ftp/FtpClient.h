// The FTP client connection of an upload or of the folder browser (RFC 959, client side):
// one control connection, image transfer type, passive or active data connections.
// Every wait is bounded (TFtpTimeouts); reaching a bound, a reply with a code outside the
// accepted list, or a network failure throws TFtpError with the message for the status cell or
// the error box, and leaves the control connection closed. No QUIT is ever sent.
#pragma once
#include "delivery/ftp/FtpReply.h"
#include "delivery/ftp/FtpStream.h"
#include "platform/Deadline.h"
#include "platform/Message.h"
#include "platform/Tcp.h"
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>

namespace kw {

struct TFtpTimeouts {
    int ConnectMs = 10000;  // opening the control connection
    int ReplyMs = 30000;    // from sending a command to the end of its reply
    int DataMs = 30000;     // opening a data connection, and each send or receive on it
    // The bound of one whole upload: connect, then everything else.
    int UploadMs() const { return ConnectMs + ReplyMs; }
};

// The bounds new clients start with. Tests shorten them; the program keeps the defaults.
TFtpTimeouts DefaultFtpTimeouts();
void SetDefaultFtpTimeouts(const TFtpTimeouts& timeouts);

// What() holds the message's key (or its outside text); Message() is what the station reads.
class TFtpError : public std::runtime_error {
public:
    explicit TFtpError(TMessage message)
        : std::runtime_error(message.Key.empty() ? message.Text : message.Key), message_(std::move(message)) {}
    const TMessage& Message() const noexcept { return message_; }

private:
    TMessage message_;
};

// The server answered with a code outside the accepted list; the control connection is still
// in step and may go on.
class TFtpRefusal : public TFtpError {
public:
    using TFtpError::TFtpError;
};

class TFtpClient {
public:
    std::string Host;
    uint16_t Port = 21;
    bool Passive = false;
    std::string Username;
    std::string Password;
    // FTP over TLS (RFC 4217): "AUTH TLS" right after the greeting, then "PBSZ 0" and "PROT P";
    // the data connections are TLS too. A server without TLS is an error, never a fall-back.
    bool UseTls = false;
    // SHA-256 of the one certificate trusted for this server; empty: the system's trust store.
    std::string TrustedSha256;
    TFtpTimeouts Timeouts = DefaultFtpTimeouts();
    // The connections' maker; tests and the fuzzer hand in a peer of their own.
    ftp::TFtpStreamMaker Streams = ftp::SocketStreams();

    // One bound for everything from now on (an upload's whole exchange): every wait takes the
    // smaller of its own limit and what is left of it. Without one, each wait has its own limit.
    // `whatKey` is the message of a wait cut by the deadline, with the bound as its argument.
    void SetDeadline(int totalMs, const char* whatKey = "FtpUploadTooLong");
    void ClearDeadline() noexcept { deadline_ = {}; }

    bool Connected() const noexcept { return control_ && control_->IsOpen(); }

    // Opens the control connection and logs in: greeting 220, with TLS "AUTH TLS" (234), the
    // handshake, "PBSZ 0" (200) and "PROT P" (200); then "USER" (230, or 331 and then
    // "PASS" with 230), "TYPE I" (200), "SYST" (200, 215 or 500).
    void Connect();
    // Closes the control connection without a QUIT.
    void Disconnect() noexcept;

    // Sends one command line and reads its reply, which must carry one of `accepted`.
    ftp::TFtpReply SendCmd(const std::string& command, std::initializer_list<int> accepted);

    void ChangeDir(const std::string& folder);  // "CWD " + folder; 200 or 250
    // "PWD" (257): the text between the first two double quotes of the reply's first line,
    // in the server's encoding.
    std::string PrintWorkingDir();
    // Stores the local file under `remoteName` ("STOR"), or under a name the server picks
    // ("STOU") when `remoteName` is empty. A final 426 or 450 is a failure.
    void Put(const std::string& localFile, const std::string& remoteName);
    // "LIST" without argument: the listing's bytes as the server sent them.
    std::string List();

    static constexpr size_t MaxListingBytes = 64u << 20;

private:
    class TDataChannel;

    ftp::TFtpReply ReadReply(std::initializer_list<int> accepted);
    void SendLine(const std::string& command);
    void OpenData(TDataChannel& data);
    void FinishTransfer();
    void Transfer(const std::string& command, std::initializer_list<int> opened,
                  const std::function<void(ftp::IFtpStream& data)>& move);
    void StartTls();
    void SecureData(TDataChannel& data);
    [[noreturn]] void Fail(TMessage message);
    int Limit(int waitMs) const noexcept { return deadline_.Cap(waitMs); }
    TMessage TimedOut(TMessage wait) const;
    void ConnectPassive(TDataChannel& data);
    void AcceptActive(TDataChannel& data);

    std::unique_ptr<ftp::IFtpStream> control_;
    net::TIpv4Endpoint controlPeer_;
    net::TDeadline deadline_;
    int deadlineMs_ = 0;
    const char* deadlineWhat_ = "FtpUploadTooLong";
    ftp::TFtpReplyReader reader_;
};

} // namespace kw
