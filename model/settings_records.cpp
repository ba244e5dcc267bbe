#include "model/settings_records.h"

namespace quillan {

void writeHeader(ByteWriter& out, const HeaderRecord& header) {
    visitHeaderFields(header, FieldWriter{out});
}

void readHeader(ByteReader& in, HeaderRecord& header) {
    visitHeaderFields(header, FieldReader{in});
}

void readOldHeader(ByteReader& in, HeaderRecord& header, int version) {
    visitHeaderFields(header, [&](auto& field, OldPlace place) {
        if constexpr (std::is_same_v<std::remove_reference_t<decltype(field)>, int32_t>) {
            if (place.offset >= 0 && version >= place.since) {
                in.seek(static_cast<size_t>(place.offset));
                field = in.i32();
            }
        }
    });
}

void writeCell(ByteWriter& out, const KeyCell& cell) {
    visitCellFields(cell, FieldWriter{out});
}

void readCell(ByteReader& in, KeyCell& cell) {
    visitCellFields(cell, FieldReader{in});
}

void writeStringTables(ByteWriter& out, const StringIndex& index, const StringChars& chars) {
    FieldWriter writer{out};
    for (uint16_t entry : index)
        writer(entry);
    for (const StringCell& cell : chars)
        visitStringCellFields(cell, writer);
}

void readStringTables(ByteReader& in, StringIndex& index, StringChars& chars) {
    FieldReader reader{in};
    for (uint16_t& entry : index)
        reader(entry);
    for (StringCell& cell : chars)
        visitStringCellFields(cell, reader);
}

void writeStringTables(ByteWriter& out, const KeyboardDefinition& def) {
    writeStringTables(out, def.stringIndex, def.stringChars);
}

void readStringTables(ByteReader& in, KeyboardDefinition& def) {
    readStringTables(in, def.stringIndex, def.stringChars);
}

} // namespace quillan
