// Which picture a matrix cell and an LED show: the desktop's cell buttons and
// the browser page's matrix draw from the same rule and the same numbering
// (the pictures themselves are drawn by the desktop and rendered once for the
// page as a strip in this order).
#pragma once

#include "model/definition.h"

namespace quillan {

enum class Picture {
    Sleeping,     // cell not enabled
    GreyCircle,   // enabled cell not used
    RedCross,     // used cell not complete
    GreenTick,    // complete cell
    Mouse,        // complete, mouse button key
    Str,          // complete, string key
    Note,         // complete, consumer key
    Power,        // complete, system key
    QuestionMark, // the cell whose Key Settings are being edited
    GreyLamp,     // LED without a function
    YellowLamp,   // LED with a function
};
constexpr int kPictureCount = static_cast<int>(Picture::YellowLamp) + 1;

// The picture a cell shows, by the first rule that applies.
Picture cellPicture(const KeyCell& cell, bool editedNow);
// The picture of an LED for its LED function.
Picture ledPicture(int ledFunction);

} // namespace quillan
