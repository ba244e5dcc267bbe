#include "file_builder.h"
#include "model/settings_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace quillan {
namespace {

using test::FileBuilder;
using test::MessageLog;
using test::readWholeFile;
using test::TempDir;

constexpr size_t kCellsOffset = 144;
constexpr size_t kIndexOffset = 18576;
constexpr size_t kCharsOffset = 18832;

struct Fixture {
    std::unique_ptr<KeyboardDefinition> def = std::make_unique<KeyboardDefinition>();
    ControlValues controls;
    Fixture() { initStartupDefinition(*def, controls); }
};

// Every field of the definition set to a value that differs from its
// neighbours and from the defaults, within the ranges a load accepts.
void fillVaried(KeyboardDefinition& def, ControlValues& controls) {
    def.StdRepeat = 0;
    def.GlobalRepeatDisable = 1;
    def.AnyKeyRelease = 1;
    def.PrefixMakeBreak = 1;
    def.EnableBits = 3;
    def.BeepLength = 200;
    def.Led = {1, 2, 3, 5};
    def.NumberOfStrings = 3;
    def.header.reserved48 = 0x11223344;
    def.header.reserved52 = -7;
    controls = {3, 31, 255, 16, 2, "round.dat", "SN-0042"};
    for (int index = 0; index < kCells; ++index) {
        KeyCell& cell = def.cells[index];
        cell.windowHandle = 0xA0000000u + index;
        cell.enabled = index % 2;
        cell.used = (index / 2) % 2;
        cell.complete = (index / 4) % 2;
        cell.reserved0 = static_cast<uint8_t>(index + 1);
        cell.controlId = 40000 + index;
        cell.x = -index;
        cell.y = index * 3;
        cell.width = 17 + index;
        cell.height = 18 + index;
        setText(cell.legend, "Key " + std::to_string(index));
        cell.logicalAddress = static_cast<uint8_t>(255 - index);
        cell.reserved1[1] = 0x5A;
        for (int l = 0; l < kLayers; ++l) {
            LayerAssignment& layer = cell.layers[l];
            layer.used = (index + l) % 2;
            layer.reserved1[2] = static_cast<uint8_t>(l + 1);
            layer.keytype = static_cast<uint8_t>((index + l) % 22);
            layer.ibmkey = (index * 7 + l) % (layer.keytype == 17 ? 128 : 147);
            layer.keymode = static_cast<uint8_t>((index + l * 9) & 0x3F);
            layer.scan2code = static_cast<uint8_t>(index * 2);
            layer.scan3code = static_cast<uint8_t>(index * 3 + l);
            layer.usbcode = static_cast<uint8_t>(index + 100);
            layer.reserved2[0] = 0xC3;
            layer.stringcharcount = (index + l) % 40;
        }
    }
    for (int m = 0; m < kStringSlots; ++m)
        def.stringIndex[m] = static_cast<uint16_t>(2304 + 4 * m + (m << 12));
    for (int i = 0; i < kStringCells; ++i)
        def.stringChars[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 1),
                              static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i % 22)};
}

TEST(SettingsFile, EncodesTheStoredLayout) {
    Fixture f;
    fillVaried(*f.def, f.controls);
    const std::string bytes = encodeSettings(*f.def, f.controls);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kSettingsFileSize));

    auto at = [&](size_t offset) { return static_cast<uint8_t>(bytes[offset]); };
    auto i32 = [&](size_t offset) {
        return static_cast<int32_t>(at(offset) | at(offset + 1) << 8 | at(offset + 2) << 16 |
                                    static_cast<uint32_t>(at(offset + 3)) << 24);
    };
    EXPECT_EQ(i32(0), 0);
    EXPECT_EQ(i32(4), 4);
    EXPECT_EQ(i32(20), 3);  // DefRepDelay from the controls
    EXPECT_EQ(i32(24), 31); // DefRepRate
    EXPECT_EQ(i32(28), 255);
    EXPECT_EQ(i32(44), 5); // Led4
    EXPECT_EQ(i32(48), 0x11223344);
    EXPECT_EQ(i32(56), 16); // MaxScanRow as the row count
    EXPECT_EQ(i32(64), 2);
    EXPECT_EQ(i32(68), 3);
    EXPECT_EQ(i32(72), 3);
    EXPECT_EQ(bytes.substr(76, 10), std::string("round.dat\0", 10));
    EXPECT_EQ(bytes.substr(108, 8), std::string("SN-0042\0", 8));
    EXPECT_EQ(i32(140), 200);

    const size_t cell = kCellsOffset + 9 * 144; // row 1, column 1
    EXPECT_EQ(static_cast<uint32_t>(i32(cell)), 0xA0000009u);
    EXPECT_EQ(at(cell + 4), 1); // enabled
    EXPECT_EQ(at(cell + 5), 0); // used
    EXPECT_EQ(i32(cell + 8), 40009);
    EXPECT_EQ(i32(cell + 12), -9);
    EXPECT_EQ(bytes.substr(cell + 28, 6), std::string("Key 9\0", 6));
    EXPECT_EQ(at(cell + 60), 246);
    const size_t layer = cell + 64 + 2 * 20;
    EXPECT_EQ(at(layer), 1);
    EXPECT_EQ(i32(layer + 4), 65);
    EXPECT_EQ(at(layer + 8), 27);
    EXPECT_EQ(at(layer + 9), 11);
    EXPECT_EQ(at(layer + 10), 18);
    EXPECT_EQ(at(layer + 11), 29);
    EXPECT_EQ(at(layer + 12), 109);
    EXPECT_EQ(i32(layer + 16), 11);

    EXPECT_EQ(at(kIndexOffset + 6) | at(kIndexOffset + 7) << 8, 0x3000 + 2316);
    EXPECT_EQ(at(kCharsOffset + 4 * 5 + 2), 250);
}

TEST(SettingsFile, SaveThenLoadRestoresEveryField) {
    TempDir dir;
    Fixture saved;
    fillVaried(*saved.def, saved.controls);
    MessageLog messages;
    ASSERT_TRUE(messages.take(
        saveSettings(*saved.def, saved.controls, dir.file("round.dat"), dir.file("Saved.txt"))));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Saved configuration file !");
    EXPECT_EQ(messages.shown[0].caption, "Save");
    EXPECT_FALSE(readWholeFile(dir.file("Saved.txt")).empty());

    Fixture loaded;
    const LoadResult result =
        messages.take(loadSettings(*loaded.def, loaded.controls, dir.file("round.dat")));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.versionHigh, 4);
    EXPECT_EQ(result.versionLow, 0);
    EXPECT_EQ(messages.shown.back().text, "Loaded configuration file !");
    EXPECT_EQ(messages.shown.back().caption, "Load");

    const KeyboardDefinition& a = *saved.def;
    const KeyboardDefinition& b = *loaded.def;
    for (int index = 0; index < kCells; ++index)
        EXPECT_EQ(a.cells[index], b.cells[index]) << "cell " << index;
    EXPECT_EQ(a.header, b.header);
    EXPECT_EQ(a.stringIndex, b.stringIndex);
    EXPECT_EQ(a.stringChars, b.stringChars);
    EXPECT_EQ(b.StdRepeat, 0);
    EXPECT_EQ(b.GlobalRepeatDisable, 1);
    EXPECT_EQ(b.AnyKeyRelease, 1);
    EXPECT_EQ(b.PrefixMakeBreak, 1);
    EXPECT_EQ(b.EnableBits, 3);
    EXPECT_EQ(b.BeepLength, 200);
    EXPECT_EQ(b.Led, a.Led);
    EXPECT_EQ(b.NumberOfStrings, 3);
    EXPECT_EQ(loaded.controls, saved.controls);
}

TEST(SettingsFile, NewDefinitionSurvivesSaveAndLoad) {
    TempDir dir;
    Fixture saved;
    newDefinition(*saved.def, saved.controls);
    ASSERT_TRUE(
        saveSettings(*saved.def, saved.controls, dir.file("new.dat"), dir.file("Saved.txt")));
    Fixture loaded;
    fillVaried(*loaded.def, loaded.controls);
    ASSERT_TRUE(loadSettings(*loaded.def, loaded.controls, dir.file("new.dat")).ok);
    EXPECT_EQ(loaded.def->header, saved.def->header);
    EXPECT_EQ(loaded.controls.DefRepDelay, 1);
    EXPECT_EQ(loaded.controls.DefRepRate, 7);
    EXPECT_EQ(loaded.controls.DebounceTime, 30);
    EXPECT_EQ(loaded.controls.MaxScanRow, 14);
    EXPECT_EQ(loaded.controls.fileName, "new.dat");
    EXPECT_EQ(loaded.def->StdRepeat, 1);
    EXPECT_EQ(loaded.def->EnableBits, 1);
    for (const KeyCell& cell : loaded.def->cells) {
        EXPECT_EQ(cell.used, 1);
        EXPECT_EQ(cell.enabled, 1);
        EXPECT_EQ(getText(cell.legend), "Nothing");
        for (const LayerAssignment& layer : cell.layers) {
            EXPECT_EQ(layer.used, 0);
            EXPECT_EQ(layer.keytype, 15);
        }
    }
}

TEST(SettingsFile, TextsAreCutTo31Characters) {
    TempDir dir;
    Fixture saved;
    const std::string text31(31, 'x');
    setText(saved.def->cell(2, 3).legend, text31);
    saved.controls.serialNumber = text31 + "overflow";
    saved.controls.fileName = std::string(40, 'f');
    ASSERT_TRUE(saveSettings(*saved.def, saved.controls, dir.file("t.dat"), dir.file("S.txt")));
    Fixture loaded;
    ASSERT_TRUE(loadSettings(*loaded.def, loaded.controls, dir.file("t.dat")).ok);
    EXPECT_EQ(getText(loaded.def->cell(2, 3).legend), text31);
    EXPECT_EQ(loaded.controls.serialNumber, text31);
    EXPECT_EQ(getText(loaded.def->header.fileName), std::string(31, 'f'));

    // 40 characters keep their zero byte at offset 31 of the field.
    setText(saved.def->cell(0, 0).legend, std::string(40, 'l'));
    saved.controls.serialNumber = std::string(40, 's');
    const std::string bytes = encodeSettings(*saved.def, saved.controls);
    for (size_t field : {size_t{76}, size_t{108}, kCellsOffset + 28}) {
        EXPECT_NE(bytes[field + 30], '\0') << field;
        EXPECT_EQ(bytes[field + 31], '\0') << field;
    }

    // Texts in a file without their terminator are cut as well.
    FileBuilder file(kSettingsFileSize);
    file.version(4, 0).text(76, std::string(32, 'n')).text(108, std::string(32, 's'));
    file.text(kCellsOffset + 28, std::string(32, 'L'));
    ASSERT_TRUE(decodeSettings(*loaded.def, loaded.controls, file.bytes(), "x.dat").ok);
    EXPECT_EQ(getText(loaded.def->cells[0].legend), std::string(31, 'L'));
    EXPECT_EQ(loaded.def->cells[0].legend[31], '\0');
    EXPECT_EQ(loaded.controls.serialNumber, std::string(31, 's'));
    EXPECT_EQ(loaded.def->header.fileName[31], '\0');
}

TEST(SettingsFile, EmptyNameSavesNothing) {
    TempDir dir;
    Fixture f;
    MessageLog messages;
    EXPECT_FALSE(messages.take(saveSettings(*f.def, f.controls, "", dir.file("Saved.txt"))));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("Saved.txt")));
}

TEST(SettingsFile, FailedSaveKeepsThePreviousFile) {
    TempDir dir;
    Fixture f;
    const std::string path = dir.file("keep.dat");
    ASSERT_TRUE(saveSettings(*f.def, f.controls, path, dir.file("Saved.txt")));
    const std::string before = readWholeFile(path);
    std::filesystem::remove(dir.file("Saved.txt"));

    // A user's "keep.dat.tmp" is neither in the way nor touched.
    std::filesystem::create_directory(path + ".tmp");
    ASSERT_TRUE(saveSettings(*f.def, f.controls, path, dir.file("Saved.txt")));
    EXPECT_TRUE(std::filesystem::is_directory(path + ".tmp"));
    EXPECT_EQ(readWholeFile(path), before);

    // A save that cannot replace its file (a folder stands there).
    const std::string folder = dir.file("folder.dat");
    std::filesystem::create_directory(folder);
    std::filesystem::remove(dir.file("Saved.txt"));
    setText(f.def->cells[0].legend, "changed");
    MessageLog messages;
    EXPECT_FALSE(messages.take(saveSettings(*f.def, f.controls, folder, dir.file("Saved.txt"))));
    // The failure is shown, naming the file and the reason, and no success.
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Save");
    EXPECT_EQ(messages.shown[0].text, "Could not save " + folder + ": Is a directory");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 0);
    // The readable copy is written whether or not the settings file was.
    EXPECT_NE(readWholeFile(dir.file("Saved.txt")).find("= changed ,"), std::string::npos);
}

TEST(SettingsFile, FailedLoadLeavesEverythingAsItWas) {
    Fixture f;
    fillVaried(*f.def, f.controls);
    Fixture reference;
    fillVaried(*reference.def, reference.controls);
    auto unchanged = [&] {
        for (int index = 0; index < kCells; ++index)
            if (!(f.def->cells[index] == reference.def->cells[index]))
                return false;
        return f.def->header == reference.def->header &&
               f.def->stringIndex == reference.def->stringIndex &&
               f.def->stringChars == reference.def->stringChars &&
               f.def->Led == reference.def->Led && f.def->StdRepeat == 0 &&
               f.def->NumberOfStrings == 3 && f.controls == reference.controls;
    };

    MessageLog messages;
    EXPECT_FALSE(messages.take(loadSettings(*f.def, f.controls, "/nonexistent/x.dat")).ok);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Could not open file !");
    EXPECT_EQ(messages.shown[0].caption, "Open file");
    EXPECT_TRUE(unchanged());

    TempDir dir;
    EXPECT_FALSE(messages.take(loadSettings(*f.def, f.controls, dir.file(""))).ok);
    EXPECT_EQ(messages.shown.size(), 2u) << "a folder cannot be read either";

    // Unknown versions and too short files are refused and say why.
    for (auto [high, low] : {std::pair{3, 0}, {4, 1}, {2, 3}, {0, 0}, {-1, 0}, {1, 10}}) {
        FileBuilder file(kSettingsFileSize);
        file.version(high, low);
        messages.shown.clear();
        const LoadResult result =
            messages.take(decodeSettings(*f.def, f.controls, file.bytes(), "v.dat"));
        EXPECT_FALSE(result.ok) << high << "." << low;
        EXPECT_EQ(result.versionHigh, high);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Unknown file version " + std::to_string(high) + "." +
                                              std::to_string(low) + " !");
        EXPECT_EQ(result.message.text, messages.shown[0].text) << "the refusal is returned too";
    }
    messages.shown.clear();
    EXPECT_FALSE(
        messages.take(decodeSettings(*f.def, f.controls, std::string("\0\0\0\0\4\0\0", 7), "s"))
            .ok);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Not a settings file: only 7 bytes !");
    EXPECT_TRUE(unchanged());
}

// A file of 1.1 to 4.0 shorter than its version's size is damaged: it is
// refused, naming both sizes, and the definition stays as it was.
TEST(SettingsFile, TruncatedFileIsRefused) {
    Fixture f;
    fillVaried(*f.def, f.controls);
    const auto before = std::make_unique<KeyboardDefinition>(*f.def);
    const struct {
        int high, low;
        size_t size;
    } versions[] = {{1, 1, 32316}, {1, 2, 32316}, {1, 3, 32324}, {2, 0, 34376},
                    {2, 1, 34444}, {2, 2, 34448}, {4, 0, 20624}};
    for (const auto& v : versions) {
        FileBuilder file(v.size);
        file.version(v.high, v.low);
        MessageLog messages;
        EXPECT_TRUE(decodeSettings(*f.def, f.controls, file.bytes(), "t.dat").ok)
            << v.high << "." << v.low;
        file.resize(v.size - 1);
        *f.def = *before;
        EXPECT_FALSE(messages.take(decodeSettings(*f.def, f.controls, file.bytes(), "t.dat")).ok);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_NE(messages.shown[0].text.find(std::to_string(v.size - 1) + " bytes"),
                  std::string::npos);
        EXPECT_NE(messages.shown[0].text.find(std::to_string(v.size)), std::string::npos);
        EXPECT_EQ(f.def->cells, before->cells);
        EXPECT_EQ(f.def->stringChars, before->stringChars);
    }
}

TEST(SettingsFile, ValuesUsedAsIndicesAreBroughtIntoRange) {
    Fixture f;
    FileBuilder file(kSettingsFileSize);
    file.version(4, 0).i32(20, 9).i32(24, -1).i32(32, 9).i32(44, -3).i32(56, 0).i32(64, 7);
    file.i32(72, 500);
    file.layer(kCellsOffset, 0, 5000, 0, 0, 1, 2, 3, -5);
    file.layer(kCellsOffset, 1, 200, 0, 17, 0, 0, 0, 100000);
    file.layer(kCellsOffset, 2, 127, 0, 17, 0, 0, 0);
    file.layer(kCellsOffset, 3, 146, 0, 99, 0, 0, 0);
    // The edges: catalogue rows 0..146, string slots 0..127.
    const struct {
        int32_t ibmkey;
        uint8_t keytype;
        int32_t kept;
    } edges[] = {{146, 0, 146}, {147, 0, 0}, {127, 17, 127}, {128, 17, 0}};
    for (int l = 0; l < 4; ++l)
        file.layer(kCellsOffset + 144, l, edges[l].ibmkey, 0, edges[l].keytype, 0, 0, 0);
    ASSERT_TRUE(decodeSettings(*f.def, f.controls, file.bytes(), "r.dat").ok);
    for (int l = 0; l < 4; ++l)
        EXPECT_EQ(f.def->cells[1].layers[l].ibmkey, edges[l].kept) << edges[l].ibmkey;
    EXPECT_EQ(f.controls.DefRepDelay, 3);
    EXPECT_EQ(f.controls.DefRepRate, 0);
    EXPECT_EQ(f.controls.MaxScanRow, 1);
    EXPECT_EQ(f.controls.PointDevice, 2);
    EXPECT_EQ(f.def->Led[0], 5);
    EXPECT_EQ(f.def->Led[3], 0);
    EXPECT_EQ(f.def->NumberOfStrings, 127);
    // The header record keeps what the file said.
    EXPECT_EQ(f.def->header.Led1, 9);
    EXPECT_EQ(f.def->header.NumberOfStrings, 500);

    const auto& layers = f.def->cells[0].layers;
    EXPECT_EQ(layers[0].ibmkey, 0);
    EXPECT_EQ(layers[0].usbcode, 3);
    EXPECT_EQ(layers[0].stringcharcount, 0);
    EXPECT_EQ(layers[1].ibmkey, 0);
    EXPECT_EQ(layers[1].stringcharcount, kStringCells);
    EXPECT_EQ(layers[2].ibmkey, 127);
    EXPECT_EQ(layers[3].keytype, 15);
    EXPECT_EQ(layers[3].ibmkey, 146);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

TEST(SavedText, NewDefinitionDump) {
    TempDir dir;
    Fixture f;
    f.def->stringIndex[9] = 2316;
    f.def->stringChars[447] = {2, 4, 0x1C, 0};
    f.def->cell(15, 7).layers[3] = {1, {}, 31, 8, 0, 0x1C, 0x1C, 0x04, {}, 0};
    ASSERT_TRUE(saveSettings(*f.def, f.controls, dir.file("n.dat"), dir.file("Saved.txt")));
    const std::string text = readWholeFile(dir.file("Saved.txt"));
    const std::vector<std::string> l = lines(text);
    ASSERT_EQ(l.size(), 1134u);

    const std::vector<std::string> head = {
        "[Header]",
        "Version = 4.0",
        "StdRepeat = 1",
        "GlobalRepeatDisable = 0",
        "AnyKeyRelease = 0",
        "DefRepDelay = 1",
        "DefRepRate = 7",
        "DebounceTime = 30",
        "Led1 = 0",
        "Led2 = 0",
        "Led3 = 0",
        "Led4 = 0",
        "MaxScanRow = 14",
        "PrefixMakeBreak = 0",
        "PointDevice = 0",
        "EnableBits = 1",
        "NumberOfStrings = 0",
        "BeepLength = 0",
        "",
        "",
        "[Key]",
        "# row , column = legend , used , enabled , complete , logical address",
        "#\t[fn2,fn1] used , ibmkey , keymode , keytype , scan2code , scan3code , usbcode , "
        "stringcharcount",
        "  0 , 0 = Nothing , 1 , 1 , 0 ,   0",
        "\t[0,0]  0  0  0                       UNUSED_KEY   0   0   0 0",
        "\t[0,1]  0  0  0                       UNUSED_KEY   0   0   0 0",
        "\t[1,0]  0  0  0                       UNUSED_KEY   0   0   0 0",
        "\t[1,1]  0  0  0                       UNUSED_KEY   0   0   0 0",
        "  0 , 1 = Nothing , 1 , 1 , 0 ,   0"};
    for (size_t i = 0; i < head.size(); ++i)
        EXPECT_EQ(l[i], head[i]) << "line " << i + 1;
    EXPECT_EQ(l[658], " 15 , 7 = Nothing , 1 , 1 , 0 ,   0");
    EXPECT_EQ(l[662], "\t[1,1]  1 31  8                       NORMAL_KEY  28  28   4 0");
    EXPECT_EQ(l[663], "");
    EXPECT_EQ(l[664], "");
    EXPECT_EQ(l[665], "[StringIndex]");
    EXPECT_EQ(l[666], " 0 0 0 0 0 0 0 0");
    EXPECT_EQ(l[667], " 0 2316 0 0 0 0 0 0");
    EXPECT_EQ(l[682], "");
    EXPECT_EQ(l[683], "");
    EXPECT_EQ(l[684], "[StringChar]");
    EXPECT_EQ(l[685], "# modifier ,  characterUSB , characterMode2 , characterType");
    EXPECT_EQ(l[686], "2304   0   0   0   0 ");
    EXPECT_EQ(l[1133], "4092   2   4  28   0 ");
    EXPECT_EQ(text.back(), '\n');
    // Every layer line of the new definition carries the right-aligned name.
    size_t unused = 0;
    for (const std::string& line : l)
        if (line.find(std::string(22, ' ') + "UNUSED_KEY ") != std::string::npos)
            ++unused;
    EXPECT_EQ(unused, 511u);
}

} // namespace
} // namespace quillan
