// export, import and diff: the readable JSON form of definitions.
#include "cli/commands.h"
#include "eeprom/image.h"
#include "eeprom/image_files.h"
#include "model/definition_json.h"
#include "model/settings_file.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace quillan::cli {

namespace {

constexpr size_t kMaxInputSize = 16 * 1024 * 1024;

bool readWhole(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes.assign(kMaxInputSize + 1, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed && bytes.size() <= kMaxInputSize;
}

bool isJsonText(const std::string& bytes) {
    const size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string::npos && bytes[first] == '{';
}

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
    const std::string name = std::filesystem::path(path).filename().string();
    if (!currentVersionImage(bytes, name, out.settings, stderrSink()))
        return false;
    out.pointingBlock = std::make_unique<Scratch>()->def.pointingBlock;
    return true;
}

// Reads a settings file, a JSON definition or an 8192-byte image.
bool readDefinition(const std::string& path, PortableDefinition& out) {
    std::string bytes;
    if (!readWhole(path, bytes)) {
        std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
        return false;
    }
    if (isJsonText(bytes)) {
        const Outcome read = importDefinitionJson(bytes, out);
        if (!read)
            std::fprintf(stderr, "%s: %s\n", path.c_str(), read.message.text.c_str());
        return read.ok;
    }
    if (bytes.size() == static_cast<size_t>(kImageSize)) {
        fromImage(bytes, out);
        return true;
    }
    return fromSettingsFile(path, bytes, out);
}

} // namespace

int runExport(const std::string& from, const std::string& to) {
    PortableDefinition definition;
    if (!readDefinition(from, definition))
        return kExitFailed;
    if (!saveDefinitionJson(definition, to)) {
        std::fprintf(stderr, "%s: cannot be written\n", to.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

// Writes the file image the document gives, byte for byte, as Save writes
// (with "Saved.txt"); the file name inside is the document's.
int runImport(const std::string& from, const std::string& to) {
    PortableDefinition definition;
    if (const Outcome read = loadDefinitionJson(from, definition); !read) {
        std::fprintf(stderr, "%s: %s\n", from.c_str(), read.message.text.c_str());
        return kExitFailed;
    }
    auto scratch = std::make_unique<Scratch>();
    decodeSettings(scratch->def, scratch->controls, definition.settings, "", {});
    return writeSettingsBytes(definition.settings, scratch->def, to, stderrSink()) ? kExitOk
                                                                                   : kExitFailed;
}

int runDiff(const std::string& a, const std::string& b) {
    PortableDefinition first;
    PortableDefinition second;
    if (!readDefinition(a, first) || !readDefinition(b, second))
        return kExitUsage;
    const std::vector<std::string> lines = diffDefinitions(first, second);
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    return lines.empty() ? kExitOk : kExitFailed;
}

} // namespace quillan::cli
