#include "workflow/backend.h"

#include "hidlink/hidapi_backend.h"
#include "hidlink/sim_backend.h"

namespace quillan {

std::unique_ptr<HidBackend> makeBackend(const std::string& simulateKind) {
    if (!simulateKind.empty())
        return makeSimulatedBackend(simulateKind);
    return makeHidapiBackend();
}

} // namespace quillan
