#include "gui/tab_order.h"

#include <algorithm>
#include <vector>

namespace quillan {

QWidgetList tabSequence(const QWidget* parent, const TabPlaceOf& placeOf) {
    struct Entry {
        QWidget* widget;
        TabPlace place;
    };
    std::vector<Entry> entries;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if ((child->focusPolicy() & Qt::TabFocus) == 0 || child->isWindow())
            continue;
        const TabPlace place = placeOf ? placeOf(child) : TabPlace{child->y(), child->x(), 0};
        entries.push_back({child, place});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.place.top < b.place.top; });
    // Rows: controls whose tops lie close to the row's first one, by left.
    for (auto row = entries.begin(); row != entries.end();) {
        auto end = std::find_if(row, entries.end(), [top = row->place.top](const Entry& e) {
            return e.place.top > top + kTabRowTolerance;
        });
        std::stable_sort(row, end, [](const Entry& a, const Entry& b) {
            return a.place.left != b.place.left ? a.place.left < b.place.left
                                                : a.place.within < b.place.within;
        });
        row = end;
    }
    QWidgetList sequence;
    for (const Entry& entry : entries)
        sequence << entry.widget;
    return sequence;
}

void orderTabsByPosition(QWidget* parent, const TabPlaceOf& placeOf) {
    const QWidgetList sequence = tabSequence(parent, placeOf);
    for (qsizetype i = 1; i < sequence.size(); ++i)
        QWidget::setTabOrder(sequence[i - 1], sequence[i]);
}

} // namespace quillan
