#include "rules/cell_picture.h"

#include "model/catalogue.h"

namespace quillan {

Picture cellPicture(const KeyCell& cell, bool editedNow) {
    if (editedNow)
        return Picture::QuestionMark;
    if (cell.enabled == 0)
        return Picture::Sleeping;
    if (cell.used != 1)
        return Picture::GreyCircle;
    if (cell.complete == 0)
        return Picture::RedCross;
    switch (cell.layers[0].keytype) {
    case MOUSE_BUTTON_KEY:
        return Picture::Mouse;
    case STRING_KEY:
        return Picture::Str;
    case CONSUMER_KEY:
        return Picture::Note;
    case SYSTEM_KEY:
        return Picture::Power;
    default:
        return Picture::GreenTick;
    }
}

Picture ledPicture(int ledFunction) {
    return ledFunction == 0 ? Picture::GreyLamp : Picture::YellowLamp;
}

} // namespace quillan
