// A work's FTP settings given to a client.
#include "delivery/ftp/FtpSettings.h"
#include "config/WorkFields.h"

namespace kw {

void UseFtpSettings(TFtpClient& client, const TFTPUse& ftp) {
    const TFtpAddress address = FtpAddress(ftp.Server, ftp.Port);
    client.Host = address.Server;
    client.Port = address.Port;
    client.Passive = ftp.Passive;
    client.Username = ftp.Login;
    client.Password = ftp.Password;
    client.UseTls = ftp.Tls;
    client.TrustedSha256 = ftp.TlsSha256;
    client.Timeouts = DefaultFtpTimeouts();
}

} // namespace kw
