#include "app/key_check_view.h"

#include <QPainter>

namespace quillan {

namespace {

constexpr int kCellWidth = 62;
constexpr int kCellHeight = 15;
constexpr int kMatrixLeft = 30;
constexpr int kTextLeft = kMatrixLeft + kColumns * kCellWidth + 20;

const QColor kSeen(120, 200, 120);
const QColor kWaiting(235, 235, 235);

} // namespace

KeyCheckView::KeyCheckView(QWidget* parent, const KeyboardDefinition*& def)
    : QWidget(parent), def_(def) {
    setObjectName("keyCheck");
    setFocusPolicy(Qt::NoFocus);
}

void KeyCheckView::press(KeyUsage usage) {
    check_.press(usage);
    update();
}

void KeyCheckView::reset() {
    check_.reset();
    update();
}

KeyCheckSummary KeyCheckView::summary() const {
    static const KeyboardDefinition empty;
    return check_.summarize(def_ ? *def_ : empty);
}

QString KeyCheckView::progressText() const {
    const KeyCheckSummary s = summary();
    return QString("%1 of %2 keys checked").arg(s.checked).arg(s.total);
}

void KeyCheckView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const KeyCheckSummary s = summary();
    for (int index = 0; index < kCells; ++index) {
        const QRect rect(kMatrixLeft + (index % kColumns) * kCellWidth,
                         (index / kColumns) * kCellHeight, kCellWidth - 2, kCellHeight - 2);
        drawCell(painter, index, s, rect);
    }
    const int line = painter.fontMetrics().height();
    int y = line;
    QFont bold = painter.font();
    bold.setBold(true);
    painter.save();
    painter.setFont(bold);
    painter.drawText(kTextLeft, y, progressText());
    painter.restore();
    y += line * 2;
    if (s.total == 0) {
        painter.drawText(kTextLeft, y, "No keys in the definition:");
        painter.drawText(kTextLeft, y + line, "load or edit one first.");
        return;
    }
    painter.drawText(kTextLeft, y,
                     s.unexpected.empty() ? "Every key that arrived is defined."
                                          : "Not in the definition:");
    for (KeyUsage usage : s.unexpected) {
        y += line;
        if (y > height())
            break;
        painter.drawText(kTextLeft + 10, y, QString::fromStdString(usageName(usage)));
    }
}

void KeyCheckView::drawCell(QPainter& painter, int index, const KeyCheckSummary& s,
                            const QRect& rect) {
    if (index % kColumns == 0)
        painter.drawText(QRect(0, rect.top(), kMatrixLeft - 4, rect.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(index / kColumns));
    if (!s.expectedCells[index]) {
        painter.setPen(QColor(210, 210, 210));
        painter.drawRect(rect);
        painter.setPen(palette().color(QPalette::Text));
        return;
    }
    painter.fillRect(rect, s.seenCells[index] ? kSeen : kWaiting);
    painter.drawRect(rect);
    const KeyCell& cell = def_->cells[index];
    QString text = QString::fromLatin1(getText(cell.legend));
    if (text.isEmpty())
        text = QString::fromStdString(usageName(checkedUsage(*def_, index)));
    painter.drawText(rect.adjusted(2, 0, -2, 0), Qt::AlignCenter,
                     painter.fontMetrics().elidedText(text, Qt::ElideRight, rect.width() - 4));
}

} // namespace quillan
