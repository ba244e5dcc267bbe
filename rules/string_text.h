// Strings as text: encoding text characters into packed string cells through
// the character table and decoding cells back into characters; and the
// string definition dialog's list with its Add, Delete and OK, on the
// string store.
//
// Plain code on the definition: no GUI, so the rules can be checked alone
// and the command-line editor runs the very same steps.
#pragma once

#include "model/definition.h"
#include "model/log.h"
#include "model/string_store.h"

#include <string>
#include <vector>

namespace quillan {

constexpr int kMaxStringText = 1024; // characters of one text added to the list

// Shown for a stored character that has no text form.
constexpr char32_t kNoTextPlaceholder = U'\u25A1';

// The cell for text character c; false for a character outside 0..127 and
// for the control characters that no key types (all but backspace and tab).
bool encodeChar(char32_t c, StringCell& cell);
// Whether every character of text can be typed; refused, the first
// character that no key types is named with its position ("Character 3
// (\"é\", code 233) cannot be typed by any key.").
Outcome checkTypable(const std::u32string& text);
// The character that a cell types (the last match of the character table),
// or -1 when no character has this cell.
int decodeCell(const StringCell& cell);
// The text shown for a string: printable characters as themselves, every
// other cell as kNoTextPlaceholder.
std::u32string displayText(const StringCells& cells);

// Encodes a text for the list. Refuses (empty cells) a text of more than
// 1024 characters or with a character that no key types.
Outcome textToCells(const std::u32string& text, StringCells& cells);

// The string selection's list: the working strings are packed first, so the
// list numbers them as the packed store and the image do.
std::vector<StringCells> selectableStrings(KeyboardDefinition& def);

// The string definition dialog's list, as its buttons change it. Opening
// packs the working strings (the key picker's are the newest) and reads the
// list; Add appends a text and counts it; Delete removes a string that no
// key uses, renumbering the keys of the later ones; Replace edits one in
// place; OK writes the list into the packed store and the working slots. A
// refusal's message says why (the front end gives it its caption) and
// changes nothing.
class StringListEditor {
  public:
    StringListEditor(KeyboardDefinition& def, Log& log);

    const std::vector<StringCells>& strings() const { return strings_; }
    // An empty text changes nothing.
    Outcome add(const std::u32string& text);
    // A string that keys still use is not deleted: the message names how many.
    Outcome remove(int s);
    // Changes the text of string s in place, under add's rules (an empty
    // text changes nothing); the keys that type string s type the new text.
    Outcome replace(int s, const std::u32string& text);
    Outcome finish();

  private:
    KeyboardDefinition& def_;
    Log& log_;
    std::vector<StringCells> strings_;
};

} // namespace quillan
