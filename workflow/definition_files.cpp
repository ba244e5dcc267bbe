#include "workflow/definition_files.h"

#include "eeprom/image_files.h"
#include "model/file_io.h"
#include "model/log.h"
#include "model/settings_file.h"
#include "workflow/session.h"

#include <algorithm>
#include <memory>

namespace quillan {

namespace {

constexpr size_t kMaxInputSize = 16 * 1024 * 1024;

// The start-up state that settings files and images are read into.
struct Scratch {
    KeyboardDefinition def;
    ControlValues controls;
    EepromImage image;
    Log log; // never opened: reading a file leaves no "qnlog.txt"
    Scratch() { initStartupDefinition(def, controls); }
};

// A settings file of any version; the file does not hold a pointing-device
// block, so it has the start-up one.
Outcome fromSettingsFile(const std::string& path, const std::string& bytes,
                         PortableDefinition& out) {
    if (Outcome kind = recogniseSettingsFile(path, bytes); !kind)
        return kind;
    if (Outcome converted = currentVersionImage(bytes, baseName(path), out.settings); !converted)
        return converted;
    out.pointingBlock = std::make_unique<Scratch>()->def.pointingBlock;
    return Outcome::success();
}

} // namespace

PortableDefinition readableImage(const EepromImage& image) {
    auto scratch = std::make_unique<Scratch>();
    scratch->image = image;
    replaceFromImage(scratch->def, scratch->controls, scratch->image, scratch->log);
    return {encodeSettings(scratch->def, scratch->controls), scratch->def.pointingBlock};
}

Outcome readDefinitionFile(const std::string& path, DefinitionFile& out) {
    std::string bytes;
    if (!readWholeFile(path, bytes, kMaxInputSize))
        return Outcome::failure(path + ": cannot be read");
    if (looksLikeJson(bytes)) {
        if (const Outcome read = importDefinitionJson(bytes, out.definition); !read)
            return Outcome::failure(path + ": " + read.message.text);
        return Outcome::success();
    }
    if (bytes.size() == static_cast<size_t>(kImageSize)) {
        out.isImage = true;
        std::copy(bytes.begin(), bytes.end(), out.image.bytes.begin());
        out.definition = readableImage(out.image);
        return Outcome::success();
    }
    return fromSettingsFile(path, bytes, out.definition);
}

Outcome buildDefinitionFile(const std::string& path, DefinitionFile& file) {
    auto scratch = std::make_unique<Scratch>();
    decodeSettings(scratch->def, scratch->controls, file.definition.settings, baseName(path));
    scratch->def.pointingBlock = file.definition.pointingBlock;
    const BuildResult built =
        buildImage(scratch->def, scratch->controls, scratch->image, scratch->log, false);
    if (!built)
        return Outcome::failure(path + ": " + built.message.text);
    file.image = scratch->image;
    return Outcome::success();
}

Outcome exportDefinitionFile(const std::string& from, const std::string& to) {
    auto file = std::make_unique<DefinitionFile>();
    if (Outcome read = readDefinitionFile(from, *file); !read)
        return read;
    return saveDefinitionJson(file->definition, to);
}

} // namespace quillan
