// quillan-kernel-definition IN.dat OUT.dat: the definition in IN.dat with the
// Repeat off and Alt-Gr mode bits set on its keys (alternately), so that its
// Prefix table changes when bits 4 and 5 are exchanged for programming
// devices of old firmware.
#include "model/catalogue.h"
#include "model/definition.h"
#include "model/settings_file.h"

#include <cstdio>
#include <string>

using namespace quillan;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillan-kernel-definition IN.dat OUT.dat\n");
        return 2;
    }
    KeyboardDefinition def;
    ControlValues controls;
    initStartupDefinition(def, controls);
    if (!loadSettings(def, controls, argv[1]).ok) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    int marked = 0;
    for (KeyCell& cell : def.cells)
        for (LayerAssignment& layer : cell.layers)
            if (layer.used && layer.keytype != UNUSED_KEY)
                layer.keymode |= marked++ % 2 == 0 ? MODE_REPEAT_OFF : MODE_ALT_GR;
    if (marked == 0 || !saveSettings(def, controls, argv[2], std::string(argv[2]) + ".txt")) {
        std::fprintf(stderr, "cannot write %s with marked keys\n", argv[2]);
        return 1;
    }
    return 0;
}
