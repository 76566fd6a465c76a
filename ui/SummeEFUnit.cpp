#include "ui/SummeEFUnit.h"

namespace {

const TParamLayout kLayout = BoundsLayout(fkSumme, "Summen-Funktion bearbeiten",
                                          "Summe von (z.B. 1):", "Summe bis (z.B. 10):");

}  // namespace

TSummeEForm::TSummeEForm(const TEditorContext& context) : TParamDialog(context, kLayout) {}
