// What every editing dialog needs from the program, handed down by each
// opener instead of being looked up globally.
#pragma once

#include "model/FontDesc.h"
#include "model/FormulaTree.h"

class TTermEditForm;

struct TEditorContext {
  // The cursor variable that every sequence of the open tree is bound to.
  TEntryCursor* CurrentEntry = nullptr;
  // The document font; the symbol palettes draw in its face.
  const TFontDesc* DocumentFont = nullptr;
  // Where the program keeps the term editor created at start; the parameter
  // dialogs edit their texts in it. It is created after the entry list editor,
  // so the context names its place rather than the instance.
  TTermEditForm* const* TermEditorSlot = nullptr;

  TTermEditForm* TermEditor() const {
    return TermEditorSlot != nullptr ? *TermEditorSlot : nullptr;
  }
};
