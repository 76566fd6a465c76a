#include "ui/WurzelEFUnit.h"

namespace {

const TParamLayout kLayout{
    // The caption is the one this dialog has always had.
    .Caption = "Summenfunktion bearbeiten",
    .Kind = fkWurzel,
    .Client = {335, 195},
    .Field1 = {"x. Wurzel (z.B. 3 für 3. Wurzel):", {16, 104}, EditAt(16, 120), {}},
    .Field2 = {},
    .Sequences = OptionalSecondButtons(16, 8),
    .BackBtn = ButtonAt(176, 8, 145, 81),
};

}  // namespace

TWurzelEForm::TWurzelEForm(const TEditorContext& context) : TParamDialog(context, kLayout) {
  // The caption names another function; a screen reader is told which one
  // this dialog edits.
  setAccessibleDescription("Bearbeitet eine Wurzel.");
}
