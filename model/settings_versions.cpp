#include "model/settings_versions.h"

#include "model/byte_codec.h"
#include "model/settings_records.h"

namespace quillan {
namespace {

constexpr size_t kV10SmallSize = 28732;
constexpr size_t kV10LargeSize = 32316;
constexpr int kV10RowCells = 16; // a version 1.0 row holds 16 cells

void setMessage(SettingsImage& image, const char* text, const char* caption) {
    image.message = Message{text, caption, MessageIcon::None};
}

void readOldBlock(ByteReader& in, SettingsImage& image) {
    for (KeyCell& cell : image.oldBlock)
        readCell(in, cell);
    image.oldRows = kRows;
}

// Version 1.0: a 60-byte header, then rows of 16 cells. Rows 7 and 9 are not
// keys; the remaining rows fill the 16 x 14 block from row 0, 14 columns each.
bool readV10(const std::string& bytes, SettingsImage& image) {
    const bool small = bytes.size() == kV10SmallSize;
    if (!small && bytes.size() != kV10LargeSize)
        return false;
    ByteReader in(bytes);
    readOldHeader(in, image.header, 10);
    in.seek(32);
    for (int32_t& entry : image.v10LedEntries)
        entry = in.i32();

    const int fileRows = small ? 16 : 18;
    image.oldRows = 0;
    for (int fileRow = 0; fileRow < fileRows && image.oldRows < kRows; ++fileRow) {
        if (fileRow == 7 || fileRow == 9)
            continue;
        in.seek(60 + static_cast<size_t>(fileRow) * kV10RowCells * kCellSize);
        for (int column = 0; column < kOldColumns; ++column)
            readCell(in, image.oldBlock[image.oldRows * kOldColumns + column]);
        ++image.oldRows;
    }
    setMessage(image, small ? "Converted V0100 Small file !" : "Converted V0100 Large file !",
               "Convert");
    return true;
}

// Versions 1.1 to 2.0: header of 60, 68 or 72 bytes, the old key block and,
// from 2.0 on, the string tables.
void readV1x(const std::string& bytes, SettingsImage& image, KeyboardDefinition& def, int version) {
    ByteReader in(bytes);
    readOldHeader(in, image.header, version);
    const size_t headerSize = version >= 20 ? 72 : version >= 13 ? 68 : 60;
    in.seek(headerSize);
    readOldBlock(in, image);
    if (version >= 20)
        readStringTables(in, def);
    if (version <= 12)
        setMessage(image, "Converted V0102  file !", "Load");
    else
        setMessage(image, "Loaded configuration file !", "Load");
}

// Versions 2.1 and 2.2: the current header layout, 140 bytes long in 2.1
// (no BeepLength), then the old key block and the string tables.
void readV2x(const std::string& bytes, SettingsImage& image, KeyboardDefinition& def, int version) {
    ByteReader in(bytes);
    readHeader(in, image.header);
    if (version == 21)
        image.header.BeepLength = 0; // those bytes belong to the key block
    in.seek(version == 21 ? 140 : kHeaderSize);
    readOldBlock(in, image);
    readStringTables(in, def);
    setMessage(image, "Loaded configuration file !", "Load");
}

void readV40(const std::string& bytes, SettingsImage& image, KeyboardDefinition& def) {
    ByteReader in(bytes);
    readHeader(in, image.header);
    for (KeyCell& cell : def.cells)
        readCell(in, cell);
    readStringTables(in, def);
    setMessage(image, "Loaded configuration file !", "Load");
}

// Version 1.0 names each LED by the entry (1..5) whose value is 4, 8 or 16.
void convert10to11(SettingsImage& image) {
    int32_t* leds[3] = {&image.header.Led1, &image.header.Led2, &image.header.Led3};
    const int32_t marks[3] = {4, 8, 16};
    for (int led = 0; led < 3; ++led) {
        *leds[led] = 0;
        for (int entry = 0; entry < 5; ++entry)
            if (image.v10LedEntries[entry] == marks[led])
                *leds[led] = entry + 1;
    }
}

void convert20to21(SettingsImage& image, const std::string& loadedName) {
    image.header.Led4 = 0;
    image.header.reserved48 = 0;
    image.header.reserved52 = 0;
    setText(image.header.serialNumber, "0");
    setText(image.header.fileName, loadedName);
}

// The 16 x 14 block becomes the 16 x 8 matrix: columns 0..7 stay in place,
// then a used key in old column 13 - t takes the place of column t (t 0..5).
void convert22to40(SettingsImage& image, KeyboardDefinition& def) {
    for (int row = 0; row < image.oldRows; ++row) {
        const KeyCell* oldRow = &image.oldBlock[row * kOldColumns];
        for (int column = 0; column < kColumns; ++column)
            def.cell(row, column) = oldRow[column];
        for (int t = 0; t <= 5; ++t)
            if (oldRow[13 - t].used == 1)
                def.cell(row, t) = oldRow[13 - t];
    }
}

} // namespace

size_t settingsFileSize(int versionHigh, int versionLow) {
    constexpr size_t kOldBlock = static_cast<size_t>(kOldCells) * kCellSize;
    constexpr size_t kStrings = kStringIndexSize + kStringCharsSize;
    if (versionHigh < 0 || versionHigh > 9 || versionLow < 0 || versionLow > 9)
        return 0;
    switch (versionHigh * 10 + versionLow) {
    case 11:
    case 12:
        return 60 + kOldBlock;
    case 13:
        return 68 + kOldBlock;
    case 20:
        return 72 + kOldBlock + kStrings;
    case 21:
        return 140 + kOldBlock + kStrings;
    case 22:
        return kHeaderSize + kOldBlock + kStrings;
    case 40:
        return kHeaderSize + static_cast<size_t>(kCells) * kCellSize + kStrings;
    default:
        return 0;
    }
}

bool readSettingsVersion(const std::string& bytes, SettingsImage& image, KeyboardDefinition& def) {
    if (image.versionHigh < 0 || image.versionHigh > 9 || image.versionLow < 0 ||
        image.versionLow > 9)
        return false;
    const int version = image.versionHigh * 10 + image.versionLow;
    switch (version) {
    case 10:
        return readV10(bytes, image);
    case 11:
    case 12:
    case 13:
    case 20:
        readV1x(bytes, image, def, version);
        return true;
    case 21:
    case 22:
        readV2x(bytes, image, def, version);
        return true;
    case 40:
        readV40(bytes, image, def);
        return true;
    default:
        return false;
    }
}

void convertToCurrent(SettingsImage& image, KeyboardDefinition& def,
                      const std::string& loadedName) {
    for (;;) {
        const int version = image.versionHigh * 10 + image.versionLow;
        int next = 40;
        switch (version) {
        case 10:
            convert10to11(image);
            next = 11;
            break;
        case 11:
        case 12:
            image.header.PointDevice = 0;
            image.header.EnableBits = 1;
            next = 13;
            break;
        case 13:
            image.header.NumberOfStrings = 0;
            next = 20;
            break;
        case 20:
            convert20to21(image, loadedName);
            next = 21;
            break;
        case 21:
            image.header.BeepLength = 0;
            next = 22;
            break;
        case 22:
            convert22to40(image, def);
            next = 40;
            break;
        default:
            image.header.iVersionHigh = 4;
            image.header.iVersionLow = 0;
            return;
        }
        image.versionHigh = next / 10;
        image.versionLow = next % 10;
    }
}

} // namespace quillan
