// The upload of a work's output file after a render, and the FTP delivery target.
#pragma once
#include "delivery/Delivery.h"
#include "works/WorkData.h"
#include <memory>

namespace kw {

class TFtpClient;

// The work's FTP client kept between uploads (empty when none is kept); render thread only.
std::shared_ptr<TFtpClient>& FtpClientOf(TWorkData& work);

// Makes the work's client ready for a new upload: reuses the client left by a failed
// connection (closing it if it is somehow still open) or creates one, and sets host, port,
// passive flag, user name and password from `config`.
void PrepareUpload(TWorkData& work, const TWorkConfig& config);

// The exchange: connect and log in, change folder unless it is "/", store FileOut under
// RemoteName (folder and name in UTF-8 when FTP.UTF8 is set; STOU when the name is empty),
// close without QUIT.
// After a failed connection the closed client stays in the work for the next PrepareUpload;
// otherwise it is released. Never throws.
TDeliveryResult RunUpload(TWorkData& work, const TWorkConfig& config) noexcept;

// The FTP target of a render, which reports its outcome in the work's status cell.
class TFtpDelivery final : public IDelivery {
public:
    static constexpr const char* Name = "FTP";
    const char* Label() const noexcept override { return Name; }
    bool Wanted(const TWorkConfig& config) const noexcept override { return config.FTP.Use; }
    TDeliveryResult Deliver(TWorkData& work, const TWorkConfig& config, const TDeliveryPage& page) noexcept override;
};

} // namespace kw
