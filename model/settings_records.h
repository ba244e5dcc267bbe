// Field-by-field encoding of the records that settings files are made of:
// the 144-byte header record (version 2.2 and 4.0 layout), the 144-byte key
// cell, and the two string tables.
#pragma once

#include "model/byte_codec.h"
#include "model/definition.h"

namespace quillan {

constexpr int kHeaderSize = 144;
constexpr int kCellSize = 144;
constexpr int kLayerSize = 20;
constexpr int kStringIndexSize = kStringSlots * 2; // 256
constexpr int kStringCharsSize = kStringCells * 4; // 1792

using StringIndex = std::array<uint16_t, kStringSlots>;
using StringChars = std::array<StringCell, kStringCells>;

void writeHeader(ByteWriter& out, const HeaderRecord& header);
void writeCell(ByteWriter& out, const KeyCell& cell);
void writeStringTables(ByteWriter& out, const KeyboardDefinition& def);

// Reads the version 2.2 / 4.0 header layout from offset 0 (versions included).
void readHeader(ByteReader& in, HeaderRecord& header);
void readCell(ByteReader& in, KeyCell& cell);
void readStringTables(ByteReader& in, KeyboardDefinition& def);
void writeStringTables(ByteWriter& out, const StringIndex& index, const StringChars& chars);
void readStringTables(ByteReader& in, StringIndex& index, StringChars& chars);

} // namespace quillan
