#include "ui/BetragEFUnit.h"

namespace {

const TParamLayout kLayout{
    // The caption is the one this dialog has always had.
    .Caption = "Bretragsfunktion bearbeiten",
    .Kind = fkBetrag,
    .Client = {335, 105},
    .Field1 = {},
    .Field2 = {},
    .Sequences = OptionalSecondButtons(16, 8),
    .BackBtn = ButtonAt(176, 8, 145, 81),
};

}  // namespace

TBetragEForm::TBetragEForm(const TEditorContext& context) : TParamDialog(context, kLayout) {}
