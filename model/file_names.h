// The files the tool writes in the working directory, named once.
#pragma once

namespace quillan {

inline constexpr char kImageBinaryFile[] = "EEPkey.bin";  // the whole EEPROM image
inline constexpr char kImageTextFile[] = "EEPkey.txt";    // its tables as text rows
inline constexpr char kSavedTextFile[] = "Saved.txt";     // readable copy of a settings file
inline constexpr char kReadbackDumpFile[] = "eepraw.txt"; // what a read-back found
inline constexpr char kLogFile[] = "qnlog.txt";           // the trace log

} // namespace quillan
