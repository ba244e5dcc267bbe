// Seeded random sequences of edit operations (the GUI's own rules, as
// `quillan-cli edit` runs them), interleaved with builds, save + load round
// trips and build -> read-back refills, checked after every step against a
// plain model of which text each string key types. A failure names its seed
// and step; the same seed replays the same sequence.
#include "cli/edit.h"
#include "eeprom/image_files.h"
#include "model/catalogue.h"
#include "model/settings_file.h"
#include "rules/string_text.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>

namespace quillan::cli {
namespace {

using Kind = EditOp::Kind;

struct LayerModel {
    enum { None, Key, String } kind = None;
    int id = -1; // string id for String
    bool used = false;
};
struct CellModel {
    bool used = true;
    std::array<LayerModel, kLayers> layers{};
};

// Which text each string key types: strings by id, layers by kind.
struct Model {
    std::array<CellModel, kCells> cells{};
    std::map<int, std::string> strings;
    int nextId = 0;

    int cellsNeeded() const {
        int total = 0;
        for (const auto& [id, text] : strings)
            total += static_cast<int>(text.size()) + 1;
        return total;
    }
    bool fits(int strings, int cells) const {
        return strings <= kMaxStrings && cells <= kStringCells;
    }
    int references(int id) const {
        int count = 0;
        for (const CellModel& cell : cells)
            for (const LayerModel& layer : cell.layers)
                count += layer.kind == LayerModel::String && layer.id == id;
        return count;
    }
    // The layer gives up its string: it goes when no other layer names it.
    void giveUp(LayerModel& layer) {
        if (layer.kind == LayerModel::String) {
            const int id = layer.id;
            layer.kind = LayerModel::None;
            if (references(id) == 0)
                strings.erase(id);
        }
    }
};

constexpr const char* kKeyNames[] = {"IBM Key 31",          "IBM Key 44",   "Volume up",
                                     "Middle Mouse Button", "System power", "IBM Key 2"};
constexpr const char kTextChars[] = "abcxyz019AZ!@ .";

class Sequence {
  public:
    explicit Sequence(uint32_t seed) : random_(seed) {
        initStartupDefinition(*def_, controls_);
        // The process id keeps runs of other checkouts out of this folder.
        dir_ = std::filesystem::temp_directory_path() /
               ("quillan-seq-" + std::to_string(seed) + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    ~Sequence() { std::filesystem::remove_all(dir_); }

    void step() {
        const int pick = uniform(0, 99);
        if (pick < 30)
            typeText();
        else if (pick < 38)
            singleKeyOrNone();
        else if (pick < 50)
            flag();
        else if (pick < 55)
            stringAdd();
        else if (pick < 63)
            stringDelete();
        else if (pick < 80)
            assignString();
        else if (pick < 86)
            build(*def_);
        else if (pick < 95)
            saveAndLoad();
        else
            readBack();
        check();
    }

  private:
    int uniform(int low, int high) { return std::uniform_int_distribution<>(low, high)(random_); }
    // A small part of the matrix, so that layers are edited again and again.
    EditOp at(Kind kind) {
        EditOp op;
        op.kind = kind;
        op.row = uniform(0, 3);
        op.column = uniform(0, 7);
        op.layer = uniform(0, kLayers - 1);
        return op;
    }
    CellModel& cellOf(const EditOp& op) { return model_.cells[op.row * kColumns + op.column]; }
    LayerModel& layerOf(const EditOp& op) { return cellOf(op).layers[op.layer]; }

    std::string newText() {
        for (;;) {
            std::string text;
            const int length = uniform(2, 12);
            for (int i = 0; i < length; ++i)
                text += kTextChars[uniform(0, sizeof kTextChars - 2)];
            bool taken = false;
            for (const auto& [id, existing] : model_.strings)
                taken = taken || existing == text;
            if (!taken)
                return text;
        }
    }

    bool apply(const EditOp& op) {
        Message refusal;
        return applyEditOp(*def_, log_, op, refusal);
    }

    void typeText() {
        EditOp op = at(Kind::Type);
        op.text = newText();
        LayerModel& layer = layerOf(op);
        const int size = static_cast<int>(op.text.size()) + 1;
        const bool rewrite = layer.kind == LayerModel::String;
        const int cells = model_.cellsNeeded() + size -
                          (rewrite ? static_cast<int>(model_.strings[layer.id].size()) + 1 : 0);
        const int count = static_cast<int>(model_.strings.size()) + (rewrite ? 0 : 1);
        const bool fits = model_.fits(count, cells);
        ASSERT_EQ(apply(op), fits) << op.text;
        if (!fits)
            return;
        if (rewrite) {
            model_.strings[layer.id] = op.text;
        } else {
            layer.kind = LayerModel::String;
            layer.id = model_.nextId++;
            model_.strings[layer.id] = op.text;
        }
        layer.used = true; // the picker's OK ticks "Used"
        // Now and then the user clears it again.
        if (uniform(0, 4) == 0) {
            op.kind = Kind::Layer;
            op.value = 0;
            ASSERT_TRUE(apply(op));
            layer.used = false;
        }
    }

    void singleKeyOrNone() {
        const int pick = uniform(0, 2);
        EditOp op = at(pick == 0 ? Kind::None : pick == 1 ? Kind::Key : Kind::Type);
        op.text = pick == 1 ? kKeyNames[uniform(0, 5)] : std::string(1, kTextChars[uniform(0, 14)]);
        op.modes.alt = pick == 1 && uniform(0, 1);
        op.modes.shiftLeft = pick == 1 && uniform(0, 1);
        ASSERT_TRUE(apply(op));
        LayerModel& layer = layerOf(op);
        model_.giveUp(layer);
        layer.kind = pick == 0 ? LayerModel::None : LayerModel::Key;
        layer.used = pick != 0; // ticked for a key, cleared for "No Key"
    }

    void flag() {
        const int pick = uniform(0, 3);
        EditOp op = at(pick < 2 ? Kind::Layer : pick == 2 ? Kind::Used : Kind::Enabled);
        op.value = uniform(0, 3) > 0 || pick == 3;
        ASSERT_TRUE(apply(op));
        if (pick < 2)
            layerOf(op).used = op.value;
        else if (pick == 2)
            cellOf(op).used = op.value;
    }

    void stringAdd() {
        EditOp op;
        op.kind = Kind::StringAdd;
        op.text = newText();
        const bool fits = model_.fits(static_cast<int>(model_.strings.size()) + 1,
                                      model_.cellsNeeded() + static_cast<int>(op.text.size()) + 1);
        ASSERT_EQ(apply(op), fits);
        if (fits)
            model_.strings[model_.nextId++] = op.text;
    }

    // The model id of list entry n, found by its text (texts are unique).
    int idOfEntry(int n) {
        const std::vector<StringCells> list = selectableStrings(*def_);
        std::string text;
        for (const StringCell& cell : list.at(n))
            text += static_cast<char>(decodeCell(cell));
        for (const auto& [id, existing] : model_.strings)
            if (existing == text)
                return id;
        ADD_FAILURE() << "list entry " << n << " \"" << text << "\" is no model string";
        return -1;
    }

    void stringDelete() {
        if (model_.strings.empty())
            return;
        EditOp op;
        op.kind = Kind::StringDelete;
        op.value = uniform(0, static_cast<int>(model_.strings.size()) - 1);
        const int id = idOfEntry(op.value);
        const bool used = model_.references(id) > 0;
        ASSERT_EQ(apply(op), !used);
        if (!used)
            model_.strings.erase(id);
    }

    void assignString() {
        if (model_.strings.empty())
            return;
        EditOp op = at(Kind::AssignString);
        op.value = uniform(0, static_cast<int>(model_.strings.size()) - 1);
        const int id = idOfEntry(op.value);
        LayerModel& layer = layerOf(op);
        ASSERT_EQ(apply(op), layer.kind == LayerModel::String);
        if (layer.kind == LayerModel::String)
            layer.id = id;
    }

    bool build(KeyboardDefinition& def) {
        return buildImage(def, controls_, image_, log_, false).ok;
    }

    void saveAndLoad() {
        const std::string path = (dir_ / "seq.dat").string();
        const std::string text = (dir_ / "Saved.txt").string();
        ASSERT_TRUE(saveSettings(*def_, controls_, path, text));
        // A different definition in between, as after "New".
        newDefinition(*def_, controls_);
        ASSERT_TRUE(loadSettings(*def_, controls_, path).ok);
    }

    // Only what the keyboard holds comes back: the keys of used layers of
    // used cells, and every string.
    void readBack() {
        ASSERT_TRUE(build(*def_));
        resetMatrix(*def_);
        clearStringDefinitions(*def_, true);
        refillFromImage(*def_, controls_, image_, log_);
        for (CellModel& cell : model_.cells) {
            bool any = false;
            for (LayerModel& layer : cell.layers) {
                layer.used = cell.used && layer.used && layer.kind != LayerModel::None;
                if (!layer.used)
                    layer.kind = LayerModel::None;
                any = any || layer.used;
            }
            cell.used = any;
        }
    }

    // Builds a copy (the sequence itself is not packed by the check) and
    // reads every string key's text out of the image.
    void check() {
        ASSERT_EQ(def_->NumberOfStrings, static_cast<int>(model_.strings.size()));
        auto copy = std::make_unique<KeyboardDefinition>(*def_);
        ASSERT_TRUE(build(*copy));
        const auto& b = image_.bytes;
        int indexEntries = 0;
        for (int n = 0; n < kStringSlots; ++n)
            indexEntries += (b[0x800 + 2 * n] | b[0x801 + 2 * n]) != 0;
        ASSERT_EQ(indexEntries, static_cast<int>(model_.strings.size())) << "phantom strings";
        for (int index = 0; index < kCells; ++index) {
            for (int l = 0; l < kLayers; ++l) {
                const LayerModel& layer = model_.cells[index].layers[l];
                if (!model_.cells[index].used || !layer.used || layer.kind != LayerModel::String)
                    continue;
                const int s = b[0x200 + l * kCells + index];
                ASSERT_NE(s, 0xFF) << "cell " << index << " layer " << l;
                ASSERT_EQ(b[0x500 + s], STRING_KEY);
                ASSERT_EQ(typedText(b[0x000 + s]), model_.strings[layer.id])
                    << "cell " << index << " layer " << l;
            }
        }
    }

    std::string typedText(int number) {
        const auto& b = image_.bytes;
        const int address = b[0x800 + 2 * number] | b[0x801 + 2 * number] << 8;
        std::string text;
        for (int p = address; p >= 0x900 && p < 0x1000; p += 4) {
            const StringCell cell{b[p], b[p + 1], b[p + 2], b[p + 3]};
            if (cell.isZero())
                break;
            text += static_cast<char>(decodeCell(cell));
        }
        return text;
    }

    std::mt19937 random_;
    std::unique_ptr<KeyboardDefinition> def_ = std::make_unique<KeyboardDefinition>();
    ControlValues controls_;
    EepromImage image_;
    Log log_;
    Model model_;
    std::filesystem::path dir_;
};

// QUILLAN_SEQUENCE_SEED=n (and QUILLAN_SEQUENCE_STEPS=m) replays one seed.
TEST(EditSequence, StringKeysTypeWhatTheyWereGiven) {
    std::vector<uint32_t> seeds = {1u, 2u, 2024u};
    int steps = 1000;
    if (const char* seed = std::getenv("QUILLAN_SEQUENCE_SEED"))
        seeds = {static_cast<uint32_t>(std::strtoul(seed, nullptr, 10))};
    if (const char* count = std::getenv("QUILLAN_SEQUENCE_STEPS"))
        steps = std::atoi(count);
    for (uint32_t seed : seeds) {
        Sequence sequence(seed);
        for (int step = 0; step < steps; ++step) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            sequence.step();
            if (::testing::Test::HasFatalFailure() || ::testing::Test::HasNonfatalFailure())
                return;
        }
    }
}

} // namespace
} // namespace quillan::cli
