#include "model/settings_records.h"

namespace quillan {

void writeHeader(ByteWriter& out, const HeaderRecord& header) {
    out.i32(header.iVersionLow);
    out.i32(header.iVersionHigh);
    out.i32(header.StdRepeat);
    out.i32(header.GlobalRepeatDisable);
    out.i32(header.AnyKeyRelease);
    out.i32(header.DefRepDelay);
    out.i32(header.DefRepRate);
    out.i32(header.DebounceTime);
    out.i32(header.Led1);
    out.i32(header.Led2);
    out.i32(header.Led3);
    out.i32(header.Led4);
    out.i32(header.reserved48);
    out.i32(header.reserved52);
    out.i32(header.MaxScanRow);
    out.i32(header.PrefixMakeBreak);
    out.i32(header.PointDevice);
    out.i32(header.EnableBits);
    out.i32(header.NumberOfStrings);
    out.bytes(header.fileName, kTextSize);
    out.bytes(header.serialNumber, kTextSize);
    out.i32(header.BeepLength);
}

void readHeader(ByteReader& in, HeaderRecord& header) {
    header.iVersionLow = in.i32();
    header.iVersionHigh = in.i32();
    header.StdRepeat = in.i32();
    header.GlobalRepeatDisable = in.i32();
    header.AnyKeyRelease = in.i32();
    header.DefRepDelay = in.i32();
    header.DefRepRate = in.i32();
    header.DebounceTime = in.i32();
    header.Led1 = in.i32();
    header.Led2 = in.i32();
    header.Led3 = in.i32();
    header.Led4 = in.i32();
    header.reserved48 = in.i32();
    header.reserved52 = in.i32();
    header.MaxScanRow = in.i32();
    header.PrefixMakeBreak = in.i32();
    header.PointDevice = in.i32();
    header.EnableBits = in.i32();
    header.NumberOfStrings = in.i32();
    in.bytes(header.fileName, kTextSize);
    in.bytes(header.serialNumber, kTextSize);
    header.BeepLength = in.i32();
}

static void writeLayer(ByteWriter& out, const LayerAssignment& layer) {
    out.u8(layer.used);
    out.bytes(layer.reserved1, sizeof layer.reserved1);
    out.i32(layer.ibmkey);
    out.u8(layer.keymode);
    out.u8(layer.keytype);
    out.u8(layer.scan2code);
    out.u8(layer.scan3code);
    out.u8(layer.usbcode);
    out.bytes(layer.reserved2, sizeof layer.reserved2);
    out.i32(layer.stringcharcount);
}

static void readLayer(ByteReader& in, LayerAssignment& layer) {
    layer.used = in.u8();
    in.bytes(layer.reserved1, sizeof layer.reserved1);
    layer.ibmkey = in.i32();
    layer.keymode = in.u8();
    layer.keytype = in.u8();
    layer.scan2code = in.u8();
    layer.scan3code = in.u8();
    layer.usbcode = in.u8();
    in.bytes(layer.reserved2, sizeof layer.reserved2);
    layer.stringcharcount = in.i32();
}

void writeCell(ByteWriter& out, const KeyCell& cell) {
    out.u32(cell.windowHandle);
    out.u8(cell.enabled);
    out.u8(cell.used);
    out.u8(cell.complete);
    out.u8(cell.reserved0);
    out.i32(cell.controlId);
    out.i32(cell.x);
    out.i32(cell.y);
    out.i32(cell.width);
    out.i32(cell.height);
    out.bytes(cell.legend, kTextSize);
    out.u8(cell.logicalAddress);
    out.bytes(cell.reserved1, sizeof cell.reserved1);
    for (const LayerAssignment& layer : cell.layers)
        writeLayer(out, layer);
}

void readCell(ByteReader& in, KeyCell& cell) {
    cell.windowHandle = in.u32();
    cell.enabled = in.u8();
    cell.used = in.u8();
    cell.complete = in.u8();
    cell.reserved0 = in.u8();
    cell.controlId = in.i32();
    cell.x = in.i32();
    cell.y = in.i32();
    cell.width = in.i32();
    cell.height = in.i32();
    in.bytes(cell.legend, kTextSize);
    cell.logicalAddress = in.u8();
    in.bytes(cell.reserved1, sizeof cell.reserved1);
    for (LayerAssignment& layer : cell.layers)
        readLayer(in, layer);
}

void writeStringTables(ByteWriter& out, const StringIndex& index, const StringChars& chars) {
    for (uint16_t entry : index)
        out.u16(entry);
    for (const StringCell& cell : chars) {
        out.u8(cell.modifier);
        out.u8(cell.characterUSB);
        out.u8(cell.characterMode2);
        out.u8(cell.characterType);
    }
}

void readStringTables(ByteReader& in, StringIndex& index, StringChars& chars) {
    for (uint16_t& entry : index)
        entry = in.u16();
    for (StringCell& cell : chars) {
        cell.modifier = in.u8();
        cell.characterUSB = in.u8();
        cell.characterMode2 = in.u8();
        cell.characterType = in.u8();
    }
}

void writeStringTables(ByteWriter& out, const KeyboardDefinition& def) {
    writeStringTables(out, def.stringIndex, def.stringChars);
}

void readStringTables(ByteReader& in, KeyboardDefinition& def) {
    readStringTables(in, def.stringIndex, def.stringChars);
}

} // namespace quillan
