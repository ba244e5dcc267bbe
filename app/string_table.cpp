#include "app/string_table.h"

#include <algorithm>
#include <array>

namespace quillan {

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// clang-format off
constexpr std::array<StringEntry, 156> kStrings = {{
    // id  text
    {103, "Quillan"},
    {109, "QUILLAN"},
    {114, "Key Macro Tool"},
    {201, "VK_LBUTTON"},
    {202, "VK_RBUTTON"},
    {203, "VK_CANCEL"},
    {204, "VK_MBUTTON"},
    {205, "BACKSPACE"},
    {206, "TAB"},
    {207, "VK_CLEAR"},
    {208, "RETURN"},
    {209, "SHIFT"},
    {210, "CONTROL"},
    {211, "MENU (ALT)"},
    {212, "PAUSE"},
    {213, "CAPITAL"},
    {214, "ESCAPE"},
    {215, "SPACE"},
    {216, "PAGE UP"},
    {217, "PAGE DOWN"},
    {218, "END"},
    {219, "HOME"},
    {220, "LEFT"},
    {221, "UP"},
    {222, "RIGHT"},
    {223, "DOWN"},
    {224, "VK_SELECT"},
    {225, "PRINT"},
    {226, "VK_EXECUTE"},
    {227, "VK_SNAPSHOT"},
    {228, "INSERT"},
    {229, "DELETE"},
    {230, "HELP"},
    {231, "0"},
    {232, "1"},
    {233, "2"},
    {234, "3"},
    {235, "4"},
    {236, "5"},
    {237, "6"},
    {238, "7"},
    {239, "8"},
    {240, "9"},
    {241, "A"},
    {242, "B"},
    {243, "C"},
    {244, "D"},
    {245, "E"},
    {246, "F"},
    {247, "G"},
    {248, "H"},
    {249, "I"},
    {250, "J"},
    {251, "K"},
    {252, "L"},
    {253, "M"},
    {254, "N"},
    {255, "O"},
    {256, "P"},
    {257, "Q"},
    {258, "R"},
    {259, "S"},
    {260, "T"},
    {261, "U"},
    {262, "V"},
    {263, "W"},
    {264, "X"},
    {265, "Y"},
    {266, "Z"},
    {267, "NUMPAD0"},
    {268, "NUMPAD1"},
    {269, "NUMPAD2"},
    {270, "NUMPAD3"},
    {271, "NUMPAD4"},
    {272, "NUMPAD5"},
    {273, "NUMPAD6"},
    {274, "NUMPAD7"},
    {275, "NUMPAD8"},
    {276, "NUMPAD9"},
    {277, "MULTIPLY"},
    {278, "ADD"},
    {279, "SEPARATOR"},
    {280, "SUBTRACT"},
    {281, "DECIMAL"},
    {282, "DIVIDE"},
    {283, "F1"},
    {284, "F2"},
    {285, "F3"},
    {286, "F4"},
    {287, "F5"},
    {288, "F6"},
    {289, "F7"},
    {290, "F8"},
    {291, "F9"},
    {292, "F10"},
    {293, "F11"},
    {294, "F12"},
    {295, "F13"},
    {296, "F14"},
    {297, "F15"},
    {298, "F16"},
    {299, "NUMLOCK"},
    {300, "SCROLL"},
    {301, "OEM_1"},
    {302, "OEM_PLUS"},
    {303, "OEM_COMMA"},
    {304, "OEM_MINUS"},
    {305, "OEM_PERIOD"},
    {306, "OEM_2"},
    {307, "OEM_3"},
    {308, "OEM_4"},
    {309, "OEM_5"},
    {310, "OEM_6"},
    {311, "OEM_7"},
    {312, "OEM_8"},
    {313, "OEM_102"},
    {314, "Undefined"},
    {315, "KEYUP"},
    {316, "KEYDOWN"},
    {317, "SYSKEYUP"},
    {318, "SYSKEYDOWN"},
    {323, "Down"},
    {324, "Up"},
    {325, "Ext"},
    {326, "Not Ext"},
    {327, "Alt"},
    {328, "No Alt"},
    {329, "Press"},
    {330, "Release"},
    {347, "VK_F17"},
    {348, "VK_F18"},
    {349, "VK_F19"},
    {350, "VK_F20"},
    {351, "VK_F21"},
    {352, "VK_F22"},
    {353, "VK_F23"},
    {354, "VK_F24"},
    {355, "VK_LSHIFT"},
    {356, "VK_RSHIFT"},
    {357, "VK_LCONTROL"},
    {358, "VK_RCONTROL"},
    {359, "VK_LMENU"},
    {360, "VK_RMENU"},
    {361, "VK_PROCESSKEY"},
    {362, "VK_ATTN"},
    {363, "VK_CRSEL"},
    {364, "VK_EXSEL"},
    {365, "VK_EREOF"},
    {366, "VK_PLAY"},
    {367, "VK_ZOOM"},
    {368, "VK_NONAME"},
    {369, "VK_PA1"},
    {370, "VK_OEM_CLEAR"},
    {372, "Test Window"},
    {373, "Test Tool"},
    {374, "Key Macro Tool"},
}};
// clang-format on
static_assert(kStrings.size() == 156);

// Virtual-key codes first..last are named by consecutive string ids.
struct NameRange {
    int first;
    int last;
    int firstId;
};

// clang-format off
constexpr std::array<NameRange, 21> kNameRanges = {{
    // first last id
    {  1,   4, 201},
    {  8,   8, 205},
    {  9,   9, 206},
    { 12,  12, 207},
    { 13,  13, 208},
    { 16,  20, 209},
    { 27,  27, 214},
    { 32,  47, 215},
    { 48,  57, 231},
    { 65,  90, 241},
    { 96, 111, 267},
    {112, 127, 283},
    {128, 135, 347},
    {144, 144, 299},
    {145, 145, 300},
    {160, 165, 355},
    {186, 192, 301},
    {219, 223, 308},
    {226, 226, 313},
    {229, 229, 361},
    {246, 254, 362},
}};
// clang-format on
static_assert(kNameRanges.size() == 21);

} // namespace

bool stringTableText(int id, QString& text) {
    const auto found = std::lower_bound(kStrings.begin(), kStrings.end(), id,
                                        [](const StringEntry& e, int key) { return e.id < key; });
    if (found == kStrings.end() || found->id != id)
        return false;
    text = QString::fromLatin1(found->text);
    return true;
}

int virtualKeyNameId(int virtualKey) {
    for (const NameRange& range : kNameRanges)
        if (virtualKey >= range.first && virtualKey <= range.last)
            return range.firstId + (virtualKey - range.first);
    return IDS_UNDEFINED_KEY;
}

} // namespace quillan
