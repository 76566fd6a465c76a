// The undo history of the open document: whole-document snapshots taken
// through the document encoder, one per step, with the name of the step that
// led to each. Plain C++; the main window decides what a step is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "model/FontDesc.h"
#include "model/FormulaTree.h"

// One state of the document: tree, font, background colour and margin.
struct TDocumentState {
  // The document as the encoder writes it, layout fields left out.
  std::vector<std::uint8_t> Bytes;
  // The font exactly: the stored font block keeps only whole points.
  TFontDesc Font;
  // The margin as the field holds it, beyond 0..1000 as well.
  std::int32_t Margin = 20;

  bool operator==(const TDocumentState&) const = default;
  std::size_t MemoryBytes() const;
};

TDocumentState TakeSnapshot(const TFormulaLine* root, const TFontDesc& font,
                            std::uint32_t background, std::int32_t margin);

// A state brought back: a new tree bound to the cursor the caller named.
struct TRestoredDocument {
  TFormulaLine* Root = nullptr;  // owned by the caller afterwards; never nullptr on success
  TFontDesc Font;
  std::uint32_t Background = kWhite;
  std::int32_t Margin = 20;
};

// False (with `error` set and nothing allocated) only when memory ran out or
// the tree is nested too deeply to be read back.
bool RestoreSnapshot(const TDocumentState& state, TEntryCursor* cursor, TRestoredDocument& out,
                     std::string& error);

struct THistoryLimits {
  std::size_t MaxSteps = 1000;
  std::size_t MaxBytes = std::size_t{64} << 20;
};

// A line of states with the current one marked. Undo moves back, redo
// forward, and a new step drops everything that redo could still reach. The
// oldest steps go first when the limits are reached; the current state always
// stays.
class TUndoHistory {
 public:
  explicit TUndoHistory(THistoryLimits limits = {}) : limits_(limits) {}

  // Starts afresh with `state` as the only one, counted as saved.
  void Reset(TDocumentState state);
  // Adds a step that led to `state`. Nothing happens when `state` equals the
  // current one. With `merge`, a step of the same name recorded just before,
  // with no other step, undo or EndMerge in between, takes the new state
  // instead, so that a run of small changes is one step; a run that ends where
  // it began leaves no step. Returns true when the history changed.
  bool Record(const std::string& name, TDocumentState state, bool merge = false);
  // The next step is a step of its own even when it could merge.
  void EndMerge() { mergeOpen_ = false; }

  bool CanUndo() const { return current_ > 0; }
  bool CanRedo() const { return current_ + 1 < states_.size(); }
  // The names of the steps that undo and redo would take back or repeat.
  std::string UndoName() const;
  std::string RedoName() const;
  // The state to show afterwards, or nullptr when there is nothing to do.
  const TDocumentState* Undo();
  const TDocumentState* Redo();

  // The current state is the one last saved or opened.
  void MarkSaved() { savedSerial_ = states_.empty() ? 0 : states_[current_].Serial; }
  bool AtSaved() const { return !states_.empty() && states_[current_].Serial == savedSerial_; }

  const TDocumentState* Current() const {
    return states_.empty() ? nullptr : &states_[current_].State;
  }
  // Changes whenever the current state does: a step, an undo, a redo.
  std::uint64_t CurrentSerial() const { return states_.empty() ? 0 : states_[current_].Serial; }
  std::size_t StepCount() const { return states_.empty() ? 0 : states_.size() - 1; }
  std::size_t MemoryBytes() const { return bytes_; }

 private:
  struct TEntry {
    std::string Name;  // of the step that led here; empty for the first state
    TDocumentState State;
    std::uint64_t Serial = 0;
  };

  void Push(const std::string& name, TDocumentState state);
  void Replace(TEntry& entry, TDocumentState state);
  void DropNewest();
  void DropRedo();
  void DropOldest();
  static std::size_t Cost(const TEntry& entry);

  THistoryLimits limits_;
  std::deque<TEntry> states_;
  std::size_t current_ = 0;
  std::size_t bytes_ = 0;
  std::uint64_t nextSerial_ = 1;
  std::uint64_t savedSerial_ = 0;
  bool mergeOpen_ = false;
};
