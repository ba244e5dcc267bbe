// The Key LED settings and Pointing Device dialogs.
#include "dialogs/settings_dialogs.h"

#include "gui/control_table.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <limits>

namespace quillan {

namespace {

// clang-format off
constexpr std::array<ControlRow, 4> kLedControls = {{
    // kind                  text        flags         x    y    w    h   id
    {ControlKind::Label,    "Key LED:", 0,           50,  25, 180,  20, 0},
    {ControlKind::DropList, "",         0,           50,  50, 180,  24, LED_COMBO},
    {ControlKind::Push,     "OK",       kDefault,    50, 120,  80,  26, SET_OK},
    {ControlKind::Push,     "Cancel",   0,          150, 120,  80,  26, SET_CANCEL},
}};

// The four blocks of the pointing device dialog: where they stand and the
// letter their labels end in. Within a block the rows are gain 1, gain 2,
// offset 1, offset 2 and inversion, 20 pixels apart.
struct PointingBlock { char direction; int x; int y; };
constexpr std::array<PointingBlock, 4> kPointingBlocks = {{
    // dir   x    y
    {'N',  10,  10},
    {'E', 150,  10},
    {'S',  10, 130},
    {'W', 150, 130},
}};
constexpr std::array<const char*, 5> kRowLabels = {"iGain1", "iGain2", "iOffs1", "iOffs2", "iInv"};
constexpr std::array<const char*, 5> kRowStartTexts = {"13", "1", "0", "0", "120"};

constexpr std::array<ControlRow, 2> kPointingButtons = {{
    // kind               text        flags         x    y    w    h   id
    {ControlKind::Push,  "OK",       kDefault,    60, 240,  80,  26, SET_OK},
    {ControlKind::Push,  "Cancel",   0,          160, 240,  80,  26, SET_CANCEL},
}};
// clang-format on
static_assert(kLedControls.size() == 4 && kPointingBlocks.size() == 4);

constexpr int kRowsPerBlock = 5;
constexpr int kLedSlots = 4;

void connectButtons(QDialog* dialog) {
    QObject::connect(controlById<QPushButton>(dialog, SET_OK), &QPushButton::clicked, dialog,
                     &QDialog::accept);
    QObject::connect(controlById<QPushButton>(dialog, SET_CANCEL), &QPushButton::clicked, dialog,
                     &QDialog::reject);
}

} // namespace

unsigned readUnsigned(const QString& text) {
    const QString digits = text.trimmed();
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok, 10);
    const bool plain = !digits.isEmpty() && digits.front().isDigit();
    if (!ok || !plain || value > std::numeric_limits<uint32_t>::max())
        return 0;
    return static_cast<unsigned>(value);
}

LedDialog::LedDialog(DialogContext& ctx, int ledSlot, QWidget* parent)
    : QDialog(parent), ctx_(ctx) {
    setWindowTitle(QStringLiteral("Key LED settings"));
    setFixedSize(280, 170);
    for (const ControlRow& entry : kLedControls)
        createControl(this, entry);
    connectButtons(this);
    auto* combo = controlById<QComboBox>(this, LED_COMBO);
    for (const char* name : kLedFunctionNames)
        combo->addItem(QString::fromLatin1(name));
    if (ledSlot < 0 || ledSlot >= kLedSlots) {
        combo->setEnabled(false); // no such LED: nothing to edit
        return;
    }
    combo->setCurrentIndex(ctx_.def.Led[ledSlot]);
    // A confirmed choice is stored at once; Cancel does not take it back.
    connect(combo, &QComboBox::activated, this,
            [this, ledSlot](int index) { ctx_.def.Led[ledSlot] = index; });
}

void LedDialog::done(int result) {
    if (ctx_.redrawMatrix)
        ctx_.redrawMatrix();
    QDialog::done(result);
}

PointingDeviceDialog::PointingDeviceDialog(DialogContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx) {
    setWindowTitle(QStringLiteral("Pointing Device"));
    setFixedSize(300, 280);
    for (int block = 0; block < static_cast<int>(kPointingBlocks.size()); ++block) {
        const PointingBlock& b = kPointingBlocks[block];
        for (int row = 0; row < kRowsPerBlock; ++row) {
            const int y = b.y + 20 * row;
            const QString label = QStringLiteral("%1%2:").arg(kRowLabels[row]).arg(b.direction);
            const std::string labelText = label.toStdString();
            createControl(this, {ControlKind::Label, labelText.c_str(), 0, b.x, y, 80, 15, 0});
            const int id = POINT_FIRST_EDIT + kRowsPerBlock * block + row;
            auto* edit = static_cast<QLineEdit*>(createControl(
                this, {ControlKind::Edit, kRowStartTexts[row], 0, b.x + 70, y, 50, 15, id}));
            edit->setText(QString::number(ctx_.def.pointingBlock[blockByteOf(id)]));
        }
    }
    for (const ControlRow& entry : kPointingButtons)
        createControl(this, entry);
    connectButtons(this);
}

int PointingDeviceDialog::blockByteOf(int editId) {
    const int block = (editId - POINT_FIRST_EDIT) / kRowsPerBlock; // N, E, S, W
    const int row = (editId - POINT_FIRST_EDIT) % kRowsPerBlock;
    switch (row) {
    case 0: // gains 1 and 2 at bytes 0..7, two per direction
    case 1:
        return 2 * block + row;
    case 2: // offsets 1 and 2 at bytes 8..15
    case 3:
        return 8 + 2 * block + (row - 2);
    default: // inversion at bytes 16..19
        return 16 + block;
    }
}

void PointingDeviceDialog::accept() {
    for (int id = POINT_FIRST_EDIT; id < POINT_FIRST_EDIT + kPointingFields; ++id) {
        const unsigned value = readUnsigned(controlById<QLineEdit>(this, id)->text());
        ctx_.def.pointingBlock[blockByteOf(id)] = static_cast<uint8_t>(value & 0xFF);
    }
    QDialog::accept();
}

} // namespace quillan
