// The 16 x 16 pictures of the matrix and LED buttons and the application
// icons, drawn once with QPainter (which cell shows which: rules/cell_picture.h).
#pragma once

#include "rules/cell_picture.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace quillan {

const QPixmap& picturePixmap(Picture picture);
// The picture drawn at size x size pixels (16 is the cell button's).
QImage pictureImage(Picture picture, int size);
// Every picture side by side in Picture order, each size x size: the strip
// the browser page shows its matrix cells and LEDs from.
QImage pictureStrip(int size);
QIcon applicationIcon(); // the icon at 32 x 32 and at 16 x 16

} // namespace quillan
