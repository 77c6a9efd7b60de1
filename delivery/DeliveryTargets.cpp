// The program's delivery targets.
#include "delivery/DeliveryTargets.h"
#include "delivery/SecretMask.h"
#include "delivery/ftp/FtpUpload.h"
#include "delivery/http/HttpDelivery.h"
#include "delivery/mqtt/MqttDelivery.h"
#include "delivery/text/TextDelivery.h"

namespace kw {

namespace {

// Every target's outcome passes through here before the render shows or logs it: whatever a
// target or its server put into the text, no form of the work's passwords comes out.
class TMaskedDelivery final : public IDelivery {
public:
    explicit TMaskedDelivery(std::shared_ptr<IDelivery> target) : target_(std::move(target)) {}
    const char* Label() const noexcept override { return target_->Label(); }
    bool Wanted(const TWorkConfig& config) const noexcept override { return target_->Wanted(config); }
    TDeliveryResult Deliver(TWorkData& work, const TWorkConfig& config, const TDeliveryPage& page) noexcept override {
        TDeliveryResult result = target_->Deliver(work, config, page);
        try {
            EditTexts(result.Message, [&](std::string text) { return WithoutWorkSecrets(config, std::move(text)); });
            result.Label = WithoutWorkSecrets(config, std::move(result.Label));
        } catch (...) {
            return {false, TMessage::Of("OutOfMemory")};
        }
        return result;
    }

private:
    std::shared_ptr<IDelivery> target_;
};

} // namespace

std::shared_ptr<IDelivery> WithMaskedFailures(std::shared_ptr<IDelivery> target) {
    return std::make_shared<TMaskedDelivery>(std::move(target));
}

std::vector<std::shared_ptr<IDelivery>> MakeDeliveryTargets() {
    std::vector<std::shared_ptr<IDelivery>> targets;
    for (std::shared_ptr<IDelivery> t : std::initializer_list<std::shared_ptr<IDelivery>>{
             std::make_shared<TFtpDelivery>(), std::make_shared<THttpDelivery>(), std::make_shared<TTcpTextDelivery>(),
             std::make_shared<TUdpTextDelivery>(), std::make_shared<TMqttDelivery>()})
        targets.push_back(WithMaskedFailures(std::move(t)));
    return targets;
}

} // namespace kw
