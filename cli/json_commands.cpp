// export, import and diff: the readable JSON form of definitions.
#include "cli/commands.h"
#include "workflow/definition_files.h"
#include "workflow/session.h"

#include <cstdio>
#include <memory>

namespace quillan::cli {

namespace {

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
    const PortableDefinition readableA = readableImage(a);
    for (int i = 0; i < kCompared; ++i) {
        if (a.bytes[i] == b.bytes[i])
            continue;
        int end = i + 1;
        while (end < kCompared && a.bytes[end] != b.bytes[end])
            ++end;
        auto patched = std::make_unique<EepromImage>(a);
        std::copy(b.bytes.begin() + i, b.bytes.begin() + end, patched->bytes.begin() + i);
        if (readableImage(*patched) == readableA) {
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
    const Outcome exported = exportDefinitionFile(from, to);
    showOutcome(stderrSink(), exported);
    return exported ? kExitOk : kExitFailed;
}

// Writes the file image the document gives, byte for byte, as Save writes
// (with "Saved.txt"); the file name inside is the document's.
int runImport(const std::string& from, const std::string& to) {
    // A session of its own that opens no trace log, as the other file
    // conversions leave no "qnlog.txt".
    auto session = std::make_unique<quillan::Session>();
    startSession(*session);
    session->messages = stderrSink();
    PortableDefinition definition;
    if (const Outcome read = importJson(*session, from, &definition); !read) {
        std::fprintf(stderr, "%s: %s\n", from.c_str(), read.message.text.c_str());
        return kExitFailed;
    }
    return saveSettingsImage(*session, definition.settings, to) ? kExitOk : kExitFailed;
}

// With an image on either side, every byte of 0000..13FF is compared: what
// the readable lines cannot say is listed as "image ADDR: OLD → NEW".
int runDiff(const std::string& a, const std::string& b) {
    auto first = std::make_unique<DefinitionFile>();
    auto second = std::make_unique<DefinitionFile>();
    const std::pair<const std::string*, DefinitionFile*> sides[] = {{&a, first.get()},
                                                                    {&b, second.get()}};
    for (const auto& [path, side] : sides) {
        if (const Outcome read = readDefinitionFile(*path, *side); !read) {
            showOutcome(stderrSink(), read);
            return kExitUsage;
        }
    }
    std::vector<std::string> lines = diffDefinitions(first->definition, second->definition);
    if (first->isImage || second->isImage) {
        for (const auto& [path, side] : sides) {
            if (side->isImage)
                continue;
            if (const Outcome built = buildDefinitionFile(*path, *side); !built) {
                showOutcome(stderrSink(), built);
                return kExitUsage;
            }
        }
        for (std::string& line : imageDifferences(first->image, second->image))
            lines.push_back(std::move(line));
    }
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    return lines.empty() ? kExitOk : kExitFailed;
}

} // namespace quillan::cli
