// Every delivery target of the program, in the order a render tries them.
#pragma once
#include "delivery/Delivery.h"
#include <memory>
#include <vector>

namespace kw {

std::vector<std::shared_ptr<IDelivery>> MakeDeliveryTargets();

} // namespace kw
