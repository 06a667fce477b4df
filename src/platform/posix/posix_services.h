// The Linux implementations of the platform services.
#pragma once

#include "platform/services.h"

namespace vzrm::platform::posix {

Services DefaultServices();

}  // namespace vzrm::platform::posix
