// The 16 x 16 pictures of the matrix and LED buttons and the application
// icons, drawn once with QPainter.
#pragma once

#include "model/definition.h"

#include <QIcon>
#include <QPixmap>

namespace quillan {

// Named by their resource numbers.
enum class Picture {
    Sleeping = 133,     // cell not enabled
    GreyCircle = 131,   // enabled cell not used
    RedCross = 138,     // used cell not complete
    GreenTick = 140,    // complete cell
    Mouse = 149,        // complete, mouse button key
    Str = 158,          // complete, string key
    Note = 162,         // complete, consumer key
    Power = 161,        // complete, system key
    QuestionMark = 164, // the cell whose Key Settings dialog is open
    GreyLamp = 143,     // LED without a function
    YellowLamp = 142,   // LED with a function
};

// The picture a cell button shows, by the first rule that applies.
Picture cellPicture(const KeyCell& cell, bool dialogOpenOnThisCell);
// The picture of an LED button for its LED function.
Picture ledPicture(int ledFunction);

const QPixmap& picturePixmap(Picture picture);
QIcon applicationIcon(); // icons 107 (32 x 32) and 108 (16 x 16)

} // namespace quillan
