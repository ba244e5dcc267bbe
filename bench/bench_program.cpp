// Programs the simulated keyboard with the real gap clock and reports how
// close the download comes to its floor of 5120 gaps of 2000 us, and how
// much processor time it takes for that; then the same for a download with
// its verifying read-back, over the same floor.
#include "hidlink/link.h"
#include "hidlink/sim_backend.h"
#include "workflow/program.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace

int main() {
    using namespace quillan;
    std::unique_ptr<SimBackend> backend = makeSimulatedBackend("keyboard-100B");
    uint32_t version = 0;
    LinkContext ctx{*backend, version, {}, &realClock()};
    EepromImage image;
    for (size_t n = 0; n < image.bytes.size(); ++n)
        image.bytes[n] = static_cast<uint8_t>(n * 13);

    const double cpuStart = processSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    const bool ok = ProgramKeyboard(ctx, image).ok;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = processSeconds() - cpuStart;

    const double floor = 5120 * 2000e-6;
    std::printf("programmed: %s, wall %.3f s, cpu %.3f s\n", ok ? "yes" : "NO", wall, cpu);

    Session session;
    session.backend = std::shared_ptr<HidBackend>(makeSimulatedBackend("keyboard-100B"));
    session.clock = &realClock();
    session.image = image;
    const auto verifyStart = std::chrono::steady_clock::now();
    const ProgramReport report = programAndVerify(session, ProgramOptions{});
    const double verifyWall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - verifyStart).count();
    std::printf("programmed and verified: %s, wall %.3f s\n", report.passed() ? "yes" : "NO",
                verifyWall);
    std::printf("program-keyboard wall/floor %.4f cpu/wall %.4f program+verify wall/floor %.4f\n",
                wall / floor, cpu / wall, verifyWall / floor);
    return ok && report.passed() ? 0 : 1;
}
