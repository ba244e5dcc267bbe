// quillan-cli edit FILE.dat OP...: scripted editing of a definition. Each
// operation runs the same rule functions as the GUI action it stands for
// (key picker OK, Key Settings check boxes and legend, string definition
// Add / Delete / edit in place with OK, "Assign string"), with the same refusals.
#pragma once

#include "model/definition.h"
#include "model/log.h"
#include "model/messages.h"
#include "rules/key_assignment.h"

#include <string>
#include <vector>

namespace quillan::cli {

struct EditOp {
    enum class Kind {
        Key,          // key R C L NAME MODES
        Type,         // type R C L TEXT
        None,         // none R C L
        Layer,        // layer R C L 0|1
        Used,         // used R C 0|1
        Enabled,      // enabled R C 0|1
        Legend,       // legend R C TEXT
        StringAdd,    // string-add TEXT
        StringDelete, // string-delete N
        StringEdit,   // string-edit N TEXT
        AssignString, // assign-string R C L N
    };
    Kind kind = Kind::None;
    int row = 0;
    int column = 0;
    int layer = 0;
    int value = 0;    // 0|1, or the string number
    std::string text; // catalogue name, typed text (ASCII) or legend (Latin-1)
    ModeToggles modes;
};

// Splits the words after FILE.dat into operations. False, with error set,
// on a usage error (unknown operation, wrong argument count, value out of
// range, unknown catalogue name or mode, a character no key types).
bool parseEditOps(const std::vector<std::string>& words, std::vector<EditOp>& ops,
                  std::string& error);

// Applies one operation to the definition as its GUI action does. False when
// the action's rules refuse it; refusal then holds the message the GUI shows.
bool applyEditOp(KeyboardDefinition& def, Log& log, const EditOp& op, Message& refusal);

// The key picker lines that type text, one per character ("Shift l" for the
// characters typed with Shift).
std::vector<std::string> linesForText(const std::string& text);

// The operations' part of the usage text.
std::string editUsageText();

// edit FILE.dat OP...: 0 when every operation applied and the file was
// saved, 1 when one was refused (nothing saved) or the file could not be
// loaded or saved, 2 on a usage error.
int runEdit(const std::vector<std::string>& arguments);

} // namespace quillan::cli
