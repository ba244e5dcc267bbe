// Tab order that follows the screen: the focusable controls of a window,
// top to bottom, and left to right within a row.
#pragma once

#include <QWidget>
#include <functional>

namespace quillan {

// Where a control stands for the tab order; `within` orders the members of
// a block that stands at one place (the cells of a matrix).
struct TabPlace {
    int top = 0;
    int left = 0;
    int within = 0;
};
using TabPlaceOf = std::function<TabPlace(const QWidget*)>;

// Controls whose tops differ by at most this many pixels form one row.
constexpr int kTabRowTolerance = 5;

// The direct children of parent that take the focus by Tab, in screen
// order (placeOf gives each one's place; by default its position).
QWidgetList tabSequence(const QWidget* parent, const TabPlaceOf& placeOf = {});
// Chains the tab order of parent's direct children in that sequence.
void orderTabsByPosition(QWidget* parent, const TabPlaceOf& placeOf = {});

} // namespace quillan
