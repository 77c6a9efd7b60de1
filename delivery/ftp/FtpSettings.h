// A work's FTP settings handed to the client that carries them out: the upload and the folder
// browser set their client the same way.
#pragma once
#include "config/WorkConfig.h"
#include "delivery/ftp/FtpClient.h"

namespace kw {

// Where the client connects (by the one address rule, config/WorkFields.h), how, as whom, and
// with the default limits.
void UseFtpSettings(TFtpClient& client, const TFTPUse& ftp);

} // namespace kw
