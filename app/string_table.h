// The application's string table: window titles and class names, the test
// window's message-kind, flag and virtual-key name texts.
#pragma once

#include <QString>

namespace quillan {

enum StringId : int {
    IDS_APP_TITLE = 103,
    IDS_MAIN_CLASS = 109,
    IDS_PICKER_TITLE = 114,
    IDS_UNDEFINED_KEY = 314,
    IDS_KEYUP = 315,
    IDS_KEYDOWN = 316,
    IDS_SYSKEYUP = 317,
    IDS_SYSKEYDOWN = 318,
    IDS_DOWN = 323,
    IDS_UP = 324,
    IDS_EXT = 325,
    IDS_NOT_EXT = 326,
    IDS_ALT = 327,
    IDS_NO_ALT = 328,
    IDS_PRESS = 329,
    IDS_RELEASE = 330,
    IDS_TEST_TITLE = 372,
    IDS_TEST_CLASS = 373,
    IDS_PICKER_CLASS = 374,
};

// The text of string id; false when the table has no such entry.
bool stringTableText(int id, QString& text);

// String id of the name of virtual-key code 0..255 (IDS_UNDEFINED_KEY for a
// code without a name or outside the range).
int virtualKeyNameId(int virtualKey);

} // namespace quillan
