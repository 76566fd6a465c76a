// What every editing dialog needs from the program, handed down by each
// opener instead of being looked up globally.
#pragma once

#include <functional>
#include <utility>

#include "model/FontDesc.h"
#include "model/FormulaTree.h"

class TTermEditForm;

struct TEditorContext {
  // Positional, so that openers may name only the first fields.
  explicit TEditorContext(TEntryCursor* currentEntry = nullptr,
                          const TFontDesc* documentFont = nullptr,
                          TTermEditForm* const* termEditorSlot = nullptr,
                          std::function<void()> formulaChanged = {})
      : CurrentEntry(currentEntry),
        DocumentFont(documentFont),
        TermEditorSlot(termEditorSlot),
        FormulaChanged(std::move(formulaChanged)) {}

  // The cursor variable that every sequence of the open tree is bound to.
  TEntryCursor* CurrentEntry = nullptr;
  // The document font; the symbol palettes draw in its face.
  const TFontDesc* DocumentFont = nullptr;
  // Where the program keeps the term editor created at start; the parameter
  // dialogs edit their texts in it. It is created after the entry list editor,
  // so the context names its place rather than the instance.
  TTermEditForm* const* TermEditorSlot = nullptr;

  // Called after each change the dialogs make to the tree, so that the
  // picture behind them shows the formula as it is now.
  std::function<void()> FormulaChanged;

  void NotifyChanged() const {
    if (FormulaChanged) FormulaChanged();
  }

  TTermEditForm* TermEditor() const {
    return TermEditorSlot != nullptr ? *TermEditorSlot : nullptr;
  }
};
