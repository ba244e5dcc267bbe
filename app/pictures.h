// The 16 x 16 pictures of the matrix and LED buttons and the application
// icons, drawn once with QPainter.
#pragma once

#include "model/definition.h"

#include <QIcon>
#include <QPixmap>

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
    QuestionMark, // the cell whose Key Settings dialog is open
    GreyLamp,     // LED without a function
    YellowLamp,   // LED with a function
};

// The picture a cell button shows, by the first rule that applies.
Picture cellPicture(const KeyCell& cell, bool dialogOpenOnThisCell);
// The picture of an LED button for its LED function.
Picture ledPicture(int ledFunction);

const QPixmap& picturePixmap(Picture picture);
QIcon applicationIcon(); // the icon at 32 x 32 and at 16 x 16

} // namespace quillan
