#include "app/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <array>

namespace quillan {

namespace {

using Draw = void (*)(QPainter&);

void drawSleeping(QPainter& p) {
    p.setPen(QPen(Qt::black, 1.2));
    QFont font = p.font();
    font.setPixelSize(7);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(0, 8, 6, 8), Qt::AlignCenter, "z");
    font.setPixelSize(8);
    p.setFont(font);
    p.drawText(QRectF(4, 4, 7, 9), Qt::AlignCenter, "Z");
    font.setPixelSize(10);
    p.setFont(font);
    p.drawText(QRectF(8, -1, 8, 11), Qt::AlignCenter, "Z");
}

void drawGreyCircle(QPainter& p) {
    p.setPen(QPen(QColor(96, 96, 96), 1));
    p.setBrush(QColor(176, 176, 176));
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
}

void drawRedCross(QPainter& p) {
    p.setPen(QPen(QColor(210, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void drawGreenTick(QPainter& p) {
    p.setPen(QPen(QColor(0, 150, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path(QPointF(2.5, 8.5));
    path.lineTo(6.5, 12.5);
    path.lineTo(13.5, 3.5);
    p.drawPath(path);
}

void drawMouse(QPainter& p) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(230, 230, 230));
    p.drawRoundedRect(QRectF(3.5, 2.5, 9, 12), 4, 4);
    p.drawLine(QPointF(3.5, 7.5), QPointF(12.5, 7.5));
    p.drawLine(QPointF(8, 2.5), QPointF(8, 7.5));
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(QPointF(8, 2.5), QPointF(8, 0));
}

// Bold text centred in the 16 x 16 picture.
void drawCentredText(QPainter& p, const QColor& colour, int pixelSize, const char* text) {
    p.setPen(colour);
    QFont font = p.font();
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, text);
}

void drawStr(QPainter& p) {
    drawCentredText(p, QColor(0, 0, 160), 9, "Str");
}

void drawNote(QPainter& p) {
    p.setPen(QPen(QColor(80, 0, 120), 1.5));
    p.setBrush(QColor(80, 0, 120));
    p.drawEllipse(QRectF(3, 10, 4, 3.5));
    p.drawEllipse(QRectF(9, 9, 4, 3.5));
    p.drawLine(QPointF(6.7, 11.5), QPointF(6.7, 3));
    p.drawLine(QPointF(12.7, 10.5), QPointF(12.7, 2));
    p.setPen(QPen(QColor(80, 0, 120), 2));
    p.drawLine(QPointF(6.7, 3), QPointF(12.7, 2));
}

void drawPower(QPainter& p) {
    p.setPen(QPen(QColor(200, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(3, 3.5, 10, 10), 120 * 16, 300 * 16);
    p.drawLine(QPointF(8, 1.5), QPointF(8, 8));
}

void drawQuestionMark(QPainter& p) {
    drawCentredText(p, QColor(0, 0, 200), 14, "?");
}

void drawLamp(QPainter& p, const QColor& glass) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(glass);
    p.drawEllipse(QRectF(3.5, 1.5, 9, 9));
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(QRectF(5.5, 10.5, 5, 4));
}

void drawGreyLamp(QPainter& p) {
    drawLamp(p, QColor(160, 160, 160));
}
void drawYellowLamp(QPainter& p) {
    drawLamp(p, QColor(255, 230, 0));
}

// The drawing of each picture, in Picture order.
constexpr std::array<Draw, kPictureCount> kDrawings = {
    drawSleeping, drawGreyCircle, drawRedCross,     drawGreenTick, drawMouse,      drawStr,
    drawNote,     drawPower,      drawQuestionMark, drawGreyLamp,  drawYellowLamp,
};
static_assert(kDrawings.size() == static_cast<size_t>(Picture::YellowLamp) + 1);

QPixmap keyboardIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    p.setPen(QPen(QColor(40, 40, 40), 0.8));
    p.setBrush(QColor(90, 110, 160));
    p.drawRoundedRect(QRectF(0.5, 3.5, 15, 9), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 6; ++column)
            p.drawRect(QRectF(2 + column * 2.1, 5 + row * 2.2, 1.4, 1.4));
    p.drawRect(QRectF(4, 9.5, 8, 1.4));
    return pixmap;
}

} // namespace

const QPixmap& picturePixmap(Picture picture) {
    static const std::array<QPixmap, kPictureCount> pixmaps = [] {
        std::array<QPixmap, kPictureCount> all;
        for (int i = 0; i < kPictureCount; ++i)
            all[static_cast<size_t>(i)] = QPixmap::fromImage(pictureImage(Picture(i), 16));
        return all;
    }();
    return pixmaps[static_cast<size_t>(picture)];
}

QImage pictureImage(Picture picture, int size) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(QColor(240, 240, 240));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    kDrawings[static_cast<size_t>(picture)](painter);
    return image;
}

QImage pictureStrip(int size) {
    QImage strip(size * kPictureCount, size, QImage::Format_RGB32);
    QPainter painter(&strip);
    for (int i = 0; i < kPictureCount; ++i)
        painter.drawImage(i * size, 0, pictureImage(Picture(i), size));
    return strip;
}

QIcon applicationIcon() {
    QIcon icon;
    icon.addPixmap(keyboardIcon(32));
    icon.addPixmap(keyboardIcon(16));
    return icon;
}

} // namespace quillan
