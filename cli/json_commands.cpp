// export, import and diff: the readable JSON form of definitions.
#include "cli/commands.h"
#include "eeprom/image.h"
#include "eeprom/image_files.h"
#include "model/definition_json.h"
#include "model/file_io.h"
#include "model/settings_file.h"
#include "workflow/session.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace quillan::cli {

namespace {

constexpr size_t kMaxInputSize = 16 * 1024 * 1024;

// The start-up state that settings files and images are read into.
struct Scratch {
    KeyboardDefinition def;
    ControlValues controls;
    EepromImage image;
    Log log; // never opened: reading for a diff leaves no "qnlog.txt"
    Scratch() { initStartupDefinition(def, controls); }
};

// An image as a read-back gives it: refilled into a definition, then encoded
// as Save would.
void fromImage(const std::string& bytes, PortableDefinition& out) {
    auto scratch = std::make_unique<Scratch>();
    std::copy(bytes.begin(), bytes.end(), scratch->image.bytes.begin());
    replaceFromImage(scratch->def, scratch->controls, scratch->image, scratch->log);
    out.settings = encodeSettings(scratch->def, scratch->controls);
    out.pointingBlock = scratch->def.pointingBlock;
}

// A settings file of any version; the file does not hold a pointing-device
// block, so it has the start-up one.
bool fromSettingsFile(const std::string& path, const std::string& bytes, PortableDefinition& out) {
    if (const Outcome kind = recogniseSettingsFile(path, bytes); !kind) {
        stderrSink()(kind.message);
        return false;
    }
    const std::string name = std::filesystem::path(path).filename().string();
    if (!currentVersionImage(bytes, name, out.settings, stderrSink()))
        return false;
    out.pointingBlock = std::make_unique<Scratch>()->def.pointingBlock;
    return true;
}

// A definition as diff compares it: its readable form, and its image (the
// image file itself, or what a build of the definition gives).
struct Side {
    PortableDefinition definition;
    bool isImage = false;
    EepromImage image;
};

// Reads a settings file, a JSON definition or an 8192-byte image.
bool readDefinition(const std::string& path, PortableDefinition& out, Side* side = nullptr) {
    std::string bytes;
    if (!readWholeFile(path, bytes, kMaxInputSize)) {
        std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
        return false;
    }
    if (looksLikeJson(bytes)) {
        const Outcome read = importDefinitionJson(bytes, out);
        if (!read)
            std::fprintf(stderr, "%s: %s\n", path.c_str(), read.message.text.c_str());
        return read.ok;
    }
    if (bytes.size() == static_cast<size_t>(kImageSize)) {
        fromImage(bytes, out);
        if (side) {
            side->isImage = true;
            std::copy(bytes.begin(), bytes.end(), side->image.bytes.begin());
        }
        return true;
    }
    return fromSettingsFile(path, bytes, out);
}

// The image a build of the definition gives, as "Generate EEPROM File" would.
bool buildSide(const std::string& path, Side& side) {
    auto scratch = std::make_unique<Scratch>();
    decodeSettings(scratch->def, scratch->controls, side.definition.settings,
                   std::filesystem::path(path).filename().string(), {});
    scratch->def.pointingBlock = side.definition.pointingBlock;
    const BuildResult built =
        buildImage(scratch->def, scratch->controls, scratch->image, scratch->log, false);
    if (!built) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), built.message.text.c_str());
        return false;
    }
    side.image = scratch->image;
    return true;
}

std::string hexBytes(const EepromImage& image, int from, int to) {
    std::string text;
    char byte[4];
    for (int i = from; i < to; ++i) {
        std::snprintf(byte, sizeof byte, "%s%02X", i > from ? " " : "", image.bytes[i]);
        text += byte;
    }
    return text;
}

// The runs of differing bytes in 0000..13FF (tables, descriptor area) that
// the readable form cannot tell apart: a run is listed when putting b's
// bytes into a leaves a's readable form as it was.
std::vector<std::string> imageDifferences(const EepromImage& a, const EepromImage& b) {
    constexpr int kCompared = kTransferBytes; // what a keyboard holds
    std::vector<std::string> lines;
    PortableDefinition readableA;
    fromImage(std::string(a.bytes.begin(), a.bytes.end()), readableA);
    for (int i = 0; i < kCompared; ++i) {
        if (a.bytes[i] == b.bytes[i])
            continue;
        int end = i + 1;
        while (end < kCompared && a.bytes[end] != b.bytes[end])
            ++end;
        std::string patched(a.bytes.begin(), a.bytes.end());
        std::copy(b.bytes.begin() + i, b.bytes.begin() + end, patched.begin() + i);
        PortableDefinition readablePatched;
        fromImage(patched, readablePatched);
        if (readablePatched == readableA) {
            char where[16];
            std::snprintf(where, sizeof where, end - i > 1 ? "%04X-%04X" : "%04X", i, end - 1);
            lines.push_back(std::string("image ") + where + ": " + hexBytes(a, i, end) +
                            " \xE2\x86\x92 " + hexBytes(b, i, end));
        }
        i = end - 1;
    }
    return lines;
}

} // namespace

int runExport(const std::string& from, const std::string& to) {
    PortableDefinition definition;
    if (!readDefinition(from, definition))
        return kExitFailed;
    if (const Outcome written = saveDefinitionJson(definition, to); !written) {
        std::fprintf(stderr, "%s\n", written.message.text.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

// Writes the file image the document gives, byte for byte, as Save writes
// (with "Saved.txt"); the file name inside is the document's.
int runImport(const std::string& from, const std::string& to) {
    // A session of its own that opens no trace log, as the other file
    // conversions leave no "qnlog.txt".
    auto session = std::make_unique<quillan::Session>();
    startSession(*session);
    PortableDefinition definition;
    if (const Outcome read = importJson(*session, from, &definition); !read) {
        std::fprintf(stderr, "%s: %s\n", from.c_str(), read.message.text.c_str());
        return kExitFailed;
    }
    return writeSettingsBytes(definition.settings, session->def, to, stderrSink()) ? kExitOk
                                                                                   : kExitFailed;
}

// With an image on either side, every byte of 0000..13FF is compared: what
// the readable lines cannot say is listed as "image ADDR: OLD → NEW".
int runDiff(const std::string& a, const std::string& b) {
    auto first = std::make_unique<Side>();
    auto second = std::make_unique<Side>();
    if (!readDefinition(a, first->definition, first.get()) ||
        !readDefinition(b, second->definition, second.get()))
        return kExitUsage;
    std::vector<std::string> lines = diffDefinitions(first->definition, second->definition);
    if (first->isImage || second->isImage) {
        if ((!first->isImage && !buildSide(a, *first)) ||
            (!second->isImage && !buildSide(b, *second)))
            return kExitUsage;
        for (std::string& line : imageDifferences(first->image, second->image))
            lines.push_back(std::move(line));
    }
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    return lines.empty() ? kExitOk : kExitFailed;
}

} // namespace quillan::cli
