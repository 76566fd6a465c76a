// The parameter dialog of a fraction: First is the numerator, Second the denominator.
#pragma once

#include "ui/ParamDialog.h"

class TBruchEForm : public TParamDialog {
  Q_OBJECT
 public:
  explicit TBruchEForm(const TEditorContext& context);
};
