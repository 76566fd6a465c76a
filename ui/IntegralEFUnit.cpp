#include "ui/IntegralEFUnit.h"

namespace {

const TParamLayout kLayout = BoundsLayout(fkIntegral, "Integral-Funktion bearbeiten",
                                          "Integral von (z.B. 1):", "Integral bis (z.B. 10):");

}  // namespace

TIntegralEForm::TIntegralEForm(const TEditorContext& context) : TParamDialog(context, kLayout) {}
