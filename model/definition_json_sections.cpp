// The settings and key sections of the JSON form, both ways. Export writes
// the nearest readable value; what it cannot say the raw section carries.
#include "model/catalogue.h"
#include "model/definition_json_fields.h"

#include <algorithm>

namespace quillan::json_form {
namespace {

int inRange(int value, int low, int high, int fallback) {
    return value >= low && value <= high ? value : fallback;
}

Json modeWords(uint8_t keymode) {
    Json words = Json::array();
    for (size_t bit = 0; bit < kModeWords.size(); ++bit)
        if (keymode & (1 << bit))
            words.push_back(kModeWords[bit]);
    return words;
}

int keyTypeByName(const Json& value, const std::string& path) {
    const std::string& name = stringValue(value, path);
    for (int code = 0; code < kKeyTypeCount; ++code)
        if (name == keyTypeName(code))
            return code;
    refuse(path, "unknown key type \"" + name + "\"");
}

int catalogueRowByName(const Json& value, const std::string& path) {
    const std::string& name = stringValue(value, path);
    const int row = findRowByName(name.c_str());
    if (row < 0 || name != catalogueName(row))
        refuse(path, "unknown key name \"" + name + "\"");
    if (row == kStringCatalogueRow)
        refuse(path, "a string layer names its string: \"string\": number");
    return row;
}

uint8_t codeOr(const Fields& fields, const char* name, uint8_t fallback) {
    const Json* value = fields.find(name);
    return value ? static_cast<uint8_t>(integerValue(*value, fields.pathOf(name), 0, 255))
                 : fallback;
}

bool flagOr(const Fields& fields, const char* name, bool fallback) {
    const Json* value = fields.find(name);
    return value ? flagValue(*value, fields.pathOf(name)) : fallback;
}

} // namespace

Json settingsToJson(const HeaderRecord& h, const PortableDefinition& definition) {
    Json s = Json::object();
    s["standard repeat"] = h.StdRepeat != 0;
    s["global repeat disable"] = h.GlobalRepeatDisable != 0;
    s["any key release disables repeat"] = h.AnyKeyRelease != 0;
    s["repeat delay"] = kRepeatDelays[inRange(h.DefRepDelay, 0, 3, 1)];
    s["repeat rate"] = kRepeatRates[inRange(h.DefRepRate, 0, 31, 7)];
    s["debounce"] = inRange(h.DebounceTime, 0, 255, 30);
    Json leds = Json::array();
    for (int32_t led : {h.Led1, h.Led2, h.Led3, h.Led4})
        leds.push_back(kLedFunctionNames[inRange(led, 0, 5, 0)]);
    s["leds"] = leds;
    s["max scan rows"] = inRange(h.MaxScanRow, 1, kRows, 14);
    s["prefix make/break"] = h.PrefixMakeBreak != 0;
    s["pointing device"] = kPointDevices[inRange(h.PointDevice, 0, 2, 0)];
    s["pointing block"] = definition.pointingBlock;
    Json enable = Json::array();
    for (size_t bit = 0; bit < kEnableWords.size(); ++bit)
        if (h.EnableBits & (1 << bit))
            enable.push_back(kEnableWords[bit]);
    s["enable"] = enable;
    s["beep length"] = inRange(h.BeepLength, 0, 255, 0);
    s["file name"] = textOfField(h.fileName);
    s["serial number"] = textOfField(h.serialNumber);
    return s;
}

void settingsFromJson(const Json& value, FileRecords& records, PortableDefinition& definition) {
    const Fields f(value, "settings",
                   {"standard repeat", "global repeat disable", "any key release disables repeat",
                    "repeat delay", "repeat rate", "debounce", "leds", "max scan rows",
                    "prefix make/break", "pointing device", "pointing block", "enable",
                    "beep length", "file name", "serial number"});
    HeaderRecord& h = records.header;
    h.StdRepeat = flagOr(f, "standard repeat", h.StdRepeat);
    h.GlobalRepeatDisable = flagOr(f, "global repeat disable", h.GlobalRepeatDisable);
    h.AnyKeyRelease = flagOr(f, "any key release disables repeat", h.AnyKeyRelease);
    h.PrefixMakeBreak = flagOr(f, "prefix make/break", h.PrefixMakeBreak);
    if (const Json* v = f.find("repeat delay"))
        h.DefRepDelay = choiceValue(*v, f.pathOf("repeat delay"), kRepeatDelays);
    if (const Json* v = f.find("repeat rate"))
        h.DefRepRate = choiceValue(*v, f.pathOf("repeat rate"), kRepeatRates);
    if (const Json* v = f.find("debounce"))
        h.DebounceTime = integerValue(*v, f.pathOf("debounce"), 0, 255);
    if (const Json* v = f.find("leds")) {
        const Json& leds = arrayValue(*v, f.pathOf("leds"));
        if (leds.size() != 4)
            refuse(f.pathOf("leds"), "expected 4 LEDs");
        int32_t* fields[4] = {&h.Led1, &h.Led2, &h.Led3, &h.Led4};
        for (int led = 0; led < 4; ++led)
            *fields[led] = choiceValue(
                leds[led], f.pathOf("leds") + "[" + std::to_string(led) + "]", kLedFunctionNames);
    }
    if (const Json* v = f.find("max scan rows"))
        h.MaxScanRow = integerValue(*v, f.pathOf("max scan rows"), 1, kRows);
    if (const Json* v = f.find("pointing device"))
        h.PointDevice = choiceValue(*v, f.pathOf("pointing device"), kPointDevices);
    if (const Json* v = f.find("pointing block")) {
        const std::string path = f.pathOf("pointing block");
        const Json& block = arrayValue(*v, path);
        if (block.size() != kPointingBlockSize)
            refuse(path, "expected " + std::to_string(kPointingBlockSize) + " numbers");
        for (int i = 0; i < kPointingBlockSize; ++i)
            definition.pointingBlock[i] = static_cast<uint8_t>(
                integerValue(block[i], path + "[" + std::to_string(i) + "]", 0, 255));
    }
    if (const Json* v = f.find("enable"))
        h.EnableBits = wordBits(*v, f.pathOf("enable"), {kEnableWords[0], kEnableWords[1]}, {1, 2});
    if (const Json* v = f.find("beep length"))
        h.BeepLength = integerValue(*v, f.pathOf("beep length"), 0, 255);
    if (const Json* v = f.find("file name"))
        setFieldText(h.fileName, kTextSize, *v, f.pathOf("file name"));
    if (const Json* v = f.find("serial number"))
        setFieldText(h.serialNumber, kTextSize, *v, f.pathOf("serial number"));
}

Json layerToJson(const LayerAssignment& named, int strings) {
    LayerAssignment layer = named;
    if (layer.keytype == STRING_KEY && (layer.ibmkey < 0 || layer.ibmkey >= strings)) {
        layer.keytype = catalogueRow(0)->keyType;
        layer.ibmkey = 0;
    }
    Json l = Json::object();
    l["used"] = layer.used != 0;
    const bool isString = layer.keytype == STRING_KEY;
    int row = kStringCatalogueRow;
    if (isString) {
        l["string"] = inRange(layer.ibmkey, 0, kStringSlots - 1, 0);
    } else {
        row = inRange(layer.ibmkey, 0, kCatalogueRows - 1, 0);
        if (row == kStringCatalogueRow)
            row = 0;
        l["key"] = catalogueName(row);
    }
    l["modes"] = modeWords(layer.keymode);
    const IbmKeyRow& ref = *catalogueRow(row);
    const int type = inRange(layer.keytype, 0, kKeyTypeCount - 1, UNUSED_KEY);
    if (!isString && type != ref.keyType)
        l["type"] = keyTypeName(type);
    if (layer.scan2code != ref.scan2)
        l["scan set 2"] = layer.scan2code;
    if (layer.scan3code != ref.scan3)
        l["scan set 3"] = layer.scan3code;
    if (layer.usbcode != ref.usb)
        l["usb"] = layer.usbcode;
    if (layer.stringcharcount != 0)
        l["string length"] = inRange(layer.stringcharcount, 0, kStringCells, 0);
    return l;
}

LayerAssignment layerFromJson(const Json& value, const std::string& path) {
    const Fields f(value, path,
                   {"used", "key", "string", "modes", "type", "scan set 2", "scan set 3", "usb",
                    "string length"});
    LayerAssignment layer = resetLayer();
    layer.used = flagOr(f, "used", true);
    const Json* key = f.find("key");
    const Json* string = f.find("string");
    if ((key == nullptr) == (string == nullptr))
        refuse(path, "give either \"key\" or \"string\"");
    int row = kStringCatalogueRow;
    if (string) {
        if (f.find("type"))
            refuse(f.pathOf("type"), "a string layer has no type");
        layer.ibmkey = integerValue(*string, f.pathOf("string"), 0, kStringSlots - 1);
        layer.keytype = STRING_KEY;
    } else {
        row = catalogueRowByName(*key, f.pathOf("key"));
        layer.ibmkey = row;
        layer.keytype = catalogueRow(row)->keyType;
    }
    if (const Json* type = f.find("type")) {
        layer.keytype = static_cast<uint8_t>(keyTypeByName(*type, f.pathOf("type")));
        if (layer.keytype == STRING_KEY)
            refuse(f.pathOf("type"), "a string layer names its string: \"string\": number");
    }
    const IbmKeyRow& ref = *catalogueRow(row);
    layer.scan2code = codeOr(f, "scan set 2", ref.scan2);
    layer.scan3code = codeOr(f, "scan set 3", ref.scan3);
    layer.usbcode = codeOr(f, "usb", ref.usb);
    if (const Json* modes = f.find("modes"))
        layer.keymode = static_cast<uint8_t>(wordBits(*modes, f.pathOf("modes"),
                                                      {kModeWords.begin(), kModeWords.end()},
                                                      {1, 2, 4, 8, 16, 32}));
    if (const Json* length = f.find("string length"))
        layer.stringcharcount = integerValue(*length, f.pathOf("string length"), 0, kStringCells);
    return layer;
}

Json cellToJson(const KeyCell& cell, int index, int strings) {
    Json c = Json::object();
    c["row"] = index / kColumns;
    c["column"] = index % kColumns;
    c["legend"] = textOfField(cell.legend);
    c["used"] = cell.used != 0;
    c["enabled"] = cell.enabled != 0;
    c["complete"] = cell.complete != 0;
    if (cell.logicalAddress != 0)
        c["logical address"] = cell.logicalAddress;
    Json layers = Json::object();
    for (int l = 0; l < kLayers; ++l) {
        Json layer = layerToJson(cell.layers[l], strings);
        if (!(layerFromJson(layer, "") == resetLayer()))
            layers[kLayerKeys[l]] = std::move(layer);
    }
    c["layers"] = std::move(layers);
    return c;
}

int cellFromJson(const Json& value, const std::string& path, std::array<KeyCell, kCells>& cells) {
    const Fields f(
        value, path,
        {"row", "column", "legend", "used", "enabled", "complete", "logical address", "layers"});
    const int row = integerValue(f.require("row"), f.pathOf("row"), 0, kRows - 1);
    const int column = integerValue(f.require("column"), f.pathOf("column"), 0, kColumns - 1);
    const int index = row * kColumns + column;
    KeyCell& cell = cells[index];
    if (const Json* legend = f.find("legend"))
        setFieldText(cell.legend, kTextSize, *legend, f.pathOf("legend"));
    cell.used = flagOr(f, "used", cell.used);
    cell.enabled = flagOr(f, "enabled", cell.enabled);
    cell.complete = flagOr(f, "complete", cell.complete);
    if (const Json* address = f.find("logical address"))
        cell.logicalAddress =
            static_cast<uint8_t>(integerValue(*address, f.pathOf("logical address"), 0, 255));
    if (const Json* layers = f.find("layers")) {
        const Fields lf(*layers, f.pathOf("layers"),
                        {kLayerKeys[0], kLayerKeys[1], kLayerKeys[2], kLayerKeys[3]});
        for (int l = 0; l < kLayers; ++l)
            if (const Json* layer = lf.find(kLayerKeys[l]))
                cell.layers[l] = layerFromJson(*layer, lf.pathOf(kLayerKeys[l]));
    }
    return index;
}

} // namespace quillan::json_form
