// Shared set-up for the image tests: a start-up definition on the heap and
// helpers that assign catalogue keys and strings to layers.
#pragma once

#include "eeprom/image.h"
#include "model/catalogue.h"
#include "model/definition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace quillan::test {

class ImageTest : public ::testing::Test {
  protected:
    void SetUp() override { initStartupDefinition(def, controls); }

    LayerAssignment& layer(int row, int column, int l) { return def.cell(row, column).layers[l]; }

    // Assigns catalogue row `ibm` with its codes, as the key picker does.
    LayerAssignment& setKey(int row, int column, int l, int ibm, uint8_t mode = 0) {
        LayerAssignment& a = layer(row, column, l);
        const IbmKeyRow& entry = *catalogueRow(ibm);
        a.used = 1;
        a.ibmkey = ibm;
        a.keymode = mode;
        a.keytype = entry.keyType;
        a.scan2code = entry.scan2;
        a.scan3code = entry.scan3;
        a.usbcode = entry.usb;
        return a;
    }

    LayerAssignment& setStringKey(int row, int column, int l, int number) {
        LayerAssignment& a = layer(row, column, l);
        a = LayerAssignment{};
        a.used = 1;
        a.ibmkey = number;
        a.keytype = STRING_KEY;
        return a;
    }

    // Fills slot `slot` with `length` cells whose USB code counts from `first`.
    void setString(int slot, int length, uint8_t first) {
        for (int k = 0; k < length; ++k)
            def.stringSlots[slot][k] = StringCell{0x02, uint8_t(first + k), 0x1C, 0};
        def.stringSlots[slot][length] = StringCell{};
    }

    BuildResult build(bool writeFiles = false) {
        return buildImage(def, controls, image, log, writeFiles);
    }

    uint8_t at(int address) const { return image.bytes[address]; }
    bool allEqual(int begin, int end, uint8_t value) const {
        return std::all_of(image.bytes.begin() + begin, image.bytes.begin() + end,
                           [value](uint8_t v) { return v == value; });
    }

    std::unique_ptr<KeyboardDefinition> owned = std::make_unique<KeyboardDefinition>();
    KeyboardDefinition& def = *owned;
    ControlValues controls;
    EepromImage image;
    Log log;
};

} // namespace quillan::test
