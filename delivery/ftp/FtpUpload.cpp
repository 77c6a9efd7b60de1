// Upload of the output file over FTP, on the render's thread.
#include "delivery/ftp/FtpUpload.h"
#include "delivery/ftp/FtpClient.h"
#include "delivery/ftp/FtpSettings.h"
#include "platform/Cp1251.h"
#include <new>

namespace kw {

namespace {
struct TFtpWorkState final : TDeliveryState {
    std::shared_ptr<TFtpClient> Client;
};
} // namespace

std::shared_ptr<TFtpClient>& FtpClientOf(TWorkData& work) {
    auto& slot = work.DeliveryStates[TFtpDelivery::Name];
    if (!slot)
        slot = std::make_unique<TFtpWorkState>();
    return static_cast<TFtpWorkState&>(*slot).Client;
}

void PrepareUpload(TWorkData& work, const TWorkConfig& config) {
    if (FtpClientOf(work)) {
        if (FtpClientOf(work)->Connected())
            FtpClientOf(work)->Disconnect();
    } else {
        FtpClientOf(work) = std::make_shared<TFtpClient>();
    }
    UseFtpSettings(*FtpClientOf(work), config.FTP);
}

namespace {

// A name as the server keeps it: settings hold names in Windows-1251, a server with the UTF-8
// option keeps them in UTF-8.
std::string ServerName(const TFTPUse& ftp, const std::string& name) {
    return ftp.UTF8 ? Cp1251ToUtf8(name) : name;
}

void StoreOutput(TFtpClient& client, const TWorkConfig& config) {
    // The folder follows the UTF-8 option like the file name, as the folder browser walks it:
    // a folder chosen there is found again by the upload.
    if (config.FTP.Folder != "/")
        client.ChangeDir(ServerName(config.FTP, config.FTP.Folder));
    client.Put(config.FileOut, ServerName(config.FTP, config.FTP.RemoteName));
}

TDeliveryResult Failure(const std::exception* e) {
    if (const auto* ftp = dynamic_cast<const TFtpError*>(e))
        return {false, ftp->Message()};
    if (dynamic_cast<const std::bad_alloc*>(e))
        return {false, TMessage::Of("OutOfMemory")};
    return {false, TMessage::Of("UploadFailed")};
}

} // namespace

TDeliveryResult RunUpload(TWorkData& work, const TWorkConfig& config) noexcept {
    try {
        if (!FtpClientOf(work))
            PrepareUpload(work, config);
        const std::shared_ptr<TFtpClient> client = FtpClientOf(work);
        // One bound for the whole upload: a server that trickles its replies or takes the page
        // a byte at a time holds the render (and a shutdown waiting for it) no longer.
        client->SetDeadline(client->Timeouts.UploadMs());
        try {
            client->Connect();
        } catch (const std::exception& e) {
            return Failure(&e);  // the closed client stays for the next upload
        }
        TDeliveryResult result{true, {}, config.FTP.Tls ? "FTPS" : ""};
        try {
            StoreOutput(*client, config);
        } catch (const std::exception& e) {
            result = Failure(&e);
        }
        client->Disconnect();
        FtpClientOf(work).reset();
        return result;
    } catch (const std::exception& e) {
        FtpClientOf(work).reset();
        return Failure(&e);
    } catch (...) {
        FtpClientOf(work).reset();
        return Failure(nullptr);
    }
}

TDeliveryResult TFtpDelivery::Deliver(TWorkData& work, const TWorkConfig& config, const TDeliveryPage&) noexcept {
    try {
        PrepareUpload(work, config);
    } catch (...) {
        return {false, TMessage::Of("OutOfMemory")};
    }
    return RunUpload(work, config);
}

} // namespace kw
