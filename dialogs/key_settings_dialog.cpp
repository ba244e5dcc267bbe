// The Key Settings dialog.
#include "dialogs/key_settings_dialog.h"

#include "dialogs/key_picker_window.h"
#include "dialogs/string_dialogs.h"
#include "gui/control_table.h"
#include "gui/tab_order.h"
#include "gui/window_placement.h"
#include "model/catalogue.h"
#include "rules/key_assignment.h"
#include "rules/string_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

namespace quillan {

namespace {

// The dialog's fixed controls (the layer mode boxes follow from kLayerOrigins).
// clang-format off
constexpr std::array<ControlRow, 17> kFixedControls = {{
    // kind               text                flags         x    y    w    h    id
    {ControlKind::Group, "No Fn1 / No Fn2",  0,           65,  62, 215, 190, KS_LAYER_GROUP + 0},
    {ControlKind::Group, "Fn1 / No Fn2",     0,          340,  62, 215, 190, KS_LAYER_GROUP + 1},
    {ControlKind::Group, "No Fn1 / Fn2",     0,           65, 268, 215, 198, KS_LAYER_GROUP + 2},
    {ControlKind::Group, "Fn1 / Fn2",        0,          340, 268, 215, 198, KS_LAYER_GROUP + 3},
    {ControlKind::Check, "This key is used", 0,           10,  10, 160,  20, KS_KEY_USED},
    {ControlKind::Check, "Enable Key",       0,           10,  32, 160,  20, KS_ENABLE_KEY},
    {ControlKind::Label, "Legend:",          0,          190,  12,  50,  20, 0},
    {ControlKind::Edit,  "",                 0,          245,  10, 150,  22, KS_LEGEND},
    {ControlKind::Label, "Col/Row",          0,          420,  12,  80,  20, KS_COL_ROW},
    {ControlKind::Push,  "<<< Previous",     0,          250,  36, 110,  24, KS_PREVIOUS},
    {ControlKind::Push,  "Next >>>",         0,          370,  36, 110,  24, KS_NEXT},
    {ControlKind::Check, "Used",             0,           75,  78, 170,  20, KS_LAYER_USED + 0},
    {ControlKind::Check, "Used",             0,          350,  78, 170,  20, KS_LAYER_USED + 1},
    {ControlKind::Check, "Used",             0,           75, 284, 170,  20, KS_LAYER_USED + 2},
    {ControlKind::Check, "Used",             0,          350, 284, 170,  20, KS_LAYER_USED + 3},
    {ControlKind::Push,  "OK",               kDefault,   370, 475,  80,  26, KS_OK},
    {ControlKind::Push,  "Cancel",           0,          460, 475,  80,  26, KS_CANCEL},
}};

// Where each layer's mode boxes start; they stand in two columns of three.
struct LayerOrigin { int x; int modeY; };
constexpr std::array<LayerOrigin, kLayers> kLayerOrigins = {{
    // x   first mode box y
    { 75, 128},
    {350, 128},
    { 75, 335},
    {350, 335},
}};
constexpr std::array<const char*, kModeBoxesPerLayer> kModeLabels = {
    "ALT Mode", "CTRL Mode", "SHIFT Mode", "Base Mode", "Repeat off", "ALT-GR Mode"};

// Controls created when the dialog opens, in this order (combo boxes are
// given the height of their field).
constexpr std::array<ControlRow, 16> kRunTimeControls = {{
    // kind                  text                flags         x    y    w    h    id
    {ControlKind::DropDown, "",                 0,           75, 195, 180,  24, KS_KEY_TYPE + 0},
    {ControlKind::DropDown, "",                 0,          350, 195, 180,  24, KS_KEY_TYPE + 1},
    {ControlKind::DropDown, "",                 0,           75, 410, 180,  24, KS_KEY_TYPE + 2},
    {ControlKind::DropDown, "",                 0,          350, 410, 180,  24, KS_KEY_TYPE + 3},
    {ControlKind::DropList, "",                 0,           75, 100, 180,  24, KS_IBM_KEY + 0},
    {ControlKind::DropList, "",                 0,          350, 100, 180,  24, KS_IBM_KEY + 1},
    {ControlKind::DropList, "",                 0,           75, 307, 180,  24, KS_IBM_KEY + 2},
    {ControlKind::DropList, "",                 0,          350, 307, 180,  24, KS_IBM_KEY + 3},
    {ControlKind::Push,     "Assign string",    0,           75, 225, 180,  20, KS_ASSIGN_STRING + 0},
    {ControlKind::Push,     "Assign string",    0,          350, 225, 180,  20, KS_ASSIGN_STRING + 1},
    {ControlKind::Push,     "Assign string",    0,           75, 440, 180,  20, KS_ASSIGN_STRING + 2},
    {ControlKind::Push,     "Assign string",    0,          350, 440, 180,  20, KS_ASSIGN_STRING + 3},
    {ControlKind::Push,     "Assign Macro",     0,           75, 225, 180,  20, KS_ASSIGN_MACRO + 0},
    {ControlKind::Push,     "Assign Macro",     0,          350, 225, 180,  20, KS_ASSIGN_MACRO + 1},
    {ControlKind::Push,     "Assign Macro",     0,           75, 440, 180,  20, KS_ASSIGN_MACRO + 2},
    {ControlKind::Push,     "Assign Macro",     0,          350, 440, 180,  20, KS_ASSIGN_MACRO + 3},
}};

// Key type combo texts, position = key type code.
constexpr std::array<const char*, kListedKeyTypes> kKeyTypeLabels = {
    "Normal Key",   "Enter Keypad",   "Arrows Block", "Keypad",     "Print Screen",
    "Pause Key",    "Fn1 Right",      "Fn1 Left",     "Shift Right", "Shift Left",
    "Ctrl Right",   "Ctrl Left",      "Alt-Gr (Right)", "Alt (Left)", "Fn2",
    "No Key",       "Mouse Key",      "String Key",   "Consumer Key", "System Key"};
// clang-format on
static_assert(kFixedControls.size() == 17 && kRunTimeControls.size() == 16);
static_assert(kKeyTypeLabels.size() == kListedKeyTypes);

constexpr int kModeBoxes = kLayers * kModeBoxesPerLayer;
constexpr int kStringKeyPosition = STRING_KEY;

int modeId(int layer, int bit) {
    return KS_MODE + kModeBoxesPerLayer * layer + bit;
}

void connectButton(QWidget* control, KeySettingsDialog* dialog, int id) {
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        QObject::connect(button, &QAbstractButton::clicked, dialog,
                         [dialog, id] { dialog->command(id); });
}

} // namespace

QString keySettingsTitle(int row, int column, const QString& legend) {
    QString title = QStringLiteral("Key Settings \u2013 row %1, column %2").arg(row).arg(column);
    return legend.isEmpty() ? title : title + ": " + legend;
}

KeySettingsDialog::KeySettingsDialog(DialogContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx) {
    setFixedSize(560, 510);
    for (const ControlRow& entry : kFixedControls)
        connectButton(createControl(this, entry), this, entry.id);
    for (int layer = 0; layer < kLayers; ++layer) {
        for (int bit = 0; bit < kModeBoxesPerLayer; ++bit) {
            const LayerOrigin origin = kLayerOrigins[layer];
            const ControlRow entry{ControlKind::Check,
                                   kModeLabels[bit],
                                   0,
                                   origin.x + (bit / 3) * 95,
                                   origin.modeY + (bit % 3) * 20,
                                   bit / 3 == 0 ? 95 : 105, // room for "ALT-GR Mode"
                                   20,
                                   modeId(layer, bit)};
            connectButton(createControl(this, entry), this, entry.id);
        }
    }
    controlById<QLineEdit>(this, KS_LEGEND)->setMaxLength(kTextSize - 1);
    createRunTimeControls();
    orderTabsByPosition(this);
    fill();
}

KeySettingsDialog::~KeySettingsDialog() {
    if (ctx_.picker != nullptr) {
        ctx_.picker->setAssignedHandler(nullptr);
        ctx_.picker->hide();
    }
}

void KeySettingsDialog::createRunTimeControls() {
    for (const ControlRow& entry : kRunTimeControls) {
        QWidget* control = createControl(this, entry);
        connectButton(control, this, entry.id);
        if (auto* combo = qobject_cast<QComboBox*>(control)) {
            // The key is changed through the key picker or the string
            // selection; the combos only show it.
            combo->setEnabled(false);
            combo->setMaxVisibleItems(20);
        }
    }
    for (int layer = 0; layer < kLayers; ++layer) {
        controlById<QPushButton>(this, KS_ASSIGN_STRING + layer)->hide();
        auto* keyTypes = controlById<QComboBox>(this, KS_KEY_TYPE + layer);
        keyTypes->clear();
        for (const char* label : kKeyTypeLabels)
            keyTypes->addItem(QString::fromLatin1(label));
        auto* ibmKeys = controlById<QComboBox>(this, KS_IBM_KEY + layer);
        ibmKeys->clear();
        for (int row = 0; row < kCatalogueRows; ++row)
            ibmKeys->addItem(QString::fromLatin1(catalogueName(row)));
    }
}

void KeySettingsDialog::fill() {
    fillControls(true);
}

void KeySettingsDialog::fillControls(bool withLegend) {
    const KeyCell& c = cell();
    controlById<QCheckBox>(this, KS_KEY_USED)->setChecked(c.used);
    controlById<QCheckBox>(this, KS_ENABLE_KEY)->setChecked(c.enabled);
    for (int layer = 0; layer < kLayers; ++layer) {
        const LayerAssignment& l = c.layers[layer];
        controlById<QCheckBox>(this, KS_LAYER_USED + layer)->setChecked(l.used);
        for (int bit = 0; bit < kModeBoxesPerLayer; ++bit)
            controlById<QCheckBox>(this, modeId(layer, bit))->setChecked(l.keymode & (1 << bit));
        auto* keyType = controlById<QComboBox>(this, KS_KEY_TYPE + layer);
        keyType->setCurrentIndex(l.keytype < kListedKeyTypes ? l.keytype : -1);
        const bool listed = l.ibmkey >= 0 && l.ibmkey < kCatalogueRows;
        controlById<QComboBox>(this, KS_IBM_KEY + layer)->setCurrentIndex(listed ? l.ibmkey : -1);
        controlById<QPushButton>(this, KS_ASSIGN_STRING + layer)
            ->setEnabled(keyType->currentIndex() == kStringKeyPosition);
    }
    if (withLegend)
        controlById<QLineEdit>(this, KS_LEGEND)->setText(QString::fromLatin1(getText(c.legend)));
    controlById<QLabel>(this, KS_COL_ROW)
        ->setText(QStringLiteral("%1/%2").arg(ctx_.def.currentColumn).arg(ctx_.def.currentRow));
    setWindowTitle(keySettingsTitle(ctx_.def.currentRow, ctx_.def.currentColumn,
                                    QString::fromLatin1(getText(c.legend))));
}

void KeySettingsDialog::storeEveryThing() {
    KeyCell& c = cell();
    for (int layer = 0; layer < kLayers; ++layer) {
        const int keyType = controlById<QComboBox>(this, KS_KEY_TYPE + layer)->currentIndex();
        const int ibmKey = controlById<QComboBox>(this, KS_IBM_KEY + layer)->currentIndex();
        // A string layer keeps its slot; a key the combo cannot show stays.
        if (keyType != kStringKeyPosition && ibmKey >= 0)
            c.layers[layer].ibmkey = ibmKey;
    }
    ctx_.log.trace("StoreEveryThing bIBMKey = %d\n", c.layers[0].ibmkey);
    for (int layer = 0; layer < kLayers; ++layer) {
        const int keyType = controlById<QComboBox>(this, KS_KEY_TYPE + layer)->currentIndex();
        if (keyType >= 0)
            c.layers[layer].keytype = static_cast<uint8_t>(keyType);
    }
    storeCellSettings(c, controlById<QLineEdit>(this, KS_LEGEND)->text().toLatin1().toStdString());
    redraw();
}

void KeySettingsDialog::command(int id) {
    if (id == KS_KEY_USED || id == KS_ENABLE_KEY ||
        (id >= KS_LAYER_USED && id < KS_LAYER_USED + kLayers) ||
        (id >= KS_MODE && id < KS_MODE + kModeBoxes)) {
        flipCheck(id);
    } else if (id >= KS_ASSIGN_STRING && id < KS_ASSIGN_STRING + kLayers) {
        assignString(id - KS_ASSIGN_STRING);
    } else if (id >= KS_ASSIGN_MACRO && id < KS_ASSIGN_MACRO + kLayers) {
        assignMacro(id - KS_ASSIGN_MACRO);
    } else if (id == KS_NEXT || id == KS_PREVIOUS) {
        step(id == KS_NEXT ? +1 : -1);
    } else if (id == KS_OK) {
        accept();
    } else if (id == KS_CANCEL) {
        reject();
    }
}

// Check boxes are not automatic: the flag in the cell flips at once and the
// box shows the flag.
void KeySettingsDialog::flipCheck(int id) {
    KeyCell& c = cell();
    bool now = false;
    if (id >= KS_MODE) {
        LayerAssignment& layer = c.layers[(id - KS_MODE) / kModeBoxesPerLayer];
        const uint8_t bit = 1 << ((id - KS_MODE) % kModeBoxesPerLayer);
        layer.keymode ^= bit;
        now = layer.keymode & bit;
    } else {
        const CellCheck check = id == KS_KEY_USED     ? CellCheck::KeyUsed
                                : id == KS_ENABLE_KEY ? CellCheck::EnableKey
                                                      : CellCheck::LayerUsed;
        now = flipCellCheck(c, check, id - KS_LAYER_USED);
    }
    controlById<QCheckBox>(this, id)->setChecked(now);
    if (id == KS_KEY_USED)
        redraw();
}

void KeySettingsDialog::assignString(int layer) {
    // The list numbers the strings as the packed store does.
    selectableStrings(ctx_.def);
    LayerAssignment& l = cell().layers[layer];
    const int chosen = runStringSelectionDialog(this, ctx_, l.ibmkey);
    const PickerTarget target{ctx_.def.currentRow, ctx_.def.currentColumn, layer, true};
    assignStringToLayer(ctx_.def, target, chosen, ctx_.log);
    const bool listed = l.ibmkey >= 0 && l.ibmkey < kCatalogueRows;
    controlById<QComboBox>(this, KS_IBM_KEY + layer)->setCurrentIndex(listed ? l.ibmkey : -1);
}

void KeySettingsDialog::assignMacro(int layer) {
    if (ctx_.picker == nullptr)
        ctx_.picker = createKeyPickerWindow(ctx_);
    // After the picker's OK the dialog shows the layer again; the legend
    // being typed stays as it is.
    ctx_.picker->setAssignedHandler([this] { fillControls(false); });
    placeBeside(ctx_.picker, this);
    ctx_.picker->showForLayer(ctx_.def.currentRow, ctx_.def.currentColumn, layer);
}

void KeySettingsDialog::step(int direction) {
    storeEveryThing();
    int row = ctx_.def.currentRow;
    int column = ctx_.def.currentColumn;
    if (stepToEnabledCell(ctx_.def, row, column, direction)) {
        ctx_.def.currentRow = row;
        ctx_.def.currentColumn = column;
    }
    fill();
    redraw();
}

void KeySettingsDialog::redraw() {
    if (ctx_.redrawMatrix)
        ctx_.redrawMatrix();
}

void KeySettingsDialog::accept() {
    storeEveryThing();
    QDialog::accept();
}

void KeySettingsDialog::reject() {
    // Cancel keeps what was already changed (a layer the key picker
    // assigned included); the cell's picture shows what the cell now is.
    KeyCell& c = cell();
    c.complete = cellComplete(c) ? 1 : 0;
    redraw();
    QDialog::reject();
}

} // namespace quillan
