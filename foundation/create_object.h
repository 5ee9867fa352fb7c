// Guarded creation of platform services: on failure the user is asked Retry/Cancel.
#pragma once

#include <memory>
#include <string>

#include "foundation/platform/service_factory.h"

namespace corvala4 {

/// The new service, or none after Cancel (or in a run without user interface).
std::shared_ptr<Service> CreateObjectEx(const std::string& progId);

}  // namespace corvala4
