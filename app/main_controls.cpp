#include "app/main_controls.h"

#include <QPainter>

namespace quillan {

namespace {

// clang-format off
constexpr std::array<MainControlRow, kMainControlCount> kMainControls = {{
    // kind                 text                            flags                  x    y    w    h     id
    {MainControlKind::Push,     "Generate EEPROM File",         0,                    360,  30, 180,  20, 35072},
    {MainControlKind::Push,     "Save settings to file",        0,                    360,  60, 180,  20, 35073},
    {MainControlKind::Push,     "Load settings from file",      0,                    360,  90, 180,  20, 35074},
    {MainControlKind::Push,     "USB Download EEPROM",          kHidden | kDisabled,  360, 180, 180,  20, 35075},
    {MainControlKind::Push,     "Test keyboard",                0,                    360, 180, 180,  20, 35076},
    {MainControlKind::Check,    "Standard repeat",              0,                    360, 220, 180,  20, 35079},
    {MainControlKind::Check,    "Global repeat disable",        0,                    360, 240, 180,  20, 35080},
    {MainControlKind::Check,    "Any key release dis. repeat",  0,                    360, 260, 220,  20, 35081},
    {MainControlKind::Static,   "Default repeat delay:",        0,                    360, 280, 150,  15,     0},
    {MainControlKind::Static,   "Default repeat rate:",         0,                    360, 300, 150,  15,     0},
    {MainControlKind::Static,   "Debounce Time (1..255 mSec):", 0,                    360, 320, 195,  15,     0},
    {MainControlKind::Static,   "Max Scan rows:",               0,                    360, 340, 150,  15,     0},
    {MainControlKind::Check,    "Prefix Make/Break:",           0,                    360, 360, 180,  20, 35091},
    {MainControlKind::Edit,     "out.dat",                      kHidden,              580,  62, 130,  15, 35077},
    {MainControlKind::Edit,     "in.dat",                       kDisabled,            580,  92, 130,  15, 35078},
    {MainControlKind::Combo,    "",                             0,                    580, 277, 100, 300, 35082},
    {MainControlKind::Combo,    "",                             0,                    580, 297, 100, 300, 35083},
    {MainControlKind::Edit,     "30",                           kNumber,              580, 320, 100,  15, 35084},
    {MainControlKind::Combo,    "",                             0,                    580, 340, 100, 300, 35090},
    {MainControlKind::Static,   "0",                            0,                     10,  40,  30,  15,     0},
    {MainControlKind::Static,   "1",                            0,                     10,  60,  30,  15,     0},
    {MainControlKind::Static,   "2",                            0,                     10,  80,  30,  15,     0},
    {MainControlKind::Static,   "3",                            0,                     10, 100,  30,  15,     0},
    {MainControlKind::Static,   "4",                            0,                     10, 120,  30,  15,     0},
    {MainControlKind::Static,   "5",                            0,                     10, 140,  30,  15,     0},
    {MainControlKind::Static,   "6",                            0,                     10, 160,  30,  15,     0},
    {MainControlKind::Static,   "7",                            0,                     10, 180,  30,  15,     0},
    {MainControlKind::Static,   "8",                            0,                     10, 200,  30,  15,     0},
    {MainControlKind::Static,   "9",                            0,                     10, 220,  30,  15,     0},
    {MainControlKind::Static,   "10",                           0,                     10, 240,  30,  15,     0},
    {MainControlKind::Static,   "11",                           0,                     10, 260,  30,  15,     0},
    {MainControlKind::Static,   "12",                           0,                     10, 280,  30,  15,     0},
    {MainControlKind::Static,   "13",                           0,                     10, 300,  30,  15,     0},
    {MainControlKind::Static,   "14",                           0,                     10, 320,  30,  15,     0},
    {MainControlKind::Static,   "15",                           0,                     10, 340,  30,  15,     0},
    {MainControlKind::Static,   "Sns",                          0,                     10,   0,  50,  15,     0},
    {MainControlKind::Static,   "Drv",                          0,                      0,  19,  50,  15,     0},
    {MainControlKind::Static,   "0",                            0,                     40,  10,  30,  15,     0},
    {MainControlKind::Static,   "1",                            0,                     60,  10,  30,  15,     0},
    {MainControlKind::Static,   "2",                            0,                     80,  10,  30,  15,     0},
    {MainControlKind::Static,   "3",                            0,                    100,  10,  30,  15,     0},
    {MainControlKind::Static,   "4",                            0,                    120,  10,  30,  15,     0},
    {MainControlKind::Static,   "5",                            0,                    140,  10,  30,  15,     0},
    {MainControlKind::Static,   "6",                            0,                    160,  10,  30,  15,     0},
    {MainControlKind::Static,   "7",                            0,                    180,  10,  30,  15,     0},
    {MainControlKind::Static,   "",                             0,                    200,  10,  30,  15,     0},
    {MainControlKind::Static,   "",                             0,                    220,  10,  30,  15,     0},
    {MainControlKind::Static,   "",                             0,                    240,  10,  30,  15,     0},
    {MainControlKind::Static,   "",                             0,                    260,  10,  30,  15,     0},
    {MainControlKind::Static,   "",                             0,                    280,  10,  30,  15,     0},
    {MainControlKind::Static,   "",                             0,                    300,  10,  30,  15,     0},
    {MainControlKind::Static,   "Led 1:",                       0,                    360, 400,  50,  15,     0},
    {MainControlKind::Static,   "Led 2:",                       0,                    360, 420,  50,  15,     0},
    {MainControlKind::Static,   "Led 3:",                       0,                    360, 440,  50,  15,     0},
    {MainControlKind::OwnerDraw, "",                             0,                    420, 398,  20,  20, 35093},
    {MainControlKind::OwnerDraw, "",                             0,                    420, 418,  20,  20, 35094},
    {MainControlKind::OwnerDraw, "",                             0,                    420, 438,  20,  20, 35095},
    {MainControlKind::Push,     "New",                          0,                     10, 440, 180,  20, 35096},
    {MainControlKind::Static,   "Version:",                     0,                    580, 440,  60,  15,     0},
    {MainControlKind::Static,   "",                             0,                    650, 440,  60,  15, 35097},
    {MainControlKind::Push,     "Program Keyboard",             0,                    360, 120, 180,  20, 35098},
    {MainControlKind::Push,     "Check keyboard presence",      0,                    360,   0, 180,  20, 35099},
    {MainControlKind::Static,   "Point Device:",                kHidden,              360, 380, 150,  15,     0},
    {MainControlKind::Combo,    "",                             0,                    580, 497, 100, 300, 35100},
    {MainControlKind::Check,    "Enable keyboard",              kDisabled,            360, 480, 180,  20, 35101},
    {MainControlKind::Check,    "Enable pointing device",       0,                    360, 500, 180,  20, 35102},
    {MainControlKind::Push,     "Define Strings",               kHidden,               10, 470, 180,  20, 35103},
    {MainControlKind::Push,     "Read Keyboard EEProm",         0,                    360, 150, 180,  20, 35118},
    {MainControlKind::Static,   "Serial number:",               0,                    360, 520, 150,  15,     0},
    {MainControlKind::Edit,     "",                             0,                    580, 520, 100,  15, 35119},
    {MainControlKind::OwnerDraw, "",                             0,                    420, 458,  20,  20, 35120},
    {MainControlKind::Static,   "Led 4:",                       0,                    360, 460,  50,  15,     0},
    {MainControlKind::Check,    "Activate beep",                0,                     10, 500, 120,  20, 35148},
    {MainControlKind::Edit,     "0",                            kDisabled,            150, 500,  60,  15, 35149},
    {MainControlKind::List,     "",                             0,                    210,   0, 140, 240, 35162},
    {MainControlKind::Push,     "Point Dev Set.",               0,                    580, 480, 120,  20, 35166},
    {MainControlKind::Edit,     "",                             kNoBorder | kCentred, 580,   0, 180,  20, 35187},
}};
// clang-format on
static_assert(kMainControls.size() == 77);

} // namespace

const std::array<MainControlRow, kMainControlCount>& mainControlTable() {
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
