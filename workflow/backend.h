// The HID bus a run works on, chosen once for the application and
// quillan-cli: a simulated device of the named kind, or the real bus.
#pragma once

#include "hidlink/link.h"

#include <memory>
#include <string>

namespace quillan {

// The simulated kind when one is named, else hidapi. An unknown kind gives
// nullptr.
std::unique_ptr<HidBackend> makeBackend(const std::string& simulateKind);

} // namespace quillan
