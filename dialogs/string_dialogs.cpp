// The string definition and string selection dialogs.
#include "dialogs/string_dialogs.h"

#include "gui/control_table.h"
#include "gui/message_box.h"
#include "gui/modal.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <array>

namespace quillan {

namespace {

// clang-format off
constexpr ControlRow kOkButton =
    // kind               text             flags         x    y    w    h   id
    {ControlKind::Push,  "OK",            kDefault,   250, 305, 100,  24, SD_OK};

constexpr std::array<ControlRow, 4> kDefinitionControls = {{
    // kind               text             flags         x    y    w    h    id
    {ControlKind::Push,  "Delete string", 0,          250,  10, 100,  20, SD_DELETE_STRING},
    {ControlKind::Push,  "Add string",    0,          250,  35, 100,  20, SD_ADD_STRING},
    {ControlKind::List,  "",              kScrollBar,   5,  10, 240, 300, SD_LIST},
    {ControlKind::Edit,  "",              0,            5, 310, 240,  20, SD_EDIT},
}};

constexpr ControlRow kSelectionList =
    {ControlKind::List,  "",              kScrollBar,   5,  10, 240, 300, SS_LIST};
// clang-format on
static_assert(kDefinitionControls.size() == 4);

const QString kTitle = QStringLiteral("String Definition");

void setUpWindow(QDialog* dialog) {
    dialog->setWindowTitle(kTitle);
    dialog->setFixedSize(360, 340);
}

void fillList(QListWidget* list, const std::vector<StringCells>& strings) {
    for (const StringCells& cells : strings)
        list->addItem(QString::fromStdU32String(displayText(cells)));
}

void refuse(QWidget* parent, const std::string& why) {
    MessageBox::show(parent, QString::fromStdString(why), kTitle, MessageIcon::Warning);
}

} // namespace

StringDefinitionDialog::StringDefinitionDialog(DialogContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx), editor_(ctx.def, ctx.log) {
    setUpWindow(this);
    auto* ok = static_cast<QPushButton*>(createControl(this, kOkButton));
    connect(ok, &QPushButton::clicked, this, [this] { command(SD_OK); });
    for (const ControlRow& entry : kDefinitionControls) {
        QWidget* control = createControl(this, entry);
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            button->setAutoDefault(false);
            const int id = entry.id;
            connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
        }
    }
    list_ = controlById<QListWidget>(this, SD_LIST);
    fillList(list_, editor_.strings());
    if (!editor_.strings().empty())
        list_->setCurrentRow(0);
}

void StringDefinitionDialog::command(int id) {
    switch (id) {
    case SD_ADD_STRING:
        addString();
        break;
    case SD_DELETE_STRING:
        deleteString();
        break;
    case SD_OK:
        accept();
        break;
    default:
        break;
    }
}

void StringDefinitionDialog::addString() {
    auto* edit = controlById<QLineEdit>(this, SD_EDIT);
    const QString text = edit->text();
    if (text.isEmpty())
        return;
    if (const Outcome done = editor_.add(text.toStdU32String()); !done) {
        refuse(this, done.message.text); // the text stays in the edit to be corrected
        return;
    }
    list_->addItem(QString::fromStdU32String(displayText(editor_.strings().back())));
    edit->clear();
}

void StringDefinitionDialog::deleteString() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty())
        return;
    const int s = list_->row(selected.front());
    if (const Outcome done = editor_.remove(s); !done) {
        refuse(this, done.message.text);
        return;
    }
    delete list_->takeItem(s);
}

void StringDefinitionDialog::accept() {
    if (const Outcome done = editor_.finish(); !done) {
        refuse(this, done.message.text);
        return;
    }
    QDialog::accept();
}

StringSelectionDialog::StringSelectionDialog(DialogContext& ctx, int current, QWidget* parent)
    : QDialog(parent) {
    setUpWindow(this);
    MessageBox::show(this, QStringLiteral("%1 items").arg(1), QStringLiteral("StringSelection"));
    auto* ok = static_cast<QPushButton*>(createControl(this, kOkButton));
    connect(ok, &QPushButton::clicked, this, &StringSelectionDialog::accept);
    list_ = static_cast<QListWidget*>(createControl(this, kSelectionList));
    fillList(list_, selectableStrings(ctx.def));
    if (current >= 0 && current < list_->count())
        list_->setCurrentRow(current);
}

void StringSelectionDialog::accept() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    selected_ = selected.isEmpty() ? -1 : list_->row(selected.front());
    QDialog::accept();
}

int runStringSelectionDialog(QWidget* parent, DialogContext& ctx, int current) {
    StringSelectionDialog dialog(ctx, current, parent);
    runModal(dialog);
    return dialog.selected();
}

} // namespace quillan
