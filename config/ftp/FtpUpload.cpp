// Upload of the output file over FTP, on the render's thread.
#include "config/ftp/FtpUpload.h"
#include "config/ftp/FtpClient.h"
#include "platform/Cp1251.h"

namespace kw {

void PrepareUpload(TWorkData& work, const TWorkConfig& config) {
    if (work.FTPClient) {
        if (work.FTPClient->Connected())
            work.FTPClient->Disconnect();
    } else {
        work.FTPClient = std::make_shared<TFtpClient>();
    }
    TFtpClient& c = *work.FTPClient;
    c.Host = config.FTP.Server;
    c.Port = config.FTP.Port;
    c.Passive = config.FTP.Passive;
    c.Username = config.FTP.Login;
    c.Password = config.FTP.Password;
    c.Timeouts = DefaultFtpTimeouts();
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

TDeliveryResult Failure(const char* text) {
    const std::string message = text && *text ? text : "Upload failed.";
    return {false, message};
}

} // namespace

TDeliveryResult RunUpload(TWorkData& work, const TWorkConfig& config) noexcept {
    try {
        if (!work.FTPClient)
            PrepareUpload(work, config);
        const std::shared_ptr<TFtpClient> client = work.FTPClient;
        try {
            client->Connect();
        } catch (const std::exception& e) {
            return Failure(e.what());  // the closed client stays for the next upload
        }
        TDeliveryResult result{true, {}};
        try {
            StoreOutput(*client, config);
        } catch (const std::exception& e) {
            result = Failure(e.what());
        }
        client->Disconnect();
        work.FTPClient.reset();
        return result;
    } catch (const std::exception& e) {
        work.FTPClient.reset();
        return Failure(e.what());
    } catch (...) {
        work.FTPClient.reset();
        return Failure(nullptr);
    }
}

TDeliveryResult TFtpDelivery::Deliver(TWorkData& work, const TWorkConfig& config) noexcept {
    try {
        PrepareUpload(work, config);
    } catch (...) {
        return {false, "Out of memory."};
    }
    return RunUpload(work, config);
}

} // namespace kw
