// Settings file writer and loader. A load decodes into a copy of the
// definition and commits it only when the file could be read, so a refused
// file leaves the definition and the controls as they were.
#include "model/settings_file.h"

#include "model/byte_codec.h"
#include "model/catalogue.h"
#include "model/file_io.h"
#include "model/settings_records.h"
#include "model/settings_versions.h"
#include "model/string_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace quillan {
namespace {

// More than any version needs (1.0 "Large" reads 41532 bytes) and no valid
// 1.0 size, so a longer file decodes exactly as if read whole.
constexpr size_t kMaxReadSize = 65536;

// The reason part of a failed write's "Could not write PATH: reason".
std::string reasonOf(const Outcome& failed) {
    const std::string& text = failed.message.text;
    const size_t colon = text.rfind(": ");
    return colon == std::string::npos ? text : text.substr(colon + 2);
}

// A file that is not loaded says why, so that a foreign or damaged file is
// not mistaken for a mistyped name.
template <class... Args> Message refusal(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return {text, "Load", MessageIcon::Warning};
}

void fillHeader(KeyboardDefinition& def, const ControlValues& controls) {
    HeaderRecord& header = def.header;
    header.iVersionLow = 0;
    header.iVersionHigh = 4;
    header.StdRepeat = def.StdRepeat;
    header.GlobalRepeatDisable = def.GlobalRepeatDisable;
    header.AnyKeyRelease = def.AnyKeyRelease;
    header.DefRepDelay = controls.DefRepDelay;
    header.DefRepRate = controls.DefRepRate;
    header.DebounceTime = controls.DebounceTime;
    header.Led1 = def.Led[0];
    header.Led2 = def.Led[1];
    header.Led3 = def.Led[2];
    header.Led4 = def.Led[3];
    header.MaxScanRow = controls.MaxScanRow;
    header.PrefixMakeBreak = def.PrefixMakeBreak;
    header.PointDevice = controls.PointDevice;
    header.EnableBits = def.EnableBits;
    header.NumberOfStrings = def.NumberOfStrings;
    setText(header.fileName, controls.fileName);
    setText(header.serialNumber, controls.serialNumber);
    header.BeepLength = def.BeepLength;
}

// Values from a file that later code uses as indices are brought into range
// here: LED functions 0..5, NumberOfStrings 0..127, the list selections of
// the controls, and per layer the key type (0..21, else UNUSED_KEY), the
// catalogue row or string slot (else 0) and the string character count.
// Texts get their terminator. The header record keeps the file's values.
void sanitizeCell(KeyCell& cell) {
    cell.legend[kTextSize - 1] = '\0';
    for (LayerAssignment& layer : cell.layers) {
        if (layer.keytype >= kKeyTypeCount)
            layer.keytype = UNUSED_KEY;
        const int limit = layer.keytype == STRING_KEY ? kStringSlots : kCatalogueRows;
        if (layer.ibmkey < 0 || layer.ibmkey >= limit)
            layer.ibmkey = 0;
        layer.stringcharcount = std::clamp(layer.stringcharcount, 0, kStringCells);
    }
}

// A file whose header counts fewer strings than its keys name: the stored
// strings up to the highest one named are kept (counted), so that no key
// loses its string. Data beyond the count that no key names stays dropped.
// True when the count was raised.
bool keepNamedStrings(KeyboardDefinition& def) {
    int named = 0;
    for (const KeyCell& cell : def.cells)
        for (const LayerAssignment& layer : cell.layers)
            if (layer.keytype == STRING_KEY)
                named = std::max(named, layer.ibmkey + 1);
    const int kept = std::min({named, storedStringCount(def.stringChars), kMaxStrings});
    if (kept <= def.NumberOfStrings)
        return false;
    def.NumberOfStrings = kept;
    return true;
}

void applyHeader(KeyboardDefinition& def, ControlValues& controls, const HeaderRecord& header,
                 const std::string& loadedName) {
    def.header = header;
    def.header.fileName[kTextSize - 1] = '\0';
    def.header.serialNumber[kTextSize - 1] = '\0';
    def.StdRepeat = static_cast<uint8_t>(header.StdRepeat);
    def.GlobalRepeatDisable = static_cast<uint8_t>(header.GlobalRepeatDisable);
    def.AnyKeyRelease = static_cast<uint8_t>(header.AnyKeyRelease);
    def.PrefixMakeBreak = static_cast<uint8_t>(header.PrefixMakeBreak);
    def.EnableBits = static_cast<uint8_t>(header.EnableBits);
    def.BeepLength = static_cast<uint8_t>(header.BeepLength);
    const int32_t leds[4] = {header.Led1, header.Led2, header.Led3, header.Led4};
    for (int led = 0; led < 4; ++led)
        def.Led[led] = std::clamp(leds[led], 0, 5);
    def.NumberOfStrings = std::clamp(header.NumberOfStrings, 0, kMaxStrings);

    controls.DefRepDelay = std::clamp(header.DefRepDelay, 0, 3);
    controls.DefRepRate = std::clamp(header.DefRepRate, 0, 31);
    controls.DebounceTime = header.DebounceTime;
    controls.MaxScanRow = std::clamp(header.MaxScanRow, 1, kRows);
    controls.PointDevice = std::clamp(header.PointDevice, 0, 2);
    controls.fileName = loadedName;
    controls.serialNumber = getText(def.header.serialNumber);
}

// Reads at most kMaxReadSize bytes; false when the file cannot be read.
bool readFile(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes.resize(kMaxReadSize);
    const size_t count = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    bytes.resize(count);
    return !failed;
}

} // namespace

std::string encodeSettings(KeyboardDefinition& def, const ControlValues& controls) {
    fillHeader(def, controls);
    ByteWriter out;
    writeHeader(out, def.header);
    for (const KeyCell& cell : def.cells)
        writeCell(out, cell);
    writeStringTables(out, def);
    return out.take();
}

Outcome saveSettings(KeyboardDefinition& def, const ControlValues& controls,
                     const std::string& path, const std::string& savedTextPath) {
    if (path.empty())
        return Outcome::failure({});
    // After an edit that no build has packed (a refused build, or none at
    // all) the packed tables are brought up to date first: a file never
    // gets stale strings.
    if (const Outcome packed = packStaleStrings(def); !packed)
        return Outcome::failure("Not saved: " + packed.message.text, "Save", MessageIcon::Error);
    return writeSettingsBytes(encodeSettings(def, controls), def, path, savedTextPath);
}

namespace {

// Keeps the refusal in result; false.
bool refuse(LoadResult& result, const Message& message) {
    result.ok = false;
    result.message = message;
    return false;
}

// Reads bytes of any supported version into image and work (whose matrix is
// reset and string tables zeroed first) and converts them to version 4.0.
// A refused file leaves result refused with the message that says why.
bool readAndConvert(const std::string& bytes, const std::string& loadedName, SettingsImage& image,
                    KeyboardDefinition& work, LoadResult& result) {
    if (bytes.size() < 8)
        return refuse(result, refusal("Not a settings file: only %zu bytes !", bytes.size()));
    ByteReader in(bytes);
    image.versionLow = result.versionLow = in.i32();
    image.versionHigh = result.versionHigh = in.i32();
    const size_t expected = settingsFileSize(result.versionHigh, result.versionLow);
    if (bytes.size() < expected) {
        return refuse(result,
                      refusal("Damaged file: %zu bytes, but a version %d.%d file has %zu !",
                              bytes.size(), result.versionHigh, result.versionLow, expected));
    }
    resetMatrix(work);
    work.stringIndex.fill(0);
    work.stringChars.fill(StringCell{});
    if (!readSettingsVersion(bytes, image, work)) {
        if (result.versionHigh == 1 && result.versionLow == 0)
            return refuse(result, refusal("Unknown V0100 file size %zu !", bytes.size()));
        return refuse(
            result, refusal("Unknown file version %d.%d !", result.versionHigh, result.versionLow));
    }
    convertToCurrent(image, work, loadedName);
    return true;
}

} // namespace

Outcome currentVersionImage(const std::string& bytes, const std::string& loadedName,
                            std::string& out) {
    auto image = std::make_unique<SettingsImage>();
    auto work = std::make_unique<KeyboardDefinition>();
    initStartupDefinition(*work, *std::make_unique<ControlValues>());
    LoadResult result;
    if (!readAndConvert(bytes, loadedName, *image, *work, result))
        return result;
    ByteWriter writer;
    writeHeader(writer, image->header);
    for (const KeyCell& cell : work->cells)
        writeCell(writer, cell);
    writeStringTables(writer, *work);
    out = writer.take();
    return Outcome::success();
}

Outcome writeSettingsBytes(const std::string& bytes, const KeyboardDefinition& def,
                           const std::string& path, const std::string& savedTextPath) {
    if (path.empty())
        return Outcome::failure({});
    const Outcome saved = writeFileAtomically(path, bytes);
    // The readable copy is written whether or not the settings file was.
    const Outcome text = writeFileAtomically(savedTextPath, savedText(def));
    Outcome result;
    const auto failed = [&result](std::string why) {
        const Message message{std::move(why), "Save", MessageIcon::Error};
        if (result.ok) {
            result.ok = false;
            result.message = message;
        } else {
            result.notes.push_back(message);
        }
    };
    if (!saved)
        failed("Could not save " + path + ": " + reasonOf(saved));
    if (!text)
        failed(text.message.text);
    if (result.ok)
        result.notes.push_back({"Saved configuration file !", "Save", MessageIcon::None});
    return result;
}

LoadResult decodeSettings(KeyboardDefinition& def, ControlValues& controls,
                          const std::string& bytes, const std::string& loadedName) {
    LoadResult result;
    auto image = std::make_unique<SettingsImage>();
    auto work = std::make_unique<KeyboardDefinition>(def);
    if (!readAndConvert(bytes, loadedName, *image, *work, result))
        return result;

    for (KeyCell& cell : work->cells)
        sanitizeCell(cell);
    ControlValues newControls = controls;
    applyHeader(*work, newControls, image->header, loadedName);
    const int counted = work->NumberOfStrings;
    if (keepNamedStrings(*work))
        result.notes.push_back({"header names " + std::to_string(counted) + " strings, keys use " +
                                    std::to_string(work->NumberOfStrings) + ": all " +
                                    std::to_string(work->NumberOfStrings) + " kept",
                                "Load", MessageIcon::Information});
    unpackStrings(*work);
    def = *work;
    controls = std::move(newControls);
    result.notes.push_back(image->message);
    return result;
}

bool looksLikeJson(const std::string& bytes) {
    const size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const size_t first = bytes.find_first_not_of(" \t\r\n", start);
    return first != std::string::npos && bytes[first] == '{';
}

bool hasSettingsVersion(const std::string& bytes) {
    if (bytes.size() < 8)
        return false;
    ByteReader in(bytes);
    const int32_t low = in.i32();
    const int32_t high = in.i32();
    return (high == 1 && low == 0) || settingsFileSize(high, low) != 0;
}

Outcome recogniseSettingsFile(const std::string& path, const std::string& bytes) {
    const auto refused = [](std::string text) {
        return Outcome::failure(std::move(text), "Load", MessageIcon::Warning);
    };
    if (looksLikeJson(bytes))
        return refused(path + " is a JSON definition: use import");
    if (bytes.size() == static_cast<size_t>(kImageFileSize))
        return refused(path + " is an EEPROM image");
    if (bytes.size() >= 8 && !hasSettingsVersion(bytes))
        return refused(path + " is not a settings file");
    return Outcome::success();
}

LoadResult loadSettings(KeyboardDefinition& def, ControlValues& controls, const std::string& path) {
    LoadResult result;
    std::string bytes;
    if (!readFile(path, bytes)) {
        refuse(result, {"Could not open file !", "Open file", MessageIcon::None});
        return result;
    }
    if (const Outcome kind = recogniseSettingsFile(path, bytes); !kind) {
        refuse(result, kind.message);
        return result;
    }
    const std::string name = std::filesystem::path(path).filename().string();
    return decodeSettings(def, controls, bytes, name);
}

} // namespace quillan
