// The HID backend of the browser build: navigator.hid through the page's
// transport (Module.quillanHid, web/ts/hid_transport.ts). Every call waits
// for the browser's promise with Asyncify, so discovery and the report
// protocol of the link run unchanged. Entries are listed one per top-level
// collection of each granted device, as the desktop lists hidraw interfaces.
#pragma once

#include "hidlink/backend.h"
#include "hidlink/link.h"

#include <memory>

namespace quillan::web {

std::unique_ptr<HidBackend> makeWebHidBackend();

// Waits between reports, timed to the microsecond within the running task
// (the transport's report calls give the event loop back).
GapClock& browserClock();

} // namespace quillan::web
