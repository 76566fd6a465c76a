#include "ui/UserEFUinit.h"

namespace {

const TParamLayout kLayout{
    .Caption = "Beliebige Funktion bearbeiten",
    .Kind = fkUser,
    .Client = {469, 147},
    .Field1 = {"Name der Funktion (z.B. sin )", {8, 8}, EditAt(8, 24), ButtonAt(160, 24, 129, 25)},
    .Field2 = {},
    .Sequences = OptionalSecondButtons(8, 48),
    .BackBtn = ButtonAt(312, 8, 145, 81),
};

}  // namespace

TUserEForm::TUserEForm(const TEditorContext& context) : TParamDialog(context, kLayout) {}
