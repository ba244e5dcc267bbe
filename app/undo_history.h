// Undo and redo of edits: snapshots of the definition and of the settings
// held by the main window's controls. After every command the window hands
// the present state to commit(); a state that differs from the last one
// becomes an undo step named after the command. The history also knows the
// state last saved to or loaded from a file, which is what "unsaved
// changes" means.
#pragma once

#include "model/definition.h"

#include <deque>
#include <memory>
#include <string>

namespace quillan {

struct EditState {
    KeyboardDefinition def;
    ControlValues values;
};

// Same content: the current cell and the matrix geometry do not count.
bool sameContent(const EditState& a, const EditState& b);

class UndoHistory {
  public:
    static constexpr std::size_t kMaxSteps = 100;

    // Starts afresh from state, which counts as saved.
    void reset(const EditState& state);
    // Records state; when its content differs, the previous state becomes an
    // undo step called label and the redo steps are dropped. True when it
    // differed.
    bool commit(const EditState& state, const std::string& label);
    // Takes state as the present one without an undo step (derived data
    // such as the packed strings of a build changed); a history that was
    // unmodified stays unmodified.
    void absorb(const EditState& state);
    // The present state now is what a file holds.
    void markSaved();

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    const std::string& undoLabel() const;
    const std::string& redoLabel() const;
    // Steps back or forth; returns the state to show (nullptr: nothing to do).
    const EditState* undo();
    const EditState* redo();

    bool modified() const;
    const EditState& present() const { return *present_; }
    std::size_t undoSteps() const { return undo_.size(); }

  private:
    struct Step {
        std::string label;
        std::shared_ptr<const EditState> state;
    };
    std::deque<Step> undo_;
    std::deque<Step> redo_;
    std::shared_ptr<const EditState> present_ = std::make_shared<EditState>();
    std::shared_ptr<const EditState> saved_ = present_;
};

} // namespace quillan
