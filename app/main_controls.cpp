#include "app/main_controls.h"

#include <QPainter>

namespace quillan {

namespace {

// clang-format off
constexpr std::array<ControlRow, kMainControlCount> kMainControls = {{
    // kind                  text                            flags                  x    y    w    h     id
    {ControlKind::Push,      "Generate EEPROM File",         0,                    360,  30, 180,  20, 35072},
    {ControlKind::Push,      "Save settings to file",        0,                    360,  60, 180,  20, 35073},
    {ControlKind::Push,      "Load settings from file",      0,                    360,  90, 180,  20, 35074},
    {ControlKind::Push,      "USB Download EEPROM",          kHidden | kDisabled,  360, 180, 180,  20, 35075},
    {ControlKind::Push,      "Test keyboard",                0,                    360, 180, 180,  20, 35076},
    {ControlKind::Check,     "Standard repeat",              0,                    360, 220, 180,  20, 35079},
    {ControlKind::Check,     "Global repeat disable",        0,                    360, 240, 180,  20, 35080},
    {ControlKind::Check,     "Any key release dis. repeat",  0,                    360, 260, 220,  20, 35081},
    {ControlKind::Label,     "Default repeat delay:",        0,                    360, 280, 150,  15,     0},
    {ControlKind::Label,     "Default repeat rate:",         0,                    360, 300, 150,  15,     0},
    {ControlKind::Label,     "Debounce Time (1..255 mSec):", 0,                    360, 320, 195,  15,     0},
    {ControlKind::Label,     "Max Scan rows:",               0,                    360, 340, 150,  15,     0},
    {ControlKind::Check,     "Prefix Make/Break:",           0,                    360, 360, 180,  20, 35091},
    {ControlKind::Edit,      "out.dat",                      kHidden,              580,  62, 130,  15, 35077},
    {ControlKind::Edit,      "in.dat",                       kDisabled,            580,  92, 130,  15, 35078},
    {ControlKind::DropList,  "",                             kDroppedHeight,       580, 277, 100, 300, 35082},
    {ControlKind::DropList,  "",                             kDroppedHeight,       580, 297, 100, 300, 35083},
    {ControlKind::Edit,      "30",                           kNumber,              580, 320, 100,  15, 35084},
    {ControlKind::DropList,  "",                             kDroppedHeight,       580, 340, 100, 300, 35090},
    {ControlKind::Label,     "0",                            0,                     10,  40,  30,  15,     0},
    {ControlKind::Label,     "1",                            0,                     10,  60,  30,  15,     0},
    {ControlKind::Label,     "2",                            0,                     10,  80,  30,  15,     0},
    {ControlKind::Label,     "3",                            0,                     10, 100,  30,  15,     0},
    {ControlKind::Label,     "4",                            0,                     10, 120,  30,  15,     0},
    {ControlKind::Label,     "5",                            0,                     10, 140,  30,  15,     0},
    {ControlKind::Label,     "6",                            0,                     10, 160,  30,  15,     0},
    {ControlKind::Label,     "7",                            0,                     10, 180,  30,  15,     0},
    {ControlKind::Label,     "8",                            0,                     10, 200,  30,  15,     0},
    {ControlKind::Label,     "9",                            0,                     10, 220,  30,  15,     0},
    {ControlKind::Label,     "10",                           0,                     10, 240,  30,  15,     0},
    {ControlKind::Label,     "11",                           0,                     10, 260,  30,  15,     0},
    {ControlKind::Label,     "12",                           0,                     10, 280,  30,  15,     0},
    {ControlKind::Label,     "13",                           0,                     10, 300,  30,  15,     0},
    {ControlKind::Label,     "14",                           0,                     10, 320,  30,  15,     0},
    {ControlKind::Label,     "15",                           0,                     10, 340,  30,  15,     0},
    {ControlKind::Label,     "Sns",                          0,                     10,   0,  50,  15,     0},
    {ControlKind::Label,     "Drv",                          0,                      0,  19,  50,  15,     0},
    {ControlKind::Label,     "0",                            0,                     40,  10,  30,  15,     0},
    {ControlKind::Label,     "1",                            0,                     60,  10,  30,  15,     0},
    {ControlKind::Label,     "2",                            0,                     80,  10,  30,  15,     0},
    {ControlKind::Label,     "3",                            0,                    100,  10,  30,  15,     0},
    {ControlKind::Label,     "4",                            0,                    120,  10,  30,  15,     0},
    {ControlKind::Label,     "5",                            0,                    140,  10,  30,  15,     0},
    {ControlKind::Label,     "6",                            0,                    160,  10,  30,  15,     0},
    {ControlKind::Label,     "7",                            0,                    180,  10,  30,  15,     0},
    {ControlKind::Label,     "",                             0,                    200,  10,  30,  15,     0},
    {ControlKind::Label,     "",                             0,                    220,  10,  30,  15,     0},
    {ControlKind::Label,     "",                             0,                    240,  10,  30,  15,     0},
    {ControlKind::Label,     "",                             0,                    260,  10,  30,  15,     0},
    {ControlKind::Label,     "",                             0,                    280,  10,  30,  15,     0},
    {ControlKind::Label,     "",                             0,                    300,  10,  30,  15,     0},
    {ControlKind::Label,     "Led 1:",                       0,                    360, 400,  50,  15,     0},
    {ControlKind::Label,     "Led 2:",                       0,                    360, 420,  50,  15,     0},
    {ControlKind::Label,     "Led 3:",                       0,                    360, 440,  50,  15,     0},
    {ControlKind::OwnerDraw, "",                             0,                    420, 398,  20,  20, 35093},
    {ControlKind::OwnerDraw, "",                             0,                    420, 418,  20,  20, 35094},
    {ControlKind::OwnerDraw, "",                             0,                    420, 438,  20,  20, 35095},
    {ControlKind::Push,      "New",                          0,                     10, 440, 180,  20, 35096},
    {ControlKind::Label,     "Version:",                     0,                    580, 440,  60,  15,     0},
    {ControlKind::Label,     "",                             0,                    650, 440,  60,  15, 35097},
    {ControlKind::Push,      "Program Keyboard",             0,                    360, 120, 180,  20, 35098},
    {ControlKind::Push,      "Check keyboard presence",      0,                    360,   0, 180,  20, 35099},
    {ControlKind::Label,     "Point Device:",                kHidden,              360, 380, 150,  15,     0},
    {ControlKind::DropList,  "",                             kDroppedHeight,       580, 497, 100, 300, 35100},
    {ControlKind::Check,     "Enable keyboard",              kDisabled,            360, 480, 180,  20, 35101},
    {ControlKind::Check,     "Enable pointing device",       0,                    360, 500, 180,  20, 35102},
    {ControlKind::Push,      "Define Strings",               kHidden,               10, 470, 180,  20, 35103},
    {ControlKind::Push,      "Read Keyboard EEProm",         0,                    360, 150, 180,  20, 35118},
    {ControlKind::Label,     "Serial number:",               0,                    360, 520, 150,  15,     0},
    {ControlKind::Edit,      "",                             0,                    580, 520, 100,  15, 35119},
    {ControlKind::OwnerDraw, "",                             0,                    420, 458,  20,  20, 35120},
    {ControlKind::Label,     "Led 4:",                       0,                    360, 460,  50,  15,     0},
    {ControlKind::Check,     "Activate beep",                0,                     10, 500, 120,  20, 35148},
    {ControlKind::Edit,      "0",                            kDisabled,            150, 500,  60,  15, 35149},
    {ControlKind::List,      "",                             kScrollBar,           210,   0, 140, 240, 35162},
    {ControlKind::Push,      "Point Dev Set.",               0,                    580, 480, 120,  20, 35166},
    {ControlKind::Edit,      "",                             kNoBorder | kCentred, 580,   0, 180,  20, 35187},
}};
// clang-format on
static_assert(kMainControls.size() == 77);

} // namespace

const std::array<ControlRow, kMainControlCount>& mainControlTable() {
    return kMainControls;
}

PictureButton::PictureButton(QWidget* parent, PictureSource source)
    : QAbstractButton(parent), source_(std::move(source)) {}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), picturePixmap(picture()));
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

} // namespace quillan
