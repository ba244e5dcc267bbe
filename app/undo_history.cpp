#include "app/undo_history.h"

namespace quillan {

namespace {

const std::string kNoLabel;

bool sameCell(const KeyCell& a, const KeyCell& b) {
    return a.enabled == b.enabled && a.used == b.used && a.complete == b.complete &&
           a.logicalAddress == b.logicalAddress && a.layers == b.layers &&
           std::equal(std::begin(a.legend), std::end(a.legend), std::begin(b.legend));
}

} // namespace

bool sameContent(const EditState& a, const EditState& b) {
    const KeyboardDefinition& x = a.def;
    const KeyboardDefinition& y = b.def;
    if (!(a.values == b.values) || x.StdRepeat != y.StdRepeat ||
        x.GlobalRepeatDisable != y.GlobalRepeatDisable || x.AnyKeyRelease != y.AnyKeyRelease ||
        x.PrefixMakeBreak != y.PrefixMakeBreak || x.EnableBits != y.EnableBits ||
        x.BeepLength != y.BeepLength || x.Led != y.Led || x.NumberOfStrings != y.NumberOfStrings ||
        !(x.header == y.header) || x.stringIndex != y.stringIndex ||
        x.stringChars != y.stringChars || x.stringSlots != y.stringSlots ||
        x.pointingBlock != y.pointingBlock)
        return false;
    for (int i = 0; i < kCells; ++i)
        if (!sameCell(x.cells[i], y.cells[i]))
            return false;
    return true;
}

void UndoHistory::reset(const EditState& state) {
    undo_.clear();
    redo_.clear();
    present_ = std::make_shared<EditState>(state);
    saved_ = present_;
}

bool UndoHistory::commit(const EditState& state, const std::string& label) {
    if (sameContent(state, *present_)) {
        absorb(state);
        return false;
    }
    undo_.push_back({label, present_});
    if (undo_.size() > kMaxSteps)
        undo_.pop_front();
    redo_.clear();
    present_ = std::make_shared<EditState>(state);
    return true;
}

void UndoHistory::absorb(const EditState& state) {
    const bool wasSaved = !modified();
    present_ = std::make_shared<EditState>(state);
    if (wasSaved)
        saved_ = present_;
}

void UndoHistory::markSaved() {
    saved_ = present_;
}

const std::string& UndoHistory::undoLabel() const {
    return undo_.empty() ? kNoLabel : undo_.back().label;
}

const std::string& UndoHistory::redoLabel() const {
    return redo_.empty() ? kNoLabel : redo_.back().label;
}

const EditState* UndoHistory::undo() {
    if (undo_.empty())
        return nullptr;
    Step step = undo_.back();
    undo_.pop_back();
    redo_.push_back({step.label, present_});
    present_ = step.state;
    return present_.get();
}

const EditState* UndoHistory::redo() {
    if (redo_.empty())
        return nullptr;
    Step step = redo_.back();
    redo_.pop_back();
    undo_.push_back({step.label, present_});
    present_ = step.state;
    return present_.get();
}

bool UndoHistory::modified() const {
    return present_ != saved_ && !sameContent(*present_, *saved_);
}

} // namespace quillan
