// Times what the main window does after a settings file was chosen: decode
// the file, unpack its strings and build the image without files, for a
// definition with every cell and every layer in use.
//
// Prints the time per load+build in microseconds as its last line:
// "load+build us R".
#include "eeprom/image.h"
#include "model/catalogue.h"
#include "model/definition.h"
#include "model/log.h"
#include "model/settings_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quillan;

constexpr int kStrings = 6;

// 512 used layers over 250 distinct keys and a few string keys.
void fillDefinition(KeyboardDefinition& def, ControlValues& controls) {
    initStartupDefinition(def, controls);
    for (int index = 0; index < kCells; ++index) {
        KeyCell& cell = def.cells[index];
        setText(cell.legend, "Key " + std::to_string(index));
        for (int l = 0; l < kLayers; ++l) {
            LayerAssignment& layer = cell.layers[l];
            const int k = (index * kLayers + l) % 250;
            layer.used = 1;
            if (k < kStrings) {
                layer.ibmkey = k;
                layer.keytype = STRING_KEY;
                continue;
            }
            const IbmKeyRow& row = *catalogueRow(1 + k % 129);
            layer.ibmkey = row.ibmKey;
            layer.keymode = static_cast<uint8_t>(k / 129 ? MODE_SHIFT : 0);
            layer.keytype = row.keyType;
            layer.scan2code = row.scan2;
            layer.scan3code = row.scan3;
            layer.usbcode = row.usb;
        }
    }
    for (int s = 0; s < kStrings; ++s) {
        for (int c = 0; c < 20; ++c)
            def.stringSlots[s][c] = StringCell{0x02, static_cast<uint8_t>(4 + c), 0x1C, 0};
        def.stringSlots[s][20] = StringCell{};
    }
    def.NumberOfStrings = kStrings;
    def.Led = {3, 4, 5, 1};
    controls.serialNumber = "BENCH-0001";
}

} // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    auto source = std::make_unique<KeyboardDefinition>();
    auto def = std::make_unique<KeyboardDefinition>();
    auto image = std::make_unique<EepromImage>();
    ControlValues sourceControls;
    ControlValues controls;
    Log log; // closed, as when no log could be opened

    fillDefinition(*source, sourceControls);
    const BuildResult first = buildImage(*source, sourceControls, *image, log, false);
    if (!first.ok) {
        std::fprintf(stderr, "%s\n", first.message.text.c_str());
        return 1;
    }
    const std::string file = encodeSettings(*source, sourceControls);
    std::printf("settings file %zu bytes, %d key slots\n", file.size(), first.keyCount);

    // Median time per iteration of `step` over five rounds, in microseconds.
    const auto time = [iterations](auto&& step) {
        std::vector<double> rounds;
        for (int round = 0; round < 5; ++round) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < iterations; ++i)
                step();
            const std::chrono::duration<double, std::micro> took =
                std::chrono::steady_clock::now() - start;
            rounds.push_back(took.count() / iterations);
        }
        std::sort(rounds.begin(), rounds.end());
        return rounds[rounds.size() / 2];
    };
    bool loaded = true;
    const double buildOnly = time([&] { buildImage(*source, sourceControls, *image, log, false); });
    const double loadAndBuild = time([&] {
        loaded = decodeSettings(*def, controls, file, "bench.dat").ok && loaded;
        buildImage(*def, controls, *image, log, false);
    });
    if (!loaded) {
        std::fprintf(stderr, "load failed\n");
        return 1;
    }
    std::printf("build us %.2f\n", buildOnly);
    std::printf("load+build us %.2f\n", loadAndBuild);
    return 0;
}
