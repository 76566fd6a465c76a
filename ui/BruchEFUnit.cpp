#include "ui/BruchEFUnit.h"

namespace {

const TParamLayout kLayout{
    .Caption = "Bruch bearbeiten",
    .Kind = fkBruch,
    .Client = {335, 105},
    .Field1 = {},
    .Field2 = {},
    .Sequences = {{"Zähler bearbeiten", ButtonAt(16, 8)},
                  {"Nenner bearbeiten...", ButtonAt(16, 40)},
                  {}},
    .BackBtn = ButtonAt(176, 8, 145, 81),
};

}  // namespace

TBruchEForm::TBruchEForm(const TEditorContext& context) : TParamDialog(context, kLayout) {}
