// The program's delivery targets.
#include "delivery/DeliveryTargets.h"
#include "delivery/ftp/FtpUpload.h"
#include "delivery/http/HttpDelivery.h"
#include "delivery/text/TextDelivery.h"

namespace kw {

std::vector<std::shared_ptr<IDelivery>> MakeDeliveryTargets() {
    return {std::make_shared<TFtpDelivery>(), std::make_shared<THttpDelivery>(), std::make_shared<TTcpTextDelivery>(),
            std::make_shared<TUdpTextDelivery>()};
}

} // namespace kw
