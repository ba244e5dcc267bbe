#include "hidlink/hidapi_backend.h"
#include "hidlink/link.h"

#include <gtest/gtest.h>

namespace quillan {
namespace {

// Whatever HID devices this machine has: every entry names a collection
// that can be asked about, and paths that name none are refused.
TEST(HidapiBackend, EntriesCanBeQueriedAndUnknownPathsAreRefused) {
    std::unique_ptr<HidBackend> backend = makeHidapiBackend();
    ASSERT_NE(backend, nullptr);
    for (const HidInterfaceEntry& entry : backend->enumerate()) {
        EXPECT_NE(entry.path.find('#'), std::string::npos) << entry.path;
        std::unique_ptr<HidDevice> device = backend->openQuery(entry.path);
        ASSERT_NE(device, nullptr) << entry.path;
        uint16_t vendorId = 0, productId = 0, release = 0;
        ASSERT_TRUE(device->getAttributes(vendorId, productId, release));
        EXPECT_EQ(vendorId, entry.vendorId);
    }
    EXPECT_EQ(backend->open("/dev/quillan-no-such-device#0"), nullptr);
    EXPECT_NE(backend->lastErrorCode(), 0);
    EXPECT_EQ(backend->openQuery("/dev/quillan-no-such-device#0"), nullptr);
}

} // namespace
} // namespace quillan
