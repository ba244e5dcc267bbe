// Field-by-field encoding of the records that settings files are made of:
// the 144-byte header record (version 2.2 and 4.0 layout), the 144-byte key
// cell, and the two string tables.
#pragma once

#include "model/byte_codec.h"
#include "model/definition.h"

#include <concepts>
#include <cstddef>
#include <type_traits>

namespace quillan {

constexpr int kHeaderSize = 144;
constexpr int kCellSize = 144;
constexpr int kLayerSize = 20;
constexpr int kStringIndexSize = kStringSlots * 2; // 256
constexpr int kStringCharsSize = kStringCells * 4; // 1792

using StringIndex = std::array<uint16_t, kStringSlots>;
using StringChars = std::array<StringCell, kStringCells>;

// Where a header field sits in the headers of versions 1.0 to 2.0: its byte
// offset and the first of those versions (high * 10 + low) that holds it.
struct OldPlace {
    int offset = -1; // -1: not in those headers
    int since = 0;
};

// Each record's fields in file order. Writing, reading and the reader of the
// older headers all walk these lists, so a field's place is written once.
// visit(field) for cells, layers and string cells; visit(field, OldPlace) for
// the header (version 2.2 and 4.0 layout).
template <class Header, class Visit> void visitHeaderFields(Header& h, Visit&& visit) {
    visit(h.iVersionLow, OldPlace{});
    visit(h.iVersionHigh, OldPlace{});
    visit(h.StdRepeat, OldPlace{8, 10});
    visit(h.GlobalRepeatDisable, OldPlace{12, 10});
    visit(h.AnyKeyRelease, OldPlace{16, 10});
    visit(h.DefRepDelay, OldPlace{20, 10});
    visit(h.DefRepRate, OldPlace{24, 10});
    visit(h.DebounceTime, OldPlace{28, 10});
    visit(h.Led1, OldPlace{32, 11}); // version 1.0 holds LED entries there
    visit(h.Led2, OldPlace{36, 11});
    visit(h.Led3, OldPlace{40, 11});
    visit(h.Led4, OldPlace{});
    visit(h.reserved48, OldPlace{});
    visit(h.reserved52, OldPlace{});
    visit(h.MaxScanRow, OldPlace{52, 10});
    visit(h.PrefixMakeBreak, OldPlace{56, 10});
    visit(h.PointDevice, OldPlace{60, 13});
    visit(h.EnableBits, OldPlace{64, 13});
    visit(h.NumberOfStrings, OldPlace{68, 20});
    visit(h.fileName, OldPlace{});
    visit(h.serialNumber, OldPlace{});
    visit(h.BeepLength, OldPlace{});
}

template <class Layer, class Visit> void visitLayerFields(Layer& layer, Visit&& visit) {
    visit(layer.used);
    visit(layer.reserved1);
    visit(layer.ibmkey);
    visit(layer.keymode);
    visit(layer.keytype);
    visit(layer.scan2code);
    visit(layer.scan3code);
    visit(layer.usbcode);
    visit(layer.reserved2);
    visit(layer.stringcharcount);
}

template <class Cell, class Visit> void visitCellFields(Cell& cell, Visit&& visit) {
    visit(cell.windowHandle);
    visit(cell.enabled);
    visit(cell.used);
    visit(cell.complete);
    visit(cell.reserved0);
    visit(cell.controlId);
    visit(cell.x);
    visit(cell.y);
    visit(cell.width);
    visit(cell.height);
    visit(cell.legend);
    visit(cell.logicalAddress);
    visit(cell.reserved1);
    for (auto& layer : cell.layers)
        visitLayerFields(layer, visit);
}

template <class Cell, class Visit> void visitStringCellFields(Cell& cell, Visit&& visit) {
    visit(cell.modifier);
    visit(cell.characterUSB);
    visit(cell.characterMode2);
    visit(cell.characterType);
}

// Appends each visited field, little-endian; arrays byte by byte.
struct FieldWriter {
    ByteWriter& out;
    template <std::integral T> void operator()(T value, OldPlace = {}) {
        for (size_t i = 0; i < sizeof(T); ++i)
            out.u8(static_cast<uint8_t>(static_cast<std::make_unsigned_t<T>>(value) >> (8 * i)));
    }
    template <class E, size_t N> void operator()(const E (&array)[N], OldPlace = {}) {
        static_assert(sizeof(E) == 1);
        out.bytes(array, N);
    }
};

// Reads each visited field in turn.
struct FieldReader {
    ByteReader& in;
    template <std::integral T> void operator()(T& field, OldPlace = {}) {
        std::make_unsigned_t<T> value = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            value = static_cast<std::make_unsigned_t<T>>(value | (uint64_t{in.u8()} << (8 * i)));
        field = static_cast<T>(value);
    }
    template <class E, size_t N> void operator()(E (&array)[N], OldPlace = {}) {
        static_assert(sizeof(E) == 1);
        in.bytes(array, N);
    }
};

void writeHeader(ByteWriter& out, const HeaderRecord& header);
void writeCell(ByteWriter& out, const KeyCell& cell);
void writeStringTables(ByteWriter& out, const KeyboardDefinition& def);

// Reads the version 2.2 / 4.0 header layout from offset 0 (versions included).
void readHeader(ByteReader& in, HeaderRecord& header);
// Reads the fields that the header of version 1.0 to 2.0 (high * 10 + low)
// holds; the others keep their values.
void readOldHeader(ByteReader& in, HeaderRecord& header, int version);
void readCell(ByteReader& in, KeyCell& cell);
void readStringTables(ByteReader& in, KeyboardDefinition& def);
void writeStringTables(ByteWriter& out, const StringIndex& index, const StringChars& chars);
void readStringTables(ByteReader& in, StringIndex& index, StringChars& chars);

} // namespace quillan
