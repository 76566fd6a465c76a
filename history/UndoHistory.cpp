#include "history/UndoHistory.h"

#include <utility>

#include "docfile/DocFile.h"

std::size_t TDocumentState::MemoryBytes() const {
  return sizeof(TDocumentState) + Bytes.capacity() + Font.Name.capacity();
}

TDocumentState TakeSnapshot(const TFormulaLine* root, const TFontDesc& font,
                            std::uint32_t background, std::int32_t margin) {
  TDocumentState state;
  state.Bytes = EncodeDocument(root, StoredFromFont(font), background, static_cast<double>(margin),
                               TLayoutImage::Omitted);
  state.Bytes.shrink_to_fit();
  state.Font = font;
  state.Margin = margin;
  return state;
}

bool RestoreSnapshot(const TDocumentState& state, TEntryCursor* cursor, TRestoredDocument& out,
                     std::string& error) {
  TDocument document;
  if (!DecodeDocument(state.Bytes, cursor, document, error, TLayoutImage::Omitted)) return false;
  // The font is copied first: once the tree is handed over, nothing may fail.
  try {
    out.Font = state.Font;
  } catch (...) {
    document.Release();
    throw;
  }
  out.Background = document.Background;
  out.Margin = state.Margin;
  out.Root = document.TakeRoot(cursor);
  if (out.Root == nullptr) error = kOutOfMemory;
  return out.Root != nullptr;
}

std::size_t TUndoHistory::Cost(const TEntry& entry) {
  return sizeof(TEntry) + entry.Name.capacity() + entry.State.MemoryBytes();
}

void TUndoHistory::Reset(TDocumentState state) {
  states_.clear();
  bytes_ = 0;
  current_ = 0;
  mergeOpen_ = false;
  Push({}, std::move(state));
  MarkSaved();
}

bool TUndoHistory::Record(const std::string& name, TDocumentState state, bool merge) {
  if (states_.empty()) {
    Reset(std::move(state));
    return true;
  }
  if (state == states_[current_].State) return false;
  const bool merges =
      merge && mergeOpen_ && !CanRedo() && current_ > 0 && states_[current_].Name == name;
  if (!merges) {
    DropRedo();
    Push(name, std::move(state));
  } else if (state == states_[current_ - 1].State) {
    // The run of changes came back to where it began: no step is left, and
    // the next change starts a step of its own.
    DropNewest();
    --current_;
    mergeOpen_ = false;
    return true;
  } else {
    Replace(states_[current_], std::move(state));
  }
  mergeOpen_ = merge;
  DropOldest();
  return true;
}

void TUndoHistory::Push(const std::string& name, TDocumentState state) {
  states_.push_back(TEntry{name, std::move(state), nextSerial_++});
  bytes_ += Cost(states_.back());
  current_ = states_.size() - 1;
}

// A changed state is another state: a save mark on the old one no longer holds.
void TUndoHistory::Replace(TEntry& entry, TDocumentState state) {
  bytes_ -= Cost(entry);
  entry.State = std::move(state);
  entry.Serial = nextSerial_++;
  bytes_ += Cost(entry);
}

void TUndoHistory::DropNewest() {
  bytes_ -= Cost(states_.back());
  states_.pop_back();
}

void TUndoHistory::DropRedo() {
  while (CanRedo()) DropNewest();
}

void TUndoHistory::DropOldest() {
  while (current_ > 0 && (StepCount() > limits_.MaxSteps || bytes_ > limits_.MaxBytes)) {
    bytes_ -= Cost(states_.front());
    states_.pop_front();
    --current_;
  }
}

std::string TUndoHistory::UndoName() const { return CanUndo() ? states_[current_].Name : ""; }

std::string TUndoHistory::RedoName() const { return CanRedo() ? states_[current_ + 1].Name : ""; }

const TDocumentState* TUndoHistory::Undo() {
  mergeOpen_ = false;
  if (!CanUndo()) return nullptr;
  return &states_[--current_].State;
}

const TDocumentState* TUndoHistory::Redo() {
  mergeOpen_ = false;
  if (!CanRedo()) return nullptr;
  return &states_[++current_].State;
}
