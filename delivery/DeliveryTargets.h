// Every delivery target of the program, in the order a render tries them.
#pragma once
#include "delivery/Delivery.h"
#include <memory>
#include <vector>

namespace kw {

// Every target of the program, each behind the masking of failure texts below.
std::vector<std::shared_ptr<IDelivery>> MakeDeliveryTargets();

// `target` with its failure texts passed through the one masking step (delivery/SecretMask.h).
std::shared_ptr<IDelivery> WithMaskedFailures(std::shared_ptr<IDelivery> target);

} // namespace kw
