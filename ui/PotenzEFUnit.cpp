#include "ui/PotenzEFUnit.h"

namespace {

// The power has no remove button: its base is always there.
const TParamLayout kLayout{
    .Caption = "Potenzfunktion bearbeiten",
    .Kind = fkPotenz,
    .Client = {348, 102},
    .Field1 = {},
    .Field2 = {},
    .Sequences = {{"Potenzterm bearbeiten...", ButtonAt(16, 8, 161, 25)},
                  {"Basisterm bearbeiten...", ButtonAt(16, 40, 161, 25)},
                  {}},
    .BackBtn = ButtonAt(192, 8, 145, 81),
};

}  // namespace

TPotenzEForm::TPotenzEForm(const TEditorContext& context) : TParamDialog(context, kLayout) {}
