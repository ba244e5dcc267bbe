// The HID backend on hidapi (hidraw). Each hidraw interface is listed once
// per top-level collection of its report descriptor, with the path
// "/dev/hidrawN#C" (C the collection), whose capabilities are worked out
// from the descriptor. Keyboard and programming-device interfaces are listed
// first, each device's interfaces in interface order, so that member indices
// within the keyboard do not depend on the other HID devices present.
#pragma once

#include "hidlink/backend.h"

#include <memory>

namespace quillan {

std::unique_ptr<HidBackend> makeHidapiBackend();

} // namespace quillan
