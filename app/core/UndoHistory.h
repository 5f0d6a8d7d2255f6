// UndoHistory: the steps of editing that undo and redo take back and bring
// again.
//
// Each step holds one state of one thing the user edits: a region's mask,
// the paint layer with its mask, the order of the object table, one object's
// record or one object's bitmap. Undo exchanges the newest step's state with
// the workspace's (so the step then holds what redo brings back) and moves it
// to the redo list; redo does the same the other way. Recording a new step
// drops the redo list.
//
// The history keeps at most a number of steps and a number of bytes; the
// oldest steps go first, and the newest step is always kept. Mask states
// holding only black and white are kept one bit a pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

namespace plastora {

class CStereoWorkspace;

// What a step takes back: its kind (the workspace's UndoKind), the region it
// belongs to (kind 1) and the tool that was in use when it was taken.
struct UndoInfo {
    int kind = 0;  // 0: no step
    int region = -1;
    int tool = 0;
};

class UndoHistory {
public:
    static constexpr std::size_t kDefaultSteps = 50;
    static constexpr std::size_t kDefaultBytes = std::size_t{512} << 20;

    explicit UndoHistory(std::size_t maxSteps = kDefaultSteps, std::size_t maxBytes = kDefaultBytes);
    ~UndoHistory();
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // New limits; steps over them are dropped at once (oldest first).
    void setLimits(std::size_t maxSteps, std::size_t maxBytes);

    // Records the workspace's present state of `kind` (the current region's
    // mask, the paint layer, the object order, the current object's record
    // or bitmap) as the newest step and drops the redo list. False when
    // there is nothing of that kind or its memory cannot be had; the history
    // is then unchanged.
    bool record(CStereoWorkspace& ws, int kind);
    // Undo and redo: exchange the step with the workspace. False when there
    // is no step, or the step no longer fits the workspace (its region or
    // object is gone, or its size differs); such a step is dropped.
    bool undo(CStereoWorkspace& ws);
    bool redo(CStereoWorkspace& ws);

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    UndoInfo nextUndo() const;
    UndoInfo nextRedo() const;
    std::size_t undoSteps() const { return m_undo.size(); }
    std::size_t redoSteps() const { return m_redo.size(); }
    // The memory the steps hold, in bytes.
    std::size_t bytes() const { return m_bytes; }
    void clear();

    struct Step;

private:
    bool exchange(CStereoWorkspace& ws, Step& step);
    void trim();
    void recount();

    std::deque<std::unique_ptr<Step>> m_undo;  // oldest first
    std::deque<std::unique_ptr<Step>> m_redo;  // newest undone last
    std::size_t m_maxSteps;
    std::size_t m_maxBytes;
    std::size_t m_bytes = 0;
};

}  // namespace plastora
