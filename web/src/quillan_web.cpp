// The page's binding to the core: a plain C interface over the workflow
// layer, called from TypeScript through ccall (async where the keyboard is
// involved). Files live in the module's in-memory file system: the page
// writes what the user opens there and offers what the core writes there
// ("EEPkey.bin", "EEPkey.txt", "eepraw.txt", settings files, JSON) as
// downloads. Messages the desktop shows in a box go to Module.onMessage,
// transfer progress to Module.onProgress.
#include "cli/commands.h"
#include "cli/edit.h"
#include "model/catalogue.h"
#include "model/definition_json.h"
#include "model/file_io.h"
#include "model/key_labels.h"
#include "model/settings_file.h"
#include "model/string_store.h"
#include "rules/cell_picture.h"
#include "rules/cell_tooltip.h"
#include "rules/key_assignment.h"
#include "rules/string_text.h"
#include "web/src/webhid_backend.h"
#include "workflow/program.h"
#include "workflow/session.h"

#include <emscripten.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace quillan;

EM_JS(void, showMessage, (const char* caption, const char* text, int icon), {
    if (Module.onMessage)
        Module.onMessage(UTF8ToString(caption), UTF8ToString(text), icon);
});
EM_JS(void, showProgress, (int range, int position), {
    if (Module.onProgress)
        Module.onProgress(range, position);
});
EM_JS(int, cancelRequested, (), { return Module.cancelRequested ? 1 : 0; });
// Gives the browser a turn between two long steps, so that neither adds to
// the other's task.
EM_ASYNC_JS(void, giveBrowserTurn, (), { await Module.quillanHid.turn(); });

std::vector<std::string> splitTabs(const char* text) {
    std::vector<std::string> words;
    std::string word;
    std::istringstream in(text ? text : "");
    while (std::getline(in, word, '\t'))
        words.push_back(word);
    return words;
}

// The one session of the page: what the main window owns on the desktop.
struct PageSession {
    Session session;
    int range = 0;
    PageSession() {
        startSession(session);
        openLog(session);
        session.backend = web::makeWebHidBackend();
        session.clock = &web::browserClock();
        session.messages = [](const Message& m) {
            showMessage(m.caption.c_str(), m.text.c_str(), static_cast<int>(m.icon));
        };
        session.progress.setRange = [this](int r) {
            range = r;
            showProgress(r, 0);
        };
        session.progress.setPosition = [this](int p) { showProgress(range, p); };
        session.cancelled = [] { return cancelRequested() != 0; };
    }
};

PageSession& page() {
    static auto* instance = new PageSession;
    return *instance;
}

// What the last call hands back as text.
std::string& result() {
    static std::string text;
    return text;
}
const char* give(std::string text) {
    result() = std::move(text);
    return result().c_str();
}

void tell(const std::string& text, const char* caption) {
    showMessage(caption, text.c_str(), static_cast<int>(MessageIcon::Warning));
}

// Whether the file starts (after white space) as a JSON document does.
bool isJson(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    int c = 0;
    while ((c = std::fgetc(file)) == ' ' || c == '\t' || c == '\r' || c == '\n') {
    }
    std::fclose(file);
    return c == '{';
}

} // namespace

extern "C" {

// quillan-cli with these tab-separated words (without the program name):
// the exit code; its output goes to Module.print and Module.printErr.
EMSCRIPTEN_KEEPALIVE int qw_cli(const char* words) {
    std::vector<std::string> args = splitTabs(words);
    args.insert(args.begin(), "quillan-cli");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    cli::Options options;
    std::string error;
    if (!cli::parseOptions(static_cast<int>(argv.size()), argv.data(), options, error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), cli::usageText().c_str());
        return cli::kExitUsage;
    }
    const int code = cli::run(options);
    std::fflush(stdout);
    std::fflush(stderr);
    return code;
}

// "New".
EMSCRIPTEN_KEEPALIVE void qw_new() {
    newDefinition(page().session.def, page().session.controls);
}

// "Load settings from file": a settings file of any version or a JSON
// definition; a load that fails leaves the definition as it was.
EMSCRIPTEN_KEEPALIVE int qw_load(const char* path) {
    Session& s = page().session;
    if (!isJson(path))
        return loadDefinition(s, path);
    if (const Outcome imported = importJson(s, path); !imported) {
        tell(imported.message.text, "Import JSON");
        return 0;
    }
    return 1;
}

// "Save settings to file" under that name (a 4.0 settings file).
EMSCRIPTEN_KEEPALIVE int qw_save(const char* path) {
    Session& s = page().session;
    return saveDefinitionNamed(s, path, baseName(path));
}

// The definition as its JSON document (what the page shows and keeps for
// undo), "" with a message when working strings cannot be packed.
EMSCRIPTEN_KEEPALIVE const char* qw_document() {
    Session& s = page().session;
    PortableDefinition definition;
    if (const Outcome taken = portableDefinition(s, definition); !taken) {
        tell(taken.message.text, "Export as JSON");
        return give("");
    }
    return give(exportDefinitionJson(definition));
}

// Replaces the definition with a JSON document (an edited settings section,
// an undo step); a refused document leaves it alone.
EMSCRIPTEN_KEEPALIVE int qw_apply(const char* text) {
    const std::string path = "/tmp/apply.json";
    if (const Outcome written = writeFileAtomically(path, text); !written) {
        tell(written.message.text, "Edit");
        return 0;
    }
    return qw_load(path.c_str());
}

// One scripted edit (quillan-cli edit's words, tab-separated): 1 when done,
// 0 when refused (the message is shown), -1 on words that are off.
EMSCRIPTEN_KEEPALIVE int qw_edit(const char* words) {
    std::vector<cli::EditOp> ops;
    std::string error;
    if (!cli::parseEditOps(splitTabs(words), ops, error)) {
        tell(error, "Edit");
        return -1;
    }
    Session& s = page().session;
    for (const cli::EditOp& op : ops) {
        Message refusal;
        if (!applyEditOp(s.def, s.log, op, refusal)) {
            s.messages(refusal);
            return 0;
        }
    }
    return 1;
}

// "Generate EEPROM File": "EEPkey.bin" and "EEPkey.txt" in the working folder.
EMSCRIPTEN_KEEPALIVE int qw_build() {
    return buildDefinition(page().session, true).ok;
}

// The layer's key lines as the key picker lists them, one a line.
EMSCRIPTEN_KEEPALIVE const char* qw_layer_lines(int row, int column, int layer) {
    PickerTarget target{row, column, layer, false};
    std::string text;
    for (const std::string& line : layerToList(page().session.def, target))
        text += line + "\n";
    return give(text);
}

// The tooltip of a matrix cell, as the desktop's (rules/cell_tooltip.h).
EMSCRIPTEN_KEEPALIVE const char* qw_cell_tooltip(int row, int column) {
    return give(cellToolTip(page().session.def, row * kColumns + column));
}

// Every cell, one a line by index: used, enabled, the four layers' used
// flags, its picture (rules/cell_picture.h; the cell numbered edited shows
// the one of a cell whose Key Settings are open) and the legend,
// tab-separated.
EMSCRIPTEN_KEEPALIVE const char* qw_cells(int edited) {
    std::string text;
    int index = 0;
    for (const KeyCell& cell : page().session.def.cells) {
        text += std::to_string(cell.used != 0) + "\t" + std::to_string(cell.enabled != 0);
        for (const LayerAssignment& layer : cell.layers)
            text += "\t" + std::to_string(layer.used != 0);
        text += "\t" + std::to_string(static_cast<int>(cellPicture(cell, index++ == edited)));
        text += "\t" + utf8FromLatin1(getText(cell.legend)) + "\n";
    }
    return give(text);
}

// The four LEDs' pictures, one a line.
EMSCRIPTEN_KEEPALIVE const char* qw_led_pictures() {
    std::string text;
    for (const int32_t function : page().session.def.Led)
        text += std::to_string(static_cast<int>(ledPicture(function))) + "\n";
    return give(text);
}

// The strings as the string selection lists them, one a line.
EMSCRIPTEN_KEEPALIVE const char* qw_strings() {
    std::string text;
    for (const StringCells& cells : selectableStrings(page().session.def)) {
        for (char32_t c : displayText(cells))
            text += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string("\u25A1");
        text += "\n";
    }
    return give(text);
}

// The catalogue: "name<TAB>label<TAB>usage page<TAB>usage" a line, by row.
EMSCRIPTEN_KEEPALIVE const char* qw_catalogue() {
    std::string text;
    for (int row = 0; row < kCatalogueRows; ++row) {
        const KeyUsage usage = usageOfRow(row);
        text += std::string(catalogueName(row)) + "\t" + keyLabel(row) + "\t" +
                std::to_string(usage.page) + "\t" + std::to_string(usage.usage) + "\n";
    }
    return give(text);
}

// "Check keyboard presence": the version label, "" when none was found.
EMSCRIPTEN_KEEPALIVE const char* qw_presence() {
    Session& s = page().session;
    return give(checkPresence(s) ? versionLabel(s.keyboardVersion) : "");
}

// "Program Keyboard": builds without files, downloads and verifies. Returns
// the summary line on success, "" otherwise (the failure is shown).
EMSCRIPTEN_KEEPALIVE const char* qw_program(int verify) {
    Session& s = page().session;
    if (!buildDefinition(s, false))
        return give("");
    giveBrowserTurn();
    ProgramOptions options;
    options.verify = verify != 0;
    const ProgramReport report = programAndVerify(s, options);
    return give(report.passed() ? programSummary(report) : "");
}

// "Read Keyboard EEProm": the version text, "" on failure; "eepraw.txt"
// is written and the definition replaced on success.
EMSCRIPTEN_KEEPALIVE const char* qw_read() {
    std::string versionText;
    if (!readBack(page().session, versionText))
        return give("");
    return give(versionText.empty() ? " " : versionText);
}

} // extern "C"

#include "model/definition_json_fields.h"

namespace {

template <class List> std::string joined(const List& list) {
    std::string text;
    for (const char* item : list)
        text += std::string(item) + "\n";
    return text;
}

} // namespace

extern "C" {

// The choices of the settings' lists, one list per block: repeat delays,
// repeat rates, pointing devices, LED functions and layer names.
EMSCRIPTEN_KEEPALIVE const char* qw_choices() {
    return give(joined(quillan::json_form::kRepeatDelays) + "\n" +
                joined(quillan::json_form::kRepeatRates) + "\n" +
                joined(quillan::json_form::kPointDevices) + "\n" +
                joined(quillan::kLedFunctionNames) + "\n" + joined(quillan::kLayerNames));
}

} // extern "C"
